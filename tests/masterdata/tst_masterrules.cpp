// The rules of contracts, materials and payments against a real store, without windows.
#include "fixture.h"
#include "masterdata/contractrules.h"
#include "masterdata/materialrules.h"
#include "masterdata/paymentrules.h"
#include "store/dataset.h"

#include <QtTest>

using namespace tolva;

namespace {

// 甲公司 holds two contracts: H1 (open, with a movement, a deposit, rent received and a repair
// line) and H2 (settled, with a deposit of 1,000).
void fill(Store &store)
{
    store.exec("insert into sp2(khm,numa,jz,begina,enda) values('甲公司','H1','否','2004-01-01','2004-12-31'),"
               "('甲公司','H2','是','2004-01-01','2004-12-31')");
    store.exec("insert into czbnow(khm,numa,datea,namea,gg,a1) values('甲公司','H1','2004-03-01','钢管','6米',10)");
    store.exec("insert into sp3(khm,numa,datea,lx,a1) values('甲公司','H1','2004-03-01','银行',500),"
               "('甲公司','H2','2004-03-01','银行',1000)");
    store.exec("insert into sp4(khm,numa,datea,lx,a1) values('甲公司','H1','2004-04-01','现金',80)");
    store.exec("insert into czb1(khm,numa) values('甲公司','H1')");
    store.exec("insert into czb2(khm,numa) values('甲公司','H2')");
}

// The contract `numa` as the current row of a live result set, in edit state.
void editContract(Dataset &contracts, const QString &numa)
{
    contracts.open("select * from sp2 where numa=:g1", {{"g1", numa}});
    contracts.edit();
}

QString deposits(Store &store, const QString &numa)
{
    // What a statement adds up: the deposits under the contract's number and its customer's name.
    return store.scalar("select coalesce(sum(a1),0) from sp3 where numa=:g1 and khm=(select khm from sp2 where numa=:g1)",
                        {{"g1", numa}})
        .toString();
}

} // namespace

class TestMasterRules : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void renamingOneContractLeavesTheOthersMoney()
    {
        Fixture f;
        fill(*f.store);
        Dataset contracts(*f.store);
        editContract(contracts, "H1");
        const contracts::Change change{false, "甲公司", "H1", " 甲公司（新） ", "H1", QDate(2004, 1, 1), QDate(2004, 12, 31)};
        QVERIFY(contracts::save(*f.store, contracts, change).ok());
        QCOMPARE(f.store->scalar("select count(*) from sp3 where khm='甲公司（新）'").toInt(), 1);
        QCOMPARE(f.store->scalar("select khm from czbnow").toString(), QString("甲公司（新）"));
        QCOMPARE(deposits(*f.store, "H1"), QString("500"));
        QCOMPARE(deposits(*f.store, "H2"), QString("1000"));
        QCOMPARE(f.store->scalar("select khm from czb2").toString(), QString("甲公司"));
    }

    void contractNumbersAreStoredTrimmed()
    {
        Fixture f;
        fill(*f.store);
        Dataset contracts(*f.store);
        contracts.open("select * from sp2");
        contracts.append();
        const Outcome twin = contracts::save(*f.store, contracts, {true, "", "", "乙公司", "H1 ", QDate(2005, 1, 1), QDate(2005, 6, 30)});
        QVERIFY(!twin.ok());
        QVERIFY(!twin.discardsPending());
        QCOMPARE(twin.field(), QString("numa"));
        QCOMPARE(twin.message(), QString("有重复的数据存在，无法保存！\n合同号[H1]已经用于客户[甲公司]，请换一个合同号。"));
        // The refused row is still pending and saves once its number is mended.
        QVERIFY(contracts::save(*f.store, contracts, {true, "", "", "乙公司", " H3 ", QDate(2005, 1, 1), QDate(2005, 6, 30)}).ok());
        QCOMPARE(f.store->scalar("select count(*) from sp2 where numa='H3'").toInt(), 1);
    }

    void deletingAContractTakesItsRows()
    {
        Fixture f;
        fill(*f.store);
        QCOMPARE(contracts::holdings(*f.store, "H1").describe(), QString("发生数据1笔、押金1笔、已交租金1笔、维修费1笔"));
        QCOMPARE(contracts::mayRemove("否").message(), QString("该客户还未结帐,无法删除!"));

        Dataset contracts(*f.store);
        contracts.open("select * from sp2 where numa='H1'");
        contracts::remove(*f.store, contracts);
        for (const char *table : {"czbnow", "sp3", "sp4", "czb1", "czb2", "sp2"})
            QCOMPARE(f.store->scalar(QString("select count(*) from %1 where numa='H1'").arg(table)).toInt(), 0);
        QCOMPARE(deposits(*f.store, "H2"), QString("1000"));

        // A new contract under the old number starts with nothing.
        contracts.open("select * from sp2");
        contracts.append();
        QVERIFY(contracts::save(*f.store, contracts, {true, "", "", "丙公司", "H1", QDate(2005, 1, 1), QDate(2005, 6, 30)}).ok());
        QVERIFY(!contracts::holdings(*f.store, "H1").any());
    }

    void materialRenameKeepsOneTrimmedName()
    {
        Fixture f;
        f.store->exec("insert into sp1(namea,dj) values('钢管',0.01)");
        f.store->exec("insert into sp5(namea,gg,bl) values('钢管','6米',6)");
        f.store->exec("insert into czbnow(khm,numa,datea,namea,gg,a1) values('甲公司','H1','2004-03-01','钢管','6米',10)");
        Dataset materials(*f.store);
        materials.open("select * from sp1");
        materials.edit();
        QVERIFY(materials::save(*f.store, materials, {false, " 钢管A ", 2}).ok());
        for (const char *table : {"sp1", "sp5", "czbnow"})
            QCOMPARE(f.store->scalar(QString("select namea from %1").arg(table)).toString(), QString("钢管A"));
        QCOMPARE(materials::mayRemove(*f.store, "钢管A").message(), QString("数据库中有数据存在，无法删除！"));
    }

    // Amounts are kept in cents, so what the list shows is what the totals add.
    void paymentsAreRoundedToCents_data()
    {
        QTest::addColumn<double>("typed");
        QTest::addColumn<QVariant>("stored");
        QTest::newRow("half a cent up") << 0.005 << QVariant(0.01);
        QTest::newRow("half a cent down") << -0.005 << QVariant(-0.01);
        QTest::newRow("decimal tie") << 1234.565 << QVariant(1234.57);
        QTest::newRow("less than half a cent is nothing") << 0.004 << QVariant();
    }
    void paymentsAreRoundedToCents()
    {
        QFETCH(double, typed);
        QFETCH(QVariant, stored);
        Fixture f;
        Dataset payments(*f.store);
        payments.open("select * from sp3");
        payments.append();
        payments.setValue("numa", "H1");
        payments.setValue("a1", typed);
        const Outcome outcome = payments::save(payments);
        if (stored.isNull()) {
            QCOMPARE(outcome.message(), QString("没有输入金额，无法保存！"));
            QVERIFY(payments.isEditing());
            QCOMPARE(f.store->scalar("select count(*) from sp3").toInt(), 0);
        } else {
            QVERIFY(outcome.ok());
            QCOMPARE(f.store->scalar("select a1 from sp3").toDouble(), stored.toDouble());
        }
    }
};

QTEST_MAIN(TestMasterRules)
#include "tst_masterrules.moc"
