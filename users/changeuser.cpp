#include "changeuser.h"
#include "ui_changeuser.h"

#include "passwordfield.h"
#include "userrules.h"
#include "widgets/context.h"
#include "widgets/numerickey.h"

namespace tolva {

Tsbpassb::Tsbpassb(Context &context, QWidget *parent)
    : Screen(context, parent), ui(std::make_unique<Ui::Tsbpassb>())
{
    ui->setupUi(this);
    // Once per opening: the message after a wrong password must not reset the count of tries.
    setUpFrame(nullptr, false, Closing::ExitButtonOnly, Activation::OncePerOpening);
    ui->combobox1->setEditable(false);
    users::starEcho(ui->Edit1, users::PasswordLength);
    ui->Label3->setText(QStringLiteral("初次使用密码为") + Context::defaultPassword() +
                        QStringLiteral("，进入系统后您可以修改密码。"));
    on(ui->combobox1, &QComboBox::currentIndexChanged, &Tsbpassb::combobox1Change);
    MouseChoiceFilter::moveFocusOn(ui->combobox1, ui->Edit1);
    on(ui->BitBtn1, &QPushButton::clicked, &Tsbpassb::BitBtn1Click);
    on(ui->BitBtn2, &QPushButton::clicked, &QDialog::accept);
    EnterKeyFilter::press(ui->Edit1, ui->BitBtn1);
}

Tsbpassb::~Tsbpassb() = default;

void Tsbpassb::FormActivate()
{
    failures_ = 0;
    filling_ = true;
    ui->combobox1->clear();
    const Rows names = context().store().select(QStringLiteral("select namea from sbpass.db"));
    if (names.rows.size() == 1) {
        ui->combobox1->setEnabled(false);
    } else {
        ui->combobox1->setEnabled(true);
        for (const auto &row : names.rows)
            ui->combobox1->addItem(row[0].toString());
    }
    ui->combobox1->setCurrentIndex(ui->combobox1->count() > 0 ? 0 : -1);
    filling_ = false;
    ui->Edit1->clear();
    ui->Edit1->setFocus();
}

void Tsbpassb::combobox1Change(int index)
{
    if (filling_ || index < 0)
        return;
    // Remembered at once, as at login.
    users::rememberNamePosition(context().settings(), index);
}

void Tsbpassb::BitBtn1Click()
{
    Dataset &user = context().currentUser();
    if (users::logIn(user, ui->combobox1->currentText(), ui->Edit1->text())) {
        context().setUserName(user.text(QStringLiteral("namea")));
        accept();
        return;
    }
    ++failures_;
    if (failures_ < 3) {
        message(QStringLiteral("密码输入错误！还有") + QString::number(3 - failures_) +
                QStringLiteral("次机会,请重新输入！"));
        ui->Edit1->clear();
        ui->Edit1->setFocus();
        return;
    }
    message(QStringLiteral("您为非法用户，系统一些功能将无法使用！"));
    accept();
}

} // namespace tolva
