#include "screens.h"
#include "masterdata/contracts.h"
#include "masterdata/payments.h"
#include "printing/preview.h"
#include "printing/printaction.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace tolva;

namespace {

// Two contracts of 甲公司 (H1 with movements in March 2004, H2 settled), one of 乙公司 (A12, settled).
void fill(Fixture &f)
{
    f.store->exec("insert into sp2(khm,numa,jz,begina,enda,a1,a2) values"
                  "('甲公司','H1','否','2004-01-01','2004-12-31','其它',0),"
                  "('甲公司','H2','是','2004-01-01','2004-12-31','其它',0),"
                  "('乙公司','A12','是','2004-01-01','2004-06-30','其它',0)");
    f.store->exec("insert into czbnow(khm,numa,datea,namea,a1) values('甲公司','H1','2004-03-01','钢管',10),"
                  "('甲公司','H1','2004-03-20','钢管',5),('乙公司','A12','2004-02-01','钢管',1)");
    f.store->exec("insert into sp3(khm,numa,datea,lx,a1) values('甲公司','H1','2004-03-01','银行',500),"
                  "('乙公司','A12','2004-02-01','现金',100)");
    f.store->exec("insert into sp4(khm,numa,datea,lx,a1) values('甲公司','H2','2004-03-05','现金',80)");
    f.store->exec("insert into czb1(khm,numa) values('甲公司','H1')");
    f.store->exec("insert into czb2(khm,numa) values('甲公司','H2')");
    f.logIn("录入员");
}

} // namespace

class TestContracts : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void activationShowsTheLastContract()
    {
        Fixture f;
        fill(f);
        Open<Tsp2> s(f);
        QCOMPARE(s.screen.contracts().rowCount(), 3);
        QCOMPARE(s.field("DBEdit2")->text(), QString("A12"));
        QCOMPARE(s.date("d2")->date(), QDate(2004, 6, 30));
        QVERIFY(!s.date("d1")->isEnabled());
        QVERIFY(s.field("DBEdit1")->isReadOnly());
        s.screen.contracts().first();
        QCOMPARE(s.date("d2")->date(), QDate(2004, 12, 31));
    }

    void periodEndMustFollowItsStart()
    {
        Fixture f;
        fill(f);
        Open<Tsp2> s(f);
        s.click("btn1_add");
        s.set("DBEdit1", "丙公司");
        s.set("DBEdit2", "C1");
        s.date("d1")->setDate(QDate(2004, 5, 1));
        s.date("d2")->setDate(QDate(2004, 5, 1));
        s.click("btn1_add");
        QCOMPARE(f.ui.texts("message"), QStringList{"开始日期不应该大于等于截止日期，请重新输入！"});
        QCOMPARE(s.button("btn1_add")->text(), QString("保存(&S)"));
        s.date("d2")->setDate(QDate(2004, 8, 1));
        s.click("btn1_add");
        QCOMPARE(joinedRow(*f.store, "select begina,enda,jz,a1 from sp2 where numa='C1'", " "),
                 QString("2004-05-01 2004-08-01 否 其它"));

        s.screen.contracts().first();
        s.click("btn1_edit");
        s.date("d2")->setDate(s.date("d1")->date());
        s.click("btn1_edit");
        QCOMPARE(f.ui.texts("message").last(), QString("开始日期不应该大于等于截止日期，请重新输入！"));
        QCOMPARE(s.button("btn1_edit")->text(), QString("保存(&S)"));
    }

    void periodMustHoldTheMovements_data()
    {
        QTest::addColumn<QDate>("start");
        QTest::addColumn<QDate>("end");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("start after a movement") << QDate(2004, 3, 2) << QDate(2004, 12, 31)
                                                << "您输入的开始日期大于数据库中已保存数据的日期，无法保存！";
        QTest::newRow("end before a movement") << QDate(2004, 1, 1) << QDate(2004, 3, 19)
                                               << "您输入的截止日期小于数据库中已保存数据的日期，无法保存！";
        QTest::newRow("on the movements' dates") << QDate(2004, 3, 1) << QDate(2004, 3, 20) << "";
        QTest::newRow("outward") << QDate(2003, 1, 1) << QDate(2005, 12, 31) << "";
    }

    void periodMustHoldTheMovements()
    {
        QFETCH(QDate, start);
        QFETCH(QDate, end);
        QFETCH(QString, refusal);
        Fixture f;
        fill(f);
        Open<Tsp2> s(f);
        s.screen.contracts().first();
        s.click("btn1_edit");
        s.date("d1")->setDate(start);
        s.date("d2")->setDate(end);
        s.click("btn1_edit");
        if (refusal.isEmpty()) {
            QCOMPARE(f.ui.texts("message"), QStringList());
            QCOMPARE(f.store->scalar("select begina from sp2 where numa='H1'").toDate(), start);
            QCOMPARE(f.store->scalar("select enda from sp2 where numa='H1'").toDate(), end);
        } else {
            QCOMPARE(f.ui.texts("message"), QStringList{refusal});
            QCOMPARE(f.store->scalar("select begina from sp2 where numa='H1'").toString(), QString("2004-01-01"));
        }
    }

    void pendingRowCannotBeEscapedOrClosed()
    {
        Fixture f;
        fill(f);
        Open<Tsp2> s(f);
        s.click("btn1_add");
        s.set("DBEdit1", "丙公司");
        QTest::keyClick(&s.screen, Qt::Key_Escape);
        s.screen.close();
        QVERIFY(s.screen.isVisible());
        QCOMPARE(s.field("DBEdit1")->text(), QString("丙公司"));
        s.click("btn1_del"); // cancel
        s.screen.close();
        QVERIFY(!s.screen.isVisible());
    }

    void settledContractKeepsItsPeriod()
    {
        Fixture f;
        fill(f);
        Open<Tsp2> s(f);
        s.screen.contracts().first();
        s.click("btn1_edit");
        QVERIFY(s.date("d1")->isEnabled());
        auto *box = s.screen.findChild<QComboBox *>("box1");
        box->setCurrentText("是");
        QVERIFY(!s.date("d1")->isEnabled() && !s.date("d2")->isEnabled());
        box->setCurrentText("否");
        QVERIFY(s.date("d1")->isEnabled());
    }

    // The period is typed as digits: without a year it falls in the year of the context's clock.
    // A typed text that is no date refuses the save with its reason, in the field.
    void periodTypedAsDigits()
    {
        Fixture f;
        fill(f);
        Open<Tsp2> s(f);
        s.screen.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&s.screen));
        s.click("btn1_add");
        s.set("DBEdit1", "丙公司");
        s.set("DBEdit2", "C1");
        s.date("d1")->setFocus();
        QTest::keyClicks(s.date("d1"), "0501");
        QTest::keyClick(s.date("d1"), Qt::Key_Return); // on to d2
        QCOMPARE(s.screen.focusWidget(), s.date("d2"));
        QTest::keyClicks(s.date("d2"), "20040832");
        s.click("btn1_add");
        QCoreApplication::processEvents();
        QCOMPARE(f.ui.texts("message"),
                 QStringList{"“20040832”不是有效的日期，请按年月日输入，例如 20261231、2026-12-31 或 12-31。"});
        QCOMPARE(s.screen.focusWidget(), s.date("d2"));
        QCOMPARE(s.button("btn1_add")->text(), QString("保存(&S)"));
        QTest::keyClick(s.date("d2"), Qt::Key_Backspace);
        QTest::keyClicks(s.date("d2"), "1");
        s.click("btn1_add");
        QCOMPARE(f.store->scalar("select begina||' '||enda from sp2 where numa='C1'").toString(),
                 QString("2004-05-01 2004-08-31"));
    }

    // A new contract whose number another contract has keeps all that was typed, with the focus on
    // the number; mended, it saves.
    void duplicateNumberKeepsTheTypedContract()
    {
        Fixture f;
        fill(f);
        Open<Tsp2> s(f);
        s.click("btn1_add");
        s.set("DBEdit1", "丙公司");
        s.set("DBEdit2", "H1");
        s.date("d1")->setDate(QDate(2004, 5, 1));
        s.date("d2")->setDate(QDate(2004, 8, 1));
        s.click("btn1_add");
        QCOMPARE(f.ui.texts("message"),
                 QStringList{"有重复的数据存在，无法保存！\n合同号[H1]已经用于客户[甲公司]，请换一个合同号。"});
        QCOMPARE(s.button("btn1_add")->text(), QString("保存(&S)"));
        QCOMPARE(s.field("DBEdit1")->text(), QString("丙公司"));
        QCOMPARE(s.field("DBEdit2")->text(), QString("H1"));
        QCOMPARE(s.date("d1")->date(), QDate(2004, 5, 1));
        QCOMPARE(s.date("d2")->date(), QDate(2004, 8, 1));
        // The pending row in the list shows the period picked.
        QCOMPARE(s.screen.contracts().date("begina"), QDate(2004, 5, 1));
        QCOMPARE(s.screen.contracts().date("enda"), QDate(2004, 8, 1));
        QCOMPARE(s.screen.focusWidget(), s.field("DBEdit2"));
        s.set("DBEdit2", "C1");
        s.click("btn1_add");
        QCOMPARE(f.store->scalar("select khm||' '||begina||' '||enda from sp2 where numa='C1'").toString(),
                 QString("丙公司 2004-05-01 2004-08-01"));
        QCOMPARE(f.store->scalar("select count(*) from sp2").toInt(), 4);
    }

    void contractNumberChanges()
    {
        Fixture f;
        fill(f);
        Open<Tsp2> s(f);
        s.screen.contracts().first();
        s.click("btn1_edit");
        s.set("DBEdit1", "甲公司（新）");
        s.set("DBEdit2", "H2");
        s.click("btn1_edit");
        QCOMPARE(f.ui.texts("message"), QStringList{"有重复的数据，无法保存！\n合同号[H2]已经用于客户[甲公司]，请换一个合同号。"});
        QCOMPARE(column(*f.store, "select numa from sp2"), (QStringList{"H1", "H2", "A12"}));
        // The typed texts stay for the number to be mended.
        QCOMPARE(s.button("btn1_edit")->text(), QString("保存(&S)"));
        QCOMPARE(s.field("DBEdit1")->text(), QString("甲公司（新）"));
        QCOMPARE(s.field("DBEdit2")->text(), QString("H2"));
        QCOMPARE(s.screen.focusWidget(), s.field("DBEdit2"));
        s.click("btn1_del");
        // Its own number, padded: saved, and nothing else touched.
        s.click("btn1_edit");
        s.set("DBEdit2", "H1 ");
        s.click("btn1_edit");
        QCOMPARE(f.ui.texts("message").size(), 1);
        QCOMPARE(f.store->scalar("select count(*) from czbnow where numa='H1'").toInt(), 2);
        // A new number reaches movements, payments and statement lines.
        s.click("btn1_edit");
        s.set("DBEdit2", "H9");
        s.click("btn1_edit");
        for (const char *table : {"czbnow", "sp3", "czb1"})
            QCOMPARE(f.store->scalar(QString("select count(*) from %1 where numa='H9'").arg(table)).toInt() > 0, true);
        QCOMPARE(f.store->scalar("select count(*) from czbnow where numa='H1'").toInt(), 0);
    }

    void customerRenameReachesOnlyThisContractsRows()
    {
        Fixture f;
        fill(f);
        Open<Tsp2> s(f);
        s.screen.contracts().first(); // 甲公司, H1
        s.click("btn1_edit");
        s.set("DBEdit1", "甲集团 ");
        s.click("btn1_edit");
        QCOMPARE(column(*f.store, "select khm from sp2"), (QStringList{"甲集团", "甲公司", "乙公司"}));
        QCOMPARE(column(*f.store, "select distinct khm from czbnow where numa='H1'"), QStringList{"甲集团"});
        QCOMPARE(column(*f.store, "select khm from sp3 where numa='H1'"), QStringList{"甲集团"});
        QCOMPARE(column(*f.store, "select khm from czb1"), QStringList{"甲集团"});
        // 甲公司's other contract keeps its name, with its rent received and compensation line.
        QCOMPARE(column(*f.store, "select khm from sp4 where numa='H2'"), QStringList{"甲公司"});
        QCOMPARE(column(*f.store, "select khm from czb2"), QStringList{"甲公司"});
        QCOMPARE(column(*f.store, "select khm from sp3 where numa='A12'"), QStringList{"乙公司"});
    }

    void deletionRules()
    {
        Fixture f;
        fill(f);
        f.store->exec("insert into sp2(khm,numa,jz,begina,enda) values('丁','D1','是','2004-01-01','2004-02-01')");
        Open<Tsp2> s(f);
        s.screen.contracts().first(); // H1, not settled
        s.click("btn1_del");
        QCOMPARE(f.ui.texts("message"), QStringList{"该客户还未结帐,无法删除!"});
        // Settled and holding nothing: one confirmation, the row alone.
        s.screen.contracts().last();
        f.ui.answers << true;
        s.click("btn1_del");
        QCOMPARE(f.ui.texts("confirm"), QStringList{"真的要删除[丁]这个数据吗？"});
        QCOMPARE(column(*f.store, "select numa from sp2"), (QStringList{"H1", "H2", "A12"}));
        // Holding rows: a second confirmation that names them; Cancel keeps everything.
        s.screen.contracts().last();
        f.ui.answers << true << false;
        s.click("btn1_del");
        QCOMPARE(f.store->scalar("select count(*) from sp2").toInt(), 3);
        QCOMPARE(f.ui.texts("confirm").last(),
                 QString("数据库中有数据，如果您选择确定删除，将删除当前客户的所有数据（发生数据1笔、押金1笔）。"));
        // H2 holds no movements but rent received and a compensation line: they go with it.
        s.screen.contracts().moveTo(1);
        f.ui.answers << true << true;
        s.click("btn1_del");
        QCOMPARE(column(*f.store, "select numa from sp2"), (QStringList{"H1", "A12"}));
        QCOMPARE(f.store->scalar("select count(*) from sp4 where numa='H2'").toInt(), 0);
        QCOMPARE(f.store->scalar("select count(*) from czb2 where numa='H2'").toInt(), 0);
        QCOMPARE(f.store->scalar("select count(*) from czbnow where numa='H1'").toInt(), 2);
    }

    void searchContainsTheText()
    {
        Fixture f;
        fill(f);
        f.store->exec("insert into sp2(khm,numa,jz) values('一二12建筑','X1','否'),('百分%公司','X2','否'),"
                      "('O''Neil','X3','否')");
        Open<Tsp2> s(f);
        s.field("Edit1")->setText("12");
        QStringList found;
        for (int r = 0; r < s.screen.contracts().rowCount(); ++r)
            found << s.screen.contracts().valueAt(r, s.screen.contracts().fieldIndex("numa")).toString();
        QCOMPARE(found, (QStringList{"A12", "X1"}));
        s.field("Edit1")->setText("%");
        QCOMPARE(s.screen.contracts().rowCount(), 1);
        s.field("Edit1")->setText("'N");
        QCOMPARE(s.screen.contracts().rowCount(), 1);
        QCOMPARE(f.ui.texts("error"), QStringList());
        s.field("Edit1")->clear();
        QCOMPARE(s.screen.contracts().rowCount(), 6);
    }

    void contractListPrintsAsShown()
    {
        Fixture f;
        fill(f);
        Open<Tsp2> s(f);
        s.field("Edit1")->setText("甲");
        f.ui.windows["PrintDialog"] = [](QDialog *) { return 0; };
        s.click("btn1_print");
        const report::PreparedReport &r = previewWindow(*f.context).preparedReport();
        const QStringList texts = r.pages.first().strings();
        QVERIFY(texts.contains("从2004-01-01到2004-12-31止"));
        QVERIFY(texts.contains("H2"));
        QVERIFY(!texts.contains("A12"));
        QVERIFY(texts.contains(f.store->scalar("select sp2 from dwm").toString()));
    }

    void paymentsDefaultsAndAmounts()
    {
        Fixture f;
        fill(f);
        f.now = QDateTime(QDate(2004, 4, 15), QTime(9, 0));
        Open<Tsp3> s(f);
        QCOMPARE(s.screen.windowTitle(), QString("租赁押金数据输入系统"));
        QCOMPARE(s.screen.payments().rowCount(), 1); // H1's deposit
        QCOMPARE(s.date("d1")->date(), QDate(2004, 3, 1));
        s.click("btn1_add");
        QCOMPARE(s.date("d1")->date(), QDate(2004, 4, 15));
        QCOMPARE(s.screen.findChild<QComboBox *>("box1")->currentText(), QString("现金"));
        s.click("btn1_add"); // an amount of 0
        QCOMPARE(f.ui.texts("message"), QStringList{"没有输入金额，无法保存！"});
        QLineEdit *amount = s.field("DBEdit3");
        amount->setFocus();
        amount->clear();
        QTest::keyClicks(amount, "50");
        amount->setCursorPosition(0);
        QTest::keyClick(amount, '-');
        QCOMPARE(amount->text(), QString("-50"));
        s.click("btn1_add");
        QCOMPARE(joinedRow(*f.store, "select datea,lx,a1,khm from sp3 where a1<0", " "),
                 QString("2004-04-15 现金 -50.0 甲公司"));
        QCOMPARE(s.screen.findChild<QLabel *>("DBText2")->text(), QString("H1"));
    }

    // A deposit dated on or before the closing date is refused with the closing date; the typed row
    // stays pending, and it saves once its date is after the closed period.
    void theClosedPeriodRefusesTheSaveAndKeepsTheRow()
    {
        Fixture f;
        fill(f);
        f.store->exec("update srf set zzrq='2004-03-31'");
        const int before = f.store->scalar("select count(*) from sp3").toInt();
        Open<Tsp3> s(f);
        s.click("btn1_add");
        s.date("d1")->setDate(QDate(2004, 3, 31));
        s.set("DBEdit3", "80");
        s.click("btn1_add");
        QCOMPARE(f.ui.texts(), QStringList{"该日期的账已经结账（结账日期2004-03-31），不能修改。"});
        QCOMPARE(s.field("DBEdit3")->text(), QString("80"));
        QCOMPARE(s.date("d1")->date(), QDate(2004, 3, 31));
        QCOMPARE(s.button("btn1_add")->text(), QString("保存(&S)"));
        QCOMPARE(f.store->scalar("select count(*) from sp3").toInt(), before);
        s.date("d1")->setDate(QDate(2004, 4, 1));
        s.click("btn1_add");
        QCOMPARE(s.button("btn1_add")->text(), QString("添加(&A)"));
        QCOMPARE(f.store->scalar("select count(*) from sp3").toInt(), before + 1);
    }

    // A number field's text that is no number, or out of range, refuses the save with its reason;
    // the text stays and the row is unchanged. A zero shows empty once focused, to be typed over.
    void typedNumbersAreCheckedBeforeSaving()
    {
        Fixture f;
        fill(f);
        Open<Tsp3> s(f);
        s.screen.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&s.screen));
        s.click("btn1_add");
        QLineEdit *amount = s.field("DBEdit3");
        amount->setFocus();
        QCOMPARE(amount->text(), QString());
        const QList<std::pair<QString, QString>> cases = {
            {"abc", "“abc”不是有效的数值。"},
            {"-", "“-”不是有效的数值。"},
            {"1e300", "“1e300”超出了数值的范围（最大 1000000000000）。"},
        };
        for (const auto &[typed, said] : cases) {
            s.set("DBEdit3", typed);
            s.click("btn1_add");
            QCOMPARE(f.ui.texts("message").last(), said);
            QCOMPARE(amount->text(), typed);
            QCOMPARE(s.button("btn1_add")->text(), QString("保存(&S)"));
            QCOMPARE(s.screen.focusWidget(), amount);
        }
        QCOMPARE(f.store->scalar("select count(*) from sp3").toInt(), 2);
        s.date("d1")->setFocus(); // leaving the field keeps the refused text in view
        QCOMPARE(amount->text(), QString("1e300"));
        // Typed key by key, the row holds the last number in range; the refused text stays all
        // the same, also when the field has the focus again after the message.
        s.set("DBEdit3", "");
        typeText(amount, "99999999999999999999999");
        s.click("btn1_add");
        QCOMPARE(f.ui.texts("message").last(),
                 QString("“99999999999999999999999”超出了数值的范围（最大 1000000000000）。"));
        s.date("d1")->setFocus();
        amount->setFocus();
        QCOMPARE(amount->text(), QString("99999999999999999999999"));
        s.set("DBEdit3", "120.005");
        s.click("btn1_add");
        QCOMPARE(f.store->scalar("select a1 from sp3 where a1>100 and a1<200").toDouble(), 120.01);
    }

    // The customer name stops at its column's 30 GBK bytes although the field is bound before the
    // contracts are opened.
    void customerNameStopsAtItsCapacity()
    {
        Fixture f;
        fill(f);
        Open<Tsp2> s(f);
        s.click("btn1_add");
        QLineEdit *name = s.field("DBEdit1");
        name->setFocus();
        typeText(name, QString(20, QChar(0x7532)));
        QCOMPARE(name->text(), QString(15, QChar(0x7532)));
    }

    void searchFindingNothingShowsAll()
    {
        Fixture f;
        fill(f);
        Open<Tsp4> s(f);
        QCOMPARE(s.screen.windowTitle(), QString("租金数据输入系统"));
        s.field("Edit1")->setText("没有这个客户");
        QCOMPARE(s.screen.contracts().rowCount(), 3);
        s.field("Edit1")->setText("H2");
        QCOMPARE(s.screen.contracts().rowCount(), 1);
        QCOMPARE(s.screen.payments().rowCount(), 1);
        QVERIFY(s.button("btn1_edit")->isEnabled());
        s.field("Edit1")->setText("A12");
        QVERIFY(s.screen.payments().isEmpty());
        QVERIFY(!s.button("btn1_edit")->isEnabled());
    }

    void paymentPrintTotalsTheListedPayments()
    {
        Fixture f;
        fill(f);
        f.store->exec("insert into sp3(khm,numa,datea,lx,a1) values('甲公司','H1','2004-03-09','现金',-20.5),"
                      "('甲公司','H1','2004-03-10','银行',120.25)");
        Open<Tsp3> s(f);
        f.ui.windows["PrintDialog"] = [](QDialog *) { return 0; };
        s.click("btn1_print");
        const QStringList texts = previewWindow(*f.context).preparedReport().pages.first().strings();
        QVERIFY(texts.contains("599.75"));
        QVERIFY(texts.contains("2004年03月09日"));
        QVERIFY(texts.contains("客户名称:甲公司 合同号:H1"));
        QVERIFY(texts.contains(f.store->scalar("select sp3 from dwm").toString()));

        Open<Tsp4> rent(f);
        rent.field("Edit1")->setText("H2");
        rent.click("btn1_print");
        const QStringList rentTexts = previewWindow(*f.context).preparedReport().pages.first().strings();
        QVERIFY(rentTexts.contains(f.store->scalar("select sp4 from dwm").toString()));
        QVERIFY(rentTexts.contains("80.00"));
    }
};

QTEST_MAIN(TestContracts)
#include "tst_contracts.moc"
