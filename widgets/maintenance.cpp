#include "maintenance.h"

#include "guard.h"
#include "interaction.h"
#include "store/store.h"

#include <QCloseEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTextEdit>

namespace tolva {

MaintenanceButtons::MaintenanceButtons(QPushButton *edit, QPushButton *add, QPushButton *del, QPushButton *exit,
                                       Interaction &interaction, QObject *parent)
    : QObject(parent), edit_(edit), add_(add), del_(del), exit_(exit), interaction_(interaction)
{
    connect(edit_, &QPushButton::clicked, this, &MaintenanceButtons::editClicked);
    connect(add_, &QPushButton::clicked, this, &MaintenanceButtons::addClicked);
    connect(del_, &QPushButton::clicked, this, &MaintenanceButtons::deleteClicked);
}

bool MaintenanceButtons::run(const std::function<void()> &step)
{
    return guard(interaction_, edit_ ? edit_->window() : nullptr, step);
}

void MaintenanceButtons::editClicked()
{
    if (mode_ == Mode::Idle && !mayEdit_)
        return;
    if (mode_ == Mode::Idle) {
        bool started = false;
        if (run([&] { started = !startEdit || startEdit(); }) && started)
            setMode(Mode::Editing);
    } else if (mode_ == Mode::Editing) {
        bool saved = false;
        if (run([&] { saved = !save || save(); }) && saved)
            setMode(Mode::Idle);
    }
}

void MaintenanceButtons::addClicked()
{
    if (mode_ == Mode::Idle && !mayEdit_)
        return;
    if (mode_ == Mode::Idle) {
        bool started = false;
        if (run([&] { started = !startAdd || startAdd(); }) && started)
            setMode(Mode::Adding);
    } else if (mode_ == Mode::Adding) {
        bool saved = false;
        if (run([&] { saved = !save || save(); }) && saved)
            setMode(Mode::Idle);
    }
}

void MaintenanceButtons::deleteClicked()
{
    if (mode_ == Mode::Idle && !mayEdit_)
        return;
    if (mode_ == Mode::Idle) {
        run(remove);
        refresh();
    } else {
        run(cancel);
        setMode(Mode::Idle);
    }
}

void MaintenanceButtons::setMode(Mode mode)
{
    mode_ = mode;
    refresh();
}

void MaintenanceButtons::setMayEdit(bool mayEdit)
{
    mayEdit_ = mayEdit;
    edit_->setVisible(mayEdit);
    add_->setVisible(mayEdit);
    del_->setVisible(mayEdit);
}

void MaintenanceButtons::refresh()
{
    const bool editing = mode_ != Mode::Idle;
    edit_->setText(mode_ == Mode::Editing ? saveCaption() : editCaption());
    add_->setText(mode_ == Mode::Adding ? saveCaption() : addCaption());
    del_->setText(editing ? cancelCaption() : deleteCaption());
    edit_->setEnabled(mode_ == Mode::Editing || (mode_ == Mode::Idle && !(isEmpty && isEmpty())));
    add_->setEnabled(mode_ != Mode::Editing);
    del_->setEnabled(true);
    if (exit_)
        exit_->setEnabled(!editing);
    for (QWidget *w : lists_)
        w->setEnabled(!editing);
    for (QWidget *w : fields_) {
        if (auto *line = qobject_cast<QLineEdit *>(w))
            line->setReadOnly(!editing);
        else if (auto *text = qobject_cast<QTextEdit *>(w))
            text->setReadOnly(!editing);
        else if (auto *plain = qobject_cast<QPlainTextEdit *>(w))
            plain->setReadOnly(!editing);
        else
            w->setEnabled(editing);
    }
    if (afterAction)
        afterAction();
}

bool MaintenanceButtons::discard(QWidget *parent, const QString &message)
{
    interaction_.message(parent, message);
    if (cancel)
        cancel();
    return true;
}

bool MaintenanceButtons::confirmRemoval(QWidget *parent, bool empty, const QString &name)
{
    if (empty) {
        interaction_.message(parent, QStringLiteral("无记录可删除！"));
        return false;
    }
    return interaction_.confirm(parent, QStringLiteral("的要删除[") + name + QStringLiteral("]这个数据吗？"));
}

} // namespace tolva
