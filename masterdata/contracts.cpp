#include "contracts.h"
#include "ui_contracts.h"

#include "contractrules.h"
#include "contractsearch.h"
#include "printing/printaction.h"
#include "export/exportaction.h"
#include "widgets/context.h"

namespace tolva {

Tsp2::Tsp2(Context &context, QWidget *parent)
    : MaintenanceScreen(context, parent), ui(std::make_unique<Ui::Tsp2>()), query1_(context.store())
{
    ui->setupUi(this);
    excel::offerExport(context, this);
    setObjectName(QStringLiteral("sp2"));
    setUpFrame(ui->StatusBar1, true);
    setUpButtons(query1_, {ui->btn1_edit, ui->btn1_add, ui->btn1_del, ui->btn1_exit}, {ui->DBGrid1, ui->btn1_print, ui->Edit1});

    ui->DBGrid1->setColumns({{QStringLiteral("khm"), QStringLiteral("客户名称"), QString(), Qt::AlignLeft, 200},
                             {QStringLiteral("numa"), QStringLiteral("合同号"), QString(), Qt::AlignLeft, 100},
                             {QStringLiteral("jz"), QStringLiteral("是否结帐"), QString(), Qt::AlignCenter, 70},
                             {QStringLiteral("begina"), QStringLiteral("租赁开始日期"), QStringLiteral("yyyy-mm-dd"),
                              Qt::AlignCenter, 100},
                             {QStringLiteral("enda"), QStringLiteral("租赁结束日期"), QStringLiteral("yyyy-mm-dd"),
                              Qt::AlignCenter, 100}});
    ui->DBGrid1->setDataset(&query1_);
    ui->DBEdit1->bind(&query1_, QStringLiteral("khm"));
    ui->DBEdit2->bind(&query1_, QStringLiteral("numa"));
    ui->box1->addItems({contracts::settled(), contracts::open()});
    ui->box1->bind(&query1_, QStringLiteral("jz"));
    enterChain({ui->DBEdit1, ui->DBEdit2, ui->box1, ui->d1, ui->d2});
    ui->d1->setEnabled(false);
    ui->d2->setEnabled(false);
    // Until a contract is shown, the pickers show today.
    ui->d1->setDate(context.today());
    ui->d2->setDate(context.today());

    on(ui->btn1_print, &QPushButton::clicked, &Tsp2::btn1_printClick);
    on(ui->Edit1, &QLineEdit::textChanged, &Tsp2::Edit1Change);
    on(&query1_, &Dataset::currentChanged, [this] {
        if (!editing())
            showDates();
    });
    on(ui->box1, &QComboBox::currentTextChanged, &Tsp2::settledChanged);
    // The pending row shows the period as it is picked or typed.
    for (QDateEdit *date : {ui->d1, ui->d2})
        on(date, &QDateEdit::dateChanged, [this] {
            if (showing_ || !query1_.isEditing())
                return;
            query1_.setValue(QStringLiteral("begina"), ui->d1->date());
            query1_.setValue(QStringLiteral("enda"), ui->d2->date());
        });
}

Tsp2::~Tsp2() = default;

void Tsp2::FormActivate()
{
    if (!mayEdit())
        ui->Edit1->setFocus();
    query1_.close();
    query1_.open(QStringLiteral("select * from sp2"));
    if (!query1_.isEmpty())
        query1_.last();
    showDates();
    context().applyInputMethod({ui->DBEdit1, ui->Edit1});
}

void Tsp2::afterAction()
{
    const bool settled = query1_.currentRow() >= 0 && query1_.text(QStringLiteral("jz")) == contracts::settled();
    ui->d1->setEnabled(editing() && !settled);
    ui->d2->setEnabled(editing() && !settled);
}

void Tsp2::showDates()
{
    if (query1_.currentRow() < 0)
        return;
    showing_ = true;
    const QDate begin = query1_.date(QStringLiteral("begina"));
    const QDate end = query1_.date(QStringLiteral("enda"));
    if (begin.isValid())
        ui->d1->setDate(begin);
    if (end.isValid())
        ui->d2->setDate(end);
    showing_ = false;
}

void Tsp2::settledChanged()
{
    if (!editing())
        return;
    // A settled contract's period cannot change.
    const bool settled = ui->box1->currentText() == contracts::settled();
    ui->d1->setEnabled(!settled);
    ui->d2->setEnabled(!settled);
}

void Tsp2::Edit1Change()
{
    openContracts(query1_, ui->Edit1->text());
    buttons().refresh();
    showDates();
}

bool Tsp2::startEdit()
{
    oldKhm_ = query1_.text(QStringLiteral("khm"));
    oldNuma_ = query1_.text(QStringLiteral("numa"));
    query1_.edit();
    ui->DBEdit1->setFocus();
    return true;
}

bool Tsp2::startAdd()
{
    oldKhm_.clear();
    oldNuma_.clear();
    query1_.append();
    query1_.setValue(QStringLiteral("jz"), contracts::open());
    query1_.setValue(QStringLiteral("a1"), QStringLiteral("其它"));
    query1_.setValue(QStringLiteral("a2"), 0.0);
    query1_.setValue(QStringLiteral("begina"), ui->d1->date());
    query1_.setValue(QStringLiteral("enda"), ui->d2->date());
    ui->DBEdit1->setFocus();
    return true;
}

bool Tsp2::save()
{
    const contracts::Change change{adding(),           oldKhm_, oldNuma_, ui->DBEdit1->text(), ui->DBEdit2->text(),
                                   ui->d1->date(), ui->d2->date()};
    const Outcome outcome = contracts::save(context().store(), query1_, change);
    QWidget *focus = outcome.field() == QLatin1String("khm")    ? static_cast<QWidget *>(ui->DBEdit1)
                     : outcome.field() == QLatin1String("numa") ? static_cast<QWidget *>(ui->DBEdit2)
                     : outcome.field() == QLatin1String("d2")   ? static_cast<QWidget *>(ui->d2)
                                                                : static_cast<QWidget *>(ui->d1);
    return saved(outcome, focus);
}

void Tsp2::cancel()
{
    query1_.cancel();
    showDates();
}

void Tsp2::remove()
{
    if (query1_.currentRow() >= 0 && !accepted(contracts::mayRemove(query1_.text(QStringLiteral("jz")))))
        return;
    if (query1_.isEmpty()) {
        message(QStringLiteral("无记录可删除！"));
        return;
    }
    if (!confirm(QStringLiteral("真的要删除[") + query1_.text(QStringLiteral("khm")) + QStringLiteral("]这个数据吗？")))
        return;
    const contracts::Holdings held = contracts::holdings(context().store(), query1_.text(QStringLiteral("numa")));
    if (held.any() && !confirm(QStringLiteral("数据库中有数据，如果您选择确定删除，将删除当前客户的所有数据（") +
                               held.describe() + QStringLiteral("）。")))
        return;
    contracts::remove(context().store(), query1_);
    showDates();
}

void Tsp2::btn1_printClick()
{
    report::Sources sources;
    sources.datasets.insert(QStringLiteral("Query1"), &query1_);
    printAction(context(), this, query1_, ui->DBGrid1, report::Template::load(QStringLiteral("contracts")), sources);
}

} // namespace tolva
