#include "store/store.h"

#include <QTemporaryDir>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

using namespace tolva;

namespace {

// One row as "v1|v2|..."; numbers without trailing zeros, null as empty.
QString rowText(const QVector<QVariant> &row)
{
    QStringList cells;
    for (const QVariant &v : row) {
        if (v.isNull())
            cells << QString();
        else if (v.typeId() == QMetaType::Double)
            cells << QString::number(v.toDouble(), 'g', 12);
        else
            cells << v.toString();
    }
    return cells.join(QLatin1Char('|'));
}

QStringList rowsText(const Rows &rows)
{
    QStringList out;
    for (const auto &r : rows.rows)
        out << rowText(r);
    return out;
}

} // namespace

class TestStore : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    std::unique_ptr<Store> store_;

    void fill()
    {
        Store &s = *store_;
        s.exec("insert into sp1(namea,dj,numsb) values('钢管',0.01,0)");
        s.exec("insert into sp1(namea,dj,numsb) values('扣件',0.02,0)");
        s.exec("insert into sp2(khm,numa,jz,begina,enda) values('甲公司','H001','否','2003-12-01','2004-12-31')");
        s.exec("insert into sp2(khm,numa,jz,begina,enda) values('乙公司','H002','是','2004-01-01','2004-06-30')");
        // Two movements of the same material on the same day of the same contract.
        s.exec("insert into czbnow(khm,numa,datea,namea,gg,bl,a1,b1,a2,a8) "
               "values('甲公司','H001','2003-12-31','钢管','6米',6,100,0,600,0)");
        s.exec("insert into czbnow(khm,numa,datea,namea,gg,bl,a1,b1,a2,a8) "
               "values('甲公司','H001','2003-12-31','钢管','6米',6,100,0,600,0)");
        s.exec("insert into czbnow(khm,numa,datea,namea,gg,bl,a1,b1,a2,a8) "
               "values('甲公司','H001','2004-01-01','钢管','3米',3,0,50,-150,2)");
        s.exec("insert into czbnow(khm,numa,datea,namea,gg,bl,a1,b1,a2,a8) "
               "values('甲公司','H001','2004-01-02','扣件','直角',1,40,0,40,0)");
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(dir_.isValid());
        QFile::remove(dir_.filePath("tolva.db"));
        store_ = std::make_unique<Store>(dir_.path());
        fill();
    }
    void cleanup() { store_.reset(); }

    void newFolderGetsEveryTableAndStartingRows()
    {
        QVERIFY(QFileInfo::exists(dir_.filePath("tolva.db")));
        // Column lists of every table, in order.
        const QList<QPair<QString, QString>> tables = {
            {"sp1", "namea dj kc kc1 kc2 nowkc numsb"},
            {"sp5", "namea gg dw dw1 bl"},
            {"sp2", "khm numa jz begina enda a1 a2 bz"},
            {"sp3", "khm numa datea lx a1"},
            {"sp4", "khm numa datea lx a1"},
            {"czb", "khm numa datea namea dw dw1 a1 a2 a3 a4 a5 a6 a7 a8 a9 a10"},
            {"czbnow", "khm numa datea namea gg dw dw1 bl a1 b1 a2 a8"},
            {"czb1", "khm numa namea a1 a2 a3 a4"},
            {"czb2", "khm numa namea a1 a2 a3 a4"},
            {"czbtem", "khm numa datea namea a1 a2 a3 a4 a5 a6 a7 a8 a9 a10 dbegin dend dw dw1"},
            {"czbtem1", "khm numa datea namea a1 a2 a3 a4 a5 a6 a7 a8 a9 a10 dbegin dend dw dw1"},
            {"czbhz", "khm numa a0 a1 a2 a3 a4 a5 a6 a7 a8 a9 a10 a11 a12 a13 a14 a15 b1 b2 b3 b4 b5 b6 b7 b8 "
                      "b9 b10 b11 b12 b13 b14 b15 a20 a21 a22 a23 tem1 tem2 tem3 tem4"},
            {"czbhz1", "khm numa a1 a2 a3 a4 a5 a6 a7 a8 a9 tem1 tem2 tem3 tem4"},
            {"czbnow1", "khm numa datea namea gg dw dw1 bl a1 b1 a2 b2 a3 a4 a8"},
            {"sbpass", "namea passa popedoma"},
            {"dwm", "a1 a6 a2 a3 a4 a5 a8 a9 sp2 sp3 sp4 sp1 a7 namea indexa b1 b2"},
            {"srf", "srf b1 b6 b5 b3 b7 b8 b9 b10 a2 a4 zzrq zzly"},
            {"sbbackup", "filepath filename creadate creatime"},
            {"rzb", "sj yh bm cz numa yjl xjl"},
            {"rzbtem", "sj yh bm cz numa nr"},
        };
        for (const auto &[table, expected] : tables) {
            QStringList names;
            for (const ColumnInfo &c : store_->columns(table))
                names << c.name;
            QCOMPARE(names.join(' '), expected);
        }
        // Declared capacities and types that the screens rely on.
        QCOMPARE(store_->column("sp1", "namea")->capacity, 10);
        QCOMPARE(store_->column("sp2", "bz")->capacity, 120);
        QCOMPARE(store_->column("czbnow", "dw1")->capacity, 6);
        QCOMPARE(store_->column("czbtem", "dw1")->capacity, 10);
        QCOMPARE(store_->column("sp2", "begina")->type, ColumnType::Date);
        QCOMPARE(store_->column("czbnow", "a2")->type, ColumnType::Number);
        QCOMPARE(store_->column("dwm", "indexa")->type, ColumnType::Integer);

        QCOMPARE(rowsText(store_->select("select namea,passa,popedoma from sbpass")),
                 QStringList({"管理员|1|管理", "录入员|1|录入"}));
        QCOMPARE(rowsText(store_->select("select srf,b1,b6,b5,b3,b7,b8,b9,b10 from srf")),
                 QStringList({"不使用自动开启输入法|0|0|1|21|0|20|20|20"}));
        QCOMPARE(store_->scalar("select count(*) from dwm").toInt(), 1);
        QVERIFY(!store_->scalar("select a1 from dwm").toString().isEmpty());
    }

    void reopeningKeepsTheData()
    {
        // Files of earlier versions carry an index on czb that nothing reads any more.
        const bool file = !store_->isServer();
        if (file)
            store_->exec("create index czb_numa on czb(numa)");
        store_.reset();
        store_ = std::make_unique<Store>(dir_.path());
        QCOMPARE(store_->scalar("select count(*) from czbnow").toInt(), 4);
        QCOMPARE(store_->scalar("select count(*) from sbpass").toInt(), 2);
        if (file)
            QCOMPARE(store_->scalar("select count(*) from sqlite_master where name='czb_numa'").toInt(), 0);
    }

    void statementForms_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<Params>("params");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("select star, stored order") << "select namea,dj from sp1" << Params{}
                                                    << QStringList{"钢管|0.01", "扣件|0.02"};
        QTest::newRow("file suffix and double quotes")
            << "select * from sbpass.db where namea=\"录入员\" and passa=\"1\"" << Params{}
            << QStringList{"录入员|1|录入"};
        QTest::newRow("suffix in capitals") << "select count(*) from SP2.DB" << Params{} << QStringList{"2"};
        QTest::newRow("single quotes") << "select khm from sp2 where numa='H002'" << Params{}
                                       << QStringList{"乙公司"};
        QTest::newRow("column names in capitals") << "select A1,B1 from czbnow where NUMA='H001' and A8>0"
                                                  << Params{} << QStringList{"0|50"};
        QTest::newRow("where 1=0") << "select * from srf where 1=0" << Params{} << QStringList{};
        QTest::newRow("order by two columns") << "select khm,numa from sp2 order by jz,numa" << Params{}
                                              << QStringList{"甲公司|H001", "乙公司|H002"};
        QTest::newRow("group by with sum alias")
            << "select namea,sum(a1*bl) as a1,sum(b1*bl) as b1 from czbnow group by namea order by namea"
            << Params{} << QStringList{"扣件|40|0", "钢管|1200|150"};
        QTest::newRow("min and count") << "select min(datea),count(*) from czbnow where numa='H001'" << Params{}
                                       << QStringList{"2003-12-31|4"};
        QTest::newRow("like with wildcards") << "select numa from sp2 where khm like \"%公司\" order by numa"
                                             << Params{} << QStringList{"H001", "H002"};
        QTest::newRow("comparisons <> and >=") << "select numa from sp2 where jz<>'是' or begina>='01/01/2005'"
                                               << Params{} << QStringList{"H001"};
        QTest::newRow("arithmetic in select") << "select a1*bl-b1*bl from czbnow where gg='3米'" << Params{}
                                              << QStringList{"-150"};
        QTest::newRow("text parameter") << "select count(*) from czbnow where namea=:g3"
                                        << Params{{"g3", QString("钢管")}} << QStringList{"3"};
        QTest::newRow("number parameters") << "select count(*) from czbnow where bl=:g1 and a1>:g2"
                                           << Params{{"g1", 6.0}, {"g2", 99}} << QStringList{"2"};
        QTest::newRow("date parameter") << "select gg from czbnow where datea>:g1"
                                        << Params{{"g1", QDate(2004, 1, 1)}} << QStringList{"直角"};
        QTest::newRow("quote inside a bound value") << "select count(*) from sp2 where khm=:g1"
                                                    << Params{{"g1", QString("a\" or \"\"=\"")}}
                                                    << QStringList{"0"};
    }

    void statementForms()
    {
        QFETCH(QString, sql);
        QFETCH(Params, params);
        QFETCH(QStringList, expected);
        QCOMPARE(rowsText(store_->select(sql, params)), expected);
    }

    void changingStatements()
    {
        Store &s = *store_;
        // insert ... select ... group by, as the movement rebuild writes it.
        QCOMPARE(s.exec("insert into czbnow1(namea,datea,dw,dw1,a1,b1,a2,a8,numa,khm) "
                        "select namea,datea,dw,dw1,sum(a1),sum(b1),sum(a2),sum(a8),numa,khm from czbnow "
                        "where numa='H001' and a1>0 group by namea,datea,dw,dw1,numa,khm"),
                 2);
        QCOMPARE(rowsText(s.select("select namea,datea,a1,a2 from czbnow1 order by datea")),
                 QStringList({"钢管|2003-12-31|200|1200", "扣件|2004-01-02|40|40"}));
        // update with arithmetic in set, and named parameters of three kinds.
        s.exec("update czbnow1 set a3=a1*2");
        QCOMPARE(s.scalar("select sum(a3) from czbnow1").toDouble(), 480.0);
        QCOMPARE(s.exec("update czbnow set bl=:g1 where bl=:g2 and namea=:g3",
                        {{"g1", 2.0}, {"g2", 6.0}, {"g3", QString("钢管")}}),
                 2);
        QCOMPARE(s.exec("delete from czbnow where datea>:g1", {{"g1", QDate(2004, 1, 1)}}), 1);
        QCOMPARE(s.exec("delete from czbnow1"), 2);
        // The one change of structure the program makes.
        QVERIFY(!s.column("srf", "qhsoftnow"));
        s.exec("ALTER table srf add Column qhsoftnow char(100)");
        QVERIFY(s.column("srf", "qhsoftnow"));
        QCOMPARE(s.column("srf", "qhsoftnow")->capacity, 100);
        s.exec("update srf set qhsoftnow=:g1", {{"g1", QString("tolva")}});
        QCOMPARE(s.scalar("select qhsoftnow from srf").toString(), QString("tolva"));
    }

    void datesCompareAsDatesAcrossYears()
    {
        // 12/31/2003 is earlier than 01/01/2004 although its text sorts later.
        QCOMPARE(rowsText(store_->select("select distinct datea from czbnow where datea<'01/01/2004'")),
                 QStringList{"2003-12-31"});
        QCOMPARE(store_->scalar("select count(*) from czbnow where datea>'12/31/2003'").toInt(), 2);
        QCOMPARE(store_->scalar("select count(*) from czbnow where datea>=:g1 and datea<=:g2",
                                {{"g1", QDate(2003, 12, 31)}, {"g2", QDate(2004, 1, 1)}})
                     .toInt(),
                 3);
        QCOMPARE(Store::translate("datea>'4/3/2004' and x='13/45/2004'"),
                 QString("datea>'2004-04-03' and x='13/45/2004'"));
    }

    void equalRowsAreKeptAndSummed()
    {
        QCOMPARE(store_->scalar("select count(*) from czbnow where datea='12/31/2003' and gg='6米'").toInt(), 2);
        QCOMPARE(store_->scalar("select sum(a2) from czbnow where datea='12/31/2003'").toDouble(), 1200.0);
    }

    void translateKeepsQuotesAsText()
    {
        QCOMPARE(Store::translate("select * from sp1.db where namea=\"O'Neil\" and x='a\"b'"),
                 QString("select * from sp1 where namea='O''Neil' and x='a\"b'"));
        // A dot-db inside a literal is data, not a table name.
        QCOMPARE(Store::translate("select 'sbpass.db'"), QString("select 'sbpass.db'"));
    }

    // What a select hands back, as the screens and computations read it: whole numbers as
    // qlonglong, reals as double, text, null as a null text, blobs as bytes; parameters by name
    // whatever their letter case, repeated ones bound once.
    void selectedValuesAndParameters()
    {
        store_->exec("insert into sp2(khm,numa) values('甲公司','H1')");
        const Rows rows = store_->select("select 7 as n, 2.5 as r, '甲' as t, null as z, x'00ff' as b, "
                                         ":Day as d, :day||'' as again from sp2 limit :L",
                                         {{"day", QDate(2004, 3, 1)}, {"l", 1}});
        QCOMPARE(rows.columns, (QStringList{"n", "r", "t", "z", "b", "d", "again"}));
        const QVector<QVariant> row = rows.rows.value(0);
        QCOMPARE(row.size(), 7);
        QCOMPARE(row[0].typeId(), QMetaType::LongLong);
        QCOMPARE(row[1].typeId(), QMetaType::Double);
        QCOMPARE(row[2], QVariant("甲"));
        QVERIFY(row[3].isNull() && row[3].toString().isEmpty());
        QCOMPARE(row[4].toByteArray(), QByteArray("\x00\xff", 2));
        QCOMPARE(row[5].toString(), QString("2004-03-01"));
        QCOMPARE(row[6].toString(), QString("2004-03-01"));
        try {
            store_->select("select * from sp2 where numa=:n and khm=:k", {{"n", "H1"}});
            QFAIL("no error");
        } catch (const StoreError &e) {
            QCOMPARE(e.message(), QString("参数 :k 没有赋值。"));
        }
        // Not run silently: a parameter of another form, a second statement, no statement.
        const QVariant contracts = store_->scalar("select count(*) from sp2");
        QVERIFY_THROWS_EXCEPTION(StoreError, store_->select("select * from sp2 where numa=?"));
        QVERIFY_THROWS_EXCEPTION(StoreError, store_->select("select 1; delete from sp2"));
        QVERIFY_THROWS_EXCEPTION(StoreError, store_->select("-- nothing"));
        QCOMPARE(store_->scalar("select count(*) from sp2"), contracts);
    }

    // An empty value binds as null in a select as in a change: a null text, bytes, date or time.
    void emptyValuesBindAsNull_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::newRow("text") << QVariant(QString());
        QTest::newRow("bytes") << QVariant(QByteArray());
        QTest::newRow("date") << QVariant(QDate());
        QTest::newRow("date and time") << QVariant(QDateTime());
        QTest::newRow("nothing") << QVariant();
    }

    void emptyValuesBindAsNull()
    {
        QFETCH(QVariant, value);
        store_->exec("insert into sp2(khm,numa) values('',:v)", {{"v", value}});
        QCOMPARE(store_->select("select :v is null", {{"v", value}}).rows.value(0).value(0).toInt(), 1);
        QCOMPARE(store_->select("select count(*) from sp2 where numa is null").rows.value(0).value(0).toInt(), 1);
        // A null name finds no row whose name is empty.
        QCOMPARE(store_->select("select count(*) from sp2 where khm=:v", {{"v", value}}).rows.value(0).value(0).toInt(), 0);
    }

    void errorsCarryMessageAndStatement()
    {
        const QString bad = "select nosuchcolumn from sp1";
        try {
            store_->select(bad);
            QFAIL("no error");
        } catch (const StoreError &e) {
            QVERIFY(e.message().contains("nosuchcolumn"));
            QCOMPARE(e.statement(), bad);
            QVERIFY(e.text().contains(bad));
        }
        QVERIFY_THROWS_EXCEPTION(StoreError, store_->exec("select * from sp1 where namea=\"open"));
        QVERIFY_THROWS_EXCEPTION(StoreError, store_->exec("delete from sp1 where namea=:g1"));
    }

    void failingChangeOfSeveralTablesLeavesThemUnchanged()
    {
        const auto before = rowsText(store_->select("select * from czbnow"));
        const auto sp2Before = rowsText(store_->select("select * from sp2"));
        try {
            store_->transaction([&] {
                store_->exec("update sp2 set khm='丙公司' where numa='H001'");
                store_->exec("update czbnow set khm='丙公司' where numa='H001'");
                store_->exec("update czb1 set nosuch='x'");
            });
            QFAIL("no error");
        } catch (const StoreError &) {
        }
        QVERIFY(!store_->inTransaction());
        QCOMPARE(rowsText(store_->select("select * from sp2")), sp2Before);
        QCOMPARE(rowsText(store_->select("select * from czbnow")), before);

        // A failing inner step that is caught leaves the outer step's work in place.
        store_->transaction([&] {
            store_->exec("update sp2 set bz='外层' where numa='H001'");
            try {
                store_->transaction([&] {
                    store_->exec("update sp2 set bz='内层' where numa='H002'");
                    store_->exec("update nosuch set a=1");
                });
            } catch (const StoreError &) {
            }
        });
        QCOMPARE(rowsText(store_->select("select bz from sp2")), QStringList({"外层", ""}));
    }

    void capacityInGbkBytes()
    {
        QCOMPARE(Store::gbkLength("钢管ab"), 6);
        store_->checkCapacity("sp1", "namea", QString("五个汉字呀")); // 10 bytes fit
        store_->checkCapacity("sp1", "namea", QString("abcdefghij"));
        try {
            store_->checkCapacity("sp1", "namea", QString("六个汉字的名"));
            QFAIL("no refusal");
        } catch (const StoreError &e) {
            QVERIFY(e.message().contains("10"));
            QVERIFY(e.message().contains("12"));
        }
        store_->checkCapacity("sp1", "dj", QString("not a text column"));
    }

    void tooLongTextIsQuotedAsTyped_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("quoted");
        QTest::newRow("placeholders in the text") << "甲%1乙%2丙%3" << "“甲%1乙%2丙%3”";
        QTest::newRow("long text is cut") << QString(5000, 'a') << "“" + QString(20, 'a') + "…”";
    }

    void tooLongTextIsQuotedAsTyped()
    {
        QFETCH(QString, typed);
        QFETCH(QString, quoted);
        try {
            store_->checkCapacity("sp1", "namea", typed);
            QFAIL("no refusal");
        } catch (const StoreError &e) {
            QVERIFY2(e.message().startsWith(quoted + "太长：sp1.namea 最多 10 个字节"), qPrintable(e.message()));
            QVERIFY2(e.message().endsWith(QString("输入的内容占 %1 个字节。").arg(Store::gbkLength(typed))),
                     qPrintable(e.message()));
            QVERIFY(e.message().size() < 100);
        }
    }

    void failedRollbackOfAnInnerStepKeepsTheOriginalError()
    {
        try {
            store_->transaction([&] {
                store_->exec("update sp2 set bz='外层'");
                store_->transaction([&] {
                    // The engine drops the whole transaction on some failures; the savepoint is gone.
                    store_->exec("rollback");
                    throw std::runtime_error("the original failure");
                });
            });
            QFAIL("no error");
        } catch (const StoreError &e) {
            QFAIL(qPrintable("replaced by: " + e.text()));
        } catch (const std::runtime_error &e) {
            QCOMPARE(QString(e.what()), QString("the original failure"));
        }
        QVERIFY(!store_->inTransaction());
        QCOMPARE(store_->scalar("select count(*) from sp2 where bz='外层'").toInt(), 0);
        store_->transaction([&] { store_->exec("update sp2 set bz='之后'"); });
        QCOMPARE(store_->scalar("select count(*) from sp2 where bz='之后'").toInt(), 2);
    }

    void emptyAndCompact()
    {
        store_->emptyTable("czbnow");
        QCOMPARE(store_->scalar("select count(*) from czbnow").toInt(), 0);
        QVERIFY_THROWS_EXCEPTION(StoreError, store_->emptyTable("nosuch"));
        store_->compact();
        QCOMPARE(store_->scalar("select count(*) from sp2").toInt(), 2);
        store_->begin();
        QVERIFY_THROWS_EXCEPTION(StoreError, store_->compact());
        store_->rollback();
    }

    void compactRefusedWhileAnotherProgramHoldsTheFile()
    {
        QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "other");
        other.setDatabaseName(dir_.filePath("tolva.db"));
        QVERIFY(other.open());
        QSqlQuery q(other);
        QVERIFY(q.exec("begin exclusive"));
        QVERIFY_THROWS_EXCEPTION(StoreError, store_->compact());
        QVERIFY(q.exec("rollback"));
        q = QSqlQuery();
        other.close();
        other = QSqlDatabase();
        QSqlDatabase::removeDatabase("other");
        store_->compact();
    }
};

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
