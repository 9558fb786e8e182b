#include "screens.h"

#include "settlement/chooserscreen.h"
#include "settlement/settlement.h"
#include "settlement/statementcli.h"
#include "summaries/distribution.h"
#include "summaries/distributionwindow.h"
#include "summaries/rentsummary.h"
#include "summaries/stock.h"
#include "summaries/stockscreens.h"
#include "summaries/summarycli.h"

#include <QRadioButton>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>
#include <QtTest>

using namespace tolva;
using namespace tolva::settlement;

namespace {

// HT00001 of 甲公司: 100 pieces of 钢管 6米 (ratio 6) sent on 1 June 2024 (rowid 1), 40 returned on
// 11 June (rowid 2), a deposit of 500; by method 0 over June its rent is 600.00 + 684.00. HT00002
// of 乙公司 hired 扣件. Every working table holds a marker row and sp1.kc1 a marker figure, so that
// a refusal that changed a table shows.
void fill(Fixture &f)
{
    Store &s = *f.store;
    s.exec("insert into sp1(namea,dj,kc,kc1,numsb) values('钢管',0.1,1000,7,2),('扣件',0.01,500,7,0)");
    s.exec("insert into sp2(khm,numa,jz,begina,enda) values('甲公司','HT00001','否','2024-06-01','2024-06-30'),"
           "('乙公司','HT00002','否','2024-06-01','2024-06-30')");
    s.exec("insert into czbnow(khm,numa,datea,namea,gg,dw,dw1,bl,a1,b1,a2,a8) values"
           "('甲公司','HT00001','2024-06-01','钢管','6米','根','米',6,100,0,600,0),"
           "('甲公司','HT00001','2024-06-11','钢管','6米','根','米',6,0,40,-240,0),"
           "('乙公司','HT00002','2024-06-05','扣件','直角','个','个',1,20,0,20,0)");
    s.exec("insert into sp3(khm,numa,datea,lx,a1) values('甲公司','HT00001','2024-06-01','银行',500)");
    for (const char *table : {"czb", "czbtem", "czbtem1", "czbhz", "czbhz1", "czbnow1"})
        s.exec(QStringLiteral("insert into %1(khm) values('标记')").arg(QLatin1String(table)));
    f.logIn("录入员");
}

// What the computations may change: the working tables and the stock figures.
QString tables(Store &s)
{
    QString out;
    for (const char *table : {"czb", "czbtem", "czbtem1", "czbhz", "czbhz1", "czbnow1"})
        out += s.scalar(QStringLiteral("select group_concat(coalesce(khm,'-')) from %1").arg(QLatin1String(table)))
                   .toString() + QLatin1Char('|');
    return out + s.scalar("select group_concat(kc1) from sp1").toString();
}

// Writes a value as another SQLite program would: its own connection, the value bound.
void writeAsAnotherProgram(const QString &folder, const QString &sql, const QVariant &value)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "another program");
        db.setDatabaseName(QDir(folder).filePath("tolva.db"));
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.prepare(sql));
        q.bindValue(":v", value);
        QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
    }
    QSqlDatabase::removeDatabase("another program");
}

// The entry points that read each kind of row.
const QStringList Statements{"statement", "period statement", "--statement", "--statement-all", "chooser"};
const QStringList Summaries{"distribution", "rent", "--summary distribution", "--summary rent",
                            "distribution window"};
const QStringList Counts{"stock", "balances", "details", "stock window"};

// Runs one entry point over the ledger: whether it refused, and what it said.
struct Said {
    bool refused = false;
    QString text;
};

Said run(Fixture &f, const QString &entry)
{
    Store &s = *f.store;
    const QString folder = f.dir.path();
    const QDate today(2024, 7, 1), end(2024, 6, 30);
    QString out, err;
    QTextStream o(&out), e(&err);
    auto command = [&](int rc) { return Said{rc != 0, err}; };
    auto shown = [&] {
        const QStringList errors = f.ui.texts("error");
        return Said{!errors.isEmpty(), errors.join('\n')};
    };
    try {
        if (entry == "statement" || entry == "period statement") {
            const bool period = entry == "period statement";
            const Request r{"HT00001", "甲公司", QDate(2024, 6, period ? 5 : 1), end,
                            period ? DateMode::Range : DateMode::ContractDates};
            if (!prepare(s, r).ok())
                return {true, "preparation refused"};
            const Result result = compute(s, r, {Method::StartDayFree, QString()});
            if (!period && totalRent(s, result) != 1284.0)
                return {false, "rent " + QString::number(totalRent(s, result))};
        } else if (entry == "distribution" || entry == "rent") {
            const auto contracts = summaries::unsettledContracts(s);
            if (entry == "distribution")
                summaries::runDistribution(s, contracts, end, Method::StartDayFree);
            else
                summaries::runRentSummary(s, contracts, end, Method::StartDayFree);
        } else if (entry == "stock") {
            Dataset rows(s);
            stock::open(s, rows);
        } else if (entry == "balances") {
            stock::countBalances(s, {});
        } else if (entry == "details") {
            details::Choice c;
            c.numa = "HT00001";
            details::compute(s, c);
        } else if (entry == "--statement") {
            return command(statementCommand({"tolva", "--statement", "HT00001", "--pdf", f.dir.filePath("1.pdf")},
                                            folder, today, o, e));
        } else if (entry == "--statement-all") {
            return command(statementCommand({"tolva", "--statement-all", "--pdf-folder", f.dir.filePath("all")},
                                            folder, today, o, e));
        } else if (entry.startsWith("--summary")) {
            return command(summaries::summaryCommand(
                {"--summary", entry.section(' ', 1), "--cutoff", "2024-06-30", "--pdf", f.dir.filePath("s.pdf")},
                folder, today, o, e));
        } else if (entry == "chooser") {
            Open<Tczbcx1> w(f);
            w.screen.contracts().first();
            w.screen.findChild<QRadioButton *>("check2_1")->click();
            w.screen.DBGrid1Click();
            f.ui.windows["czbcx"] = [](QDialog *) { return 0; };
            w.click("btn1_add");
            return shown();
        } else if (entry == "distribution window") {
            Open<summaries::Tczbhz> w(f);
            w.date("d1")->setDate(end);
            w.click("btn1_add");
            return shown();
        } else if (entry == "stock window") {
            Open<Tkccx> w(f);
            return shown();
        }
    } catch (const Error &failure) {
        return {true, (QStringList{failure.text()} + f.ui.texts("error")).join('\n')};
    }
    return {};
}

} // namespace

class TestBadValues : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A value another program wrote where a computation reads a number or a date: every entry point
    // that reads the row refuses with a message naming the contract (or material), the row and the
    // value, and leaves the tables as they were; those that do not read it, and values that are
    // right after all, compute as before.
    void refusedWherever_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("message"); // empty: computed
        QTest::addColumn<bool>("named");       // the refusal of the computation, not of a result set

        const QString movement = "合同HT00001 2024-06-01 钢管 6米：";
        const QString returned = "合同HT00001 2024-06-11 钢管 6米：";
        const QString dated = "合同HT00001 钢管 6米：";
        const QStringList movementReaders = Statements + Summaries + Counts;
        const struct {
            const char *name, *sql;
            QVariant value;
            QString message;
            QStringList readers;
            // Screens whose result set over the same table refuses the row first, in the store's
            // words: the value and the statement.
            QStringList resultSets = {};
        } cases[] = {
            {"text sent", "update czbnow set a1=:v where rowid=1", "abc", movement + "发出数量“abc”不是有效的数值。",
             movementReaders},
            {"blob converted", "update czbnow set a2=:v where rowid=2", QByteArray("x"),
             returned + "换算数量“x”不是有效的数值。", movementReaders},
            {"text ratio", "update czbnow set bl=:v where rowid=1", "六", movement + "换算比率“六”不是有效的数值。",
             movementReaders},
            {"empty date", "update czbnow set datea=:v where rowid=2", "", dated + "日期为空，不是有效的日期。",
             movementReaders},
            {"slashed date", "update czbnow set datea=:v where rowid=2", "2024/06/11",
             dated + "日期“2024/06/11”不是有效的日期。", movementReaders},
            {"no such month", "update czbnow set datea=:v where rowid=2", "2024-13-01",
             dated + "日期“2024-13-01”不是有效的日期。", movementReaders},
            {"date as a spreadsheet number", "update czbnow set datea=:v where rowid=2", 45454,
             dated + "日期“45454”不是有效的日期。", movementReaders},
            {"text price", "update sp1 set dj=:v where namea='钢管'", "abc", "材料钢管：单价“abc”不是有效的数值。",
             Statements + Summaries},
            {"text deposit", "update sp3 set a1=:v", "五百", "合同HT00001 押金 2024-06-01：金额“五百”不是有效的数值。",
             Statements + Summaries},
            {"text other charge", "update sp2 set a2=:v where numa='HT00001'", "abc",
             "合同HT00001：其它收费金额“abc”不是有效的数值。", Statements, {"chooser", "distribution window"}},
            {"text opening stock", "update sp1 set kc=:v where namea='钢管'", "一千",
             "材料钢管：库存期初数“一千”不是有效的数值。", {"stock", "stock window"}, {"chooser"}},
            // Stored as the number 100: nothing to refuse.
            {"numeric text", "update czbnow set a1=:v where rowid=1", "100", QString(), {}},
            // How some programs store an emptied cell: empty, as null is.
            {"blank returned", "update czbnow set b1=:v where rowid=1", "", QString(), {}},
        };
        for (const auto &c : cases)
            for (const QString &entry : movementReaders)
                QTest::addRow("%s / %s", c.name, qPrintable(entry))
                    << c.sql << c.value << entry
                    << (c.resultSets.contains(entry) ? "“" + c.value.toString() + "”不是有效的数值。"
                        : c.readers.contains(entry) ? c.message
                                                    : QString())
                    << !c.resultSets.contains(entry);
    }

    void refusedWherever()
    {
        QFETCH(QString, sql);
        QFETCH(QVariant, value);
        QFETCH(QString, entry);
        QFETCH(QString, message);
        QFETCH(bool, named);
        Fixture f;
        fill(f);
        writeAsAnotherProgram(f.dir.path(), sql, value);
        const QString before = tables(*f.store);
        const Said said = run(f, entry);
        if (message.isEmpty()) {
            QVERIFY2(!said.refused && said.text.isEmpty(), qPrintable(said.text));
            return;
        }
        QVERIFY2(said.refused, qPrintable(entry + " computed without a word"));
        QVERIFY2(said.text.contains(message), qPrintable(said.text));
        if (named && entry != "--statement-all") // which writes the statements of the other contracts
            QCOMPARE(tables(*f.store), before);
    }

    // The counts remember a ledger they found right, yet refuse what another program writes after;
    // a faulty movement of a contract they do not count (a settled one) stops none of them.
    void countsSeeLaterWritesAndOnlyTheirContracts()
    {
        Fixture f;
        fill(f);
        const QStringList counts{"stock", "balances", "details"};
        for (const QString &entry : counts)
            QVERIFY(!run(f, entry).refused);
        writeAsAnotherProgram(f.dir.path(), "update czbnow set a1=:v where rowid=1", "abc");
        for (const QString &entry : counts) {
            const Said said = run(f, entry);
            QVERIFY2(said.refused && said.text.contains("发出数量“abc”"), qPrintable(entry + ": " + said.text));
        }
        f.store->exec("update sp2 set jz='是' where numa='HT00001'");
        QVERIFY(!run(f, "stock").refused);
        QVERIFY(!run(f, "balances").refused);
        QCOMPARE(f.store->scalar("select group_concat(khm) from czbtem").toString(), QString("乙公司"));
    }

    // A settings or titles row removed by another program is put back with its starting values
    // before a command-line mode reads it, and the person is told.
    void missingSettingRowsAreRestored()
    {
        Fixture f;
        fill(f);
        f.store->exec("update srf set b1=2, b8=99");
        writeAsAnotherProgram(f.dir.path(), "delete from srf where :v is null", QVariant());
        writeAsAnotherProgram(f.dir.path(), "delete from dwm where :v is null", QVariant());
        QString out, err;
        QTextStream o(&out), e(&err);
        QCOMPARE(summaries::summaryCommand({"--summary", "rent", "--cutoff", "2024-06-30", "--pdf",
                                               f.dir.filePath("s.pdf")},
                                              f.dir.path(), QDate(2024, 7, 1), o, e),
                 0);
        QVERIFY2(out.contains("设置表（srf）中的设置行不见了，已按初始设置补上") &&
                     out.contains("单位名称表（dwm）中的记录不见了，已按初始值补上"),
                 qPrintable(out + err));
        QCOMPARE(column(*f.store, "select b1||' '||b6||' '||b8||' '||srf from srf"),
                 QStringList{"0.0 0.0 20.0 不使用自动开启输入法"});
        QCOMPARE(column(*f.store, "select a1||' '||a9 from dwm"), QStringList{"建筑材料租赁站 租赁费结算汇总表"});
        // By the starting method 0, not silently by whatever a missing row reads as.
        QCOMPARE(f.store->scalar("select a1 from czbhz1 where numa='HT00001'").toDouble(), 1284.0);

        out.clear();
        QCOMPARE(statementCommand({"tolva", "--statement", "HT00001", "--pdf", f.dir.filePath("1.pdf")}, f.dir.path(),
                                  QDate(2024, 7, 1), o, e),
                 0);
        QVERIFY2(!out.contains("不见了"), qPrintable(out)); // told once
    }
};

QTEST_MAIN(TestBadValues)
#include "tst_badvalues.moc"
