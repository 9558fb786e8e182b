#pragma once

#include <QDateEdit>

#include <functional>

namespace tolva {

// The date picker of every screen. It shows the long form ("2026年12月31日") and takes a date typed
// as digits, the way clerks type dates: "20261231", "2026-12-31" (or with "." or "/"), "12-31" or
// "1231" (this year), "31" (that day of the month shown). A typed date counts once the field is
// left (Enter, Tab, a click elsewhere); Right adds a separator, Backspace takes a character back,
// Escape gives the shown date back. Up and Down step the day. A text that is no date stays typed
// and refused() says why; the field keeps the date it had.
class DateField : public QDateEdit {
    Q_OBJECT
public:
    explicit DateField(QWidget *parent = nullptr);

    // "Today" for dates typed without a year; the context's clock on the program's screens.
    void setToday(std::function<QDate()> today) { today_ = std::move(today); }
    // The date a typed text stands for, seen from `shown` (the field's date) and `today`; an
    // invalid date when the text is none.
    static QDate readTyped(const QString &text, const QDate &shown, const QDate &today);
    // True while a typed text waits to be taken (or was refused).
    bool typing() const { return typing_; }
    QString typedText() const { return typed_; }
    // Takes the typed text as the date: true when it was one (or nothing was typed); otherwise the
    // text stays and refused() follows once the current event is done.
    bool takeTyped();

Q_SIGNALS:
    void refused(const QString &message);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    bool focusNextPrevChild(bool next) override;
    QValidator::State validate(QString &text, int &pos) const override;

private:
    void showTyped();
    void stopTyping();
    QDate today() const;

    std::function<QDate()> today_;
    QString typed_;
    bool typing_ = false;
    bool telling_ = false;
};

} // namespace tolva
