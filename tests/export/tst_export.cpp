#include "fixture.h"
#include "export/exportaction.h"
#include "export/xlsx.h"
#include "printing/preview.h"
#include "printing/printaction.h"
#include "printing/report.h"
#include "printing/template.h"
#include "widgets/datagrid.h"

#include <QDir>
#include <QHeaderView>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QtTest>

using namespace tolva;

namespace {

// Reads a workbook back with openpyxl: per cell its kind (n number, s text, d date), value as text
// and number format, plus the sheet's name, frozen cell, filter range, size and column widths.
QJsonObject readBack(const QString &path)
{
    static const char *script = R"(
import json, sys, openpyxl, datetime
wb = openpyxl.load_workbook(sys.argv[1])
ws = wb.worksheets[0]
cells = {}
for row in ws.iter_rows():
    for c in row:
        if c.value is None: continue
        v = c.value
        kind = 'd' if isinstance(v, datetime.datetime) else ('n' if isinstance(v, (int, float)) else 's')
        cells[c.coordinate] = [kind, v.strftime('%Y-%m-%d') if kind == 'd' else str(v), c.number_format]
print(json.dumps({'sheets': len(wb.worksheets), 'name': ws.title, 'freeze': ws.freeze_panes,
    'filter': ws.auto_filter.ref, 'rows': ws.max_row, 'cells': cells,
    'widthA': ws.column_dimensions['A'].width}))
)";
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromUtf8(script), path});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        qWarning() << p.readAllStandardError();
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

QStringList cell(const QJsonObject &book, const QString &at)
{
    QStringList out;
    for (const auto &v : book.value("cells").toObject().value(at).toArray())
        out << v.toString();
    return out;
}

// Three movements: a date, a Chinese name, a quantity with four decimals and a zero shown blank.
void fill(Fixture &f)
{
    f.store->exec("insert into czbnow(khm,numa,datea,namea,gg,a1,b1) values"
                  "('甲公司','H1','2004-03-01','钢管','6米',10.5,0),"
                  "('乙公司','H2','2004-03-02','扣件','直角',3,-1.25),"
                  "('丙公司','H3',null,'钢管','3米',0,2)");
}

QList<GridColumn> columns()
{
    const QString q = QStringLiteral("#0.0000;-#0.0000;#");
    return {{"khm", "客户名称", {}}, {"datea", "日期", "yyyy-mm-dd"}, {"a1", "发出数量", q}, {"b1", "回收数量", q},
            {"numa", "合同号", {}}};
}

} // namespace

class TestExport : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void numberFormats_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("excel");
        QTest::newRow("money, blank zero") << "#0.00;-#0.00;#" << "#0.00;-#0.00;";
        QTest::newRow("integer, blank zero") << "#;" << "#;-#;";
        QTest::newRow("one section") << "#0.0000" << "#0.0000;-#0.0000;#0.0000";
        QTest::newRow("quoted text") << "#0.00'元'" << "#0.00\"元\";-#0.00\"元\";#0.00\"元\"";
        QTest::newRow("thousands") << "#,##0.00;-#,##0.00;0.00" << "#,##0.00;-#,##0.00;0.00";
    }
    void numberFormats()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, excel);
        QCOMPARE(excel::numberFormat(pattern), excel);
    }

    void dateFormats()
    {
        QCOMPARE(excel::dateFormat("yyyy-mm-dd"), QString("yyyy-mm-dd"));
        QCOMPARE(excel::dateFormat("yyyy'年'mm'月'dd'日'"), QString("yyyy\"年\"mm\"月\"dd\"日\""));
        QCOMPARE(excel::dateFormat("hh:nn:ss"), QString("hh:mm:ss"));
    }

    // Visible columns in screen order with their titles, every row, numbers and dates typed and
    // formatted as the grid shows them, Chinese intact, frozen titles and a filter over all rows.
    void gridToExcel()
    {
        Fixture f;
        fill(f);
        Dataset rows(*f.store);
        rows.open("select * from czbnow");
        DataGrid grid;
        grid.setColumns(columns());
        grid.setDataset(&rows);
        grid.horizontalHeader()->moveSection(4, 0); // 合同号 first on screen
        grid.setColumnHidden(3, true);              // 回收数量 hidden
        grid.resize(200, 60);                       // fewer rows on screen than in the result set
        const QString path = f.dir.filePath("出租.xlsx");
        QVERIFY(excel::writeGrid(grid, "动态明细", path, f.store->folder()).ok());

        const QJsonObject book = readBack(path);
        QCOMPARE(book.value("name").toString(), QString("动态明细"));
        QCOMPARE(book.value("rows").toInt(), rows.rowCount() + 1);
        QCOMPARE(book.value("freeze").toString(), QString("A2"));
        QCOMPARE(book.value("filter").toString(), QString("A1:D4"));
        QStringList titles;
        for (const char *c : {"A1", "B1", "C1", "D1", "E1"})
            titles << cell(book, c).value(1);
        QCOMPARE(titles, (QStringList{"合同号", "客户名称", "日期", "发出数量", ""}));
        QCOMPARE(cell(book, "B2"), (QStringList{"s", "甲公司", "General"}));
        QCOMPARE(cell(book, "C3"), (QStringList{"d", "2004-03-02", "yyyy-mm-dd"}));
        QCOMPARE(cell(book, "D2"), (QStringList{"n", "10.5", "#0.0000;-#0.0000;"}));
        QCOMPARE(cell(book, "D4"), (QStringList{"n", "0", "#0.0000;-#0.0000;"})); // a number shown blank
        QVERIFY(cell(book, "C4").isEmpty());                                       // no date
        QVERIFY(book.value("widthA").toDouble() >= 5);
        // Only the finished file is left in the folder, readable by others like any new file.
        QVERIFY(QFileInfo(path).permissions() & QFileDevice::ReadOther);
        QCOMPARE(QDir(f.dir.path()).entryList(QDir::Files | QDir::Hidden).filter(".xlsx").size(), 1);
    }

    // Through the right-button item: an empty grid says so; a missing folder is refused and
    // leaves nothing; a good path writes and says where.
    void exportFromTheMenu()
    {
        Fixture f;
        Dataset rows(*f.store);
        rows.open("select * from czbnow");
        QWidget screen;
        screen.setWindowTitle("动态明细查询");
        auto *grid = new DataGrid(&screen);
        grid->setColumns(columns());
        grid->setDataset(&rows);
        excel::offerExport(*f.context, &screen);
        QCOMPARE(grid->contextMenuPolicy(), Qt::CustomContextMenu);
        QAction *item = grid->findChild<QMenu *>("exportMenu")->findChild<QAction *>("exportExcel");
        QCOMPARE(item->text(), QString("导出到 Excel(&E)..."));

        item->trigger();
        QCOMPARE(f.ui.texts("message"), QStringList{"没有数据,无法导出！"});

        fill(f);
        rows.open("select * from czbnow");
        f.ui.clear();
        const QString missing = f.dir.filePath("无此文件夹/明细.xlsx");
        f.ui.answers << missing;
        item->trigger();
        QCOMPARE(f.ui.texts("message").size(), 1);
        QVERIFY(f.ui.texts("message")[0].contains("不存在"));
        QVERIFY(!QFile::exists(missing));

        f.ui.clear();
        const QString path = f.dir.filePath("明细"); // the extension is added
        f.ui.answers << path;
        item->trigger();
        QVERIFY(QFile::exists(path + ".xlsx"));
        QCOMPARE(readBack(path + ".xlsx").value("rows").toInt(), 4);
    }

    // A group of columns under one title stays together: the print date at the right, alone on
    // its line, goes in the column it starts in and makes no column of its own.
    void reportColumnsFollowTheTable()
    {
        Fixture f;
        excel::SheetPage page;
        auto text = [&](double left, double top, double width, const QString &t) {
            page.texts.append({QRectF(left, top, width, 20), t});
        };
        text(88, 4, 946, "租赁费结算汇总表");
        text(774, 58, 260, "2004年03月31日");
        text(88, 78, 150, "单位名称");
        text(740, 78, 214, "已交租金");
        for (const auto &[left, title] : {std::pair<double, QString>{740, "银行"}, {810, "现金"}, {880, "合计"}})
            text(left, 100, 70, title);
        text(88, 122, 150, "甲公司");
        text(740, 122, 70, "100.00");
        text(810, 122, 70, "20.00");
        text(880, 122, 74, "120.00");
        const QString path = f.dir.filePath("汇总.xlsx");
        QVERIFY(excel::writeReport("租赁费结算汇总表", {page}, path, f.dir.path()).ok());
        const QJsonObject book = readBack(path);
        QCOMPARE(cell(book, "B2").value(1), QString("2004年03月31日"));
        QCOMPARE(cell(book, "B3").value(1), QString("已交租金"));
        QCOMPARE(cell(book, "B4").value(1) + cell(book, "C4").value(1) + cell(book, "D4").value(1),
                 QString("银行现金合计"));
        QCOMPARE(cell(book, "B5").value(1).toDouble() + cell(book, "C5").value(1).toDouble(),
                 cell(book, "D5").value(1).toDouble());
        QVERIFY(!book.value("cells").toObject().contains("E5"));
    }

    // A report of several pages is one sheet: title first, column titles once, every payment a
    // row, the grand total a number with the decimals it prints.
    void reportToExcel()
    {
        Fixture f;
        f.store->exec("insert into sp2(khm,numa,jz) values('甲公司','H1','否')");
        double total = 0;
        for (int i = 1; i <= 60; ++i) {
            f.store->exec(QString("insert into sp3(khm,numa,datea,lx,a1) values('甲公司','H1','2004-01-%1','现金',%2)")
                              .arg(i % 28 + 1, 2, 10, QChar('0'))
                              .arg(i * 10.25));
            total += i * 10.25;
        }
        Dataset payments(*f.store), contract(*f.store);
        payments.open("select * from sp3 where numa='H1'");
        contract.open("select * from sp2 where numa='H1'");
        report::Sources sources;
        sources.datasets = {{"Query1", &payments}, {"Query2", &contract}, {"dwm.Query1", &f.context->titles()}};
        sources.today = f.context->today();
        const report::PreparedReport prepared = report::prepare(report::Template::load("payments"), sources);
        QVERIFY(prepared.pageCount() > 1);

        Tpreview1 &preview = previewWindow(*f.context);
        preview.setReport(prepared);
        const QString path = f.dir.filePath("押金.xlsx");
        f.ui.answers << path;
        preview.findChild<QPushButton *>("BitBtn5")->click();
        QCOMPARE(f.ui.texts("message").size(), 1);

        const QJsonObject book = readBack(path);
        QCOMPARE(book.value("sheets").toInt(), 1);
        const QJsonObject cells = book.value("cells").toObject();
        QCOMPARE(cells.value("A1").toArray().at(1).toString(), prepared.pages[0].texts[0].lines.join("\n"));
        int titleRows = 0, amounts = 0;
        QStringList sumRow;
        for (auto it = cells.begin(); it != cells.end(); ++it) {
            const QJsonArray v = it.value().toArray();
            if (v.at(1).toString() == "金    额")
                ++titleRows;
            if (it.key().startsWith('C') && v.at(0).toString() == "n")
                ++amounts;
            if (v.at(1).toString() == "合      计")
                sumRow << it.key().mid(1);
        }
        QCOMPARE(titleRows, 1);
        QCOMPARE(amounts, 60 + 1); // each payment and the grand total
        QCOMPARE(sumRow.size(), 1);
        const QStringList grand = cell(book, "C" + sumRow[0]);
        QCOMPARE(grand.value(0), QString("n"));
        QCOMPARE(grand.value(1).toDouble(), total);
        QCOMPARE(grand.value(2), QString("0.00"));
    }
};

QTEST_MAIN(TestExport)
#include "tst_export.moc"
