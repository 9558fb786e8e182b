#include "masterdata/contractrules.h"
#include "masterdata/materialrules.h"
#include "settlement/settlement.h"
#include "store/dataset.h"
#include "store/server.h"
#include "store/store.h"
#include "testledger.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace tolva;

namespace {

// A clerk at his own desk: a session of his own login on the test ledger.
struct Clerk {
    QTemporaryDir dir;
    Store store;
    Clerk(const TestLedger &ledger, const QString &user, const QString &password = QStringLiteral("1"))
        : store(dir.path(), as(ledger, user, password))
    {
    }
    static Store::Options as(const TestLedger &ledger, const QString &user, const QString &password)
    {
        Store::Options o = ledger.options();
        o.server = server::withUser(o.server, user, password);
        return o;
    }
};

// The ledger's owner, who sets it up for the clerks.
struct Owner {
    QTemporaryDir dir;
    Store store;
    explicit Owner(const TestLedger &ledger) : store(dir.path(), ledger.options()) {}
};

void refusedWith(const std::function<void()> &f, const QString &says)
{
    try {
        f();
    } catch (const StoreError &e) {
        QVERIFY2(e.text().contains(says), qPrintable(e.text()));
        return;
    }
    QFAIL(qPrintable("not refused: " + says));
}

} // namespace

// Two clerks on one server ledger at once, their transactions interleaved by hand: neither sees
// the other's working rows, the checks hold whoever comes second, and the server keeps the rights
// whatever program a clerk writes with.
class TestClerks : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        if (!TestLedger::onServer())
            QSKIP("needs the test server");
    }

    // Each computes a statement of his own contract; the first one's rows still sum to his alone.
    void eachSeesOnlyHisOwnStatementRows()
    {
        using namespace settlement;
        TestLedger ledger;
        {
            Owner o(ledger);
            o.store.exec("insert into sp1(namea,dj,numsb) values('钢管',0.01,0)");
            o.store.exec("insert into sp5(namea,gg,dw,dw1,bl) values('钢管','6米','根','米',6)");
            o.store.exec("insert into sp2(khm,numa,jz,begina,enda) values('甲公司','H1','否','2004-01-01','2004-12-31'),"
                         "('乙公司','H2','否','2004-01-01','2004-12-31')");
            o.store.exec("insert into czbnow(khm,numa,datea,namea,gg,dw,dw1,bl,a1,b1,a2,a8) values"
                         "('甲公司','H1','2004-01-01','钢管','6米','根','米',6,10,0,60,0),"
                         "('乙公司','H2','2004-01-01','钢管','6米','根','米',6,1000,0,6000,0)");
        }
        Clerk a(ledger, "录入员"), b(ledger, "管理员");
        const auto statement = [](Store &s, const QString &numa, const QString &khm) {
            const Request req{numa, khm, QDate(2004, 1, 1), QDate(2004, 1, 31), DateMode::ContractDates};
            if (!prepare(s, req).ok())
                qFatal("preparation refused");
            return totalRent(s, compute(s, req, {Method::StartDayFree, QString()}));
        };
        const double mine = statement(a.store, "H1", "甲公司");
        const double other = statement(b.store, "H2", "乙公司");
        QCOMPARE(other, mine * 100);
        QCOMPARE(totalRent(a.store, Result::Czbtem), mine);
        QCOMPARE(a.store.scalar("select count(distinct numa) from czb").toInt(), 1);
        // Emptying one's working tables, as a login does, leaves the other's.
        b.store.exec("delete from czbtem");
        QCOMPARE(totalRent(a.store, Result::Czbtem), mine);
    }

    // Both count fourteen materials and add one: the one who commits second loses, and his rule,
    // run again, says why; fifteen remain. A client that skips the check meets the server's own.
    void theSixteenthMaterialLosesTheRace()
    {
        TestLedger ledger;
        Clerk a(ledger, "录入员"), b(ledger, "管理员");
        for (int i = 1; i <= 14; ++i)
            a.store.exec("insert into sp1(namea,dj) values(:n,1)", {{"n", QString("材料%1").arg(i)}});
        a.store.begin();
        b.store.begin();
        QCOMPARE(a.store.scalar("select count(*) from sp1").toInt(), 14);
        QCOMPARE(b.store.scalar("select count(*) from sp1").toInt(), 14);
        a.store.exec("insert into sp1(namea,dj) values('甲材料',1)");
        b.store.exec("insert into sp1(namea,dj) values('乙材料',1)");
        a.store.commit();
        QVERIFY_THROWS_EXCEPTION(ConflictError, b.store.commit());
        QCOMPARE(a.store.scalar("select count(*) from sp1").toInt(), 15);

        Dataset rows(b.store);
        rows.open("select * from sp1");
        rows.append();
        const Outcome again = materials::save(b.store, rows, {true, "乙材料", 0});
        QCOMPARE(again.message(), QString("材料名称只能控制在15个以内,无法再添加！"));
        QCOMPARE(rows.state(), Dataset::State::Insert); // what was typed stays
        refusedWith([&] { b.store.exec("insert into sp1(namea,dj) values('丙材料',1)"); },
                    "材料名称只能控制在15个以内");
        QCOMPARE(b.store.scalar("select count(*) from sp1").toInt(), 15);
    }

    // Both find the number free; the second save meets the first one's row and says so, the typed
    // row kept; saved again it is the ordinary refusal naming the holder.
    void theDuplicateNumberLosesTheRace()
    {
        TestLedger ledger;
        Clerk a(ledger, "录入员"), b(ledger, "管理员");
        a.store.begin();
        b.store.begin();
        QCOMPARE(a.store.scalar("select count(*) from sp2 where numa='H9'").toInt(), 0);
        QCOMPARE(b.store.scalar("select count(*) from sp2 where numa='H9'").toInt(), 0);
        a.store.exec("insert into sp2(khm,numa,jz) values('甲公司','H9','否')");
        a.store.commit();
        try {
            b.store.exec("insert into sp2(khm,numa,jz) values('乙公司','H9','否')");
            b.store.commit();
            QFAIL("two contracts numbered H9");
        } catch (const ConflictError &e) {
            QVERIFY2(e.text().startsWith("另一位操作员刚刚"), qPrintable(e.text()));
            b.store.rollback();
        }

        Dataset rows(b.store);
        rows.open("select * from sp2");
        rows.append();
        contracts::Change typed;
        typed.adding = true;
        typed.khm = "乙公司";
        typed.numa = "H9";
        typed.begin = QDate(2004, 1, 1);
        typed.end = QDate(2004, 12, 31);
        const Outcome again = contracts::save(b.store, rows, typed);
        QVERIFY2(again.message().contains("合同号[H9]已经用于客户[甲公司]"), qPrintable(again.message()));
        QCOMPARE(again.field(), QString("numa"));
        QCOMPARE(rows.state(), Dataset::State::Insert);
        QCOMPARE(b.store.scalar("select count(*) from sp2").toInt(), 1);
    }

    // An edit of a row the other clerk deleted meanwhile is refused, not lost without a word.
    void anEditOfARowTheOtherDeletedIsRefused()
    {
        TestLedger ledger;
        Clerk a(ledger, "录入员"), b(ledger, "管理员");
        a.store.exec("insert into sp3(khm,numa,datea,lx,a1) values('甲公司','H1','2004-01-05','现金',1000)");
        Dataset mine(a.store);
        mine.open("select * from sp3");
        b.store.exec("delete from sp3");
        mine.edit();
        mine.setValue("a1", 2000);
        refusedWith([&] { mine.post(); }, "该记录已被其他操作员修改，请刷新后重新操作。");
        QCOMPARE(mine.number("a1"), 2000.0);
        QCOMPARE(a.store.scalar("select count(*) from sp3").toInt(), 0);
    }

    // The rights are the server's: with the program's own statements or any other SQL tool, a
    // 查询 clerk writes nothing, a 录入 clerk writes data but no user, nobody reads a password.
    void theServerKeepsTheRights()
    {
        TestLedger ledger;
        Owner(ledger).store.exec("insert into sbpass(namea,passa,popedoma) values('查询员','1','查询')");
        ledger.setLogin("查询员", "1", "查询");
        Clerk reader(ledger, "查询员"), clerk(ledger, "录入员");
        refusedWith([&] { reader.store.exec("insert into sp3(khm,numa,datea,lx,a1) values('甲','H1','2004-01-05','现金',1)"); },
                    "没有这项操作的权限");
        refusedWith([&] { reader.store.exec("update srf set b1=2"); }, "没有这项操作的权限");
        refusedWith([&] { reader.store.exec("update sbpass set passa='x' where namea='管理员'"); }, "只能修改自己的密码");
        clerk.store.exec("insert into sp3(khm,numa,datea,lx,a1) values('甲','H1','2004-01-05','现金',1)");
        clerk.store.exec("update srf set b1=1");
        refusedWith([&] { clerk.store.exec("insert into sbpass(namea,passa,popedoma) values('我','1','管理')"); },
                    "没有这项操作的权限");
        refusedWith([&] { clerk.store.exec("update sbpass set popedoma='管理' where namea='录入员'"); },
                    "没有这项操作的权限");
        QCOMPARE(clerk.store.scalar("select count(*) from sbpass where passa is not null").toInt(), 0);

        // His own password is his login's.
        reader.store.exec("update sbpass set passa='新' where namea='查询员'");
        QVERIFY(reader.store.checkLogin("查询员", "新"));
        QVERIFY(!reader.store.checkLogin("查询员", "1"));
    }

    // The users table is the server's list of logins: an added user logs in with his password and
    // right, a renamed one under his new name, a removed one no more.
    void usersAreTheServersLogins()
    {
        TestLedger ledger;
        Clerk admin(ledger, "管理员");
        Store &s = admin.store;
        s.exec("insert into sbpass(namea,passa,popedoma) values('张三','a''b c','录入')");
        QVERIFY(s.scalar("select passa from sbpass where namea='张三'").isNull());
        {
            Clerk zhang(ledger, "张三", "a'b c");
            zhang.store.exec("insert into sp1(namea,dj) values('钢管',1)");
        }
        s.exec("update sbpass set namea='李四', popedoma='查询' where namea='张三'");
        QVERIFY(!s.checkLogin("张三", "a'b c"));
        {
            Clerk li(ledger, "李四", "a'b c");
            refusedWith([&] { li.store.exec("insert into sp1(namea,dj) values('扣件',1)"); }, "没有这项操作的权限");
        }
        s.exec("delete from sbpass where namea='李四'");
        QVERIFY(!s.checkLogin("李四", "a'b c"));
    }
};

QTEST_MAIN(TestClerks)
#include "tst_clerks.moc"
