#include "chooser.h"
#include "ui_chooser.h"

#include "charges.h"
#include "movements.h"
#include "widgets/context.h"
#include "widgets/numerickey.h"
#include "export/exportaction.h"

namespace tolva {

TczbChooser::TczbChooser(Context &context, const Kind &kind, QWidget *parent)
    : Screen(context, parent), ui(std::make_unique<Ui::TczbChooser>()), kind_(kind), query1_(context.store())
{
    ui->setupUi(this);
    excel::offerExport(context, this);
    setObjectName(kind.name);
    setWindowTitle(kind.caption);
    ui->Panel1->setText(kind.banner);
    setUpFrame(nullptr, false, Closing::ExitButtonOnly);

    ui->DBGrid1->setColumns({{QStringLiteral("khm"), QStringLiteral("客户名称"), QString(), Qt::AlignLeft, 280},
                             {QStringLiteral("numa"), QStringLiteral("合同号"), QString(), Qt::AlignLeft, 140}});
    ui->DBGrid1->setDataset(&query1_);
    if (kind.hint)
        ui->DBGrid1->setToolTip(QStringLiteral("双击当前客户,可以直接进入."));
    ui->btn1_add->setDefault(true);
    EnterKeyFilter::press(ui->Edit1, ui->btn1_add);
    EnterKeyFilter::press(ui->DBGrid1, ui->btn1_add);

    on(ui->Edit1, &QLineEdit::textChanged, &TczbChooser::Edit1Change);
    on(ui->DBGrid1, &QAbstractItemView::doubleClicked, &TczbChooser::btn1_addClick);
    on(ui->btn1_add, &QPushButton::clicked, &TczbChooser::btn1_addClick);
    on(ui->btn1_exit, &QPushButton::clicked, &QDialog::accept);
}

TczbChooser::~TczbChooser() = default;

void TczbChooser::FormActivate()
{
    // The list follows the search box, also when an entry screen closes.
    contracts::openUnsettled(query1_, ui->Edit1->text());
    if (!query1_.isEmpty())
        query1_.last();
    context().applyInputMethod({ui->Edit1});
    ui->Edit1->setFocus();
}

void TczbChooser::Edit1Change()
{
    contracts::openUnsettled(query1_, ui->Edit1->text());
}

void TczbChooser::btn1_addClick()
{
    if (query1_.isEmpty() || query1_.currentRow() < 0) {
        message(QStringLiteral("没有数据,请重新选择！"));
        ui->Edit1->clear();
        ui->Edit1->setFocus();
        return;
    }
    std::unique_ptr<QDialog> screen(kind_.open(context(), Contract::current(query1_), this));
    context().interaction().exec(screen.get());
}

Tczblr1::Tczblr1(Context &context, QWidget *parent)
    : TczbChooser(context,
                  {QStringLiteral("czblr1"), QStringLiteral("请选择需要录入数据的客户名称"),
                   QStringLiteral("请选择需要录入数据的客户名称"), true,
                   [](Context &c, const Contract &contract, QWidget *p) { return new Tczblrnow(c, contract, p); }},
                  parent)
{
}

Tczb1lr1::Tczb1lr1(Context &context, QWidget *parent)
    : TczbChooser(context,
                  {QStringLiteral("czb1lr1"), QStringLiteral("请选择需要录入维修费数据的客户名称"),
                   QStringLiteral("请选择需要录入维修费数据的客户名称"), true,
                   [](Context &c, const Contract &contract, QWidget *p) { return new Tczb1lr(c, contract, p); }},
                  parent)
{
}

Tczb2lr1::Tczb2lr1(Context &context, QWidget *parent)
    : TczbChooser(context,
                  {QStringLiteral("czb2lr1"), QStringLiteral("请选择需要录入维修费数据的客户"),
                   QStringLiteral("请选择需要录入报废赔偿费数据的客户"), false,
                   [](Context &c, const Contract &contract, QWidget *p) { return new Tczb2lr(c, contract, p); }},
                  parent)
{
}

} // namespace tolva
