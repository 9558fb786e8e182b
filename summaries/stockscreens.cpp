#include "stockscreens.h"
#include "ui_balancescreen.h"
#include "ui_detailscreen.h"
#include "ui_stockscreen.h"

#include "base/searchpattern.h"
#include "printing/printaction.h"
#include "printing/template.h"
#include "settlement/statementrules.h"
#include "export/chartwindow.h"
#include "export/exportaction.h"
#include "stockchart.h"
#include "settings/settingsrules.h"
#include "widgets/context.h"
#include "widgets/progressdialog.h"

#include <QHideEvent>
#include <QRegularExpression>

namespace tolva {

namespace {

const QString Quantity4 = QStringLiteral("#0.0000;-#0.0000;#");
const QString Quantity5 = QStringLiteral("#0.00000;-#0.00000;#");

// Odd record numbers aqua, even ones white.
QColor alternate(const Dataset &, int row)
{
    return row % 2 == 0 ? colours::aqua() : QColor(Qt::white);
}

// A count over the ledger under the progress dialog, which shows once the count takes a tenth of
// a second, the window's controls held meanwhile. False when the clerk cancelled: the tables are
// then as they were.
bool counted(QWidget *window, const QList<QWidget *> &controls, const std::function<void(const Progress &)> &work)
{
    return runHeld(window, {window->windowTitle(), QStringLiteral("正在统计……"), 100, QStringLiteral("progress")},
                   controls, work);
}

} // namespace

Tkccx::Tkccx(Context &context, QWidget *parent)
    : Screen(context, parent), ui(std::make_unique<Ui::Tkccx>()), query1_(context.store())
{
    ui->setupUi(this);
    excel::offerExport(context, this);
    setUpFrame(nullptr, false, Closing::ExitButtonOnly);
    ui->DBGrid1->setColumns({{QStringLiteral("namea"), QStringLiteral("材料名称"), QString(), Qt::AlignLeft, 120},
                             {QStringLiteral("Kc"), QStringLiteral("库存期初数"), Quantity4, Qt::AlignRight, 120},
                             {QStringLiteral("kc1"), QStringLiteral("发出数量"), Quantity4, Qt::AlignRight, 120},
                             {QStringLiteral("kc2"), QStringLiteral("回收数据"), Quantity4, Qt::AlignRight, 120},
                             {QStringLiteral("nowkc"), QStringLiteral("现库存数量"), Quantity4, Qt::AlignRight, 120}});
    ui->DBGrid1->setRowColour(alternate);
    ui->DBGrid1->setDataset(&query1_);
    on(ui->btn1_edit, &QPushButton::clicked, &Tkccx::btn1_editClick);
    on(ui->btn1_chart, &QPushButton::clicked, &Tkccx::btn1_chartClick);
    on(ui->btn1_exit, &QPushButton::clicked, [this] {
        query1_.close();
        accept();
    });
}

Tkccx::~Tkccx() = default;

void Tkccx::FormActivate()
{
    // A refused count shows no figures rather than those of before.
    query1_.close();
    counted(this, {ui->DBGrid1, ui->btn1_edit, ui->btn1_chart, ui->btn1_exit},
            [this](const Progress &progress) { stock::open(context().store(), query1_, progress); });
}

void Tkccx::btn1_editClick()
{
    report::Sources sources;
    sources.datasets.insert(QStringLiteral("Query1"), &query1_);
    printAction(context(), this, query1_, ui->DBGrid1, report::Template::load(QStringLiteral("stock")), sources);
}

void Tkccx::btn1_chartClick()
{
    if (query1_.rowCount() == 0) {
        context().interaction().message(this, QStringLiteral("没有数据,无法显示图表！"));
        return;
    }
    ChartWindow window(context(), windowTitle(), this);
    window.addChart(QStringLiteral("库存与在租"), stockChart(query1_));
    context().interaction().exec(&window);
}

Tkccx1::Tkccx1(Context &context, QWidget *parent)
    : Screen(context, parent), ui(std::make_unique<Ui::Tkccx1>()), query1_(context.store()), query2_(context.store())
{
    ui->setupUi(this);
    excel::offerExport(context, this);
    setUpFrame(nullptr, true);
    // The title bar has the system menu and the maximise button; the window is not minimised.
    setWindowFlag(Qt::WindowMinimizeButtonHint, false);
    ui->check1->addItems({QStringLiteral("客户名称"), QStringLiteral("材料名称")});
    ui->DBGrid2->setColumns({{QStringLiteral("numa"), QStringLiteral("合同号"), QString(), Qt::AlignLeft, 90},
                             {QStringLiteral("khm"), QStringLiteral("客户名称"), QString(), Qt::AlignLeft, 160}});
    ui->DBGrid2->setDataset(&query1_);
    ui->DBGrid1->setColumns({{QStringLiteral("khm"), QStringLiteral("客户名称"), QString(), Qt::AlignLeft, 180},
                             {QStringLiteral("namea"), QStringLiteral("材料名称"), QString(), Qt::AlignLeft, 110},
                             {QStringLiteral("a1"), QStringLiteral("已租数量"), Quantity4, Qt::AlignRight, 110},
                             {QStringLiteral("a2"), QStringLiteral("已还数量"), Quantity4, Qt::AlignRight, 110},
                             {QStringLiteral("a3"), QStringLiteral("结余数量"), Quantity4, Qt::AlignRight, 110}});
    ui->DBGrid1->setRowColour(alternate);
    ui->DBGrid2->setRowColour(alternate);
    ui->DBGrid1->setDataset(&query2_);
    on(ui->Edit1, &QLineEdit::textChanged, &Tkccx1::search);
    on(ui->check1, &QComboBox::activated, &Tkccx1::reorder);
    on(ui->btn1_add, &QPushButton::clicked, &Tkccx1::btn1_addClick);
    on(ui->btn1_edit, &QPushButton::clicked, &Tkccx1::btn1_editClick);
    on(ui->btn1_exit, &QPushButton::clicked, [this] {
        query1_.close();
        accept();
    });
}

Tkccx1::~Tkccx1() = default;

void Tkccx1::FormActivate()
{
    query1_.close();
    query1_.open(QStringLiteral("select * from sp2 where jz=:g1"), {{QStringLiteral("g1"), QStringLiteral("否")}});
    context().applyInputMethod({ui->Edit1});
    ui->Edit1->setFocus();
    btn1_addClick();
}

void Tkccx1::search()
{
    const QString text = ui->Edit1->text().trimmed();
    query1_.close();
    if (text.isEmpty())
        query1_.open(QStringLiteral("select * from sp2"));
    else
        query1_.open(QStringLiteral("select * from sp2 where ") + contractContains(QStringLiteral("p")),
                     {{QStringLiteral("p"), containsPattern(text)}});
}

void Tkccx1::btn1_addClick()
{
    // The contracts counted are those listed: the unsettled ones until a search lists others.
    stock::Contracts listed;
    listed.search = ui->Edit1->text();
    listed.unsettledOnly = query1_.sql().contains(QLatin1String("jz="));
    ui->DBGrid1->setDataset(nullptr);
    // A refused count leaves nothing to print rather than the rows of before.
    query2_.close();
    ui->btn1_edit->setEnabled(false);
    if (!counted(this, {ui->Edit1, ui->check1, ui->DBGrid1, ui->DBGrid2, ui->btn1_add, ui->btn1_edit, ui->btn1_exit},
                 [&](const Progress &progress) { stock::countBalances(context().store(), listed, progress); }))
        return; // cancelled: nothing to show
    reorder();
}

void Tkccx1::reorder()
{
    ui->DBGrid1->setDataset(nullptr);
    query2_.close();
    query2_.open(stock::balanceStatement(ui->check1->currentIndex()));
    ui->btn1_edit->setEnabled(!query2_.isEmpty());
    ui->DBGrid1->setDataset(&query2_);
}

void Tkccx1::btn1_editClick()
{
    if (query2_.isEmpty() || query2_.text(QStringLiteral("khm")).isEmpty()) {
        message(QStringLiteral("没有数据,无法打印！"));
        return;
    }
    report::Sources sources;
    sources.datasets.insert(QStringLiteral("Query2"), &query2_);
    const QString name = ui->check1->currentIndex() == 0 ? QStringLiteral("balance_customer") : QStringLiteral("balance_material");
    printAction(context(), this, query2_, ui->DBGrid1, report::Template::load(name), sources);
}

Tczblrnowcx::Tczblrnowcx(Context &context, QWidget *parent)
    : Screen(context, parent), ui(std::make_unique<Ui::Tczblrnowcx>()), query1_(context.store()),
      query2_(context.store()), materials_(context.store())
{
    ui->setupUi(this);
    excel::offerExport(context, this);
    setUpFrame(ui->StatusBar1, true);
    ui->check1->addItems({QStringLiteral("全部材料"), QStringLiteral("分类材料")});
    ui->check2->addItems({QStringLiteral("按选中的客户"), QStringLiteral("全部客户")});
    ui->check3->addItems({QStringLiteral("按明细"), QStringLiteral("按客户汇总"), QStringLiteral("按规格汇总")});
    ui->com1->setEnabled(false);
    ui->com1->setMaxVisibleItems(30);
    ui->DBGrid2->setColumns({{QStringLiteral("khm"), QStringLiteral("客户名称"), QString(), Qt::AlignLeft, 150},
                             {QStringLiteral("numa"), QStringLiteral("合同号"), QString(), Qt::AlignLeft, 80}});
    ui->DBGrid2->setDataset(&query2_);
    ui->DBGrid1->setColumns({{QStringLiteral("khm"), QStringLiteral("客户名称"), QString(), Qt::AlignLeft, 130},
                             {QStringLiteral("namea"), QStringLiteral("名称"), QString(), Qt::AlignLeft, 70},
                             {QStringLiteral("datea"), QStringLiteral("日期"), QString(), Qt::AlignCenter, 85},
                             {QStringLiteral("gg"), QStringLiteral("规格"), QString(), Qt::AlignLeft, 70},
                             {QStringLiteral("dw"), QStringLiteral("单位"), QString(), Qt::AlignCenter, 40},
                             {QStringLiteral("a1"), QStringLiteral("发出数量"), Quantity5, Qt::AlignRight, 90},
                             {QStringLiteral("b1"), QStringLiteral("回收数量"), Quantity5, Qt::AlignRight, 90},
                             {QStringLiteral("a3"), QStringLiteral("规格结余量"), Quantity5, Qt::AlignRight, 90},
                             {QStringLiteral("dw1"), QStringLiteral("换算单位"), QString(), Qt::AlignCenter, 60},
                             {QStringLiteral("a2"), QStringLiteral("材料发出数量"), Quantity5, Qt::AlignRight, 100},
                             {QStringLiteral("b2"), QStringLiteral("材料回收数量"), Quantity5, Qt::AlignRight, 100},
                             {QStringLiteral("a4"), QStringLiteral("材料结余量"), Quantity5, Qt::AlignRight, 100},
                             {QStringLiteral("bl"), QStringLiteral("换算比率"), QStringLiteral("#0.000000;-#0.000000;#"),
                              Qt::AlignRight, 90}});
    ui->DBGrid1->setRowColour([](const Dataset &rows, int row) {
        const QVariant a1 = rows.valueAt(row, rows.fieldIndex(QStringLiteral("a1")));
        return !a1.isNull() && a1.toDouble() < 0 ? colours::paleGreen() : colours::aqua();
    });

    on(ui->DBGrid2, &QAbstractItemView::clicked, &Tczblrnowcx::compute);
    on(&query2_, &Dataset::currentChanged, [this] {
        if (!adjusting_)
            compute();
    });
    on(ui->com1, &QComboBox::activated, &Tczblrnowcx::compute);
    on(ui->Edit1, &QLineEdit::textChanged, &Tczblrnowcx::search);
    for (QComboBox *box : {ui->check1, ui->check2, ui->check3})
        on(box, &QComboBox::activated, &Tczblrnowcx::choiceChanged);
    on(ui->UpDown5, &QSpinBox::valueChanged, [this](int value) {
        if (adjusting_)
            return;
        if (!accepted(settings::setPrintedRowHeight(this->context().rights(), this->context().settings(),
                                                    QStringLiteral("b8"), value)))
            return;
        ui->Edit7->setText(QString::number(value));
    });
    on(ui->btn1_print, &QPushButton::clicked, &Tczblrnowcx::btn1_printClick);
    on(ui->btn1_exit, &QPushButton::clicked, &QDialog::accept);
}

Tczblrnowcx::~Tczblrnowcx() = default;

details::Choice Tczblrnowcx::choice() const
{
    details::Choice c;
    c.materials = ui->check1->currentIndex() == 1 ? details::Materials::One : details::Materials::All;
    c.material = ui->com1->currentText();
    c.customers = ui->check2->currentIndex() == 1 ? details::Customers::All : details::Customers::Selected;
    c.numa = query2_.isOpen() && !query2_.isEmpty() ? query2_.text(QStringLiteral("numa")) : QString();
    c.grouping = details::Grouping(ui->check3->currentIndex());
    return c;
}

void Tczblrnowcx::FormActivate()
{
    adjusting_ = true;
    context().reopenSettings();
    const int height = context().settings().value(QStringLiteral("b8")).toInt();
    ui->UpDown5->setValue(qBound(10, height, 999));
    ui->Edit7->setText(QString::number(height));
    // The printed row height is a setting: only "录入" and "管理" change it.
    ui->UpDown5->setEnabled(mayChangeSettings());
    query2_.close();
    query2_.open(QStringLiteral("select * from sp2 where jz=:g1"), {{QStringLiteral("g1"), QStringLiteral("否")}});
    if (!query2_.isEmpty())
        query2_.last();
    materials_.close();
    materials_.open(QStringLiteral("select * from sp1"));
    const QString chosen = ui->com1->currentText();
    ui->com1->clear();
    for (int r = 0; r < materials_.rowCount(); ++r)
        ui->com1->addItem(materials_.valueAt(r, materials_.fieldIndex(QStringLiteral("namea"))).toString());
    if (!chosen.isEmpty())
        ui->com1->setCurrentText(chosen);
    adjusting_ = false;
    compute();
    ui->Edit1->setFocus();
}

void Tczblrnowcx::choiceChanged()
{
    ui->com1->setEnabled(ui->check1->currentIndex() == 1);
    ui->DBGrid2->setEnabled(ui->check2->currentIndex() == 0);
    // Summing per size is for all customers only.
    if (ui->check2->currentIndex() == 0 && ui->check3->currentIndex() == 2)
        ui->check3->setCurrentIndex(1);
    compute();
}

void Tczblrnowcx::search()
{
    const QString text = ui->Edit1->text().trimmed();
    adjusting_ = true;
    query2_.close();
    if (text.isEmpty())
        query2_.open(QStringLiteral("select * from sp2 where jz=:g1"), {{QStringLiteral("g1"), QStringLiteral("否")}});
    else
        query2_.open(QStringLiteral("select * from sp2 where jz=:g1 and ") + contractContains(QStringLiteral("p")),
                     {{QStringLiteral("g1"), QStringLiteral("否")}, {QStringLiteral("p"), containsPattern(text)}});
    adjusting_ = false;
    compute();
}

void Tczblrnowcx::compute()
{
    ui->DBGrid1->setDataset(nullptr);
    query1_.close();
    ui->btn1_print->setEnabled(false);
    int rows = 0;
    const details::Choice chosen = choice();
    if (!counted(this,
                 {ui->check1, ui->check2, ui->check3, ui->com1, ui->Edit1, ui->DBGrid1, ui->DBGrid2, ui->UpDown5,
                  ui->btn1_print, ui->btn1_exit},
                 [&](const Progress &progress) { rows = details::compute(context().store(), chosen, progress); }))
        return; // cancelled: an empty grid
    ui->btn1_print->setEnabled(rows > 0);
    if (rows == 0)
        return; // an empty grid, nothing to print
    // The movements of every customer are many: the grid reads the rows it shows.
    query1_.openPaged(QStringLiteral("czbnow1"));
    ui->DBGrid1->setDataset(&query1_);
}

void Tczblrnowcx::hideEvent(QHideEvent *event)
{
    Screen::hideEvent(event);
    // The movements of every customer listed stay in czbnow1 until the next count, which would
    // first have to drop them: they go as the window closes.
    if (!event->spontaneous() && query1_.isPaged()) {
        guard([this] {
            ui->DBGrid1->setDataset(nullptr);
            query1_.close();
            context().store().exec(QStringLiteral("delete from czbnow1"));
        });
    }
}

void Tczblrnowcx::btn1_printClick()
{
    if (!query1_.isOpen() || query1_.isEmpty()) {
        message(QStringLiteral("没有数据,无法打印！"));
        return;
    }
    const bool oneCustomer = ui->check2->currentIndex() == 0 || ui->check3->currentIndex() == 2;
    QString heading;
    if (ui->check2->currentIndex() == 0) {
        const QString khm = query1_.text(QStringLiteral("khm")), numa = query1_.text(QStringLiteral("numa"));
        heading = ui->check3->currentIndex() == 0
                      ? QStringLiteral("客户名称:") + khm + QStringLiteral(" 合同号:") + numa
                      : QStringLiteral("客户名称:") + khm + QStringLiteral("  合同号:") + numa
                            + QStringLiteral("   规格显示方式:") + ui->check3->currentText().trimmed();
    } else {
        heading = QStringLiteral("客户显示方式:") + ui->check2->currentText().trimmed() + QStringLiteral("   规格显示方式:")
                  + ui->check3->currentText().trimmed();
    }
    const QString headingMemo = oneCustomer ? QStringLiteral("Memo27") : QStringLiteral("Memo39");
    report::Template layout = report::Template::load(oneCustomer ? QStringLiteral("details_detail")
                                                                 : QStringLiteral("details_summary"));
    if (report::Memo *m = layout.memo(headingMemo))
        m->text = heading; // a fixed text: names in it are not expressions

    // Each quantity shows with its material's decimals: of the five copies of a group, the one with
    // numsb decimals is visible. A footer keeps the decimals of the rows above it.
    auto decimals = std::make_shared<int>(-1);
    auto materials = std::make_shared<settlement::MaterialDecimals>(context().store());
    static const QRegularExpression copy(QStringLiteral("^Memo([1-6])0([0-4])$"), QRegularExpression::CaseInsensitiveOption);
    // The report adds up each material in its group: it walks the rows material by material, each
    // in the order of contract, date and specification, so a material gets one subtotal.
    Dataset printed(context().store());
    printed.open(QStringLiteral("select * from czbnow1 order by namea, numa, datea, gg"));
    report::Sources sources;
    sources.datasets.insert(QStringLiteral("Query1"), &printed);
    sources.datasets.insert(QStringLiteral("Qsrf"), &context().settings());
    sources.hook = [&printed, decimals, materials](const QString &name, report::MemoState &memo) -> std::optional<QVariant> {
        const auto m = copy.match(memo.name);
        // The footers name "Decimals" (an empty text) so that they are asked too: their sums alone
        // read no field.
        const std::optional<QVariant> answer = name.compare(QLatin1String("Decimals"), Qt::CaseInsensitive) == 0
                                                   ? std::optional<QVariant>(QVariant())
                                                   : std::nullopt;
        if (!m.hasMatch())
            return answer;
        const int group = m.captured(1).toInt();
        if (group <= 3)
            *decimals = materials->of(printed.text(QStringLiteral("namea")));
        if (*decimals >= 0)
            memo.visible = m.captured(2).toInt() == *decimals;
        return answer;
    };
    printAction(context(), this, printed, ui->DBGrid1, layout, sources);
}

} // namespace tolva
