#include "charges.h"
#include "ui_charges.h"

#include "chargerules.h"
#include "printing/printaction.h"
#include "store/format.h"
#include "widgets/context.h"
#include "widgets/numerickey.h"
#include "export/exportaction.h"

#include <QKeyEvent>
#include <QRegularExpressionValidator>

namespace tolva {

namespace {

const QString Money = QStringLiteral("#0.00;-#0.00;#");

} // namespace

TczbCharges::TczbCharges(Context &context, const Kind &kind, const Contract &contract, QWidget *parent)
    : MaintenanceScreen(context, parent), ui(std::make_unique<Ui::TczbCharges>()), kind_(kind), contract_(contract),
      materials_(context.store()), query1_(context.store())
{
    ui->setupUi(this);
    excel::offerExport(context, this);
    setObjectName(kind.table.left(4) + QStringLiteral("lr"));
    setWindowTitle(kind.caption);
    ui->Panel1->setText(kind.caption);
    ui->Label2->setText(kind.reason);
    setUpFrame(ui->StatusBar1, true);
    setUpButtons(query1_, {ui->btn1_edit, ui->btn1_add, ui->btn1_del, ui->btn1_exit}, {ui->DBGrid1, ui->btn1_print},
                 {ui->com1, ui->DBEdit1, ui->DBEdit2, ui->DBEdit3});

    ui->DBGrid1->setColumns({{QStringLiteral("Khm"), QStringLiteral("客户名称"), QString(), Qt::AlignLeft, 200},
                             {QStringLiteral("Numa"), QStringLiteral("合同号"), QString(), Qt::AlignLeft, 100},
                             {QStringLiteral("Namea"), QStringLiteral("名称"), QString(), Qt::AlignLeft, 100},
                             {QStringLiteral("A1"), kind.reason, QString(), Qt::AlignLeft, 120},
                             {QStringLiteral("A2"), QStringLiteral("数量"), QStringLiteral("#0.0000;-#0.0000;#"),
                              Qt::AlignRight, 110},
                             {QStringLiteral("A3"), QStringLiteral("单价"), Money, Qt::AlignRight, 100},
                             {QStringLiteral("A4"), QStringLiteral("金额"), Money, Qt::AlignRight, 120}});
    ui->DBGrid1->setDataset(&query1_);
    // Alternate bands, the first row aqua.
    ui->DBGrid1->setRowColour([](const Dataset &, int row) { return row % 2 == 0 ? colours::aqua() : QColor(Qt::white); });

    ui->com1->setMaxVisibleItems(30);
    ui->com1->bind(&query1_, QStringLiteral("Namea"));
    ui->DBEdit1->bind(&query1_, QStringLiteral("A1"));
    ui->DBEdit2->bind(&query1_, QStringLiteral("A2"), QStringLiteral("#0.0000;-#0.0000;#"));
    ui->DBEdit3->bind(&query1_, QStringLiteral("A3"), Money);
    for (DbEdit *field : {ui->DBEdit2, ui->DBEdit3}) {
        NumericKeyFilter::install(field, NumericKeyFilter::Sign::Leading);
        // What a number field accepts as a whole, so that nothing else can be pasted in either.
        field->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("-?[0-9]*\\.?[0-9]*")), field));
        field->installEventFilter(this);
    }
    // The amount is computed, never typed.
    ui->DBEdit4->setReadOnly(true);
    enterChain({ui->com1, ui->DBEdit1, ui->DBEdit2, ui->DBEdit3, ui->DBEdit4});

    on(ui->btn1_print, &QPushButton::clicked, &TczbCharges::btn1_printClick);
    on(&query1_, &Dataset::currentChanged, &TczbCharges::showAmount);
    on(&query1_, &Dataset::rowChanged, &TczbCharges::showAmount);
    on(&query1_, &Dataset::reset, &TczbCharges::showAmount);
}

TczbCharges::~TczbCharges() = default;

Tczb1lr::Tczb1lr(Context &context, const Contract &contract, QWidget *parent)
    : TczbCharges(context,
                  {QStringLiteral("czb1"), QStringLiteral("租赁材料维修费结算单"), QStringLiteral("维修原因"), QString(),
                   QStringLiteral("A4")},
                  contract, parent)
{
}

Tczb2lr::Tczb2lr(Context &context, const Contract &contract, QWidget *parent)
    : TczbCharges(context,
                  {QStringLiteral("czb2"), QStringLiteral("租赁材料报废赔偿结算单"), QStringLiteral("赔偿原因"),
                   charges::compensationReason(), QStringLiteral("A5")},
                  contract, parent)
{
}

void TczbCharges::FormActivate()
{
    materials_.close();
    materials_.open(QStringLiteral("select * from sp1"));
    ui->com1->clear();
    for (int r = 0; r < materials_.rowCount(); ++r)
        ui->com1->addItem(materials_.valueAt(r, materials_.fieldIndex(QStringLiteral("namea"))).toString());
    query1_.close();
    query1_.open(QStringLiteral("select * from %1 where numa=:g1").arg(kind_.table),
                 {{QStringLiteral("g1"), contract_.numa}});
    context().applyInputMethod({ui->DBEdit1});
}

void TczbCharges::showAmount()
{
    const bool row = query1_.isOpen() && query1_.currentRow() >= 0;
    ui->DBEdit4->setText(row ? format::number(query1_.value(QStringLiteral("a4")), Money) : QString());
}

void TczbCharges::afterAction()
{
    ui->btn1_print->setEnabled(!editing());
}

bool TczbCharges::startEdit()
{
    if (query1_.currentRow() < 0)
        return false;
    query1_.edit();
    ui->com1->setEnabled(true);
    ui->DBEdit1->setReadOnly(false);
    ui->DBEdit1->setFocus();
    return true;
}

bool TczbCharges::startAdd()
{
    const QString material = materials_.isOpen() && materials_.currentRow() >= 0
                                 ? materials_.text(QStringLiteral("namea"))
                                 : QString();
    charges::append(query1_, contract_, material, kind_.proposed);
    ui->com1->setEnabled(true);
    ui->DBEdit1->setReadOnly(false);
    ui->DBEdit1->setFocus();
    return true;
}

bool TczbCharges::save()
{
    // Saving by its shortcut leaves no field: the amount follows what was typed all the same.
    charges::computeAmount(query1_);
    const Outcome outcome = charges::save(context().store(), query1_);
    QWidget *focus = outcome.field() == QLatin1String("a2")   ? ui->DBEdit2
                     : outcome.field() == QLatin1String("a3") ? ui->DBEdit3
                                                              : ui->DBEdit1;
    if (!saved(outcome, focus))
        return false;
    ui->DBGrid1->viewport()->update();
    return true;
}

void TczbCharges::remove()
{
    if (!buttons().confirmRemoval(this, query1_.isEmpty(),
                                  query1_.isEmpty() ? QString() : query1_.text(QStringLiteral("khm"))))
        return;
    query1_.remove();
}

void TczbCharges::btn1_printClick()
{
    report::Template layout = report::Template::load(QStringLiteral("charges"));
    if (report::Memo *title = layout.memo(QStringLiteral("Memo1")))
        title->text = QStringLiteral("[dwm.Query1.\"%1\"]").arg(kind_.title);
    if (report::Memo *reason = layout.memo(QStringLiteral("Memo5")))
        reason->text = kind_.reason;
    report::Sources sources;
    sources.datasets.insert(QStringLiteral("Query1"), &query1_);
    printAction(context(), this, query1_, ui->DBGrid1, layout, sources);
}

bool TczbCharges::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusOut && query1_.isEditing())
        guard([this] { charges::computeAmount(query1_); });
    return MaintenanceScreen::eventFilter(watched, event);
}

void TczbCharges::keyPressEvent(QKeyEvent *event)
{
    // Enter is the fields' own (they move on) or the focused button's; it never presses another.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    MaintenanceScreen::keyPressEvent(event);
}

} // namespace tolva
