#include "datefield.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpression>

namespace tolva {

namespace {

bool isSeparator(QChar c)
{
    return c == QLatin1Char('-') || c == QLatin1Char('.') || c == QLatin1Char('/');
}

// A number of one or two digits (month, day) or of exactly `digits` digits; -1 when it is not.
int part(const QString &text, int digits = 0)
{
    const bool fits = digits ? text.size() == digits : (text.size() == 1 || text.size() == 2);
    bool ok = false;
    const int n = text.toInt(&ok);
    return fits && ok ? n : -1;
}

} // namespace

DateField::DateField(QWidget *parent) : QDateEdit(parent)
{
    setDisplayFormat(QStringLiteral("yyyy'年'M'月'd'日'"));
}

QDate DateField::readTyped(const QString &typed, const QDate &shown, const QDate &today)
{
    QString text = typed.trimmed();
    while (!text.isEmpty() && isSeparator(text.back()))
        text.chop(1);
    if (text.isEmpty())
        return QDate();
    static const QRegularExpression separators(QStringLiteral("[-./]"));
    if (text.contains(separators)) {
        const QStringList parts = text.split(separators);
        if (parts.size() == 3)
            return QDate(part(parts[0], 4), part(parts[1]), part(parts[2]));
        if (parts.size() == 2)
            return QDate(today.year(), part(parts[0]), part(parts[1]));
        return QDate();
    }
    switch (text.size()) {
    case 8:
        return QDate(part(text.left(4), 4), part(text.mid(4, 2)), part(text.mid(6, 2)));
    case 4:
        return QDate(today.year(), part(text.left(2)), part(text.mid(2, 2)));
    case 1:
    case 2: {
        const QDate month = shown.isValid() ? shown : today;
        return QDate(month.year(), month.month(), part(text));
    }
    default:
        return QDate();
    }
}

QDate DateField::today() const
{
    return today_ ? today_() : date();
}

bool DateField::takeTyped()
{
    if (!typing_)
        return true;
    // The program showed another date meanwhile: what was typed is over.
    if (lineEdit()->text() != typed_) {
        typing_ = false;
        typed_.clear();
        return true;
    }
    const QDate d = readTyped(typed_, date(), today());
    if (!d.isValid() || d < minimumDate() || d > maximumDate()) {
        // Told once the current event is done: the refusal may come while the focus moves.
        if (!telling_) {
            telling_ = true;
            const QString text = QStringLiteral("“%1”不是有效的日期，请按年月日输入，例如 20261231、2026-12-31 或 12-31。")
                                     .arg(typed_);
            QMetaObject::invokeMethod(
                this,
                [this, text] {
                    telling_ = false;
                    Q_EMIT refused(text);
                },
                Qt::QueuedConnection);
        }
        return false;
    }
    typing_ = false;
    typed_.clear();
    setDate(d);
    setDateTime(dateTime()); // shows the long form also when the date is the one shown before
    return true;
}

void DateField::showTyped()
{
    const QSignalBlocker block(lineEdit());
    lineEdit()->setText(typed_);
    lineEdit()->setCursorPosition(int(typed_.size()));
}

void DateField::stopTyping()
{
    typing_ = false;
    typed_.clear();
    setDateTime(dateTime());
}

QValidator::State DateField::validate(QString &text, int &pos) const
{
    // A typed text is judged when it is taken, not key by key as a sectioned date would be.
    if (typing_)
        return QValidator::Intermediate;
    return QDateEdit::validate(text, pos);
}

void DateField::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    const bool plain = !(event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier));
    const QString text = event->text();
    const QChar c = text.size() == 1 ? text[0] : QChar();
    if (plain && !isReadOnly() && c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
        if (!typing_ || lineEdit()->text() != typed_) {
            typing_ = true;
            typed_.clear();
        }
        if (typed_.size() < 10)
            typed_ += c;
        showTyped();
        event->accept();
        return;
    }
    if (typing_) {
        const bool separator = plain && (isSeparator(c) || key == Qt::Key_Right);
        if (separator) {
            if (!typed_.isEmpty() && !isSeparator(typed_.back()) && typed_.size() < 10)
                typed_ += isSeparator(c) ? c : QLatin1Char('-');
            showTyped();
            event->accept();
            return;
        }
        switch (key) {
        case Qt::Key_Backspace:
            typed_.chop(1);
            typed_.isEmpty() ? stopTyping() : showTyped();
            event->accept();
            return;
        case Qt::Key_Escape:
            stopTyping();
            event->accept();
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Up:
        case Qt::Key_Down:
            if (!takeTyped()) {
                event->accept();
                return;
            }
            break;
        default:
            if (!text.isEmpty() || key == Qt::Key_Left || key == Qt::Key_Delete || key == Qt::Key_Home ||
                key == Qt::Key_End) {
                event->accept(); // nothing else edits a typed date
                return;
            }
        }
    }
    if (plain && !isReadOnly() && (key == Qt::Key_Up || key == Qt::Key_Down)) {
        setDate(date().addDays(key == Qt::Key_Up ? 1 : -1));
        event->accept();
        return;
    }
    QDateEdit::keyPressEvent(event);
}

bool DateField::focusNextPrevChild(bool next)
{
    // Tab leaves the field, as in any other field, rather than walking its year, month and day.
    if (!takeTyped())
        return true;
    return QWidget::focusNextPrevChild(next);
}

void DateField::focusInEvent(QFocusEvent *event)
{
    QDateEdit::focusInEvent(event);
    if (typing_)
        showTyped();
}

void DateField::focusOutEvent(QFocusEvent *event)
{
    // Another window (a message, the calendar) takes the focus for a while: nothing is taken yet.
    const bool away = event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason;
    const bool keep = typing_ && (away || !takeTyped());
    QDateEdit::focusOutEvent(event);
    if (keep)
        showTyped();
}

void DateField::mousePressEvent(QMouseEvent *event)
{
    if (!takeTyped()) {
        event->accept();
        return;
    }
    QDateEdit::mousePressEvent(event);
}

} // namespace tolva
