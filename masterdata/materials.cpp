#include "materials.h"
#include "ui_materials.h"

#include "materialrules.h"
#include "export/exportaction.h"
#include "widgets/context.h"
#include "widgets/dbfields.h"
#include "widgets/numerickey.h"

#include <QRadioButton>


namespace tolva {

namespace {
const QString Name = QStringLiteral("namea");
}

Tsp1::Tsp1(Context &context, QWidget *parent)
    : MaintenanceScreen(context, parent), ui(std::make_unique<Ui::Tsp1>()), query1_(context.store())
{
    ui->setupUi(this);
    excel::offerExport(context, this);
    setObjectName(QStringLiteral("sp1"));
    setUpFrame(nullptr, false, Closing::ExitButtonOnly);
    setUpButtons({ui->btn1_edit, ui->btn1_add, ui->btn1_del, ui->btn1_exit}, {ui->DBGrid1},
                 {ui->Edit1, ui->DBEdit1, ui->DBEdit2, ui->check1});

    ui->DBGrid1->setColumns({{QStringLiteral("namea"), QStringLiteral("材料名称"), QString(), Qt::AlignLeft, 140},
                             {QStringLiteral("dj"), QStringLiteral("单价"), QStringLiteral("#0.0000;-#0.0000;#"),
                              Qt::AlignRight, 100},
                             {QStringLiteral("Kc"), QStringLiteral("库存期初数"), QStringLiteral("#0.00;-#0.00;#"),
                              Qt::AlignRight, 110},
                             {QStringLiteral("numsb"), QStringLiteral("小数位数"), QStringLiteral("0"), Qt::AlignRight, 80}});
    ui->DBGrid1->gridModel()->setTitleColour(Qt::blue);
    ui->DBGrid1->setDataset(&query1_);
    ui->DBEdit1->bind(&query1_, QStringLiteral("dj"), QStringLiteral("#0.0000;-#0.0000;#"));
    ui->DBEdit2->bind(&query1_, QStringLiteral("Kc"), QStringLiteral("#0.00;-#0.00;#"));
    ui->Edit1->setReadOnly(true);
    // The name may hold 10 GBK bytes: longer input is not accepted.
    ui->Edit1->setValidator(new GbkLengthValidator(10, ui->Edit1));
    ui->check1->setEnabled(false);

    enterChain({ui->Edit1, ui->DBEdit1, ui->DBEdit2});
    NumericKeyFilter::install(ui->DBEdit1, NumericKeyFilter::Sign::Leading);
    NumericKeyFilter::install(ui->DBEdit2, NumericKeyFilter::Sign::Leading);

    connect(&query1_, &Dataset::currentChanged, this, [this] {
        if (!editing())
            showCurrent();
    });
}

Tsp1::~Tsp1() = default;

void Tsp1::FormActivate()
{
    query1_.close();
    query1_.open(QStringLiteral("select * from sp1"));
    if (!query1_.isEmpty())
        query1_.last();
    showCurrent();
    context().applyInputMethod({ui->Edit1});
}

int Tsp1::decimals() const
{
    for (int i = 0; i < 5; ++i)
        if (auto *b = findChild<QRadioButton *>(QStringLiteral("check1_%1").arg(i)); b && b->isChecked())
            return i;
    return 0;
}

void Tsp1::setDecimals(int index)
{
    if (auto *b = findChild<QRadioButton *>(QStringLiteral("check1_%1").arg(qBound(0, index, 4))))
        b->setChecked(true);
}

void Tsp1::showCurrent()
{
    if (query1_.isEmpty() || query1_.currentRow() < 0) {
        ui->Edit1->clear();
        return;
    }
    ui->Edit1->setText(query1_.text(Name));
    setDecimals(int(query1_.number(QStringLiteral("numsb"))));
}

bool Tsp1::startEdit()
{
    query1_.edit();
    ui->Edit1->setReadOnly(false);
    ui->Edit1->setFocus();
    return true;
}

bool Tsp1::startAdd()
{
    if (!accepted(materials::mayAdd(context().store())))
        return false;
    query1_.append();
    query1_.setValue(QStringLiteral("dj"), 0.0);
    query1_.setValue(QStringLiteral("kc"), 0.0);
    setDecimals(0);
    ui->Edit1->clear();
    ui->Edit1->setReadOnly(false);
    ui->Edit1->setFocus();
    return true;
}

bool Tsp1::save()
{
    const Outcome outcome = materials::save(context().store(), query1_, {adding(), ui->Edit1->text(), decimals()});
    return saved(outcome, outcome.field() == QLatin1String("dj") ? static_cast<QWidget *>(ui->DBEdit1) : ui->Edit1);
}

void Tsp1::cancel()
{
    query1_.cancel();
    showCurrent();
}

void Tsp1::remove()
{
    if (!buttons().confirmRemoval(this, query1_.isEmpty(), query1_.isEmpty() ? QString() : query1_.text(Name)))
        return;
    if (!accepted(materials::removeUnused(context().store(), query1_, ui->Edit1->text())))
        return;
    showCurrent();
}

} // namespace tolva
