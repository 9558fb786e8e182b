#pragma once

#include "widgets/screen.h"

#include <memory>

namespace Ui {
class Tsbrestor;
}

namespace tolva {

// Backup and restore of the data folder, for the administrator. While it is open the program's
// shared result sets are closed; closing it reopens them and looks the current user up again by
// name, in the data as they now are.
class Tsbrestor : public Screen {
    Q_OBJECT
public:
    explicit Tsbrestor(Context &context, QWidget *parent = nullptr);
    ~Tsbrestor() override;

    static QString filter() { return QStringLiteral("文件类型:(*.zip)"); }

    void FormActivate() override;
    void check1Click();
    void btn3Click();
    QString savedUser() const { return savedUser_; }

public Q_SLOTS:
    void done(int result) override;

private:
    void backupData();
    void restoreData();
    bool withPhotos() const;
    // Reopens the shared result sets and reruns the current user by the saved name.
    void closingSteps();

    std::unique_ptr<Ui::Tsbrestor> ui;
    bool opened_ = false;
    bool closed_ = false;
    QString savedUser_, folderName_, stamp_;
};

// At the end of a run in which a user logged in: writes today's automatic backup unless there is
// one, and reports a failure in a message. Never throws.
void backupAtClose(Context &context);

} // namespace tolva
