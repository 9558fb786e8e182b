#include "statementdata.h"

#include "settlement/capitals.h"
#include "settlement/explain.h"
#include "store/dataset.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace tolva;
using namespace tolva::settlement;

class TestExplain : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void capitals_data()
    {
        QTest::addColumn<double>("amount");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0.0 << "零元整";
        QTest::newRow("inner zero, no fen") << 1409.50 << "壹仟肆佰零玖元伍角整";
        QTest::newRow("two inner zeros") << 6007.14 << "陆仟零柒元壹角肆分";
        QTest::newRow("zero yuan before jiao") << 107000.53 << "壹拾万柒仟元零伍角叁分";
        QTest::newRow("zero jiao before fen") << 325.04 << "叁佰贰拾伍元零肆分";
        QTest::newRow("leading ten") << 10.00 << "壹拾元整";
        QTest::newRow("negative") << -25.00 << "负贰拾伍元整";
        QTest::newRow("zeros across the 万") << 100700.0 << "壹拾万零柒佰元整";
        QTest::newRow("empty 万 group") << 100000001.0 << "壹亿零壹元整";
        QTest::newRow("round 万") << 20000.0 << "贰万元整";
        QTest::newRow("jiao only") << 0.5 << "伍角整";
        QTest::newRow("fen only") << 0.07 << "柒分";
        QTest::newRow("rounded to cents first") << 12.345 << "壹拾贰元叁角伍分";
        QTest::newRow("negative with fen") << -0.01 << "负壹分";
    }

    void capitals()
    {
        QFETCH(double, amount);
        QFETCH(QString, text);
        QCOMPARE(settlement::capitals(amount), text);
    }

    // The texts of the worked examples: the balance charged, the price, the days less the
    // suspended days, and the interval.
    void explanationTexts()
    {
        QTemporaryDir dir;
        Store store(dir.path());
        store.exec("insert into sp1(namea,dj) values('钢管',0.02)");
        addMoves(store, {"2004-03-01 钢管 6米 根 米 1 100 0", "2004-03-11 钢管 6米 根 米 1 0 40 5"});
        const Request req{"H1", "甲公司", QDate(2004, 3, 1), QDate(2004, 3, 31), DateMode::Today};
        QVERIFY(prepare(store, req).ok());
        compute(store, req, {Method::StartDayFree, QString()});
        Dataset rows(store);
        rows.open("select * from czbtem");
        QStringList texts;
        for (int r = 0; r < rows.rowCount(); ++r) {
            rows.moveTo(r);
            texts << explain(figures(rows), Method::StartDayFree, Result::Czbtem).text;
        }
        QCOMPARE(texts, (QStringList{"本行不计租金：此前结余量为 0，租金从本日起计",
                                     "租金 = 原结余量 100 × 单价 0.0200 × (天数 10 − 报停 5) = 10.00"
                                     "（2004-03-01至2004-03-11）",
                                     "租金 = 结余量 60 × 单价 0.0200 × 天数 20 = 24.00（2004-03-11至2004-03-31）"}));

        // A period from 03-20: the carrying row is the interval from 03-11 to the end less the
        // eight days of it charged before the start.
        QVector<Carry> carries;
        const Request period{"H1", "甲公司", QDate(2004, 3, 20), QDate(2004, 3, 31), DateMode::Range};
        compute(store, period, {Method::StartDayFree, QString()}, {}, &carries);
        rows.open("select * from czbtem1");
        rows.moveTo(1); // after the brought-forward row
        QCOMPARE(rows.date("datea"), period.start);
        QCOMPARE(explain(figures(rows, carries), Method::StartDayFree, Result::Czbtem1).text,
                 "期初结转：结余量 60 × 单价 0.0200 × 天数 20 = 24.00，减期初前已计天数 8 的 9.60，租金 = 14.40"
                 "（2004-03-20至2004-03-31）");
    }

    // Over random contracts, every method, full and period statements: the explanation's figures
    // give each row's rent to the cent.
    void explanationReproducesEveryRent()
    {
        QTemporaryDir dir;
        Store store(dir.path());
        store.exec("insert into sp1(namea,dj) values('钢管',0.037),('扣件',0.0115)");
        store.exec("insert into sp2(khm,numa,jz) values('甲公司','H1','否')");
        QRandomGenerator rng(20041210);
        Dataset rows(store);
        int checked = 0, carried = 0;
        QVector<Carry> carries;
        for (int round = 0; round < 80; ++round) {
            store.exec("delete from czbnow");
            const QStringList moves = randomMoves(rng);
            addMoves(store, moves);
            const QDate start = QDate(2004, 1, 1).addDays(rng.bounded(60));
            const QDate end = start.addDays(1 + rng.bounded(40));
            rebuildMovements(store, "H1");
            for (int method = 0; method < 3; ++method) {
                for (const DateMode mode : {DateMode::ContractDates, DateMode::Range}) {
                    const Result result = compute(store, {"H1", "甲公司", start, end, mode}, {Method(method), {}}, {}, &carries);
                    rows.open("select * from " + tableName(result));
                    for (int r = 0; r < rows.rowCount(); ++r) {
                        rows.moveTo(r);
                        const RowFigures f = figures(rows, carries);
                        const Explanation e = explain(f, Method(method), result);
                        if (rows.text("namea") == "上期结存")
                            QVERIFY2(e.text.startsWith("上期结存：期初结余量 "), qPrintable(e.text));
                        // The row that carries the balance from the period start to the first
                        // movement of the period is explained as what the interval cost less what
                        // was charged of it before the start.
                        if (f.carry) {
                            QVERIFY2(e.text.startsWith("期初结转："), qPrintable(e.text));
                            ++carried;
                        }
                        QVERIFY2(qAbs(e.rent - rows.number("a5")) < 0.001,
                                 qPrintable(QString("method %1 %2 row %3: a5 %4, explained %5\n%6\n%7")
                                                .arg(method)
                                                .arg(tableName(result))
                                                .arg(r)
                                                .arg(rows.number("a5"))
                                                .arg(e.rent)
                                                .arg(e.text, moves.join('\n'))));
                        ++checked;
                    }
                }
            }
        }
        QVERIFY(checked > 1000);
        QVERIFY(carried > 50);
    }
};

QTEST_GUILESS_MAIN(TestExplain)
#include "tst_explain.moc"
