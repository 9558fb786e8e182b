#include "ledger.h"

#include "fixture.h"
#include "summaries/distribution.h"
#include "summaries/rentsummary.h"
#include "summaries/summaryprint.h"
#include "store/dataset.h"

#include <QtTest>

using namespace tolva;
using namespace tolva::summaries;
using settlement::Method;

namespace {

const QDate Cutoff(2004, 3, 11);

// One summary row as "column=value" for the named columns, numbers with up to 2 decimals.
QString row(Store &store, const QString &table, const QString &numa, const QStringList &columns)
{
    const Rows rows = store.select(QStringLiteral("select %1 from %2 where numa=:n").arg(columns.join(','), table),
                                   {{"n", numa}});
    if (rows.isEmpty())
        return QStringLiteral("(none)");
    QStringList out;
    for (int c = 0; c < columns.size(); ++c) {
        const QVariant v = rows.rows.first()[c];
        out << columns[c] + '=' +
                   (v.typeId() == QMetaType::QString ? v.toString() : QString::number(v.toDouble(), 'f', 2));
    }
    return out.join(' ');
}

QString dump(Store &store, const QString &table)
{
    QStringList out;
    for (const auto &r : store.select("select * from " + table).rows) {
        QStringList cells;
        for (const QVariant &v : r)
            cells << v.toString();
        out << cells.join('|');
    }
    return out.join('\n');
}

} // namespace

// A payment: its type and amount.
struct Pair {
    QString lx;
    double amount;
};
Q_DECLARE_METATYPE(Pair)

class TestSummaries : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // 1,000 of rent (100 units at 1.00 a day for the 10 days to the cut-off under method 0) with the
    // money of the worked examples. The rent summary runs first, on a czb nothing has built yet.
    void receivables_data()
    {
        QTest::addColumn<QList<Pair>>("deposits");
        QTest::addColumn<QList<Pair>>("received");
        QTest::addColumn<QString>("distribution");
        QTest::addColumn<QString>("rent");
        QTest::newRow("1,000 - 300 - 500 + 20")
            << QList<Pair>{{"银行", 500}} << QList<Pair>{{"现金", 300}}
            << "a1=100.00 b1=1.00 a20=100.00 a21=1000.00 a0=500.00 a22=300.00 tem2=20.00 a23=220.00"
            << "a1=1000.00 a2=20.00 a4=500.00 a5=0.00 a6=0.00 a7=300.00 a8=220.00 a9=否";
        QTest::newRow("1,000 + 20 - 300 - 200 - 100")
            << QList<Pair>{{"银行  ", 300}, {"现金", 200}} << QList<Pair>{{"银行", 100}}
            << "a1=100.00 b1=1.00 a20=100.00 a21=1000.00 a0=500.00 a22=100.00 tem2=20.00 a23=420.00"
            << "a1=1000.00 a2=20.00 a4=300.00 a5=200.00 a6=100.00 a7=0.00 a8=420.00 a9=否";
    }
    void receivables()
    {
        QFETCH(QList<Pair>, deposits);
        QFETCH(QList<Pair>, received);
        QFETCH(QString, distribution);
        QFETCH(QString, rent);
        Fixture f;
        Ledger l{*f.store};
        l.materials({"钢管"});
        l.contract("H1", "甲公司");
        l.moves("H1", "甲公司", {"2004-03-01 钢管 100 0"});
        for (const Pair &p : deposits)
            l.paid("sp3", "H1", "甲公司", p.lx, p.amount);
        for (const Pair &p : received)
            l.paid("sp4", "H1", "甲公司", p.lx, p.amount);
        l.fee("czb1", "H1", "甲公司", 20);

        QCOMPARE(f.store->scalar("select count(*) from czb").toInt(), 0);
        const auto contracts = unsettledContracts(*f.store);
        QVERIFY(runRentSummary(*f.store, contracts, Cutoff, Method::StartDayFree).ok());
        QCOMPARE(row(*f.store, "czbhz1", "H1", {"a1", "a2", "a4", "a5", "a6", "a7", "a8", "a9"}), rent);
        QVERIFY(runDistribution(*f.store, contracts, Cutoff, Method::StartDayFree).ok());
        QCOMPARE(row(*f.store, "czbhz", "H1", {"a1", "b1", "a20", "a21", "a0", "a22", "tem2", "a23"}), distribution);
    }

    // Only movements up to the cut-off date count: the quantity and rent are those of that day, and
    // a contract whose movements all come later takes no part. Rent by method: 10 days, or 11.
    void asOfCutoff_data()
    {
        QTest::addColumn<int>("method");
        QTest::addColumn<QString>("rent");
        QTest::newRow("method 0") << 0 << "1000.00";
        QTest::newRow("method 1") << 1 << "1100.00";
        QTest::newRow("method 2") << 2 << "1100.00";
    }
    void asOfCutoff()
    {
        QFETCH(int, method);
        QFETCH(QString, rent);
        Fixture f;
        Ledger l{*f.store};
        l.materials({"钢管", "扣件"});
        l.contract("H1", "甲公司");
        l.contract("H2", "乙公司");
        l.moves("H1", "甲公司", {"2004-03-01 钢管 100 0", "2004-03-20 钢管 50 0", "2004-03-25 扣件 10 0"});
        l.moves("H2", "乙公司", {"2004-03-15 钢管 10 0"});
        const auto contracts = unsettledContracts(*f.store);

        QVERIFY(runDistribution(*f.store, contracts, Cutoff, Method(method)).ok());
        QCOMPARE(row(*f.store, "czbhz", "H1", {"a1", "a2", "a20", "a21"}),
                 QString("a1=100.00 a2=0.00 a20=100.00 a21=%1").arg(rent));
        QCOMPARE(row(*f.store, "czbhz", "H2", {"a1"}), QString("(none)"));
        // czb keeps every movement of the listed contracts.
        QCOMPARE(f.store->scalar("select count(*) from czb").toInt(), 4);

        QVERIFY(runRentSummary(*f.store, contracts, Cutoff, Method(method)).ok());
        QCOMPARE(row(*f.store, "czbhz1", "H1", {"a1"}), QString("a1=%1").arg(rent));
        QCOMPARE(row(*f.store, "czbhz1", "H2", {"a1"}), QString("(none)"));
    }

    // Movements under a second customer name count with the contract's own: the quantity on hire
    // and the rent are the whole contract's. One material only: the other contract hired none.
    void wholeContract()
    {
        Fixture f;
        Ledger l{*f.store};
        l.materials({"钢管", "扣件"});
        l.contract("H1", "甲公司");
        l.contract("H2", "丙公司");
        l.moves("H1", "甲公司", {"2004-03-01 钢管 100 0", "2004-03-05 钢管 50 0 乙公司", "2004-03-01 扣件 10 0"});
        l.moves("H2", "丙公司", {"2004-03-01 扣件 10 0"});
        const auto contracts = unsettledContracts(*f.store);

        // 钢管: 0 + (150 - 50) x 4 + 150 x 6 = 1,300; 扣件: 10 x 10 = 100.
        QVERIFY(runDistribution(*f.store, contracts, Cutoff, Method::StartDayFree).ok());
        QCOMPARE(row(*f.store, "czbhz", "H1", {"a1", "a2", "a20", "a21"}), QString("a1=150.00 a2=10.00 a20=160.00 a21=1400.00"));
        QVERIFY(runRentSummary(*f.store, contracts, Cutoff, Method::StartDayFree).ok());
        QCOMPARE(row(*f.store, "czbhz1", "H1", {"a1"}), QString("a1=1400.00"));
        QVERIFY(runRentSummary(*f.store, contracts, Cutoff, Method::StartDayFree, "钢管").ok());
        QCOMPARE(row(*f.store, "czbhz1", "H1", {"a1"}), QString("a1=1300.00"));
        QCOMPARE(row(*f.store, "czbhz1", "H2", {"a1"}), QString("(none)"));
    }

    // A cancelled or failed run leaves every table as it was before it.
    void allOrNothing()
    {
        Fixture f;
        Ledger l{*f.store};
        l.materials({"钢管"});
        l.contract("H1", "甲公司");
        l.contract("H2", "乙公司");
        l.moves("H1", "甲公司", {"2004-03-01 钢管 100 0"});
        l.moves("H2", "乙公司", {"2004-03-02 钢管 10 0"});
        QVERIFY(runDistribution(*f.store, unsettledContracts(*f.store, "H1"), Cutoff, Method::StartDayFree).ok());
        const QStringList tables{"czb", "czbhz", "czbhz1", "czbtem", "czbtem1", "czbnow1"};
        auto state = [&] {
            QStringList s;
            for (const QString &t : tables)
                s << dump(*f.store, t);
            return s;
        };
        const QStringList before = state();

        const auto all = unsettledContracts(*f.store);
        int calls = 0;
        const Progress cancelLate = [&](int done, int total, const QString &) {
            ++calls;
            return done < total - 1; // cancel on the last contract's summary
        };
        QVERIFY_THROWS_EXCEPTION(Cancelled, runDistribution(*f.store, all, QDate(2004, 4, 1), Method::BothDays, cancelLate));
        QVERIFY(calls > 2);
        QCOMPARE(state(), before);
        QVERIFY_THROWS_EXCEPTION(Cancelled, runRentSummary(*f.store, all, QDate(2004, 4, 1), Method::BothDays, QString(),
                                                           cancelLate));
        QCOMPARE(state(), before);

        while (f.store->hasTable("czbhz1")) // a session's own working table, then the shared one
            f.store->exec("drop table czbhz1");
        QVERIFY_THROWS_EXCEPTION(StoreError, runRentSummary(*f.store, all, QDate(2004, 4, 1), Method::BothDays));
        QCOMPARE(dump(*f.store, "czb"), before[0]);
    }

    // Only unsettled contracts, whatever the search; the search text is a value, not SQL.
    void contractList_data()
    {
        QTest::addColumn<QString>("search");
        QTest::addColumn<QStringList>("numbers");
        QTest::newRow("all") << "" << QStringList{"10", "9", "X%1", "Q'1"};
        QTest::newRow("blanks") << "   " << QStringList{"10", "9", "X%1", "Q'1"};
        QTest::newRow("settled name") << "丁" << QStringList{};
        QTest::newRow("number") << " 1 " << QStringList{"10", "X%1", "Q'1"};
        QTest::newRow("percent") << "%" << QStringList{"X%1"};
        QTest::newRow("quote") << "'" << QStringList{"Q'1"};
        QTest::newRow("underscore") << "_" << QStringList{};
    }
    void contractList()
    {
        QFETCH(QString, search);
        QFETCH(QStringList, numbers);
        Fixture f;
        Ledger l{*f.store};
        l.contract("10", "甲公司");
        l.contract("9", "乙公司");
        l.contract("D1", "丁公司", "是");
        l.contract("X%1", "百分公司");
        l.contract("Q'1", "引号公司");
        QStringList got;
        for (const Contract &c : unsettledContracts(*f.store, search))
            got << c.numa;
        QCOMPARE(got, numbers);
        Dataset list(*f.store);
        openUnsettled(list, search);
        QCOMPARE(list.rowCount(), numbers.size());
    }

    // The listing: settled flag, then contract number as text (10 before 9).
    void listingOrder()
    {
        Fixture f;
        Ledger l{*f.store};
        l.materials({"钢管"});
        l.contract("9", "甲公司");
        l.contract("10", "甲公司");
        l.moves("9", "甲公司", {"2004-03-01 钢管 1 0"});
        l.moves("10", "甲公司", {"2004-03-01 钢管 1 0"});
        const auto contracts = unsettledContracts(*f.store);
        QVERIFY(runDistribution(*f.store, contracts, Cutoff, Method::StartDayFree).ok());
        QVERIFY(runRentSummary(*f.store, contracts, Cutoff, Method::StartDayFree).ok());
        Dataset d(*f.store), r(*f.store);
        openDistribution(d);
        openRentSummary(r);
        QCOMPARE(d.valueAt(0, d.fieldIndex("numa")).toString(), QString("10"));
        QCOMPARE(r.valueAt(0, r.fieldIndex("numa")).toString(), QString("10"));
        QCOMPARE(d.rowCount(), 2);
    }

    // The printed distribution: materials 1-6 on the first page design for every contract, then
    // 7-15 on the continuation, which is left out with six materials or fewer; the totals row is
    // the sum of each column.
    void printedDistribution_data()
    {
        QTest::addColumn<int>("materials");
        QTest::addColumn<int>("pages");
        QTest::newRow("4 materials") << 4 << 1;
        QTest::newRow("7 materials") << 7 << 2;
    }
    void printedDistribution()
    {
        QFETCH(int, materials);
        QFETCH(int, pages);
        Fixture f;
        Ledger l{*f.store};
        QStringList names;
        for (int k = 1; k <= materials; ++k)
            names << QString("材料%1").arg(k);
        l.materials(names, 0.5);
        l.contract("H1", "甲公司");
        l.contract("H2", "乙公司");
        l.moves("H1", "甲公司", {"2004-03-01 材料1 100 0", "2004-03-03 材料1 0 30"});
        l.moves("H2", "乙公司", {"2004-03-02 材料1 7 0", QString("2004-03-02 材料%1 9 0").arg(materials)});
        l.paid("sp3", "H1", "甲公司", "银行", 50);
        l.paid("sp3", "H2", "乙公司", "现金", 25.5);
        l.fee("czb1", "H2", "乙公司", 3);
        QVERIFY(runDistribution(*f.store, unsettledContracts(*f.store), Cutoff, Method::StartDayFree).ok());

        Dataset summary(*f.store);
        openDistribution(summary);
        Print p = distributionPrint(names, summary, f.context->settings(), QDate(2004, 3, 5));
        p.sources.datasets.insert("dwm.Query1", &f.context->titles());
        p.sources.today = QDate(2004, 3, 6);
        // Over both page designs the progress runs once, towards one total.
        QList<QPair<int, int>> calls;
        p.sources.progress = [&](int done, int total, const QString &) {
            calls << qMakePair(done, total);
            return true;
        };
        const report::PreparedReport prepared = report::prepare(p.layout, p.sources);
        QCOMPARE(prepared.pageCount(), pages);
        QCOMPARE(calls.first().first, 0);
        QCOMPARE(calls.last().first, calls.last().second);
        for (int i = 1; i < calls.size(); ++i)
            QVERIFY(calls[i].second == calls[0].second && calls[i].first >= calls[i - 1].first);

        const report::PreparedPage &first = prepared.pages.first();
        QVERIFY(first.strings().contains("截止日期:2004年3月5日"));
        QVERIFY(first.strings().contains("租赁材料分布汇总表"));
        QVERIFY(first.strings().contains(" 第1页 共" + QString::number(pages) + "页"));
        QVERIFY(!first.strings().contains("结帐类型:未结帐")); // memo13 is not printed
        auto text = [](const report::PreparedPage &page, const QString &memo) {
            for (const report::PlacedText &t : page.texts)
                if (t.memo == memo)
                    return t.lines.join('\n');
            return QString("(absent)");
        };
        QCOMPARE(text(first, "memo101"), QString("材料1"));
        QCOMPARE(text(first, "memo105"), materials >= 5 ? QString("材料5") : QString());
        // Each totals cell against the sum of its column over the summary rows.
        const QStringList fields{"tem2", "tem4", "a1", "a2", "a3", "a4", "a5", "a6", "a20", "a21", "a0", "a22", "a23"};
        for (int i = 0; i < fields.size(); ++i) {
            const double sum = f.store->scalar("select total(" + fields[i] + ") from czbhz").toDouble();
            const QString expected = sum == 0 ? QString() : QString::number(sum, 'f', 2);
            QCOMPARE(text(first, QString("Total%1").arg(i + 2)), expected);
        }
        QCOMPARE(text(first, "Total1"), QString("合  计"));
        if (pages == 2) {
            const report::PreparedPage &second = prepared.pages[1];
            QVERIFY(second.strings().contains("租赁材料分布汇总表(续表)"));
            QVERIFY(second.strings().contains("结帐类型:未结帐"));
            QVERIFY(second.strings().contains("乙公司(否)"));
            QCOMPARE(text(second, "memo107"), QString("材料7"));
            QCOMPARE(text(second, "memo108"), QString());
            QCOMPARE(text(second, "Total4"), QString("9.00")); // material 7
            QVERIFY(second.strings().contains(" 第2页 共2页"));
        }
    }

    // The printed rent summary: deposits and rent received by bank, in cash and together, with
    // their sums in the totals row.
    void printedRent()
    {
        Fixture f;
        Ledger l{*f.store};
        l.materials({"钢管"});
        l.contract("H1", "甲公司");
        l.contract("H2", "乙公司");
        l.moves("H1", "甲公司", {"2004-03-01 钢管 100 0"});
        l.moves("H2", "乙公司", {"2004-03-01 钢管 10 0"});
        l.paid("sp3", "H1", "甲公司", "银行", 300);
        l.paid("sp3", "H1", "甲公司", "现金", 200);
        l.paid("sp3", "H2", "乙公司", "现金", 40);
        l.paid("sp4", "H2", "乙公司", "银行", 60);
        QVERIFY(runRentSummary(*f.store, unsettledContracts(*f.store), Cutoff, Method::StartDayFree).ok());

        Dataset summary(*f.store);
        openRentSummary(summary);
        Print p = rentPrint(summary, f.context->settings(), Cutoff, QString());
        p.sources.datasets.insert("dwm.Query1", &f.context->titles());
        p.sources.today = QDate(2004, 3, 12);
        const report::PreparedReport prepared = report::prepare(p.layout, p.sources);
        QCOMPARE(prepared.pageCount(), 1);
        const QStringList s = prepared.pages.first().strings();
        QVERIFY(s.contains("租赁费结算汇总表"));
        QVERIFY(s.contains("截止日期:2004年3月11日"));
        // Rent 1,000 + 100; deposits 500 and 40, together 540; received 60.
        for (const char *t : {"500.00", "40.00", "540.00", "1100.00", "60.00", "1100.00"})
            QVERIFY2(s.contains(t), t);
        QCOMPARE(s.count("540.00"), 1);
        QVERIFY(s.contains(QString::number(1000 - 500 + 100 - 40 - 60, 'f', 2)));
    }
};

QTEST_MAIN(TestSummaries)
#include "tst_summaries.moc"
