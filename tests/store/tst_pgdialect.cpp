#include "store/pgdialect.h"

#include <QtTest>

using namespace tolva;

// The program's statements as the server must get them to answer as the embedded engine does.
class TestPgDialect : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void translate_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("server");
        QTest::addColumn<QStringList>("parameters");
        QTest::newRow("named parameters, each once")
            << "select * from x where a=:g1 or b=:G1 or c=:g2" << "select * from x where a=$1 or b=$1 or c=$2"
            << QStringList{"g1", "g2"};
        QTest::newRow("positional parameters") << "insert into x(a,b) values(?,?)" << "insert into x(a,b) values($1,$2)"
                                              << QStringList{"", ""};
        QTest::newRow("a colon in a literal stays") << "select 'a:b' from x where t=:t"
                                                    << "select 'a:b' from x where t=$1" << QStringList{"t"};
        QTest::newRow("like ignores the letter case") << "select a from x where a like :p escape '\\'"
                                                      << "select a from x where a ilike $1 escape '\\'" << QStringList{"p"};
        QTest::newRow("total is 0 over no rows") << "select total(a*(b+1)) from x"
                                                 << "select coalesce(sum(a*(b+1)),0) from x" << QStringList{};
        QTest::newRow("nulls first ascending, last descending")
            << "select a from x order by namea,datea,a8 desc,rowid"
            << "select a from x order by namea nulls first,datea nulls first,a8 desc nulls last,rowid nulls first"
            << QStringList{};
        QTest::newRow("groups come in their order")
            << "select numa,sum(a2) from czbnow group by numa,namea"
            << "select numa,sum(a2) from czbnow group by numa,namea order by numa nulls first, namea nulls first "
            << QStringList{};
        QTest::newRow("a grouped select with its own order keeps it")
            << "select numa from x group by numa order by numa desc"
            << "select numa from x group by numa order by numa desc nulls last" << QStringList{};
        QTest::newRow("the star of one table lists its columns")
            << "select rowid as rowid__, * from sp1 where a=1" << "select rowid as rowid__, namea,dj from sp1 where a=1"
            << QStringList{};
        QTest::newRow("a table's definition")
            << "create table t (namea varchar(10), dj real, d date)"
            << "create table t (namea varchar(10) collate \"C\", dj double precision, d date, rowid bigint generated "
               "by default as identity)"
            << QStringList{};
        QTest::newRow("an added column")
            << "ALTER table srf add Column qhsoftnow char(100)"
            << "ALTER table srf add Column qhsoftnow varchar(100) collate \"C\"" << QStringList{};
    }
    void translate()
    {
        QFETCH(QString, program);
        QFETCH(QString, server);
        QFETCH(QStringList, parameters);
        const pg::Translated t = pg::translate(program, [](const QString &table) {
            return table == "sp1" ? QStringList{"namea", "dj"} : QStringList{};
        });
        QCOMPARE(t.sql, server);
        QCOMPARE(t.parameters, parameters);
    }
};

QTEST_MAIN(TestPgDialect)
#include "tst_pgdialect.moc"
