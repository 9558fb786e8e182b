#include "passchange.h"
#include "ui_passchange.h"

#include "passwordfield.h"
#include "userrules.h"
#include "widgets/context.h"

namespace tolva {

Tsbpasschange::Tsbpasschange(Context &context, QWidget *parent)
    : Screen(context, parent), ui(std::make_unique<Ui::Tsbpasschange>())
{
    ui->setupUi(this);
    setUpFrame(nullptr, false);
    users::starEcho(ui->edt_pass, users::PasswordLength);
    users::starEcho(ui->edt_pass2, users::PasswordLength);
    enterChain({ui->edt_pass, ui->edt_pass2});
    on(ui->btn_ok, &QPushButton::clicked, &Tsbpasschange::btn_okClick);
    on(ui->btn_exit, &QPushButton::clicked, &QDialog::reject);
}

Tsbpasschange::~Tsbpasschange() = default;

void Tsbpasschange::btn_okClick()
{
    const Outcome outcome =
        users::changePassword(context().store(), user_, ui->edt_pass->text(), ui->edt_pass2->text());
    if (!outcome) {
        ui->edt_pass->clear();
        ui->edt_pass2->clear();
        accepted(outcome, ui->edt_pass);
        return;
    }
    message(QStringLiteral("密码已经成功修改，以后系统将启用新密码！"));
    accept();
}

void Tsbpasschange::hideEvent(QHideEvent *event)
{
    ui->edt_pass->clear();
    ui->edt_pass2->clear();
    Screen::hideEvent(event);
}

} // namespace tolva
