#include "settlement/settlement.h"
#include "store/format.h"

#include <QJsonDocument>
#include <QJsonObject>
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

// A fixture table: a header of column names, then one row a line; an empty cell is null.
struct Csv {
    QStringList columns;
    QVector<QStringList> rows;
};

Csv readCsv(const QString &path)
{
    QFile f(path);
    Csv csv;
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) {
        QTest::qFail(qPrintable("cannot read " + path), __FILE__, __LINE__);
        return csv;
    }
    const QStringList lines = QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    csv.columns = lines.value(0).split(',');
    for (const QString &line : lines.mid(1))
        csv.rows << line.split(',');
    return csv;
}

// A stored value as the fixtures write it: null empty, numbers shortest (to 12 digits), text as is.
QString cell(const QVariant &v)
{
    if (v.isNull())
        return QString();
    switch (v.typeId()) {
    case QMetaType::Double:
    case QMetaType::Int:
    case QMetaType::LongLong:
        return QString::number(v.toDouble(), 'g', 12);
    default:
        return v.toString();
    }
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
            rows << QStringList{r[0].toString(), r[1].toString(), r[2].toString(), cell(r[3]), cell(r[4]),
                                cell(r[5]), cell(r[6])}
                        .join('|');
        // The price is found without regard to letter case; a material missing from sp1 has none.
        // The row with neither pieces sent nor returned takes part in no group.
        QCOMPARE(rows, (QStringList{"H1|2004-03-01|gangguan|90|0.5|20|0", "H1|2004-03-07|模板|15||10|0",
                                    "H1|2004-03-05|gangguan|-24|0.5|-4|2"}));

        rebuildMovements(*store_, "H2");
        QCOMPARE(store_->scalar("select count(*) from czb").toInt(), 0);
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

    // Golden cases: one folder per case under golden/, holding run.json (the request), input/<table>.csv
    // (rows loaded into the table before the run) and expected/<table>.csv (the columns named in its
    // header, every row in stored order, after the run). A new case is a new folder.
    void golden_data()
    {
        QTest::addColumn<QString>("folder");
        const QDir root(QStringLiteral(TOLVA_GOLDEN_DIR));
        const QStringList cases = root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        if (cases.isEmpty())
            QFAIL(qPrintable("no golden cases in " + root.path()));
        for (const QString &name : cases)
            QTest::newRow(qPrintable(name)) << root.filePath(name);
    }

    void golden()
    {
        QFETCH(QString, folder);
        const QDir dir(folder);
        QFile runFile(dir.filePath("run.json"));
        QVERIFY(runFile.open(QIODevice::ReadOnly));
        const QJsonObject run = QJsonDocument::fromJson(runFile.readAll()).object();
        QVERIFY2(!run.isEmpty(), "run.json is not a JSON object");

        const QDir input(dir.filePath("input"));
        for (const QString &file : input.entryList({"*.csv"}, QDir::Files, QDir::Name)) {
            const Csv csv = readCsv(input.filePath(file));
            QVector<QVector<QVariant>> rows;
            for (const QStringList &r : csv.rows) {
                QCOMPARE(r.size(), csv.columns.size());
                QVector<QVariant> values;
                for (const QString &v : r)
                    values << (v.isEmpty() ? QVariant() : QVariant(v));
                rows << values;
            }
            store_->insertRows(QFileInfo(file).baseName(), csv.columns, rows);
        }

        const QString numa = run["numa"].toString(), khm = run["khm"].toString();
        const QDate end = QDate::fromString(run["end"].toString(), Qt::ISODate);
        const Method method = Method(run["method"].toInt());
        if (run["summary"].toBool()) {
            rebuildMovements(*store_, numa);
            computeForSummary(*store_, numa, khm, method, end);
        } else {
            const QStringList modes = {"today", "contract", "range"};
            const int mode = modes.indexOf(run["dateMode"].toString());
            QVERIFY2(mode >= 0, "dateMode is one of today, contract, range");
            const Request req{numa, khm, QDate::fromString(run["start"].toString(), Qt::ISODate), end, DateMode(mode)};
            const Preparation prep = prepare(*store_, req);
            QVERIFY2(prep.ok(), qPrintable(message(prep.refusal)));
            const Result result = compute(*store_, req, {method, run["material"].toString()});
            QCOMPARE(result, req.mode == DateMode::Range ? Result::Czbtem1 : Result::Czbtem);
        }

        const QDir expectedDir(dir.filePath("expected"));
        const QStringList tables = expectedDir.entryList({"*.csv"}, QDir::Files, QDir::Name);
        QVERIFY2(!tables.isEmpty(), "a case expects at least one table");
        for (const QString &file : tables) {
            const Csv expected = readCsv(expectedDir.filePath(file));
            const QString table = QFileInfo(file).baseName();
            QStringList want, got;
            for (const QStringList &r : expected.rows)
                want << r.join(',');
            for (const auto &r : store_->select("select " + expected.columns.join(',') + " from " + table +
                                                " order by rowid")
                                     .rows) {
                QStringList cells;
                for (const QVariant &v : r)
                    cells << cell(v);
                got << cells.join(',');
            }
            const QString header = expected.columns.join(',');
            QVERIFY2(got == want, qPrintable(QString("%1 differs\nexpected:\n%2\n%3\nactual:\n%2\n%4")
                                                 .arg(table, header, want.join('\n'), got.join('\n'))));
        }
    }

    // Rents and their totals are rounded by the program's one money rule.
    void rentRounding_data()
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

    void rentRounding()
    {
        QFETCH(double, value);
        QFETCH(double, cents);
        QCOMPARE(format::round(value, 2), cents);
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
        addMoves(*store_, "H1", {"2004-03-31 钢管 6米 根 米 1 100 0"});
        // The last day is inside the dates, but a period must start before its first movement.
        QCOMPARE(prepare(*store_, req).refusal, Refusal::NoMovementsInPeriod);
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

    // A long computation reports how far it got up to its end; a cancel, even at the last report
    // (after every row was written), leaves every working table as it was.
    void progressAndCancel_data()
    {
        QTest::addColumn<QString>("computation");
        QTest::newRow("rebuild of two contracts") << "rebuild";
        QTest::newRow("preparation") << "prepare";
        QTest::newRow("period statement, method 0") << "period 0";
        QTest::newRow("period statement, method 2") << "period 2";
        QTest::newRow("summary run") << "summary";
    }

    void progressAndCancel()
    {
        QFETCH(QString, computation);
        store_->exec("insert into sp1(namea,dj) values('钢管',0.1),('扣件',0.01)");
        const QStringList moves = {"2004-02-20 钢管 6米 根 米 1 100 0", "2004-03-05 扣件 直角 个 个 1 10 0",
                                   "2004-03-11 钢管 6米 根 米 1 0 40", "2004-03-20 扣件 直角 个 个 1 0 4"};
        addMoves(*store_, "H1", moves);
        addMoves(*store_, "H2", moves);
        rebuildMovements(*store_, "H1");
        const Request req = request("2004-03-01", "2004-03-31", DateMode::Range);
        auto run = [&](const Progress &progress) {
            if (computation == "rebuild")
                rebuildMovements(*store_, QStringList{"H1", "H2"}, progress);
            else if (computation == "prepare")
                QVERIFY(prepare(*store_, req, true, progress).ok());
            else if (computation == "summary")
                computeForSummary(*store_, "H1", "甲公司", Method::StartDayFree, req.end, progress);
            else
                compute(*store_, req, {Method(computation.back().digitValue()), QString()}, progress);
        };
        const QStringList tables = {"czb", "czbnow1", "czbtem", "czbtem1"};
        for (const QString &table : tables)
            store_->exec("insert into " + table + "(numa) values('old')");
        auto contents = [&] {
            QStringList all;
            for (const QString &table : tables)
                for (const auto &r : store_->select("select * from " + table + " order by rowid").rows) {
                    QStringList cells;
                    for (const QVariant &v : r)
                        cells << cell(v);
                    all << table + ":" + cells.join(',');
                }
            return all;
        };
        const QStringList before = contents();

        QVector<QPair<int, int>> reports;
        bool cancelled = false;
        try {
            run([&](int done, int total, const QString &) {
                reports.append({done, total});
                return done < total;
            });
        } catch (const Cancelled &) {
            cancelled = true;
        }
        QVERIFY(cancelled);
        QVERIFY(reports.size() >= 2);
        for (int i = 0; i < reports.size(); ++i) {
            QVERIFY(reports[i].second == reports.last().second);
            QVERIFY(reports[i].first <= reports[i].second);
            QVERIFY(i == 0 || reports[i].first >= reports[i - 1].first);
        }
        QVERIFY(reports.last().first == reports.last().second);
        QCOMPARE(contents(), before);

        // Without a callback, or with one that lets it finish, the same computation runs through.
        run({});
        QVERIFY(contents() != before);
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
                    const double expected = format::round(upToEnd.value(material) - upToStart.value(material), 2);
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

};

QTEST_GUILESS_MAIN(TestSettlement)
#include "tst_settlement.moc"
