#include "passcheck.h"
#include "ui_passcheck.h"

#include "passchange.h"
#include "useradmin.h"
#include "passwordfield.h"
#include "userrules.h"
#include "widgets/context.h"
#include "widgets/numerickey.h"

namespace tolva {

Tsbpassjc::Tsbpassjc(Context &context, QWidget *parent)
    : Screen(context, parent), ui(std::make_unique<Ui::Tsbpassjc>()),
      administration_(new Tsbpassset(context, this)), change_(new Tsbpasschange(context, this))
{
    ui->setupUi(this);
    // Once per opening: the message after a wrong password must not refill the list.
    setUpFrame(nullptr, false, Closing::Free, Activation::OncePerOpening);
    ui->combobox1->setEditable(false);
    users::starEcho(ui->edit1, users::PasswordLength);
    on(ui->combobox1, &QComboBox::activated, [this] {
        ui->edit1->setEnabled(true);
        ui->btn_login->setEnabled(true);
    });
    MouseChoiceFilter::moveFocusOn(ui->combobox1, ui->edit1);
    on(ui->btn_login, &QPushButton::clicked, &Tsbpassjc::btn_loginClick);
    on(ui->btn_exit, &QPushButton::clicked, &QDialog::reject);
    EnterKeyFilter::press(ui->edit1, ui->btn_login);
}

Tsbpassjc::~Tsbpassjc() = default;

void Tsbpassjc::FormActivate()
{
    ui->combobox1->clear();
    for (const auto &row : context().store().select(QStringLiteral("select namea from sbpass")).rows)
        ui->combobox1->addItem(row[0].toString());
    ui->combobox1->setCurrentIndex(ui->combobox1->count() > 0 ? 0 : -1);
    ui->edit1->clear();
    ui->edit1->setFocus();
}

void Tsbpassjc::btn_loginClick()
{
    const QString name = ui->combobox1->currentText();
    const std::optional<QString> right = users::check(context().store(), name, ui->edit1->text());
    if (!right) {
        message(QStringLiteral("您输入的密码不正确,无权进入！"));
    } else if (*right == users::administration()) {
        context().interaction().exec(administration_);
    } else {
        change_->setUser(name);
        context().interaction().exec(change_);
    }
    ui->combobox1->clear();
    ui->edit1->clear();
    accept();
}

} // namespace tolva
