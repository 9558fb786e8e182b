#include "ledger.h"

#include "printing/preview.h"
#include "printing/printaction.h"
#include "screens.h"
#include "export/chartwindow.h"
#include "summaries/distributionwindow.h"
#include "summaries/rentwindow.h"
#include "widgets/datagrid.h"

#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QComboBox>
#include <QTabWidget>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>

using namespace tolva;
using namespace tolva::summaries;

namespace {

// Two materials, an open contract with movements before the fixture's today, a settled one.
void ledger(Fixture &f)
{
    Ledger l{*f.store};
    l.materials({"钢管", "扣件"});
    l.contract("H1", "甲公司");
    l.contract("H2", "乙公司", "是");
    l.moves("H1", "甲公司", {"2004-01-02 钢管 100 0", "2004-01-02 扣件 40 0"});
    l.moves("H2", "乙公司", {"2004-01-02 钢管 5 0"});
    l.paid("sp3", "H1", "甲公司", "银行", 100);
}

QString cell(DataGrid *grid, int row, const QString &title)
{
    auto *model = grid->model();
    for (int c = 0; c < model->columnCount(); ++c)
        if (model->headerData(c, Qt::Horizontal).toString() == title)
            return model->index(row, c).data().toString();
    return "(no column " + title + ")";
}

} // namespace

class TestSummaryWindows : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void distributionWindow()
    {
        Fixture f;
        ledger(f);
        f.logIn("管理员"); // the printed row height is a setting
        Open<Tczbhz> s(f);
        auto *list = s.screen.findChild<DataGrid *>("DBGrid100");
        auto *grid = s.screen.findChild<DataGrid *>("DBGrid2");
        QCOMPARE(s.screen.windowTitle(), QString("数据汇总(租赁材料分布表)"));
        QCOMPARE(s.date("d1")->date(), f.now.date());
        QCOMPARE(s.screen.contractList().rowCount(), 1); // the settled contract is not listed

        // Material columns are titled from sp1; those beyond the materials are hidden.
        auto *header = grid->model();
        QCOMPARE(header->headerData(5, Qt::Horizontal).toString(), QString("钢管"));
        QCOMPARE(header->headerData(6, Qt::Horizontal).toString(), QString("扣件"));
        QVERIFY(!grid->isColumnHidden(6));
        QVERIFY(grid->isColumnHidden(7));
        QVERIFY(grid->isColumnHidden(19));

        QVERIFY(!s.button("BitBtn1")->isEnabled());
        s.click("btn1_add");
        QCOMPARE(s.screen.summary().rowCount(), 1);
        // 100 x 0 days on the send day, then 30 days to 1 February at 1.00 and 40 more of 扣件.
        QCOMPARE(cell(grid, 0, "钢管"), QString("100.00"));
        QCOMPARE(cell(grid, 0, "累计租金"), QString("4200.00"));
        QCOMPARE(cell(grid, 0, "押金"), QString("100.00"));
        QCOMPARE(cell(grid, 0, "维修费"), QString()); // zero shows blank
        QCOMPARE(grid->model()->index(0, 0).data(Qt::BackgroundRole).value<QColor>(), QColor(0, 255, 255));
        QCOMPARE(s.screen.findChild<QLabel *>("DBText1")->text(), QString("甲公司"));
        QVERIFY(s.button("BitBtn1")->isEnabled());

        // Printing hands the prepared report to the print dialog.
        f.ui.windows["PrintDialog"] = [](QDialog *) { return 0; };
        s.click("BitBtn1");
        const QStringList printed = previewWindow(*f.context).preparedReport().pages.first().strings();
        QVERIFY(printed.contains("4200.00"));
        QVERIFY(printed.contains("截止日期:2004年2月1日"));
        QCOMPARE(previewWindow(*f.context).preparedReport().pageCount(), 1);

        // The pictures: the quantity on hire per material, and the receivables by customer.
        QList<qreal> hired;
        int pages = 0;
        f.ui.windows["ChartWindow"] = [&](QDialog *d) {
            auto *w = static_cast<ChartWindow *>(d);
            pages = w->findChild<QTabWidget *>()->count();
            auto *series = qobject_cast<QBarSeries *>(w->currentChart()->series().value(0));
            for (int i = 0; series && i < series->barSets().value(0)->count(); ++i)
                hired << series->barSets().value(0)->at(i);
            return 0;
        };
        s.click("btn_chart");
        QCOMPARE(pages, 2);
        QCOMPARE(hired, (QList<qreal>{100, 40}));

        // A new cut-off date or search disables printing until the next run.
        s.date("d1")->setDate(QDate(2004, 1, 20));
        QVERIFY(!s.button("BitBtn1")->isEnabled());
        s.click("btn1_add");
        QCOMPARE(cell(grid, 0, "累计租金"), QString("2520.00"));
        s.set("Edit1", "丙");
        QVERIFY(!s.button("BitBtn1")->isEnabled());
        QCOMPARE(s.screen.contractList().rowCount(), 0);
        s.click("btn1_add");
        QCOMPARE(f.ui.texts("message"), QStringList{"没有单位名称,无法统计！"});
        QCOMPARE(s.screen.summary().rowCount(), 1); // the last run's rows stay

        // The arrows step the printed row height and store it at once; Enter in the list leaves.
        s.screen.findChild<QSpinBox *>("UpDown5")->stepUp();
        QCOMPARE(s.field("Edit7")->text(), QString("21"));
        QCOMPARE(f.store->scalar("select b9 from srf").toInt(), 21);
        QTest::keyClick(list, Qt::Key_Return);
        QVERIFY(!s.screen.isVisible());
    }

    void rentWindow()
    {
        Fixture f;
        ledger(f);
        f.logIn("管理员"); // the printed row height is a setting
        Open<Tczbhz1> s(f);
        auto *grid = s.screen.findChild<DataGrid *>("DBGrid2");
        auto *box1 = s.screen.findChild<QComboBox *>("box1");
        QCOMPARE(s.screen.windowTitle(), QString("数据汇总(租赁费用结算表)"));
        QVERIFY(!box1->isEnabled());
        QCOMPARE(box1->currentText(), QString("钢管"));

        s.click("btn1_add");
        QCOMPARE(cell(grid, 0, "租金费"), QString("4200.00"));
        QCOMPARE(cell(grid, 0, "已交押金(银行)"), QString("100.00"));
        QCOMPARE(cell(grid, 0, "应收租金"), QString("4100.00"));

        // One material: only its rent; the money stays the whole contract's.
        s.screen.findChild<QRadioButton *>("check2_one")->setChecked(true);
        QVERIFY(box1->isEnabled());
        box1->setCurrentIndex(1);
        s.click("btn1_add");
        QCOMPARE(cell(grid, 0, "租金费"), QString("1200.00"));
        QCOMPARE(cell(grid, 0, "应收租金"), QString("1100.00"));

        f.ui.windows["PrintDialog"] = [](QDialog *) { return 0; };
        s.click("BitBtn1");
        const QStringList printed = previewWindow(*f.context).preparedReport().pages.first().strings();
        QVERIFY(printed.contains("1200.00"));
        QVERIFY(printed.contains("租赁费结算汇总表"));

        s.screen.findChild<QSpinBox *>("UpDown5")->stepDown();
        QCOMPARE(f.store->scalar("select b10 from srf").toInt(), 19);
    }
};

QTEST_MAIN(TestSummaryWindows)
#include "tst_summarywindows.moc"
