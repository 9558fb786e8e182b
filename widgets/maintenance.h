#pragma once

#include <QDialog>
#include <QObject>
#include <QPointer>
#include <QPushButton>

#include <functional>

namespace tolva {

class Interaction;

// The four buttons of a record-maintenance screen, whose captions are their state:
// "编辑(&E)" or "添加(&A)" start editing, the same button then reads "保存(&S)" and saves, and
// "删除(&D)" reads "取消(&C)" and discards. While editing, the other buttons and the screen's lists
// are disabled and its fields writable; with no rows, "编辑(&E)" is disabled. The screen supplies
// the steps; a store error during a step is shown and leaves the screen as it was.
class MaintenanceButtons : public QObject {
    Q_OBJECT
public:
    enum class Mode { Idle, Editing, Adding };

    static QString editCaption() { return QStringLiteral("编辑(&E)"); }
    static QString addCaption() { return QStringLiteral("添加(&A)"); }
    static QString saveCaption() { return QStringLiteral("保存(&S)"); }
    static QString deleteCaption() { return QStringLiteral("删除(&D)"); }
    static QString cancelCaption() { return QStringLiteral("取消(&C)"); }

    MaintenanceButtons(QPushButton *edit, QPushButton *add, QPushButton *del, QPushButton *exit,
                       Interaction &interaction, QObject *parent = nullptr);

    // Disabled while editing.
    void setLists(const QList<QWidget *> &lists) { lists_ = lists; }
    // Writable only while editing (line edits become read-only, other controls disabled).
    void setFields(const QList<QWidget *> &fields) { fields_ = fields; }

    std::function<bool()> startEdit;  // put the current row into edit; false refuses to start
    std::function<bool()> startAdd;   // append a row with its defaults; false refuses to start
    std::function<bool()> save;       // validate and post; false keeps the screen editing
    std::function<void()> cancel;     // discard the pending row
    std::function<void()> remove;     // delete the current row, with the screen's confirmation
    std::function<bool()> isEmpty;    // the main result set has no rows
    std::function<void()> afterAction; // anything the screen refreshes after each action

    Mode mode() const { return mode_; }
    // Shows or hides the three changing buttons by the user's right. Without it the buttons start
    // nothing even when clicked, so no edit, addition or deletion begins by any way.
    void setMayEdit(bool mayEdit);
    bool mayEdit() const { return mayEdit_; }
    // Puts captions and enabled states in line with the mode.
    void refresh();

    void editClicked();
    void addClicked();
    void deleteClicked();

    // A save refused in a way that ends editing (a duplicate): shows the message and runs the
    // screen's cancel step; returns true, so the screen goes back to idle.
    bool discard(QWidget *parent, const QString &message);

    // The usual question before a row goes: with no rows "无记录可删除！", otherwise
    // "的要删除[name]这个数据吗？"; true when the person confirms.
    bool confirmRemoval(QWidget *parent, bool empty, const QString &name);

private:
    bool run(const std::function<void()> &step);
    void setMode(Mode mode);

    QPointer<QPushButton> edit_, add_, del_, exit_;
    Interaction &interaction_;
    QList<QWidget *> lists_, fields_;
    Mode mode_ = Mode::Idle;
    bool mayEdit_ = true;
};

} // namespace tolva
