#include "ledger.h"

#include "fixture.h"
#include "summaries/summarycli.h"

#include <QtTest>

using namespace tolva;
using tolva::summaries::summaryCommand;

class TestSummaryCommand : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The command runs the summary of the unsettled contracts into its table and writes the PDF,
    // or says why not and returns non-zero without writing.
    void command_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("rc");
        QTest::addColumn<QString>("said");
        QTest::newRow("distribution") << QStringList{"--summary", "distribution", "--cutoff", "2004-03-11"} << 0
                                      << "租赁材料分布表: 2 个未结账合同, 1 个有截止日期前的数据";
        QTest::newRow("rent of one material")
            << QStringList{"--summary", "rent", "--cutoff", "2004-03-11", "--material", "钢管"} << 0
            << "租赁费结算汇总表: 2 个未结账合同, 1 个有截止日期前的数据";
        QTest::newRow("nothing by the cut-off") << QStringList{"--summary", "rent", "--cutoff", "2004-02-01"} << 1
                                                << "截止日期前没有租赁数据，没有可打印的汇总。";
        QTest::newRow("bad date") << QStringList{"--summary", "rent", "--cutoff", "2004-02-30"} << 1
                                  << "截止日期无效：2004-02-30（应为 yyyy-mm-dd）。";
        QTest::newRow("unknown material")
            << QStringList{"--summary", "rent", "--cutoff", "2004-03-11", "--material", "木板"} << 1
            << "没有名为“木板”的材料。";
        QTest::newRow("unknown kind") << QStringList{"--summary", "stock", "--cutoff", "2004-03-11"} << 1
                                      << "--summary 只能是 distribution 或 rent。";
    }
    void command()
    {
        QFETCH(QStringList, args);
        QFETCH(int, rc);
        QFETCH(QString, said);
        Fixture f;
        Ledger l{*f.store};
        l.materials({"钢管"});
        l.contract("H1", "甲公司");
        l.contract("H2", "乙公司");
        l.moves("H1", "甲公司", {"2004-03-01 钢管 100 0"});
        const QString pdf = f.dir.filePath("汇总.pdf");
        QString out, err;
        QTextStream o(&out), e(&err);
        QCOMPARE(summaryCommand(args << "--pdf" << pdf, f.dir.path(), QDate(2004, 3, 12), o, e), rc);
        QVERIFY2((rc == 0 ? out : err).startsWith(said), qPrintable(out + err));
        QCOMPARE(QFileInfo(pdf).size() > 1000, rc == 0);
        // On a server the command's working tables were its own session's, gone with it.
        if (rc == 0 && !TestLedger::onServer())
            QCOMPARE(f.store->scalar(args[1] == "rent" ? "select a1 from czbhz1" : "select a21 from czbhz").toDouble(),
                     1000.0);
    }
};

QTEST_MAIN(TestSummaryCommand)
#include "tst_summarycommand.moc"
