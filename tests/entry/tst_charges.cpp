#include "screens.h"
#include "entry/chargerules.h"
#include "entry/charges.h"
#include "printing/preview.h"
#include "printing/printaction.h"
#include "widgets/datagrid.h"

#include <QComboBox>
#include <QtTest>

using namespace tolva;

namespace {

void fill(Fixture &f)
{
    f.store->exec("insert into sp1(namea,dj,numsb) values('钢管',0.01,2),('扣件',0.02,0)");
    f.store->exec("insert into sp2(khm,numa,jz,begina,enda) values('甲公司','H1','否','2004-01-01','2004-03-31')");
    f.logIn("录入员");
}

Contract h1()
{
    return {"甲公司", "H1", QDate(2004, 1, 1), QDate(2004, 3, 31)};
}

// A statement screen of H1, shown and active, driven by its controls' names.
template <class Screen> struct Statement {
    Fixture &f;
    Screen screen;
    explicit Statement(Fixture &fixture) : f(fixture), screen(*fixture.context, h1())
    {
        screen.show();
        screen.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&screen));
    }
    QPushButton *button(const char *name) { return screen.template findChild<QPushButton *>(name); }
    QLineEdit *field(const char *name) { return screen.template findChild<QLineEdit *>(name); }
    void click(const char *name) { button(name)->click(); }
    void type(const char *name, const QString &text)
    {
        QLineEdit *e = field(name);
        e->setFocus(Qt::TabFocusReason);
        e->selectAll();
        e->del();
        typeText(e, text);
        field("DBEdit1") == e ? field("DBEdit2")->setFocus() : field("DBEdit1")->setFocus();
    }
    QStringList stored(const QString &table)
    {
        return joinedRows(*f.store, "select khm,numa,namea,a1,a2,a3,a4 from " + table +
                                    " order by rowid");
    }
};

} // namespace

class TestCharges : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void repairLineComputesItsAmount()
    {
        Fixture f;
        fill(f);
        Statement<Tczb1lr> s(f);
        QCOMPARE(s.screen.windowTitle(), QString("租赁材料维修费结算单"));
        QVERIFY(!s.button("btn1_edit")->isEnabled());
        QVERIFY(!s.screen.template findChild<QComboBox *>("com1")->isEnabled());
        s.click("btn1_add");
        QVERIFY(s.field("DBEdit1")->hasFocus());
        QCOMPARE(s.field("DBEdit1")->text(), QString()); // no reason proposed for repairs
        for (const char *off : {"DBGrid1", "btn1_edit", "btn1_exit", "btn1_print"})
            QVERIFY2(!s.screen.template findChild<QWidget *>(off)->isEnabled(), off);

        // Refused in order, the line kept with what was typed.
        const QList<QPair<const char *, QString>> steps = {{"DBEdit1", "没有输入维修原因，无法保存！"},
                                                           {"DBEdit2", "没有输入数量数据，无法保存！"},
                                                           {"DBEdit3", "没有输入单价数据，无法保存！"}};
        const QStringList typed = {"更换扣件", "3", "12.5"};
        for (int i = 0; i < steps.size(); ++i) {
            s.click("btn1_add");
            QCOMPARE(f.ui.texts("message").last(), steps[i].second);
            QVERIFY(s.field(steps[i].first)->hasFocus());
            QCOMPARE(s.button("btn1_add")->text(), QString("保存(&S)"));
            s.type(steps[i].first, typed[i]);
        }
        // Computed on leaving the price, typed nowhere.
        QCOMPARE(s.field("DBEdit4")->text(), QString("37.50"));
        QVERIFY(s.field("DBEdit4")->isReadOnly());
        s.click("btn1_add");
        QCOMPARE(f.ui.texts("message").size(), 3);
        QCOMPARE(s.stored("czb1"), QStringList{"甲公司 H1 钢管 更换扣件 3.0 12.5 37.5"});

        // An edit recomputes the amount on saving, also without leaving the field.
        s.click("btn1_edit");
        auto *materials = s.screen.template findChild<QComboBox *>("com1");
        materials->setFocus();
        QTest::keyClick(materials, Qt::Key_Down);
        s.field("DBEdit2")->setFocus(Qt::TabFocusReason);
        QTest::keyClicks(s.field("DBEdit2"), "4");
        s.click("btn1_edit");
        QCOMPARE(s.stored("czb1"), QStringList{"甲公司 H1 扣件 更换扣件 4.0 12.5 50.0"});
        QCOMPARE(s.stored("czb2"), QStringList());

        f.ui.answers << true;
        s.click("btn1_del");
        QCOMPARE(f.ui.texts("confirm"), QStringList{"的要删除[甲公司]这个数据吗？"});
        QCOMPARE(s.stored("czb1"), QStringList());
        QVERIFY(!s.button("btn1_edit")->isEnabled());
    }

    void compensationProposesItsReason()
    {
        Fixture f;
        fill(f);
        Statement<Tczb2lr> s(f);
        QCOMPARE(s.screen.windowTitle(), QString("租赁材料报废赔偿结算单"));
        s.click("btn1_add");
        QCOMPARE(s.field("DBEdit1")->text(), QString("赔偿费"));
        s.type("DBEdit2", "2");
        s.type("DBEdit3", "0.5");
        s.click("btn1_add");
        QCOMPARE(f.ui.texts(), QStringList());
        QCOMPARE(s.stored("czb2"), QStringList{"甲公司 H1 钢管 赔偿费 2.0 0.5 1.0"});
    }

    void amountsAreKeptToTheCent_data()
    {
        QTest::addColumn<double>("quantity");
        QTest::addColumn<double>("price");
        QTest::addColumn<QString>("result");
        QTest::newRow("exact") << 3.0 << 12.5 << "12.5 37.5";
        QTest::newRow("amount rounded") << 0.333 << 3.0 << "3.0 1.0";
        QTest::newRow("price to the cent") << 3.0 << 0.125 << "0.13 0.39";
        QTest::newRow("negative price") << 2.0 << -1.005 << "-1.01 -2.02";
        QTest::newRow("price rounds to nothing") << 3.0 << 0.004 << "没有输入单价数据，无法保存！";
        QTest::newRow("amount too large") << 1e9 << 1e4 << "输入的数值太大，无法保存！";
    }
    void amountsAreKeptToTheCent()
    {
        QFETCH(double, quantity);
        QFETCH(double, price);
        QFETCH(QString, result);
        Fixture f;
        Dataset lines(*f.store);
        lines.open("select * from czb1 where numa='H1'");
        charges::append(lines, h1(), "钢管", "修理");
        lines.setValue("a2", quantity);
        lines.setValue("a3", price);
        const Outcome outcome = charges::save(*f.store, lines);
        if (!outcome) {
            QCOMPARE(outcome.message(), result);
            QVERIFY(lines.isEditing());
            QCOMPARE(f.store->scalar("select count(*) from czb1").toInt(), 0);
            return;
        }
        QCOMPARE(joinedRows(*f.store, "select a3,a4 from czb1"), QStringList{result});
    }

    void printedStatementListsAndSumsTheLines()
    {
        Fixture f;
        fill(f);
        f.store->exec("insert into czb2(khm,numa,namea,a1,a2,a3,a4) values('甲公司','H1','钢管','丢失',3,12.5,37.5),"
                      "('甲公司','H1','扣件','损坏',10,1.2,12),('乙公司','H9','扣件','损坏',1,1,1)");
        f.logIn("管理员"); // reading only: printing stays
        Statement<Tczb2lr> s(f);
        for (const char *hidden : {"btn1_edit", "btn1_add", "btn1_del"})
            QVERIFY2(s.button(hidden)->isHidden(), hidden);
        f.ui.windows["PrintDialog"] = [](QDialog *) { return 0; };
        s.click("btn1_print");
        const report::PreparedReport &r = previewWindow(*f.context).preparedReport();
        QCOMPARE(r.pageCount(), 1);
        QHash<QString, QStringList> memos;
        for (const report::PlacedText &t : r.pages.first().texts)
            memos[t.memo] << t.lines.join("");
        QCOMPARE(memos["Memo1"], QStringList{"赔偿结算单"});
        QCOMPARE(memos["Memo2"], QStringList{"客户名称:甲公司 合同号:H1"});
        QCOMPARE(memos["Memo5"], QStringList{"赔偿原因"});
        QCOMPARE(memos["Memo9"], (QStringList{"钢管", "扣件"}));
        QCOMPARE(memos["Memo10"], (QStringList{"丢失", "损坏"}));
        QCOMPARE(memos["Memo11"], (QStringList{"3.00", "10.00"}));
        QCOMPARE(memos["Memo12"], (QStringList{"12.50", "1.20"}));
        QCOMPARE(memos["Memo13"], (QStringList{"37.50", "12.00"}));
        // The total adds quantities and amounts; unit prices have no sum.
        QCOMPARE(memos["Memo16"] + memos["Memo17"] + memos["Memo18"], (QStringList{"13.00", "", "49.50"}));
        QCOMPARE(memos["Memo19"] + memos["Memo20"], (QStringList{"经办人：", "客户签字：", }));
        QCOMPARE(memos["Memo21"], QStringList{" 第1页 共1页"});
        // The grid is attached again.
        QCOMPARE(s.screen.template findChild<DataGrid *>("DBGrid1")->gridModel()->rowCount(), 2);
    }
};

QTEST_MAIN(TestCharges)
#include "tst_charges.moc"
