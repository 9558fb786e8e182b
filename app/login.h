#pragma once

#include "widgets/screen.h"

#include <functional>
#include <memory>

namespace Ui {
class Tsbpass;
}

namespace tolva {

class Context;

// The login window, on the frame: the housekeeping of the data folder when first shown, then a user
// by name and password. It is left by a user or by "退出(&X)" only (no Escape, no title-bar close);
// three wrong passwords end the program. Constructing it touches no file.
class Tsbpass : public Screen {
    Q_OBJECT
public:
    explicit Tsbpass(Context &context, QWidget *parent = nullptr);
    ~Tsbpass() override;

    // How the program ends (after the third failure or "退出(&X)"); the program's own quit by default.
    std::function<void()> endProgram;
    // The folder of the running program, where an installer leaves "qh_setup".
    QString programFolder;

    // The start-up housekeeping and the name list, once, when the window is first shown.
    void FormActivate() override;
    void BitBtn1Click();
    // "服务器(&S)…": the server of the ledger, or the folder's own file.
    void BitBtn3Click();
    int failures() const { return failures_; }

Q_SIGNALS:
    // A user was accepted: the main menu takes over.
    void loggedIn();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void combobox1Change(int index);
    void housekeeping();
    void fillNames();
    void end();

    std::unique_ptr<Ui::Tsbpass> ui;
    Context &context_;
    int failures_ = 0;
    bool activated_ = false;
    bool filling_ = false;
    bool ending_ = false;
};

} // namespace tolva
