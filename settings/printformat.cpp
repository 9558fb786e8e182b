#include "printformat.h"
#include "ui_printformat.h"

#include "settingsrules.h"
#include "widgets/context.h"

#include "widgets/datefield.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QPushButton>

namespace tolva {

Tczbp_setup::Tczbp_setup(Context &context, QWidget *parent)
    : Screen(context, parent), ui(std::make_unique<Ui::Tczbp_setup>()), format_(new QButtonGroup(this)),
      method_(new QButtonGroup(this))
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("Tczbp_setup"));
    // The closed period: nothing dated on or before the closing date changes any more.
    closing_ = new QGroupBox(QStringLiteral("结账日期（扎账）"), this);
    closing_->setObjectName(QStringLiteral("check3"));
    closingDate_ = new DateField(closing_);
    closingDate_->setObjectName(QStringLiteral("d_zzrq"));
    closingShown_ = new QLabel(closing_);
    closingShown_->setObjectName(QStringLiteral("Label_zzrq"));
    close_ = new QPushButton(QStringLiteral("结账(&J)"), closing_);
    close_->setObjectName(QStringLiteral("btn_zz"));
    open_ = new QPushButton(QStringLiteral("取消结账(&Q)"), closing_);
    open_->setObjectName(QStringLiteral("btn_zz0"));
    auto *row = new QHBoxLayout(closing_);
    auto *label = new QLabel(QStringLiteral("结账到(&D)"), closing_);
    label->setBuddy(closingDate_);
    row->addWidget(label);
    row->addWidget(closingDate_);
    row->addWidget(close_);
    row->addWidget(open_);
    row->addWidget(closingShown_, 1);
    ui->layoutMain->insertWidget(3, closing_);
    closingDate_->setDate(context.today());
    connect(close_, &QPushButton::clicked, this, [this] { closeClicked(false); });
    connect(open_, &QPushButton::clicked, this, [this] { closeClicked(true); });
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
    showClosing();
}

void Tczbp_setup::showClosing()
{
    const QDate closing = settings::closingDate(context().settings());
    closingShown_->setText(closing.isValid() ? QStringLiteral("已结账到 %1").arg(closing.toString(Qt::ISODate))
                                             : QStringLiteral("没有结账"));
    // Only "管理" closes and opens periods.
    const bool administer = context().mayAdminister();
    closingDate_->setEnabled(administer);
    close_->setEnabled(administer);
    open_->setEnabled(administer && closing.isValid());
}

void Tczbp_setup::closeClicked(bool open)
{
    if (!open && !closingDate_->takeTyped())
        return; // the field tells why
    guard([&] {
        Dataset &srf = context().settings();
        const QDate date = open ? QDate() : closingDate_->date();
        QString reason;
        if (settings::movesClosingBack(srf, date)) {
            QInputDialog ask(this);
            ask.setObjectName(QStringLiteral("ReasonDialog"));
            ask.setWindowTitle(windowTitle());
            ask.setLabelText(QStringLiteral("结账日期由 %1 改为 %2，已结账的数据将可以修改。请输入原因：")
                                 .arg(settings::closingDate(srf).toString(Qt::ISODate),
                                      date.isValid() ? date.toString(Qt::ISODate) : QStringLiteral("不结账")));
            ask.setOkButtonText(QStringLiteral("确定"));
            ask.setCancelButtonText(QStringLiteral("取消"));
            if (context().interaction().exec(&ask) != QDialog::Accepted)
                return;
            reason = ask.textValue();
        }
        accepted(settings::setClosingDate(context().rights(), srf, date, reason), closingDate_);
    });
    showClosing();
}

void Tczbp_setup::optionClicked(const QString &column, int position)
{
    if (accepted(settings::choose(context().rights(), context().settings(), column, position)))
        return;
    FormActivate(); // the stored choice shows again
}

} // namespace tolva
