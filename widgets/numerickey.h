#pragma once

#include <QObject>
#include <QString>

class QAbstractButton;
class QComboBox;
class QLineEdit;
class QWidget;

namespace tolva {

// The key filter of every numeric entry field. Given the field's whole text and the typed
// character, returns false (the key is swallowed) when: the key is "." and the text is empty or
// holds a "." already; the key is "-" and the text is not empty; the key is none of backspace,
// carriage return, "-", ".", "0" to "9"; or the text is exactly "0" and the key is "0".
bool FilterNumericKey(const QString &text, QChar key);

// For fields that take a leading minus: "-" only with the caret at the very start and no "-" in
// the text; every other key as FilterNumericKey.
bool FilterSignedKey(const QString &text, int caret, QChar key);

// Applies FilterNumericKey (or FilterSignedKey) to the typed characters of line edits. Control
// keys (arrows, delete, the clipboard shortcuts) are left alone.
class NumericKeyFilter : public QObject {
    Q_OBJECT
public:
    enum class Sign { None, Leading };
    static void install(QLineEdit *field, Sign sign = Sign::None);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    NumericKeyFilter(QObject *parent, Sign sign) : QObject(parent), sign_(sign) {}
    Sign sign_;
};

// Enter in a field does not reach it: it moves the focus on, or presses the window's main button.
class EnterKeyFilter : public QObject {
    Q_OBJECT
public:
    // Enter in `field` moves the focus to the next control.
    static void moveFocusOn(QWidget *field);
    // Enter in `field` clicks `button`.
    static void press(QWidget *field, QAbstractButton *button);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    EnterKeyFilter(QObject *parent, QAbstractButton *button) : QObject(parent), button_(button) {}
    QAbstractButton *button_;
};

// A name chosen from a list's drop-down with the mouse moves the focus on to `next` (the password
// after the user's name). A choice made with the keys leaves the focus on the list, so that Tab
// goes on from it as the clerk expects.
class MouseChoiceFilter : public QObject {
    Q_OBJECT
public:
    static void moveFocusOn(QComboBox *list, QWidget *next);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit MouseChoiceFilter(QObject *parent) : QObject(parent) {}
    bool clicked_ = false;
};

} // namespace tolva
