#include "printformat.h"
#include "ui_printformat.h"

#include "settingsrules.h"
#include "widgets/context.h"

#include <QButtonGroup>

namespace tolva {

Tczbp_setup::Tczbp_setup(Context &context, QWidget *parent)
    : Screen(context, parent), ui(std::make_unique<Ui::Tczbp_setup>()), format_(new QButtonGroup(this)),
      method_(new QButtonGroup(this))
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("Tczbp_setup"));
    setUpFrame(nullptr, false, Closing::ExitButtonOnly);
    format_->addButton(ui->check1_0, 0);
    format_->addButton(ui->check1_1, 1);
    format_->addButton(ui->check1_2, 2);
    method_->addButton(ui->check2_0, 0);
    method_->addButton(ui->check2_1, 1);
    method_->addButton(ui->check2_2, 2);
    on(format_, &QButtonGroup::idClicked, [this](int id) { optionClicked(QStringLiteral("b6"), id); });
    on(method_, &QButtonGroup::idClicked, [this](int id) { optionClicked(QStringLiteral("b1"), id); });
    on(ui->btn1_exit, &QPushButton::clicked, &QDialog::accept);
}

Tczbp_setup::~Tczbp_setup() = default;

void Tczbp_setup::FormActivate()
{
    const Dataset &srf = context().settings();
    for (const auto &[group, column] : {std::pair{format_, "b6"}, std::pair{method_, "b1"}}) {
        const int position = srf.isEmpty() ? -1 : int(srf.number(QString::fromLatin1(column)));
        if (QAbstractButton *option = group->button(position))
            option->setChecked(true);
        // Method and print format change the statement: only "录入" and "管理" choose them.
        for (QAbstractButton *option : group->buttons())
            option->setEnabled(mayChangeSettings());
    }
}

void Tczbp_setup::optionClicked(const QString &column, int position)
{
    if (accepted(settings::choose(context().rights(), context().settings(), column, position)))
        return;
    FormActivate(); // the stored choice shows again
}

} // namespace tolva
