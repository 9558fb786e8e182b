#include "store/format.h"

#include <QtTest>

using namespace tolva;

class TestFormat : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void numbers_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");

        const QString money = "#0.00;-#0.00;#";
        QTest::newRow("money") << money << 1234.5 << "1234.50";
        QTest::newRow("money negative") << money << -50.0 << "-50.00";
        QTest::newRow("money zero blank") << money << 0.0 << "";
        QTest::newRow("money rounds half up") << money << 2.675 << "2.68";
        QTest::newRow("money tiny negative is zero") << money << -0.004 << "";
        QTest::newRow("money below one") << money << 0.5 << "0.50";
        QTest::newRow("price four") << "#0.0000;-#0.0000;#" << 0.0125 << "0.0125";
        QTest::newRow("price four rounds") << "#0.0000;-#0.0000;#" << 1.23456 << "1.2346";
        QTest::newRow("five") << "#0.00000;-#0.00000;#" << -3.0 << "-3.00000";
        QTest::newRow("ratio six") << "#0.000000;-#0.000000;#" << 6.0 << "6.000000";
        QTest::newRow("ratio six, negative without minus") << "#0.000000;#0.000000;#" << -1.5 << "1.500000";
        QTest::newRow("days") << "#0;-#0;#" << 31.0 << "31";
        QTest::newRow("days negative") << "#0;-#0;#" << -2.0 << "-2";
        QTest::newRow("days zero") << "#0;-#0;#" << 0.0 << "";
        QTest::newRow("suspended one decimal") << "#0.0;-#0.0;#;" << 2.5 << "2.5";
        QTest::newRow("suspended zero") << "#0.0;-#0.0;#;" << 0.0 << "";
        QTest::newRow("pieces") << "#;" << 200.0 << "200";
        QTest::newRow("pieces negative") << "#;" << -50.0 << "-50";
        QTest::newRow("pieces zero") << "#;" << 0.0 << "";
        QTest::newRow("pieces rounded") << "#;" << 2.5 << "3";
        QTest::newRow("plain 0") << "0" << 7.4 << "7";
        QTest::newRow("plain 0.00") << "0.00" << 0.0 << "0.00";
        QTest::newRow("hash fraction") << "#.##" << 0.5 << ".5";
        QTest::newRow("thousands") << "#,##0.00" << 1234567.891 << "1,234,567.89";
        QTest::newRow("literal text") << "#0.00'元'" << 3.0 << "3.00元";
        QTest::newRow("carry over") << "#0.00" << 9.995 << "10.00";
        QTest::newRow("large") << "#0.00" << 123456789.125 << "123456789.13";
        QTest::newRow("small") << "#0.0000" << 0.00005 << "0.0001";
    }

    void numbers()
    {
        QFETCH(QString, pattern);
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(format::number(value, pattern), text);
    }

    void nullAndTextValues()
    {
        QCOMPARE(format::number(QVariant(), "#0.00"), QString());
        QCOMPARE(format::number(QVariant(QString("12.5")), "#0.00"), QString("12.50"));
    }

    void dates_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QDate>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("iso") << "yyyy-mm-dd" << QDate(2004, 4, 3) << "2004-04-03";
        QTest::newRow("chinese") << "yyyy'年'mm'月'dd'日'" << QDate(2004, 4, 3) << "2004年04月03日";
        QTest::newRow("splice") << "mm'/'dd'/'yyyy" << QDate(2003, 12, 31) << "12/31/2003";
        QTest::newRow("short") << "yy.m.d" << QDate(2004, 4, 3) << "04.4.3";
        QTest::newRow("invalid") << "yyyy-mm-dd" << QDate() << "";
    }

    void dates()
    {
        QFETCH(QString, pattern);
        QFETCH(QDate, value);
        QFETCH(QString, text);
        QCOMPARE(format::date(value, pattern), text);
    }

    void timeOfDay()
    {
        QCOMPARE(format::dateTime(QDateTime(QDate(2004, 2, 1), QTime(8, 3, 9)), "yyyy-mm-dd hh:nn:ss"),
                 QString("2004-02-01 08:03:09"));
    }

    void fixedAndMoney()
    {
        QCOMPARE(format::fixed(0.125, 2), QString("0.13"));
        QCOMPARE(format::fixed(-0.125, 2), QString("-0.13"));
        QCOMPARE(format::fixed(-0.004, 2), QString("0.00"));
        QCOMPARE(format::fixed(267.49999999999997, 2), QString("267.50"));
        QCOMPARE(format::fixed(1.5, 0), QString("2"));
        QCOMPARE(format::round(2.675, 2), 2.68);
        QCOMPARE(format::money(1234.5), QString("1234.50"));
        QCOMPARE(format::money(0), QString("0.00"));
    }
};

QTEST_GUILESS_MAIN(TestFormat)
#include "tst_format.moc"
