#include "settlement/settlement.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

using namespace tolva;
using namespace tolva::settlement;

namespace {

// One movement by specification: "date material spec dw dw1 ratio sent returned [suspended]".
struct Move {
    QString date, namea, gg, dw, dw1;
    double bl, a1, b1, a8;
};

Move move(const QString &line)
{
    const QStringList f = line.split(' ', Qt::SkipEmptyParts);
    return {f[0], f[1], f[2], f[3], f[4], f[5].toDouble(), f[6].toDouble(), f[7].toDouble(),
            f.size() > 8 ? f[8].toDouble() : 0.0};
}

void addMoves(Store &store, const QString &numa, const QStringList &lines)
{
    for (const QString &line : lines) {
        const Move m = move(line);
        store.exec("insert into czbnow(khm,numa,datea,namea,gg,dw,dw1,bl,a1,b1,a2,a8) "
                   "values(:khm,:numa,:d,:n,:gg,:dw,:dw1,:bl,:a1,:b1,:a2,:a8)",
                   {{"khm", "甲公司"}, {"numa", numa}, {"d", QDate::fromString(m.date, Qt::ISODate)}, {"n", m.namea},
                    {"gg", m.gg}, {"dw", m.dw}, {"dw1", m.dw1}, {"bl", m.bl}, {"a1", m.a1}, {"b1", m.b1},
                    {"a2", m.bl * (m.a1 - m.b1)}, {"a8", m.a8}});
    }
}

QString num(const QVariant &v)
{
    return v.isNull() ? QString() : QString::number(v.toDouble(), 'g', 12);
}

// Statement rows as "date|name|a1|a2|a3|a4|a5|a10".
QStringList statement(Store &store, const QString &table)
{
    QStringList out;
    for (const auto &r : store.select("select datea,namea,a1,a2,a3,a4,a5,a10 from " + table).rows)
        out << QStringList{r[0].toString(), r[1].toString(), num(r[2]), num(r[3]), num(r[4]), num(r[5]),
                           num(r[6]), num(r[7])}
                   .join('|');
    return out;
}

Request request(const QString &start, const QString &end, DateMode mode)
{
    return {"H1", "甲公司", QDate::fromString(start, Qt::ISODate), QDate::fromString(end, Qt::ISODate), mode};
}

} // namespace

class TestSettlement : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    std::unique_ptr<Store> store_;

private Q_SLOTS:
    void init()
    {
        QFile::remove(dir_.filePath("tolva.db"));
        store_ = std::make_unique<Store>(dir_.path());
        store_->exec("insert into sp2(khm,numa,jz) values('甲公司','H1','否')");
    }
    void cleanup() { store_.reset(); }

    void workedExamples_data()
    {
        QTest::addColumn<QString>("price");      // daily price of 钢管
        QTest::addColumn<QStringList>("moves");
        QTest::addColumn<int>("method");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("period");     // "start end"
        QTest::addColumn<QStringList>("expected"); // rows of the resulting table

        const QStringList one = {"2004-03-01 钢管 6米 根 米 1 100 0"};
        QTest::newRow("one send, method 0") << "0.1" << one << 0 << 0 << "2004-03-01 2004-03-31"
            << QStringList{"2004-03-01|钢管|100|100|0|0|0|0", "2004-03-31|钢管||100|30|0.1|300|300"};
        QTest::newRow("one send, method 1") << "0.1" << one << 1 << 0 << "2004-03-01 2004-03-31"
            << QStringList{"2004-03-01|钢管|100|100|0|0|0|0", "2004-03-31|钢管||100|31|0.1|310|310"};
        QTest::newRow("one send, method 2: one row") << "0.1" << one << 2 << 0 << "2004-03-01 2004-03-31"
            << QStringList{"2004-03-01|钢管|100|100|31|0.1|310|310"};

        QTest::newRow("return with suspended days, method 0") << "0.02"
            << QStringList{"2004-03-01 钢管 6米 根 米 1 100 0", "2004-03-11 钢管 6米 根 米 1 0 40 5"} << 0 << 0
            << "2004-03-01 2004-03-31"
            << QStringList{"2004-03-01|钢管|100|100|0|0|0|0", "2004-03-11|钢管|-40|60|10|0.02|10|10",
                           "2004-03-31|钢管||60|20|0.02|24|34"};

        QTest::newRow("send then return, method 2") << "0.1"
            << QStringList{"2004-03-01 钢管 6米 根 米 1 100 0", "2004-03-11 钢管 6米 根 米 1 0 40"} << 2 << 0
            << "2004-03-01 2004-03-20"
            << QStringList{"2004-03-01|钢管|100|100|11|0.1|110|110", "2004-03-11|钢管|-40|60|9|0.1|54|164"};

        // Two sends of one material on one day (two units, so two rows per material and day).
        QTest::newRow("two sends on one day, method 0") << "0.01"
            << QStringList{"2004-03-01 钢管 6米 根 米 6 10 0", "2004-03-01 钢管 短管 个 米 1 5 0"} << 0 << 0
            << "2004-03-01 2004-03-11"
            << QStringList{"2004-03-01|钢管|60|60|0|0|0|0", "2004-03-01|钢管|5|65|0|0|0|0",
                           "2004-03-11|钢管||65|10|0.01|6.5|6.5"};

        // Sent and returned on one row: the net movement is on hire once, not twice.
        QTest::newRow("sent and returned on one row") << "0.1"
            << QStringList{"2004-03-01 钢管 6米 根 米 1 100 30"} << 0 << 0 << "2004-03-01 2004-03-11"
            << QStringList{"2004-03-01|钢管|70|70|0|0|0|0", "2004-03-01|钢管|0|70|0|0|0|0",
                           "2004-03-11|钢管||70|10|0.1|70|70"};

        // A movement after the period end makes a backwards interval: rent 0 (full statement).
        QTest::newRow("movement after the end, full statement") << "0.1"
            << QStringList{"2004-03-01 钢管 6米 根 米 1 100 0", "2004-04-10 钢管 6米 根 米 1 0 100"} << 0 << 0
            << "2004-03-01 2004-03-31"
            << QStringList{"2004-03-01|钢管|100|100|0|0|0|0", "2004-04-10|钢管|-100|0|40|0.1|400|400",
                           "2004-03-31|钢管||0|-10|0.1|0|400"};

        // Period statements.
        const QStringList before = {"2004-02-20 钢管 6米 根 米 1 100 0"};
        QTest::newRow("period, method 2, send before the start") << "0.1" << before << 2 << 2
            << "2004-03-01 2004-03-31"
            << QStringList{"|上期结存|0|100|0|0|0|0", "2004-03-01|钢管|0|100|31|0.1|310|310"};
        QTest::newRow("period, method 0, send before the start") << "0.1" << before << 0 << 2
            << "2004-03-01 2004-03-31"
            << QStringList{"|上期结存|0|100|0|0|0|0", "2004-03-01|钢管|0|100|31|0.1|310|310"};
        QTest::newRow("period, method 1, send before the start") << "0.1" << before << 1 << 2
            << "2004-03-01 2004-03-31"
            << QStringList{"|上期结存|0|100|0|0|0|0", "2004-03-01|钢管|0|100|31|0.1|310|310"};

        // The first movement of the material lies inside the period: billed from its own date only.
        const QStringList inside = {"2004-03-11 钢管 6米 根 米 1 100 0"};
        QTest::newRow("period, method 0, first send inside") << "0.1" << inside << 0 << 2
            << "2004-03-01 2004-03-31"
            << QStringList{"|上期结存|0|0|0|0|0|0", "2004-03-11|钢管|100|100|20|0.1|200|200"};
        QTest::newRow("period, method 1, first send inside") << "0.1" << inside << 1 << 2
            << "2004-03-01 2004-03-31"
            << QStringList{"|上期结存|0|0|0|0|0|0", "2004-03-11|钢管|100|100|21|0.1|210|210"};
        QTest::newRow("period, method 2, first send inside") << "0.1" << inside << 2 << 2
            << "2004-03-01 2004-03-31"
            << QStringList{"|上期结存|0|0|0|0|0|0", "2004-03-11|钢管|100|100|21|0.1|210|210"};

        // On hire before, a return inside: billed at the old quantity up to the return, then the new.
        const QStringList back = {"2004-02-20 钢管 6米 根 米 1 100 0", "2004-03-11 钢管 6米 根 米 1 0 40"};
        QTest::newRow("period, method 0, return inside") << "0.1" << back << 0 << 2 << "2004-03-01 2004-03-31"
            << QStringList{"|上期结存|0|100|0|0|0|0", "2004-03-01|钢管|0|100|11|0.1|110|110",
                           "2004-03-11|钢管|-40|60|20|0.1|120|230"};
        QTest::newRow("period, method 1, return inside") << "0.1" << back << 1 << 2 << "2004-03-01 2004-03-31"
            << QStringList{"|上期结存|0|100|0|0|0|0", "2004-03-01|钢管|0|100|10|0.1|100|100",
                           "2004-03-11|钢管|-40|60|21|0.1|126|226"};
        QTest::newRow("period, method 2, return inside") << "0.1" << back << 2 << 2 << "2004-03-01 2004-03-31"
            << QStringList{"|上期结存|0|100|0|0|0|0", "2004-03-01|钢管|0|100|11|0.1|110|110",
                           "2004-03-11|钢管|-40|60|20|0.1|120|230"};

        // A movement exactly on the period start stays a movement; the balance brought forward is the
        // one before it. Under method 1 the start day goes at the new quantity, so no carry row.
        const QStringList onStart = {"2004-02-20 钢管 6米 根 米 1 100 0", "2004-03-01 钢管 6米 根 米 1 50 0"};
        QTest::newRow("period, method 1, send on the start") << "0.1" << onStart << 1 << 2
            << "2004-03-01 2004-03-31"
            << QStringList{"|上期结存|0|100|0|0|0|0", "2004-03-01|钢管|50|150|31|0.1|465|465"};
        QTest::newRow("period, method 0, send on the start") << "0.1" << onStart << 0 << 2
            << "2004-03-01 2004-03-31"
            << QStringList{"|上期结存|0|100|0|0|0|0", "2004-03-01|钢管|0|100|1|0.1|10|10",
                           "2004-03-01|钢管|50|150|30|0.1|450|460"};

        // Movements after the period end are left out; a material entirely after it does not appear.
        QTest::newRow("period, movements after the end") << "0.1"
            << QStringList{"2004-02-20 钢管 6米 根 米 1 100 0", "2004-04-05 钢管 6米 根 米 1 0 100",
                           "2004-04-06 扣件 直角 个 个 1 10 0"}
            << 0 << 2 << "2004-03-01 2004-03-31"
            << QStringList{"|上期结存|0|100|0|0|0|0", "2004-03-01|钢管|0|100|31|0.1|310|310"};
    }

    void workedExamples()
    {
        QFETCH(QString, price);
        QFETCH(QStringList, moves);
        QFETCH(int, method);
        QFETCH(int, mode);
        QFETCH(QString, period);
        QFETCH(QStringList, expected);

        store_->exec("insert into sp1(namea,dj) values('钢管',:p)", {{"p", price.toDouble()}});
        store_->exec("insert into sp1(namea,dj) values('扣件',0.01)");
        addMoves(*store_, "H1", moves);
        const QStringList p = period.split(' ');
        const Request req = request(p[0], p[1], DateMode(mode));
        const Preparation prep = prepare(*store_, req);
        QVERIFY2(prep.ok(), qPrintable(message(prep.refusal)));
        const Result result = compute(*store_, req, {Method(method), QString()});
        QCOMPARE(result, mode == 2 ? Result::Czbtem1 : Result::Czbtem);
        QCOMPARE(statement(*store_, tableName(result)), expected);
    }

    // After a period statement czbtem keeps, per material, the lines from the last one before the
    // period start (or those on the start) up to the period end.
    void periodKeepsTheLinesFromTheStartInCzbtem()
    {
        store_->exec("insert into sp1(namea,dj) values('钢管',0.1)");
        addMoves(*store_, "H1",
                 {"2004-02-01 钢管 6米 根 米 1 100 0", "2004-02-20 钢管 6米 根 米 1 50 0",
                  "2004-03-11 钢管 6米 根 米 1 0 40", "2004-04-02 钢管 6米 根 米 1 0 10"});
        const Request req = request("2004-03-01", "2004-03-31", DateMode::Range);
        QVERIFY(prepare(*store_, req).ok());
        compute(*store_, req, {Method::StartDayFree, QString()});
        QCOMPARE(statement(*store_, "czbtem"),
                 (QStringList{"2004-02-20|钢管|50|150|19|0.1|190|190", "2004-03-11|钢管|-40|110|20|0.1|300|490",
                              "2004-03-31|钢管||110|20|0.1|220|710"}));
    }

    void rebuildGroupsSendsThenReturns()
    {
        store_->exec("insert into sp1(namea,dj) values('GANGGUAN',0.5)");
        addMoves(*store_, "H1",
                 {"2004-03-01 gangguan 6米 根 米 6 10 0", "2004-03-01 gangguan 3米 根 米 3 10 0",
                  "2004-03-05 gangguan 6米 根 米 6 0 4 2", "2004-03-06 gangguan 6米 根 米 6 0 0 3",
                  "2004-03-07 模板 平模 块 平米 1.5 10 0"});
        addMoves(*store_, "H2", {"2004-03-01 gangguan 6米 根 米 6 0 5"}); // returns without sends
        rebuildMovements(*store_, QStringList{"H1", "H2"});
        QStringList rows;
        for (const auto &r : store_->select("select numa,datea,namea,a1,a4,a6,a8 from czb").rows)
            rows << QStringList{r[0].toString(), r[1].toString(), r[2].toString(), num(r[3]), num(r[4]),
                                num(r[5]), num(r[6])}
                        .join('|');
        // The price is found without regard to letter case; a material missing from sp1 has none.
        // The row with neither pieces sent nor returned takes part in no group.
        QCOMPARE(rows, (QStringList{"H1|2004-03-01|gangguan|90|0.5|20|0", "H1|2004-03-07|模板|15||10|0",
                                    "H1|2004-03-05|gangguan|-24|0.5|-4|2"}));

        rebuildMovements(*store_, "H2");
        QCOMPARE(store_->scalar("select count(*) from czb").toInt(), 0);
    }

    void materialWithoutPriceChargesNothing()
    {
        addMoves(*store_, "H1", {"2004-03-01 模板 平模 块 平米 1 10 0"});
        rebuildMovements(*store_, "H1");
        compute(*store_, request("2004-03-01", "2004-03-31", DateMode::Today), {});
        QCOMPARE(statement(*store_, "czbtem"),
                 (QStringList{"2004-03-01|模板|10|10|0|0|0|0", "2004-03-31|模板||10|30||0|0"}));
    }

    void singleMaterialRun()
    {
        store_->exec("insert into sp1(namea,dj) values('钢管',0.1)");
        store_->exec("insert into sp1(namea,dj) values('扣件',0.01)");
        addMoves(*store_, "H1", {"2004-03-01 钢管 6米 根 米 1 100 0", "2004-03-01 扣件 直角 个 个 1 10 0"});
        const Request req = request("2004-03-01", "2004-03-11", DateMode::Today);
        QVERIFY(prepare(*store_, req).ok());
        compute(*store_, req, {Method::StartDayFree, "扣件"});
        QCOMPARE(store_->scalar("select count(*) from czbtem where namea<>'扣件'").toInt(), 0);
        QCOMPARE(totalRent(*store_, Result::Czbtem), 1.0);
        compute(*store_, req, {Method::StartDayFree, QString()});
        QCOMPARE(totalRent(*store_, Result::Czbtem), 101.0);
    }

    void roundToCents_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("cents");
        QTest::newRow("half up") << 0.125 << 0.13;
        QTest::newRow("negative half away") << -0.125 << -0.13;
        QTest::newRow("tiny negative") << -0.004 << 0.0;
        QTest::newRow("a hair below 267.5") << 2.675 << 2.68;
        QTest::newRow("product meant as 267.5") << 0.1 * 26.75 << 2.68;
        QTest::newRow("plain") << 300.0 << 300.0;
    }

    void roundToCents()
    {
        QFETCH(double, value);
        QFETCH(double, cents);
        QCOMPARE(settlement::roundToCents(value), cents);
    }

    void preparationRefusals()
    {
        const Request req = request("2004-03-01", "2004-03-31", DateMode::Today);
        store_->exec("insert into sp1(namea,dj) values('钢管',0)");
        QCOMPARE(prepare(*store_, req).refusal, Refusal::PriceMissing);
        store_->exec("update sp1 set dj=0.1");
        QCOMPARE(prepare(*store_, request("2004-03-31", "2004-03-31", DateMode::Today)).refusal,
                 Refusal::PeriodNotAfterStart);
        QCOMPARE(prepare(*store_, req, false).refusal, Refusal::NoContract);
        QCOMPARE(prepare(*store_, req).refusal, Refusal::NoMovements);
        addMoves(*store_, "H1", {"2004-04-05 钢管 6米 根 米 1 100 0"});
        QCOMPARE(prepare(*store_, req).refusal, Refusal::NoMovements); // none inside the dates
        QCOMPARE(prepare(*store_, request("2004-03-01", "2004-03-31", DateMode::Range)).refusal,
                 Refusal::NoMovementsInPeriod);
        QCOMPARE(message(Refusal::NoMovements), QString("主数据库中没有数据，无法统计！"));
        // A refusal leaves the working tables alone.
        store_->exec("insert into czb(numa) values('old')");
        QVERIFY(!prepare(*store_, req).ok());
        QCOMPARE(store_->scalar("select count(*) from czb").toInt(), 1);
    }

    void totalsAndAmountDue()
    {
        store_->exec("insert into sp1(namea,dj) values('钢管',0.1)");
        addMoves(*store_, "H1", {"2004-03-01 钢管 6米 根 米 1 100 0"});
        store_->exec("insert into sp3(khm,numa,lx,a1) values('甲公司','H1','银行',100),('甲公司','H1','现金',50),"
                     "('乙公司','H1','现金',7)");
        store_->exec("insert into sp4(khm,numa,lx,a1) values('甲公司','H1','现金',60),('甲公司','H2','现金',1)");
        store_->exec("insert into czb1(khm,numa,a4) values('甲公司','H1',12.5)");
        store_->exec("insert into czb2(khm,numa,a4) values('甲公司','H1',30)");
        const Request req = request("2004-03-01", "2004-03-31", DateMode::Today);
        const Preparation p = prepare(*store_, req);
        QVERIFY(p.ok());
        QCOMPARE(p.totals.deposits, 150.0);
        QCOMPARE(p.totals.rentReceived, 60.0);
        QCOMPARE(p.totals.repairFees, 12.5);
        QCOMPARE(p.totals.scrapFees, 30.0);
        QCOMPARE(p.title, QString("现在显示的是\"甲公司\"合同号是\"H1\"的数据"));
        compute(*store_, req, {});
        const double rent = totalRent(*store_, Result::Czbtem);
        QCOMPARE(rent, 300.0);
        QCOMPARE(amountDue(rent, p.totals, 20), 300.0 - 150 - 60 + 12.5 + 30 + 20);
    }

    // For random small contracts, each material's rent over a period equals its rent up to the
    // period end less its rent up to the day before the period start.
    void periodRentIsTheDifferenceOfTwoFullRuns()
    {
        store_->exec("insert into sp1(namea,dj) values('钢管',0.037)");
        store_->exec("insert into sp1(namea,dj) values('扣件',0.011)");
        QRandomGenerator rng(20041210);
        const QDate base(2004, 1, 1);
        auto rentsByMaterial = [&](const QString &table) {
            QMap<QString, double> m;
            for (const auto &r : store_->select("select numa,sum(a5) from " + table + " group by numa").rows)
                m[r[0].toString()] = r[1].toDouble();
            return m;
        };
        for (int round = 0; round < 60; ++round) {
            store_->exec("delete from czbnow");
            QStringList moves;
            for (const QString material : {"钢管", "扣件"}) {
                double onHire = 0;
                QDate day = base.addDays(rng.bounded(40));
                const int count = 1 + rng.bounded(6);
                for (int i = 0; i < count; ++i) {
                    const int sent = (i == 0 || rng.bounded(2)) ? 1 + rng.bounded(50) : 0;
                    const int back = sent == 0 ? rng.bounded(int(onHire) + 1) : 0;
                    onHire += sent - back;
                    const int suspended = rng.bounded(4) == 0 ? rng.bounded(3) : 0;
                    moves << QString("%1 %2 规格 根 米 1.5 %3 %4 %5")
                                 .arg(day.toString(Qt::ISODate), material)
                                 .arg(sent)
                                 .arg(back)
                                 .arg(suspended);
                    day = day.addDays(rng.bounded(12));
                }
            }
            addMoves(*store_, "H1", moves);
            const QDate start = base.addDays(rng.bounded(60));
            const QDate end = start.addDays(1 + rng.bounded(40));
            for (int method = 0; method < 3; ++method) {
                const Run run{Method(method), QString()};
                // Full runs over the movements up to each date, ending on that date.
                auto fullRun = [&](const QDate &upTo) {
                    store_->exec("delete from czbnow where datea>:g1", {{"g1", upTo}});
                    rebuildMovements(*store_, "H1");
                    compute(*store_, {"H1", "甲公司", upTo.addDays(-1), upTo, DateMode::Today}, run);
                    return rentsByMaterial("czbtem");
                };
                store_->exec("delete from czbnow");
                addMoves(*store_, "H1", moves);
                rebuildMovements(*store_, "H1");
                compute(*store_, {"H1", "甲公司", start, end, DateMode::Range}, run);
                const auto period = rentsByMaterial("czbtem1");
                const auto upToEnd = fullRun(end);
                const auto upToStart = fullRun(start.addDays(-1));
                for (const QString material : {"钢管", "扣件"}) {
                    const double expected = settlement::roundToCents(upToEnd.value(material) - upToStart.value(material));
                    QVERIFY2(qAbs(period.value(material) - expected) < 0.001,
                             qPrintable(QString("round %1 method %2 %3: period %4, difference %5\n%6")
                                            .arg(round)
                                            .arg(method)
                                            .arg(material)
                                            .arg(period.value(material))
                                            .arg(expected)
                                            .arg(moves.join('\n'))));
                }
                store_->exec("delete from czbnow");
                addMoves(*store_, "H1", moves);
            }
        }
    }

    void summaryRunUsesContractNameAndNoUnits()
    {
        store_->exec("insert into sp1(namea,dj) values('钢管',0.1)");
        addMoves(*store_, "H1", {"2004-03-01 钢管 6米 根 米 1 100 0", "2004-04-10 钢管 6米 根 米 1 0 40"});
        store_->exec("update czbnow set khm='旧名称'");
        rebuildMovements(*store_, QStringList{"H1"});
        // The return after the cut-off date takes no part: rent runs to the cut-off on what was out then.
        computeForSummary(*store_, "H1", "甲公司", Method::StartDayFree, QDate(2004, 3, 31));
        QCOMPARE(statement(*store_, "czbtem"),
                 (QStringList{"2004-03-01|钢管|100|100|0|0|0|0", "2004-03-31|钢管||100|30|0.1|300|300"}));
        QCOMPARE(store_->scalar("select khm from czbtem where a1 is null").toString(), QString("甲公司"));
        QCOMPARE(store_->scalar("select count(*) from czbtem where dw is not null or dw1 is not null").toInt(), 0);
    }
};

QTEST_GUILESS_MAIN(TestSettlement)
#include "tst_settlement.moc"
