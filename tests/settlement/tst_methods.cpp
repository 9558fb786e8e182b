// The rent methods as pure functions over rows in memory: no ledger, only tables of cases.
#include "settlement/methods.h"

#include <QtTest>

#include <cmath>

using namespace tolva;
using namespace tolva::settlement;

namespace {

const int Year = 2004;

QDate day(const QString &mmdd)
{
    return QDate::fromString(QString::number(Year) + '-' + mmdd, Qt::ISODate);
}

QString mmdd(const QDate &d)
{
    return d.isValid() ? d.toString("MM-dd") : QStringLiteral("-");
}

QString num(double v)
{
    return std::isnan(v) ? QStringLiteral("_") : QString::number(v, 'g', 10);
}

// One czb row of one material: "mm-dd quantity [pieces] [a8=n]", at the case's price.
Movement movement(const QString &line, double price, const QString &material = QStringLiteral("钢管"))
{
    const QStringList f = line.split(' ', Qt::SkipEmptyParts);
    Movement m;
    m.khm = Text(QStringLiteral("甲公司"));
    m.numa = Text(QStringLiteral("H1"));
    m.namea = Text(material);
    m.date = day(f[0]);
    m.a1 = f[1].toDouble();
    m.a6 = m.a1;
    m.a4 = price;
    m.a8 = 0;
    for (const QString &part : f.mid(2)) {
        if (part.startsWith("a8="))
            m.a8 = part.mid(3).toDouble();
        else
            m.a6 = part.toDouble();
    }
    return m;
}

// A line as "date [begin,end] balance days price rent running".
QString shown(const Line &l)
{
    return QStringLiteral("%1 [%2,%3] %4 %5 %6 %7 %8")
        .arg(mmdd(l.datea), mmdd(l.dbegin), mmdd(l.dend), num(l.a[2]), num(l.a[3]), num(l.a[4]),
             QString::number(l.a[5], 'f', 2), QString::number(l.a[10], 'f', 2));
}

QStringList shown(const QVector<Line> &lines)
{
    QStringList out;
    for (const Line &l : lines)
        out << shown(l);
    return out;
}

// A movement by specification: "mm-dd material dw khm sent returned converted [suspended]", "_" empty.
Entry entry(const QString &line)
{
    const QStringList f = line.split(' ', Qt::SkipEmptyParts);
    auto text = [](const QString &s) { return s == "_" ? Text() : Text(s); };
    auto value = [](const QString &s) { return s == "_" ? Empty : s.toDouble(); };
    Entry e;
    e.datea = Text(QString::number(Year) + '-' + f[0]);
    e.namea = text(f[1]);
    e.dw = text(f[2]);
    e.dw1 = Text(QStringLiteral("米"));
    e.numa = Text(QStringLiteral("H1"));
    e.khm = text(f[3]);
    e.a1 = value(f[4]);
    e.b1 = value(f[5]);
    e.a2 = value(f[6]);
    e.a8 = f.size() > 7 ? value(f[7]) : Empty;
    return e;
}

} // namespace

class TestMethods : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A rent is rounded to cents, halves away from zero on its 15-digit form; empty or negative is 0.
    void rents_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("rent");
        QTest::newRow("half up") << 0.125 << 0.13;
        QTest::newRow("a hair below a half") << 0.1 * 26.75 << 2.68;
        QTest::newRow("tiny negative") << -0.004 << 0.0;
        QTest::newRow("negative") << -12.5 << 0.0;
        QTest::newRow("empty") << Empty << 0.0;
        QTest::newRow("whole") << 300.0 << 300.0;
    }
    void rents()
    {
        QFETCH(double, value);
        QFETCH(double, rent);
        QCOMPARE(settlement::rent(value), rent);
    }

    // One material's lines by each method: "date [begin,end] balance days price rent running".
    void oneMaterial_data()
    {
        QTest::addColumn<int>("method");
        QTest::addColumn<double>("price");
        QTest::addColumn<QStringList>("moves");
        QTest::addColumn<QString>("end");
        QTest::addColumn<QStringList>("lines");
        const QStringList oneSend{"03-01 100"};
        QTest::newRow("one send, method 0: the closing row charges 30 days")
            << 0 << 0.1 << oneSend << "03-31"
            << QStringList{"03-01 [03-01,03-01] 100 0 0 0.00 0.00", "03-31 [03-01,03-31] 100 30 0.1 300.00 300.00"};
        QTest::newRow("one send, method 1: and the end day")
            << 1 << 0.1 << oneSend << "03-31"
            << QStringList{"03-01 [03-01,03-01] 100 0 0 0.00 0.00", "03-31 [03-01,03-31] 100 31 0.1 310.00 310.00"};
        QTest::newRow("one send, method 2: one row of 31 days")
            << 2 << 0.1 << oneSend << "03-31" << QStringList{"03-01 [03-01,03-31] 100 31 0.1 310.00 310.00"};
        QTest::newRow("two sends on one day: the second charges nothing and shows no price")
            << 0 << 0.1 << QStringList{"03-01 100", "03-01 50"} << "03-11"
            << QStringList{"03-01 [03-01,03-01] 100 0 0 0.00 0.00", "03-01 [03-01,03-01] 150 0 0 0.00 0.00",
                           "03-11 [03-01,03-11] 150 10 0.1 150.00 150.00"};
        QTest::newRow("a return with 5 suspended days charges the balance before it over 10 - 5 days")
            << 0 << 0.02 << QStringList{"03-01 100", "03-11 -40 a8=5"} << "03-31"
            << QStringList{"03-01 [03-01,03-01] 100 0 0 0.00 0.00", "03-11 [03-01,03-11] 60 10 0.02 10.00 10.00",
                           "03-31 [03-11,03-31] 60 20 0.02 24.00 34.00"};
        QTest::newRow("method 2: a send day at the new balance, a return day at the old")
            << 2 << 1.0 << QStringList{"03-01 100", "03-11 -40"} << "03-20"
            << QStringList{"03-01 [03-01,03-11] 100 11 1 1100.00 1100.00",
                           "03-11 [03-12,03-20] 60 9 1 540.00 1640.00"};
        QTest::newRow("method 2: a later send ends the interval before on the day before")
            << 2 << 1.0 << QStringList{"03-01 10", "03-05 5"} << "03-06"
            << QStringList{"03-01 [03-01,03-04] 10 4 1 40.00 40.00", "03-05 [03-05,03-06] 15 2 1 30.00 70.00"};
        QTest::newRow("a material without a price charges nothing")
            << 0 << Empty << oneSend << "03-31"
            << QStringList{"03-01 [03-01,03-01] 100 0 0 0.00 0.00", "03-31 [03-01,03-31] 100 30 _ 0.00 0.00"};
        QTest::newRow("a movement after the end: the closing interval runs backwards and charges nothing")
            << 0 << 0.1 << QStringList{"03-01 100", "04-10 -100"} << "03-31"
            << QStringList{"03-01 [03-01,03-01] 100 0 0 0.00 0.00", "04-10 [03-01,04-10] 0 40 0.1 400.00 400.00",
                           "03-31 [04-10,03-31] 0 -10 0.1 0.00 400.00"};
        QTest::newRow("a negative balance over negative days is no rent owed")
            << 2 << 1.0 << QStringList{"03-01 -10"} << "02-20" << QStringList{"03-01 [03-01,02-20] -10 -9 1 0.00 0.00"};
    }
    void oneMaterial()
    {
        QFETCH(int, method);
        QFETCH(double, price);
        QFETCH(QStringList, moves);
        QFETCH(QString, end);
        QFETCH(QStringList, lines);
        QVector<Movement> rows;
        for (const QString &m : moves)
            rows << movement(m, price);
        Options o;
        o.method = Method(method);
        o.end = day(end);
        o.closingKhm = Text(QStringLiteral("甲公司"));
        QCOMPARE(shown(runMaterial(rows.constData(), int(rows.size()), o)), lines);
    }

    // The movements per material and day of one contract, as czb holds them: "date material a1 a6 a8
    // price", the send groups first. Numbers of movements that are empty stay out of the sums.
    void grouping_data()
    {
        QTest::addColumn<QStringList>("movements");
        QTest::addColumn<QStringList>("czb");
        QTest::addColumn<QString>("kept"); // what czbnow1 keeps
        QTest::newRow("sends per material and day, then returns; the price ignores letter case")
            << QStringList{"03-05 gangguan 根 甲 _ 4 -24 2", "03-01 gangguan 根 甲 10 0 60", "03-01 gangguan 根 甲 10 0 30",
                           "03-01 模板 块 甲 10 0 15"}
            << QStringList{"03-01 gangguan 90 20 _ 0.5", "03-01 模板 15 10 _ _", "03-05 gangguan -24 -4 2 0.5"} << "returns";
        QTest::newRow("a movement both sending and returning counts its quantity once, with the sends")
            << QStringList{"03-01 gangguan 根 甲 10 4 36 1"}
            << QStringList{"03-01 gangguan 36 10 1 0.5", "03-01 gangguan 0 -4 1 0.5"} << "returns";
        QTest::newRow("a movement with neither takes part in no group")
            << QStringList{"03-01 gangguan 根 甲 10 0 60", "03-02 gangguan 根 甲 0 0 0 3"}
            << QStringList{"03-01 gangguan 60 10 _ 0.5"} << "returns";
        QTest::newRow("other units or customer names are other groups")
            << QStringList{"03-01 gangguan 根 甲 10 0 60", "03-01 gangguan 米 甲 10 0 60", "03-01 gangguan 根 乙 1 0 6"}
            << QStringList{"03-01 gangguan 6 1 _ 0.5", "03-01 gangguan 60 10 _ 0.5", "03-01 gangguan 60 10 _ 0.5"}
            << "returns";
        QTest::newRow("groups in the order of the texts, not as met; an empty unit first")
            << QStringList{"03-01 模板 块 甲 10 0 15", "03-01 gangguan 根 甲 10 0 60", "03-01 gangguan _ 甲 1 0 6"}
            << QStringList{"03-01 gangguan 6 1 _ 0.5", "03-01 gangguan 60 10 _ 0.5", "03-01 模板 15 10 _ _"}
            << "returns";
        QTest::newRow("returns without sends make nothing")
            << QStringList{"03-01 gangguan 根 甲 0 5 -30"} << QStringList{} << "nothing";
        QTest::newRow("a first send group without customer name stops the contract's rebuild")
            << QStringList{"03-01 gangguan 根 _ 10 0 60", "03-02 gangguan 根 甲 10 0 60"} << QStringList{} << "sends";
    }
    void grouping()
    {
        QFETCH(QStringList, movements);
        QFETCH(QStringList, czb);
        QFETCH(QString, kept);
        QVector<Entry> entries;
        for (const QString &m : movements)
            entries << entry(m);
        Prices prices;
        prices.add("GANGGUAN", 0.5);
        prices.add("gangguan", 9); // the first of a name counts
        const Groups groups = groupMovements(entries);
        QStringList got;
        for (const Movement &m : movementsPerMaterial(groups, prices))
            got << QStringLiteral("%1 %2 %3 %4 %5 %6")
                       .arg(mmdd(m.date), m.namea.toString(), num(m.a1), num(m.a6), num(m.a8), num(m.a4));
        QCOMPARE(got, czb);
        const QVector<Entry> &last = lastGrouping(groups);
        QCOMPARE(&last == &groups.sends ? "sends" : &last == &groups.returns ? "returns" : "nothing", kept);
    }

    // Keys of many different texts in every field, too many to pack into one number, group in the
    // same order; the same movements with few texts do too.
    void groupingOfManyDifferentTexts()
    {
        for (const int distinct : {1500, 3}) {
            QVector<Entry> entries;
            QStringList expected;
            for (int i = 0; i < 3000; ++i) {
                const int v = (i * 7919) % distinct; // every value met twice or more, out of order
                const QString t = QString::number(v);
                Entry e = entry(QStringLiteral("03-01 m%1 根 甲 1 0 6").arg(t));
                for (Text *field : {&e.datea, &e.dw, &e.dw1, &e.numa, &e.khm})
                    field->text += t.toStdString();
                entries << e;
                expected << QStringLiteral("m%1").arg(t);
            }
            expected.sort();
            expected.removeDuplicates();
            QStringList got;
            for (const Entry &g : groupMovements(entries).sends) {
                got << g.namea.toString();
                QCOMPARE(g.a1, double(3000 / distinct));
            }
            QCOMPARE(got, expected);
        }
    }

    // The order the methods read a contract's rows in: material, date, suspended days first, sends
    // before returns for a statement only, then as stored; later dates and other materials left out.
    void readingOrder_data()
    {
        QTest::addColumn<bool>("sendsFirst");
        QTest::addColumn<QString>("upTo");
        QTest::addColumn<QString>("material");
        QTest::addColumn<QStringList>("order");
        // Stored: 0 扣件 03-02 +5, 1 钢管 03-02 -4, 2 钢管 03-02 +7, 3 钢管 03-02 -1 a8=2, 4 钢管 03-01 +9,
        // 5 钢管 03-02 with empty numbers, which sort as the smallest.
        QTest::newRow("statement") << true << "" << "" << QStringList{"0", "4", "3", "2", "1", "5"};
        QTest::newRow("summary: no sends-first rule") << false << "" << "" << QStringList{"0", "4", "3", "1", "2", "5"};
        QTest::newRow("up to a day") << true << "03-01" << "" << QStringList{"4"};
        QTest::newRow("one material") << false << "" << "扣件" << QStringList{"0"};
    }
    void readingOrder()
    {
        QFETCH(bool, sendsFirst);
        QFETCH(QString, upTo);
        QFETCH(QString, material);
        QFETCH(QStringList, order);
        QVector<Movement> rows{movement("03-02 5", 0.1, "扣件"), movement("03-02 -4", 0.1),
                               movement("03-02 7", 0.1), movement("03-02 -1 a8=2", 0.1), movement("03-01 9", 0.1),
                               movement("03-02 0", 0.1)};
        for (int i = 0; i < rows.size(); ++i)
            rows[i].numa = Text(QString::number(i)); // where it was stored
        rows[5].a1 = rows[5].a6 = rows[5].a8 = Empty;
        QStringList got;
        const QVector<Movement> read = settlement::readingOrder(rows, sendsFirst, upTo.isEmpty() ? QDate() : day(upTo),
                                                                material.isEmpty() ? Text() : Text(material));
        for (const Movement &m : read)
            got << m.numa.toString();
        QCOMPARE(got, order);
        // The methods read empty quantities as 0.
        for (const Movement &m : read)
            QVERIFY(!std::isnan(m.a1) && !std::isnan(m.a6) && !std::isnan(m.a8));
    }

    // A period statement of one material: brought forward, the balance carried into the period,
    // then the movements of the period; the rents add up to the rent up to the end less the rent
    // up to the day before the start.
    void period_data()
    {
        QTest::addColumn<int>("method");
        QTest::addColumn<QStringList>("rows");
        // 100 sent on 03-01 before the period, 40 returned on 03-15 inside it, price 1, end 03-20.
        QTest::newRow("method 0: the return day counts")
            << 0
            << QStringList{"- [-,-] 100 0 0 0.00 0.00", "03-10 [03-10,03-15] 100 6 1 600.00 600.00",
                           "03-15 [03-15,03-20] 60 5 1 300.00 900.00"};
        QTest::newRow("method 1: and the end day")
            << 1
            << QStringList{"- [-,-] 100 0 0 0.00 0.00", "03-10 [03-10,03-15] 100 5 1 500.00 500.00",
                           "03-15 [03-15,03-20] 60 6 1 360.00 860.00"};
        QTest::newRow("method 2: the return day at the old balance")
            << 2
            << QStringList{"- [-,-] 100 0 0 0.00 0.00", "03-10 [03-10,03-15] 100 6 1 600.00 600.00",
                           "03-15 [03-16,03-20] 60 5 1 300.00 900.00"};
    }
    void period()
    {
        QFETCH(int, method);
        QFETCH(QStringList, rows);
        const QVector<Movement> moves{movement("03-01 100", 1.0), movement("03-15 -40", 1.0)};
        Options o;
        o.method = Method(method);
        o.end = day("03-20");
        o.closingKhm = Text(QStringLiteral("甲公司"));
        const QVector<Line> full = runMaterial(moves.constData(), 2, o);
        QVector<Carry> carries;
        const QVector<Line> restricted =
            periodRows(moves.constData(), 2, full, o, day("03-10"), o.closingKhm, &carries);
        QCOMPARE(shown(restricted), rows);
        QCOMPARE(restricted.first().namea.toString(), QString("上期结存"));
        QCOMPARE(carries.size(), 1);

        // The rent of the period is the rent up to the end less the rent up to the day before the start.
        Options before = o;
        before.end = day("03-09");
        const QVector<Line> upToStart = runMaterial(moves.constData(), 1, before);
        QCOMPARE(restricted.last().a[10], full.last().a[10] - upToStart.last().a[10]);
    }
};

QTEST_GUILESS_MAIN(TestMethods)
#include "tst_methods.moc"
