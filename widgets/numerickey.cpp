#include "numerickey.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>

namespace tolva {

bool FilterNumericKey(const QString &text, QChar key)
{
    const ushort k = key.unicode();
    if (k == '.' && (text.isEmpty() || text.contains(QLatin1Char('.'))))
        return false;
    if (k == '-' && !text.isEmpty())
        return false;
    const bool allowed = k == '\b' || k == '\r' || k == '-' || k == '.' || (k >= '0' && k <= '9');
    if (!allowed)
        return false;
    if (text == QLatin1String("0") && k == '0')
        return false;
    return true;
}

bool FilterSignedKey(const QString &text, int caret, QChar key)
{
    if (key == QLatin1Char('-'))
        return caret == 0 && !text.contains(QLatin1Char('-'));
    return FilterNumericKey(text, key);
}

void NumericKeyFilter::install(QLineEdit *field, Sign sign)
{
    field->installEventFilter(new NumericKeyFilter(field, sign));
}

bool NumericKeyFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    auto *field = qobject_cast<QLineEdit *>(watched);
    const auto *key = static_cast<QKeyEvent *>(event);
    const QString typed = key->text();
    if (!field || typed.size() != 1 || !typed[0].isPrint())
        return false;
    const bool kept = sign_ == Sign::Leading ? FilterSignedKey(field->text(), field->cursorPosition(), typed[0])
                                             : FilterNumericKey(field->text(), typed[0]);
    return !kept;
}

void EnterKeyFilter::moveFocusOn(QWidget *field)
{
    field->installEventFilter(new EnterKeyFilter(field, nullptr));
}

void EnterKeyFilter::press(QWidget *field, QAbstractButton *button)
{
    field->installEventFilter(new EnterKeyFilter(field, button));
}

bool EnterKeyFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        return false;
    if (button_) {
        if (button_->isEnabled() && button_->isVisible())
            button_->click();
    } else if (auto *w = qobject_cast<QWidget *>(watched)) {
        // Moves to the next control in the window's focus chain.
        // A date picker's own editor (its child, whose focus goes back to the picker) is no next control.
        QWidget *next = w->nextInFocusChain();
        while (next && next != w
               && (!next->isEnabled() || !next->isVisible() || !(next->focusPolicy() & Qt::TabFocus)
                   || w->isAncestorOf(next)))
            next = next->nextInFocusChain();
        if (next && next != w)
            next->setFocus(Qt::TabFocusReason);
    }
    return true;
}

void MouseChoiceFilter::moveFocusOn(QComboBox *list, QWidget *next)
{
    auto *filter = new MouseChoiceFilter(list);
    list->view()->viewport()->installEventFilter(filter);
    connect(list, &QComboBox::activated, next, [list, next, filter] {
        const bool clicked = std::exchange(filter->clicked_, false);
        if (clicked && !list->currentText().isEmpty())
            next->setFocus();
    });
}

bool MouseChoiceFilter::eventFilter(QObject *, QEvent *event)
{
    // The drop-down chooses on the release of the button.
    if (event->type() == QEvent::MouseButtonRelease)
        clicked_ = true;
    return false;
}

} // namespace tolva
