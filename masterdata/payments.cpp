#include "payments.h"
#include "ui_payments.h"

#include "contractsearch.h"
#include "printing/printaction.h"
#include "export/exportaction.h"
#include "widgets/context.h"
#include "paymentrules.h"
#include "widgets/numerickey.h"


namespace tolva {

TspPayments::TspPayments(Context &context, const Kind &kind, QWidget *parent)
    : MaintenanceScreen(context, parent), ui(std::make_unique<Ui::TspPayments>()), kind_(kind),
      contracts_(context.store()), query1_(context.store()), contract_(context.store())
{
    ui->setupUi(this);
    excel::offerExport(context, this);
    setObjectName(kind.table);
    setWindowTitle(kind.caption);
    ui->Panel1->setText(kind.caption);
    ui->Label5->setText(kind.amount);
    setUpFrame(ui->StatusBar1, true);
    setUpButtons(query1_, {ui->btn1_edit, ui->btn1_add, ui->btn1_del, ui->btn1_exit},
                 {ui->DBGrid1, ui->DBGrid2, ui->btn1_print, ui->Edit1}, {ui->d1});

    ui->DBGrid2->setColumns({{QStringLiteral("khm"), QStringLiteral("客户名称"), QString(), Qt::AlignLeft, 180},
                             {QStringLiteral("numa"), QStringLiteral("合同号"), QString(), Qt::AlignLeft, 100}});
    ui->DBGrid2->setDataset(&contracts_);
    ui->DBGrid1->setColumns({{QStringLiteral("Datea"), QStringLiteral("日期"), QStringLiteral("yyyy-mm-dd"),
                              Qt::AlignCenter, 100},
                             {QStringLiteral("Lx"), QStringLiteral("交费类型"), QString(), Qt::AlignCenter, 80},
                             {QStringLiteral("A1"), QStringLiteral("金额"), QStringLiteral("#0.00;-#0.00;#"),
                              Qt::AlignRight, 110}});
    ui->DBGrid1->setDataset(&query1_);
    ui->box1->addItems({QStringLiteral("现金"), QStringLiteral("银行")});
    ui->box1->bind(&query1_, QStringLiteral("lx"));
    ui->DBEdit3->bind(&query1_, QStringLiteral("a1"), QStringLiteral("#0.00;-#0.00;#"));
    NumericKeyFilter::install(ui->DBEdit3, NumericKeyFilter::Sign::Leading);
    enterChain({ui->DBEdit3, ui->d1, ui->box1});
    ui->d1->setEnabled(false);
    ui->d1->setDate(context.today());

    on(ui->btn1_print, &QPushButton::clicked, &TspPayments::btn1_printClick);
    on(ui->Edit1, &QLineEdit::textChanged, &TspPayments::Edit1Change);
    on(&contracts_, &Dataset::currentChanged, [this] {
        if (!editing() && contracts_.isOpen())
            openPayments();
    });
    on(&query1_, &Dataset::currentChanged, &TspPayments::showPayment);
    on(&query1_, &Dataset::rowChanged, &TspPayments::showPayment);
    on(ui->d1, &QDateEdit::dateChanged, [this](const QDate &date) {
        if (!showing_ && query1_.isEditing())
            query1_.setValue(QStringLiteral("datea"), date);
    });
}

TspPayments::~TspPayments() = default;

Tsp3::Tsp3(Context &context, QWidget *parent)
    : TspPayments(context,
                  {QStringLiteral("sp3"), QStringLiteral("租赁押金数据输入系统"), QStringLiteral("押金"), QStringLiteral("sp3")},
                  parent)
{
}

Tsp4::Tsp4(Context &context, QWidget *parent)
    : TspPayments(context,
                  {QStringLiteral("sp4"), QStringLiteral("租金数据输入系统"), QStringLiteral("租金"), QStringLiteral("sp4")},
                  parent)
{
}



void TspPayments::FormActivate()
{
    if (!mayEdit())
        ui->Edit1->setFocus();
    context().applyInputMethod({ui->Edit1});
    Edit1Change();
    if (!query1_.isEmpty())
        query1_.last();
}

void TspPayments::Edit1Change()
{
    openContracts(contracts_, ui->Edit1->text());
    // A search that finds nothing shows every contract.
    if (contracts_.isEmpty())
        openContracts(contracts_, QString());
    openPayments();
}

void TspPayments::openPayments()
{
    const bool any = contracts_.isOpen() && contracts_.currentRow() >= 0;
    const Params contract{{QStringLiteral("g1"), any ? contracts_.text(QStringLiteral("khm")) : QString()},
                          {QStringLiteral("g2"), any ? contracts_.text(QStringLiteral("numa")) : QString()}};
    query1_.close();
    query1_.open(QStringLiteral("select * from %1 where khm=:g1 and numa=:g2").arg(kind_.table), contract);
    contract_.close();
    contract_.open(QStringLiteral("select * from sp2 where khm=:g1 and numa=:g2"), contract);
    if (!query1_.isEmpty())
        query1_.last();
    showPayment();
    buttons().refresh();
}

void TspPayments::showPayment()
{
    const bool row = query1_.isOpen() && query1_.currentRow() >= 0;
    ui->DBText1->setText(row ? query1_.text(QStringLiteral("khm")) : QString());
    ui->DBText2->setText(row ? query1_.text(QStringLiteral("numa")) : QString());
    const QDate date = row ? query1_.date(QStringLiteral("datea")) : QDate();
    if (date.isValid() && ui->d1->date() != date) {
        showing_ = true;
        ui->d1->setDate(date);
        showing_ = false;
    }
}

bool TspPayments::startAdd()
{
    if (contracts_.currentRow() < 0)
        return false;
    query1_.append();
    query1_.setValue(QStringLiteral("khm"), contracts_.text(QStringLiteral("khm")));
    query1_.setValue(QStringLiteral("numa"), contracts_.text(QStringLiteral("numa")));
    query1_.setValue(QStringLiteral("lx"), QStringLiteral("现金"));
    query1_.setValue(QStringLiteral("a1"), 0.0);
    showing_ = true;
    ui->d1->setDate(context().today());
    showing_ = false;
    query1_.setValue(QStringLiteral("datea"), context().today());
    ui->DBEdit3->setFocus();
    return true;
}

bool TspPayments::save()
{
    query1_.setValue(QStringLiteral("datea"), ui->d1->date());
    return saved(payments::save(query1_), ui->DBEdit3);
}

void TspPayments::cancel()
{
    query1_.cancel();
    showPayment();
}

void TspPayments::remove()
{
    if (!buttons().confirmRemoval(this, query1_.isEmpty(),
                                  query1_.isEmpty() ? QString() : query1_.text(QStringLiteral("khm"))))
        return;
    query1_.remove();
    showPayment();
}

void TspPayments::btn1_printClick()
{
    report::Template layout = report::Template::load(QStringLiteral("payments"));
    if (report::Memo *title = layout.memo(QStringLiteral("Memo1")))
        title->text = QStringLiteral("[dwm.Query1.\"%1\"]").arg(kind_.title);
    report::Sources sources;
    sources.datasets.insert(QStringLiteral("Query1"), &query1_);
    sources.datasets.insert(QStringLiteral("Query2"), &contract_);
    printAction(context(), this, query1_, ui->DBGrid1, layout, sources);
}

} // namespace tolva
