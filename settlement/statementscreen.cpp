#include "statementscreen.h"
#include "ui_statement.h"

#include "explain.h"
#include "printing/printaction.h"
#include "statementprint.h"
#include "statementrules.h"
#include "store/format.h"
#include "export/exportaction.h"
#include "widgets/context.h"
#include "widgets/numerickey.h"

namespace tolva {

using namespace settlement;

namespace {

// A total as the fields show it: the shortest decimal text of at most 15 significant digits.
QString total(double v)
{
    return QString::number(v, 'g', 15);
}

} // namespace

Tczbcx::Tczbcx(Context &context, Dataset &contract, QWidget *parent)
    : Screen(context, parent), ui(std::make_unique<Ui::Tczbcx>()), contract_(contract), query1_(context.store())
{
    ui->setupUi(this);
    excel::offerExport(context, this);
    setObjectName(QStringLiteral("czbcx"));
    setUpFrame(ui->StatusBar1, true);

    const QString quantity = QStringLiteral("#0.0000;-#0.0000;#");
    const QString days = QStringLiteral("#0;-#0;#");
    const QString money = QStringLiteral("#0.00;-#0.00;#");
    const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
    ui->DBGrid1->setColumns({{QStringLiteral("datea"), QStringLiteral("日期"), QStringLiteral("yyyy-mm-dd"),
                              Qt::AlignCenter, 90},
                             {QStringLiteral("namea"), QStringLiteral("名称"), QString(), Qt::AlignLeft, 90},
                             {QStringLiteral("dw1"), QStringLiteral("换算单位"), QString(), Qt::AlignCenter, 60},
                             {QStringLiteral("a1"), QStringLiteral("日发生量"), quantity, right, 90},
                             {QStringLiteral("a2"), QStringLiteral("结余量"), quantity, right, 90},
                             {QStringLiteral("a3"), QStringLiteral("天数"), days, right, 50},
                             {QStringLiteral("A8"), QStringLiteral("报停天数"), days, right, 60},
                             {QStringLiteral("a4"), QStringLiteral("单价"), quantity, right, 70},
                             {QStringLiteral("a5"), QStringLiteral("金额"), money, right, 80},
                             {QStringLiteral("a10"), QStringLiteral("累计租金"), money, right, 90},
                             {QStringLiteral("dbegin"), QStringLiteral("起租日期"), QStringLiteral("yyyy-mm-dd"),
                              Qt::AlignCenter, 90},
                             {QStringLiteral("dend"), QStringLiteral("截止日期"), QStringLiteral("yyyy-mm-dd"),
                              Qt::AlignCenter, 90},
                             {QStringLiteral("A9"), QStringLiteral("日租金"), money, right, 70},
                             {QStringLiteral("dw"), QStringLiteral("单位"), QString(), Qt::AlignCenter, 50},
                             {QStringLiteral("A6"), QStringLiteral("品名日发生量"), QStringLiteral("#;"), right, 90},
                             {QStringLiteral("A7"), QStringLiteral("品名结余量"), QStringLiteral("#;"), right, 90}});
    ui->DBGrid1->gridModel()->setTitleColour(Qt::blue);
    ui->DBGrid1->setRowColour([](const Dataset &rows, int row) {
        const int name = rows.fieldIndex(QStringLiteral("namea"));
        const int a1 = rows.fieldIndex(QStringLiteral("a1"));
        if (rows.valueAt(row, name).toString() == QStringLiteral("上期结存"))
            return QColor(Qt::white);
        const QVariant v = rows.valueAt(row, a1);
        return !v.isNull() && v.toDouble() < 0 ? colours::paleGreen() : colours::aqua();
    });
    ui->DBGrid1->setDataset(&query1_);

    NumericKeyFilter::install(ui->Edit6, NumericKeyFilter::Sign::Leading);
    enterChain({ui->Edit5, ui->Edit6, ui->Edit8});
    ui->UpDown5->setValue(10);

    on(ui->btn1_add, &QPushButton::clicked, &Tczbcx::btn1_addClick);
    on(ui->btn1_del, &QPushButton::clicked, &Tczbcx::btn1_delClick);
    connect(ui->btn1_exit, &QPushButton::clicked, this, &QDialog::accept);
    on(ui->com1, qOverload<int>(&QComboBox::activated), &Tczbcx::com1Click);
    on(ui->Edit5, &QLineEdit::editingFinished, &Tczbcx::Edit5Exit);
    on(ui->Edit6, &QLineEdit::editingFinished, &Tczbcx::Edit6Exit);
    on(ui->Edit8, &QLineEdit::editingFinished, &Tczbcx::Edit8Exit);
    on(ui->UpDown5, &QSpinBox::valueChanged, &Tczbcx::UpDown5Click);
    on(ui->CheckBox1, &QCheckBox::clicked, &Tczbcx::CheckBox1Click);
    on(&query1_, &Dataset::currentChanged, &Tczbcx::showExplanation);
    on(&query1_, &Dataset::reset, &Tczbcx::showExplanation);
}

Tczbcx::~Tczbcx() = default;

void Tczbcx::done(int result)
{
    ui->DBGrid1->setDataset(nullptr);
    query1_.close();
    ui->DBGrid1->setDataset(&query1_);
    Screen::done(result);
}

void Tczbcx::setStatement(const Request &request, const Preparation &preparation)
{
    request_ = request;
    totals_ = preparation.totals;
    movements_ = preparation.movements;
    ui->Panel1->setText(preparation.title);
    ui->Edit1->setText(total(totals_.deposits));
    ui->Edit2->setText(total(totals_.rentReceived));
    ui->Edit3->setText(total(totals_.repairFees));
    ui->Edit4->setText(total(totals_.scrapFees));
    // The material list as the preparation reopened it.
    ui->com1->clear();
    for (const auto &row : context().store().select(QStringLiteral("select namea from sp1")).rows)
        ui->com1->addItem(row[0].toString());
    ui->com1->setCurrentIndex(-1);
}

void Tczbcx::FormActivate()
{
    context().reopenSettings();
    const StatementSettings settings = statementSettings(context().store());
    method_ = settings.method;
    {
        const QSignalBlocker block(ui->UpDown5);
        ui->UpDown5->setValue(qBound(10, int(settings.rowHeight), 999));
    }
    ui->Edit7->setText(QString::number(int(settings.rowHeight)));
    const QString name = contract_.text(QStringLiteral("a1"));
    ui->Edit5->setText(name.isEmpty() ? QStringLiteral("其它") : name);
    ui->Edit8->setText(contract_.text(QStringLiteral("bz")));
    ui->Edit6->setText(contract_.isNull(QStringLiteral("a2")) ? QStringLiteral("0")
                                                              : total(contract_.number(QStringLiteral("a2"))));
    ui->CheckBox1->setChecked(settings.moneyBlock);
    // The contract's print data are data; the row height and the money block are settings.
    for (QLineEdit *field : {ui->Edit5, ui->Edit6, ui->Edit8})
        field->setReadOnly(!mayEdit());
    ui->UpDown5->setEnabled(mayChangeSettings());
    ui->CheckBox1->setEnabled(mayChangeSettings());
    context().applyInputMethod({ui->Edit8});
    run(QString());
}

void Tczbcx::run(const QString &material)
{
    // The grid follows no rows while the statement is rebuilt.
    ui->DBGrid1->setDataset(nullptr);
    query1_.close();
    struct Reattach {
        Tczbcx *w;
        ~Reattach() { w->ui->DBGrid1->setDataset(&w->query1_); }
    } reattach{this};
    result_ = compute(context().store(), request_, {method_, material}, {}, &carries_, movements_.get());
    // A statement runs to many thousand rows: the grid reads those it shows.
    query1_.openPaged(tableName(result_));
}

void Tczbcx::showExplanation()
{
    if (!query1_.isOpen() || query1_.currentRow() < 0) {
        ui->explanation->clear();
        return;
    }
    ui->explanation->setText(explain(figures(query1_, carries_), method_, result_).text);
}

void Tczbcx::btn1_addClick()
{
    guard([this] { run(QString()); });
}

void Tczbcx::com1Click(int index)
{
    guard([this, index] {
        if (index >= 0)
            run(ui->com1->itemText(index));
    });
}

void Tczbcx::btn1_delClick()
{
    guard([this] {
        if (!query1_.isOpen() || query1_.isEmpty()) {
            message(QStringLiteral("没有数据,无法打印！"));
            return;
        }
        PrintData data;
        data.start = request_.start;
        data.end = request_.end;
        data.totals = totals_;
        data.remark = ui->Edit8->text();
        data.settings = statementSettings(context().store());
        data.other = otherChargeForPrint(context().rights(), contract_);
        data.totalRent = totalRent(context().store(), result_);
        query1_.first();
        report::Sources sources = statementSources(context().store(), query1_, contract_, context().titles(), data);
        printAction(context(), this, query1_, ui->DBGrid1, statementTemplate(data), sources);
    });
}

void Tczbcx::Edit5Exit()
{
    if (ui->Edit5->isReadOnly())
        return;
    guard([this] { accepted(setOtherName(context().rights(), contract_, ui->Edit5->text()), ui->Edit5); });
}

void Tczbcx::Edit6Exit()
{
    if (leaving_ || ui->Edit6->isReadOnly())
        return; // the refusal's message takes the focus away once more
    leaving_ = true;
    guard([this] {
        if (ui->Edit6->text().trimmed().isEmpty())
            ui->Edit6->setText(QStringLiteral("0.00"));
        accepted(setOtherCharge(context().rights(), contract_, ui->Edit6->text()), ui->Edit6);
    });
    leaving_ = false;
}

void Tczbcx::Edit8Exit()
{
    if (ui->Edit8->isReadOnly())
        return;
    guard([this] { accepted(setRemark(context().rights(), contract_, ui->Edit8->text()), ui->Edit8); });
}

void Tczbcx::UpDown5Click(int value)
{
    guard([this, value] {
        ui->Edit7->setText(QString::number(value));
        if (accepted(setRowHeight(context().rights(), context().store(), value)))
            context().reopenSettings();
    });
}

void Tczbcx::CheckBox1Click(bool checked)
{
    guard([this, checked] {
        if (accepted(setMoneyBlock(context().rights(), context().store(), checked)))
            context().reopenSettings();
        else
            ui->CheckBox1->setChecked(!checked);
    });
}

} // namespace tolva
