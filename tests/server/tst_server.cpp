#include "backup/backuprules.h"
#include "store/dataset.h"
#include "store/server.h"
#include "store/store.h"
#include "testledger.h"

#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

using namespace tolva;

namespace {

// The server's own work on the test cluster: roles and sessions, as its superuser.
struct Admin {
    QTemporaryDir dir;
    Store store;
    Admin() : store(dir.path(), options()) {}
    static Store::Options options()
    {
        Store::Options o;
        o.server = server::withDatabase(TestLedger::serverAddress(), QStringLiteral("postgres"));
        return o;
    }
};

ConnectionError::Reason refusalOf(const QString &address, QString &text)
{
    QTemporaryDir dir;
    Store::Options o;
    o.server = address;
    try {
        Store s(dir.path(), o);
    } catch (const ConnectionError &e) {
        text = e.text();
        return e.reason();
    }
    qFatal("the store opened %s", qPrintable(address));
}

QStringList joined(Store &s, const QString &sql)
{
    QStringList out;
    for (const auto &row : s.select(sql).rows) {
        QStringList texts;
        for (const QVariant &v : row)
            texts << v.toString();
        out << texts.join(' ');
    }
    return out;
}

} // namespace

// What a clerk meets when the server is not as it should be, and how a failed statement leaves the
// transaction it ran in.
class TestServer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        if (!TestLedger::onServer())
            QSKIP("needs the test server");
    }

    void connectionRefusals_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("reason");
        QTest::addColumn<QString>("says");
        QTest::newRow("no server") << "port" << int(ConnectionError::Reason::NoServer) << "无法连接数据库服务器";
        QTest::newRow("no such database") << "database" << int(ConnectionError::Reason::NoDatabase) << "没有数据库“无此账本”";
        QTest::newRow("wrong password") << "password" << int(ConnectionError::Reason::Password) << "用户名或密码不对";
        QTest::newRow("no such user") << "user" << int(ConnectionError::Reason::Password) << "用户名或密码不对";
    }
    void connectionRefusals()
    {
        QFETCH(QString, change);
        QFETCH(int, reason);
        QFETCH(QString, says);
        TestLedger ledger;
        QUrl url(ledger.options().server);
        if (change == "port") {
            QTcpServer probe; // a port that nobody listens on once the probe is closed
            QVERIFY(probe.listen(QHostAddress::LocalHost));
            url.setPort(probe.serverPort());
            probe.close();
        } else if (change == "database") {
            url.setPath("/无此账本");
        } else if (change == "password") {
            url.setUserName("管理员");
            url.setPassword("错");
        } else {
            url.setUserName("无此人");
            url.setPassword("1");
        }
        QString text;
        QCOMPARE(int(refusalOf(url.toString(), text)), reason);
        QVERIFY2(text.contains(says), qPrintable(text));
    }

    void aRoleWithoutRightsIsToldSo()
    {
        TestLedger ledger;
        Admin admin;
        admin.store.exec("drop role if exists 旁观者");
        admin.store.exec("create role 旁观者 login password 'x'");
        QTemporaryDir dir;
        Store::Options o;
        o.server = server::withUser(ledger.options().server, "旁观者", "x");
        Store s(dir.path(), o);
        try {
            s.exec("insert into sp1(namea) values('钢管')");
            QFAIL("a role without rights wrote a row");
        } catch (const StoreError &e) {
            QVERIFY2(e.message().contains("没有这项操作的权限"), qPrintable(e.text()));
        }
    }

    // The server ends the session: the save fails with a message and the row stays pending.
    void aLostConnectionKeepsThePendingRow()
    {
        TestLedger ledger;
        QTemporaryDir dir;
        Store s(dir.path(), ledger.options());
        Dataset ds(s);
        ds.open("select * from sp1");
        ds.append();
        ds.setValue("namea", QString("钢管"));
        const QString pid = s.scalar("select pg_backend_pid()").toString();
        Admin admin;
        admin.store.scalar("select pg_terminate_backend(" + pid + ")");
        try {
            ds.post();
            QFAIL("saved on a closed connection");
        } catch (const StoreError &e) {
            QVERIFY2(e.message().contains("连接中断"), qPrintable(e.text()));
        }
        QCOMPARE(ds.state(), Dataset::State::Insert);
        QCOMPARE(ds.text("namea"), QString("钢管"));
    }

    // A refused statement inside a transaction leaves what the transaction did before it, as on
    // the embedded engine, and the transaction commits.
    void aFailedStatementLeavesTheTransactionUsable()
    {
        TestLedger ledger;
        QTemporaryDir dir;
        Store s(dir.path(), ledger.options());
        s.transaction([&] {
            s.exec("insert into sp1(namea) values('钢管')");
            QVERIFY_THROWS_EXCEPTION(StoreError, s.exec("insert into no_such_table values(1)"));
            s.exec("insert into sp1(namea) values('扣件')");
        });
        QCOMPARE(s.select("select namea from sp1 order by rowid").rows.size(), 2);
    }

    // A backup of a server ledger is the same archive as a folder's; a restore puts its rows back
    // in one transaction, and only while no other clerk works on the ledger.
    void backupAndRestoreOnTheServer()
    {
        TestLedger ledger;
        QTemporaryDir dir;
        Store s(dir.path(), ledger.options());
        s.exec("insert into sp1(namea,dj) values('钢管',0.01)");
        const QString archive = dir.filePath("月底.zip");
        QVERIFY(backup::writeBackup(s, archive).ok());
        s.exec("update sp1 set dj=0.5");
        s.exec("insert into sp1(namea,dj) values('扣件',1)");
        s.exec("update sbpass set passa='7' where namea='管理员'"); // a login's password since the backup
        {
            Store::Options clerk = ledger.options();
            clerk.server = server::withUser(clerk.server, "录入员", "1");
            Store other(dir.path(), clerk);
            const Outcome busy = backup::restoreArchive(dir.path(), archive, QDateTime(QDate(2024, 7, 1), QTime(9, 0)), &s);
            QVERIFY(!busy.ok());
            QVERIFY2(busy.message().contains("录入员"), qPrintable(busy.message()));
            QCOMPARE(s.scalar("select dj from sp1 where namea='钢管'").toDouble(), 0.5);
        }
        const Outcome restored = backup::restoreArchive(dir.path(), archive, QDateTime(QDate(2024, 7, 1), QTime(9, 0)), &s);
        QVERIFY2(restored.ok(), qPrintable(restored.message()));
        QCOMPARE(joined(s, "select namea,dj from sp1 order by rowid"), QStringList{"钢管 0.01"});
        // The users' rows came back; their logins and passwords are as they were.
        QCOMPARE(joined(s, "select namea from sbpass order by rowid"), (QStringList{"管理员", "录入员"}));
        QVERIFY(s.checkLogin("管理员", "7"));
        QVERIFY(s.checkLogin("录入员", "1"));
        QVERIFY(!QFileInfo::exists(dir.filePath("tolva.db")));
    }
};

QTEST_MAIN(TestServer)
#include "tst_server.moc"
