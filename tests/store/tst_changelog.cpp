#include "store/server.h"
#include "store/store.h"
#include "testledger.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

using namespace tolva;

namespace {

const QDateTime Now(QDate(2024, 4, 2), QTime(9, 5, 1));

QString valueText(const QJsonValue &v)
{
    if (v.isNull() || v.isUndefined())
        return QStringLiteral("null");
    if (v.isDouble())
        return QString::number(v.toDouble(), 'g', 15);
    return v.toString();
}

QJsonObject json(const QVariant &text)
{
    return QJsonDocument::fromJson(text.toString().toUtf8()).object();
}

// A log row in short: "cz bm numa" and then, for a change, each changed field "name:before→after",
// for an addition or deletion each field "name=value" of the row added or deleted.
QStringList logLines(Store &store)
{
    QStringList out;
    const Rows rows = store.select("select cz, bm, numa, yjl, xjl from rzb order by rowid");
    for (const auto &row : rows.rows) {
        QStringList parts{row[0].toString(), row[1].toString(), row[2].toString()};
        const QJsonObject before = json(row[3]), after = json(row[4]);
        if (row[0].toString() == QStringLiteral("修改")) {
            for (const QString &key : after.keys())
                if (before.value(key) != after.value(key))
                    parts << key + ":" + valueText(before.value(key)) + "→" + valueText(after.value(key));
        } else {
            const QJsonObject &whole = row[3].isNull() ? after : before;
            for (auto it = whole.begin(); it != whole.end(); ++it) // in the order of the names
                parts << it.key() + "=" + valueText(it.value());
        }
        out << parts.join(' ');
    }
    return out;
}

// The columns a log row of `table` holds.
QStringList loggedColumns(Store &store, const QString &table)
{
    if (table == "sbpass")
        return {"namea", "popedoma"};
    if (table == "srf")
        return {"b1", "b6", "zzrq", "zzly"};
    QStringList names;
    for (const ColumnInfo &c : store.columns(table))
        names << c.name;
    return names;
}

const char *Movement = "insert into czbnow(khm,numa,datea,namea,gg,dw,dw1,bl,a1,b1,a2,a8) "
                       "values('甲公司','H1','2024-03-05','钢管','6米','根','米',6,100,0,600,0)";
const char *MovementFields = "a1=100 a2=600 a8=0 b1=0 bl=6 datea=2024-03-05 dw=根 dw1=米 gg=6米 khm=甲公司 "
                             "namea=钢管 numa=H1";

} // namespace

// The change log (rzb) written by the database itself in the changing statement, and the closed
// period (srf.zzrq) it guards, on the folder's file and on a server.
class TestChangeLog : public QObject {
    Q_OBJECT

    std::unique_ptr<TestLedger> ledger_;
    QTemporaryDir dir_;
    std::unique_ptr<Store> store_;

private Q_SLOTS:
    void init()
    {
        ledger_ = std::make_unique<TestLedger>();
        QFile::remove(dir_.filePath("tolva.db"));
        store_ = std::make_unique<Store>(dir_.path(), ledger_->options());
        store_->setClock([] { return Now; });
    }
    void cleanup()
    {
        store_.reset();
        ledger_.reset();
    }

    void everyChangeLeavesItsRows_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QStringList>("change");
        QTest::addColumn<QStringList>("logged");
        QTest::newRow("a movement added") << QStringList() << QStringList{Movement}
                                          << QStringList{QString("增加 czbnow H1 ") + MovementFields};
        QTest::newRow("a movement changed")
            << QStringList{Movement} << QStringList{"update czbnow set a1=120, a2=720"}
            << QStringList{"修改 czbnow H1 a1:100→120 a2:600→720"};
        QTest::newRow("a movement deleted") << QStringList{Movement} << QStringList{"delete from czbnow"}
                                            << QStringList{QString("删除 czbnow H1 ") + MovementFields};
        QTest::newRow("a change to the same values") << QStringList{Movement}
                                                     << QStringList{"update czbnow set a1=100, khm='甲公司'"}
                                                     << QStringList();
        QTest::newRow("a cascade, row by row")
            << QStringList{Movement, "insert into sp3(khm,numa,datea,lx,a1) values('甲公司','H1','2024-03-01','现金',500)",
                           "insert into sp3(khm,numa,datea,lx,a1) values('乙公司','H2','2024-03-01','现金',800)"}
            << QStringList{"update czbnow set numa='H9' where numa='H1'", "update sp3 set numa='H9' where numa='H1'"}
            << QStringList{"修改 czbnow H9 numa:H1→H9", "修改 sp3 H9 numa:H1→H9"};
        QTest::newRow("each business table")
            << QStringList()
            << QStringList{"insert into sp1(namea,dj,kc,numsb) values('钢管',0.01,1000,2)",
                           "insert into sp5(namea,gg,dw,dw1,bl) values('钢管','6米','根','米',6)",
                           "insert into sp2(khm,numa,jz,begina,enda,a1,a2) "
                           "values('甲公司','H1','否','2024-01-01','2024-12-31','其它',0)",
                           "insert into sp4(khm,numa,datea,lx,a1) values('甲公司','H1','2024-03-20','银行',200)",
                           "insert into czb1(khm,numa,namea,a1,a2,a3,a4) values('甲公司','H1','钢管','弯曲',2,5,10)",
                           "insert into czb2(khm,numa,namea,a1,a2,a3,a4) values('甲公司','H1','钢管','丢失',1,4,4)"}
            << QStringList{"增加 sp1  dj=0.01 kc=1000 kc1=null kc2=null namea=钢管 nowkc=null numsb=2",
                           "增加 sp5  bl=6 dw=根 dw1=米 gg=6米 namea=钢管",
                           "增加 sp2 H1 a1=其它 a2=0 begina=2024-01-01 bz=null enda=2024-12-31 jz=否 khm=甲公司 numa=H1",
                           "增加 sp4 H1 a1=200 datea=2024-03-20 khm=甲公司 lx=银行 numa=H1",
                           "增加 czb1 H1 a1=弯曲 a2=2 a3=5 a4=10 khm=甲公司 namea=钢管 numa=H1",
                           "增加 czb2 H1 a1=丢失 a2=1 a3=4 a4=4 khm=甲公司 namea=钢管 numa=H1"};
        QTest::newRow("the stock count's figures are no one's change")
            << QStringList{"insert into sp1(namea,dj,kc,numsb) values('钢管',0.01,1000,2)"}
            << QStringList{"update sp1 set kc1=300, kc2=100, nowkc=800", "update sp1 set dj=0.02"}
            << QStringList{"修改 sp1  dj:0.01→0.02"};
        QTest::newRow("users without their passwords")
            << QStringList()
            << QStringList{"insert into sbpass(namea,passa,popedoma) values('张三','secret','查询')",
                           "update sbpass set passa='other' where namea='张三'",
                           "update sbpass set popedoma='录入' where namea='张三'", "delete from sbpass where namea='张三'"}
            << QStringList{"增加 sbpass  namea=张三 popedoma=查询", "修改 sbpass  popedoma:查询→录入",
                           "删除 sbpass  namea=张三 popedoma=录入"};
        QTest::newRow("of the settings, the method, the format and the closing date")
            << QStringList()
            << QStringList{"update srf set b8=30, b5=0, a4='2'", "update srf set b1=2", "update srf set b6=1, b7=1",
                           "update srf set zzrq='2024-03-31'"}
            << QStringList{"修改 srf  b1:0→2", "修改 srf  b6:0→1", "修改 srf  zzrq:null→2024-03-31"};
        QTest::newRow("working tables are not logged")
            << QStringList()
            << QStringList{"insert into czbtem(khm,numa,datea,a1) values('甲公司','H1','2024-03-05',1)",
                           "insert into czb(khm,numa,datea,a1) values('甲公司','H1','2024-03-05',1)",
                           "insert into rzbtem(sj,yh,bm,cz,numa,nr) values('x','y','z','增加','H1','')",
                           "delete from czbtem"}
            << QStringList();
    }

    void everyChangeLeavesItsRows()
    {
        QFETCH(QStringList, before);
        QFETCH(QStringList, change);
        QFETCH(QStringList, logged);
        Store &s = *store_;
        for (const QString &statement : before)
            s.exec(statement);
        const int first = s.scalar("select count(*) from rzb").toInt();
        QCOMPARE(first, before.size());
        s.exec("delete from rzb");
        for (const QString &statement : change)
            s.exec(statement);
        QCOMPARE(logLines(s), logged);
        // Each row holds the whole row before and after (without its rowid), never a password.
        for (const auto &row : s.select("select bm, yjl, xjl from rzb").rows)
            for (int side : {1, 2})
                if (!row[side].isNull()) {
                    QStringList keys = json(row[side]).keys(), expected = loggedColumns(s, row[0].toString());
                    keys.sort();
                    expected.sort();
                    QCOMPARE(keys, expected);
                }
    }

    void theLogNamesWhoAndWhen()
    {
        Store &s = *store_;
        s.exec(Movement);
        s.setLogUser("录入员");
        s.exec("update czbnow set a8=1");
        const Rows rows = s.select("select yh, sj from rzb order by rowid");
        QCOMPARE(rows.rows.size(), 2);
        QCOMPARE(rows.rows[0][0].toString(), Store::commandLineUser());
        QCOMPARE(rows.rows[1][0].toString(), QString("录入员"));
        if (!store_->isServer()) {
            QCOMPARE(rows.rows[1][1].toString(), QString("2024-04-02 09:05:01"));
        } else {
            // The server's own time.
            QVERIFY(QRegularExpression("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$").match(rows.rows[1][1].toString()).hasMatch());
        }
    }

    void refusedOrUndoneChangesLeaveNoRow()
    {
        Store &s = *store_;
        s.exec(Movement);
        s.exec("delete from rzb");
        // A transaction that fails part-way.
        QVERIFY_THROWS_EXCEPTION(StoreError, s.transaction([&] {
            s.exec("update czbnow set a1=5");
            s.exec("insert into sp3(khm,numa,datea,lx,a1) values('甲公司','H1','2024-03-01','现金',500)");
            s.exec("select no_such_column from czbnow");
        }));
        // A statement the database refuses halfway through its rows.
        s.exec("insert into czbnow(khm,numa,datea,a1) values('甲公司','H1','2024-02-01',1)");
        s.exec("delete from rzb");
        s.exec("update srf set zzrq='2024-02-29'");
        s.exec("delete from rzb");
        QVERIFY_THROWS_EXCEPTION(StoreError, s.exec("update czbnow set a8=3"));
        QCOMPARE(s.scalar("select count(*) from rzb").toInt(), 0);
        QCOMPARE(s.scalar("select count(*) from czbnow where a8=3").toInt(), 0);
    }

    void theClosedPeriodRefusesEveryChange_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("statement");
        QTest::addColumn<bool>("refused");
        const QString values = "('甲公司','H1','%1','现金',10)";
        // A row of each table on 2024-03-31 (the closing date) and on 2024-04-01.
        for (const QString table : {"czbnow", "sp3", "sp4"}) {
            const bool movement = table == "czbnow";
            const QString insert = movement
                                       ? "insert into czbnow(khm,numa,datea,namea,gg,bl,a1,b1,a2,a8) "
                                         "values('甲公司','H1','%1','钢管','6米',6,1,0,6,0)"
                                       : "insert into " + table + "(khm,numa,datea,lx,a1) values" + values;
            const QString figure = movement ? "a1=2" : "a1=20";
            const QByteArray t = table.toUtf8();
            QTest::addRow("%s: add on the closing date", t.data()) << table << insert.arg("2024-03-31") << true;
            QTest::addRow("%s: add before it", t.data()) << table << insert.arg("2023-12-31") << true;
            QTest::addRow("%s: add after it", t.data()) << table << insert.arg("2024-04-01") << false;
            QTest::addRow("%s: change a figure", t.data())
                << table << "update " + table + " set " + figure + " where datea='2024-03-31'" << true;
            QTest::addRow("%s: change a figure after it", t.data())
                << table << "update " + table + " set " + figure + " where datea='2024-04-01'" << false;
            QTest::addRow("%s: move a row into it", t.data())
                << table << "update " + table + " set datea='2024-03-30' where datea='2024-04-01'" << true;
            QTest::addRow("%s: move a row out of it", t.data())
                << table << "update " + table + " set datea='2024-04-02' where datea='2024-03-31'" << true;
            QTest::addRow("%s: delete", t.data()) << table << "delete from " + table + " where datea='2024-03-31'" << true;
            QTest::addRow("%s: delete after it", t.data())
                << table << "delete from " + table + " where datea='2024-04-01'" << false;
            // A renamed customer or contract is carried into the closed rows: no figure changes.
            QTest::addRow("%s: a renamed customer", t.data())
                << table << "update " + table + " set khm='甲公司改', numa='H9' where numa='H1'" << false;
        }
    }

    void theClosedPeriodRefusesEveryChange()
    {
        QFETCH(QString, table);
        QFETCH(QString, statement);
        QFETCH(bool, refused);
        Store &s = *store_;
        for (const char *day : {"2024-03-31", "2024-04-01"}) {
            if (table == "czbnow")
                s.exec(QString("insert into czbnow(khm,numa,datea,namea,gg,bl,a1,b1,a2,a8) "
                               "values('甲公司','H1','%1','钢管','6米',6,1,0,6,0)").arg(day));
            else
                s.exec(QString("insert into %1(khm,numa,datea,lx,a1) values('甲公司','H1','%2','现金',10)").arg(table, day));
        }
        s.exec("update srf set zzrq='2024-03-31'");
        QCOMPARE(s.closingDate(), QDate(2024, 3, 31));
        s.exec("delete from rzb");
        const auto rows = [&] { return s.select("select * from " + table + " order by rowid").rows; };
        const auto before = rows();
        if (!refused) {
            s.exec(statement);
            QVERIFY(s.scalar("select count(*) from rzb").toInt() > 0);
            return;
        }
        try {
            s.exec(statement);
            QFAIL("the change in the closed period was not refused");
        } catch (const StoreError &e) {
            // The rule's own words, without the statement.
            QCOMPARE(e.text(), QString("该日期的账已经结账（结账日期2024-03-31），不能修改。"));
        }
        QCOMPARE(rows(), before);
        QCOMPARE(s.scalar("select count(*) from rzb").toInt(), 0);
        // Moved back before the row, the same change goes through.
        s.exec("update srf set zzrq='2023-12-30'");
        s.exec(statement);
        QVERIFY(rows() != before);
        s.exec("update srf set zzrq=null");
        QVERIFY(!s.closingDate().isValid());
    }

    // A ledger made before the change log gets it when it is opened, also with a period closed.
    void anOlderFileGetsTheLog()
    {
        TOLVA_SQLITE_ONLY();
        store_->exec(Movement);
        store_.reset();
        {
            // The file as the program left it before: without the log's tables and columns.
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "older");
            db.setDatabaseName(dir_.filePath("tolva.db"));
            QVERIFY(db.open());
            for (const char *statement : {"drop table rzb", "drop table rzbtem", "alter table srf drop column zzrq",
                                          "alter table srf drop column zzly"})
                QVERIFY2(QSqlQuery(db).exec(statement), statement);
            db.close();
        }
        QSqlDatabase::removeDatabase("older");
        store_ = std::make_unique<Store>(dir_.path());
        Store &s = *store_;
        QVERIFY(s.hasTable("rzb"));
        QVERIFY(s.hasTable("rzbtem"));
        QVERIFY(s.column("srf", "zzly"));
        s.exec("update srf set zzrq='2024-03-31'");
        QVERIFY_THROWS_EXCEPTION(StoreError, s.exec("delete from czbnow"));
        QCOMPARE(logLines(s), QStringList{"修改 srf  zzrq:null→2024-03-31"});
        // The log lives on the program's own connection, made again when it opens the file again;
        // another program on the file is free of it.
        s.close();
        s.reopen();
        QVERIFY_THROWS_EXCEPTION(StoreError, s.exec("delete from czbnow"));
        s.close();
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "other");
            db.setDatabaseName(dir_.filePath("tolva.db"));
            QVERIFY(db.open());
            QVERIFY(QSqlQuery(db).exec("delete from czbnow"));
            db.close();
        }
        QSqlDatabase::removeDatabase("other");
        s.reopen();
        QCOMPARE(s.scalar("select count(*) from czbnow").toInt(), 0);
        QCOMPARE(s.scalar("select count(*) from rzb").toInt(), 1);
    }

    // A folder's ledger copied to a server brings its log and its closed rows as they are, logs
    // nothing of the copy itself, and the closed period holds on the server from then on.
    void aCopyToTheServerKeepsTheLogAndTheClosedPeriod()
    {
        if (!TestLedger::onServer())
            QSKIP("the copy of a folder's ledger to a server");
        QTemporaryDir folder;
        Store file(folder.path());
        file.setClock([] { return Now; });
        file.exec(Movement);
        file.exec("insert into sbpass(namea,passa,popedoma) values('张三','secret','查询')");
        file.exec("update srf set zzrq='2024-03-31'");
        const Rows logged = file.select("select sj,yh,bm,cz,numa,yjl,xjl from rzb order by rowid");
        QCOMPARE(logged.rows.size(), 3);
        QStringList problems;
        server::copyTo(file, ledger_->options().server, problems);
        QCOMPARE(problems, QStringList());
        Store &s = *store_;
        QCOMPARE(s.select("select sj,yh,bm,cz,numa,yjl,xjl from rzb order by rowid").rows, logged.rows);
        QCOMPARE(s.scalar("select count(*) from czbnow").toInt(), 1);
        QVERIFY(s.scalar("select passa from sbpass where namea='张三'").isNull()); // the server keeps it
        QVERIFY_THROWS_EXCEPTION(StoreError, s.exec("delete from czbnow"));
        s.exec("update czbnow set khm='甲公司改'");
        QCOMPARE(s.scalar("select count(*) from rzb").toInt(), 4);
    }

    // A clerk's session is named by its login, whatever user it sets, and whatever his group may
    // do to the ledger, he may read the log but neither write nor change nor empty it.
    void aClerkCannotTouchTheLog_data()
    {
        QTest::addColumn<QString>("user");
        QTest::newRow("录入") << QString("录入员");
        QTest::newRow("管理") << QString("管理员");
    }
    void aClerkCannotTouchTheLog()
    {
        if (!TestLedger::onServer())
            QSKIP("the rights of the server's logins");
        QFETCH(QString, user);
        Store::Options as = ledger_->options();
        as.server = server::withUser(as.server, user, "1");
        QTemporaryDir folder;
        Store clerk(folder.path(), as);
        clerk.setLogUser("别人");
        clerk.exec(Movement);
        QCOMPARE(clerk.select("select yh from rzb order by rowid").rows.last().first().toString(), user);
        const int logged = clerk.scalar("select count(*) from rzb").toInt();
        for (const char *statement : {"delete from rzb", "update rzb set yh='别人'", "truncate rzb",
                                      "insert into rzb(sj,yh,bm,cz) values('2024-01-01 00:00:00','x','sp1','增加')"})
            QVERIFY_THROWS_EXCEPTION(StoreError, clerk.exec(statement));
        QCOMPARE(clerk.scalar("select count(*) from rzb").toInt(), logged);
    }
};

QTEST_MAIN(TestChangeLog)
#include "tst_changelog.moc"
