#include "screens.h"
#include "entry/chooser.h"
#include "entry/movementrules.h"
#include "entry/movements.h"
#include "widgets/datagrid.h"

#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QtTest>

using namespace tolva;

namespace {

// Materials 钢管 (two specifications) and 扣件 (one), 模板 without any; contracts H1 and H3 open,
// H2 settled. Today is 2004-02-01.
void fill(Fixture &f)
{
    f.store->exec("insert into sp1(namea,dj,numsb) values('钢管',0.01,2),('扣件',0.02,0),('模板',0.03,0)");
    f.store->exec("insert into sp5(namea,gg,dw,dw1,bl) values('钢管','6米','根','米',6),('钢管','1.5米','根','米',1.5),"
                  "('扣件','直角','个','个',1)");
    f.store->exec("insert into sp2(khm,numa,jz,begina,enda) values('甲公司','H1','否','2004-01-01','2004-03-31'),"
                  "('乙公司','H2','是','2004-01-01','2004-12-31'),('丙_公司','H3','否','2004-05-01','2004-06-30')");
    f.logIn("录入员");
}

Contract h1()
{
    return {"甲公司", "H1", QDate(2004, 1, 1), QDate(2004, 3, 31)};
}

// The entry screen of a contract, shown and active, driven by its controls' names.
struct Entry {
    Fixture &f;
    Tczblrnow screen;
    explicit Entry(Fixture &fixture, const Contract &contract = h1()) : f(fixture), screen(*fixture.context, contract)
    {
        screen.show();
        screen.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&screen));
    }
    template <class T = QWidget> T *get(const char *name) { return screen.findChild<T *>(name); }
    QPushButton *button(const char *name) { return get<QPushButton>(name); }
    QLineEdit *field(const char *name) { return get<QLineEdit>(name); }
    void click(const char *name) { button(name)->click(); }
    // Types into a field as a person would and leaves it for the next one.
    void type(const char *name, const QString &text, const char *next = "d1")
    {
        QLineEdit *e = field(name);
        e->setFocus();
        e->selectAll();
        e->del();
        QTest::keyClicks(e, text);
        get(next)->setFocus();
    }
    void setDate(const QDate &date) { get<QDateEdit>("d1")->setDate(date); }
    // Picks an entry of a drop-down list with the keyboard.
    void pick(const char *name, int index)
    {
        auto *box = get<QComboBox>(name);
        box->setFocus();
        if (box->currentIndex() < 0)
            QTest::keyClick(box, Qt::Key_Down);
        while (box->currentIndex() < index)
            QTest::keyClick(box, Qt::Key_Down);
        while (box->currentIndex() > index)
            QTest::keyClick(box, Qt::Key_Up);
    }
    QStringList stored(const QString &columns = "datea,gg,a1,b1,a2,a8")
    {
        return joinedRows(*f.store, "select " + columns + " from czbnow order by rowid");
    }
};

} // namespace

class TestEntry : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void choosersListUnsettledContractsAndOpenTheirScreen_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("banner");
        QTest::addColumn<QString>("opens");
        QTest::newRow("movements") << 0 << "请选择需要录入数据的客户名称" << "请选择需要录入数据的客户名称" << "czblrnow";
        QTest::newRow("repairs") << 1 << "请选择需要录入维修费数据的客户名称" << "请选择需要录入维修费数据的客户名称"
                                 << "czb1lr";
        QTest::newRow("scrap") << 2 << "请选择需要录入维修费数据的客户" << "请选择需要录入报废赔偿费数据的客户" << "czb2lr";
    }
    void choosersListUnsettledContractsAndOpenTheirScreen()
    {
        QFETCH(int, kind);
        QFETCH(QString, caption);
        QFETCH(QString, banner);
        QFETCH(QString, opens);
        Fixture f;
        fill(f);
        std::unique_ptr<TczbChooser> chooser;
        if (kind == 0)
            chooser = std::make_unique<Tczblr1>(*f.context);
        else if (kind == 1)
            chooser = std::make_unique<Tczb1lr1>(*f.context);
        else
            chooser = std::make_unique<Tczb2lr1>(*f.context);
        chooser->show();
        QCOMPARE(chooser->windowTitle(), caption);
        QCOMPARE(chooser->findChild<QLabel *>("Panel1")->text(), banner);
        Dataset &list = chooser->contracts();
        QCOMPARE(list.rowCount(), 2); // the settled H2 is never listed
        QCOMPARE(list.text("numa"), QString("H3"));

        auto *search = chooser->findChild<QLineEdit *>("Edit1");
        auto *ok = chooser->findChild<QPushButton *>("btn1_add");
        search->setText("_"); // a literal underscore, not a wildcard
        QCOMPARE(list.rowCount(), 1);
        QCOMPARE(list.text("khm"), QString("丙_公司"));
        search->setText("x%");
        QVERIFY(list.isEmpty());
        ok->click();
        QCOMPARE(f.ui.texts("message"), QStringList{"没有数据,请重新选择！"});
        QCOMPARE(search->text(), QString());
        QCOMPARE(list.rowCount(), 2);

        search->setText("H1");
        QString shown;
        f.ui.windows[opens] = [&shown, kind](QDialog *d) {
            shown = d->windowTitle();
            if (kind == 0) {
                shown += "|" + d->findChild<QLabel *>("Panel1")->text();
                shown += "|" + d->findChild<QDateEdit *>("d2")->date().toString(Qt::ISODate);
                shown += "|" + d->findChild<QDateEdit *>("d3")->date().toString(Qt::ISODate);
            }
            return 0;
        };
        ok->click();
        const QStringList expected = {"租赁材料数据录入系统_按材料规格|现在录入的是\"甲公司\"合同号是\"H1\"的数据|2004-01-01|2004-03-31",
                                      "租赁材料维修费结算单", "租赁材料报废赔偿结算单"};
        QCOMPARE(shown, expected[kind]);
    }

    void addEditCancelDeleteAMovement()
    {
        Fixture f;
        fill(f);
        Entry s(f);
        QCOMPARE(s.screen.windowTitle(), QString("租赁材料数据录入系统_按材料规格"));
        QCOMPARE(s.get<QComboBox>("com1")->currentIndex(), -1); // none picked yet: the first material
        QVERIFY(!s.button("btn1_edit")->isEnabled());
        QVERIFY(!s.get("d1")->isEnabled());

        s.click("btn1_add");
        QCOMPARE(s.button("btn1_add")->text(), QString("保存(&S)"));
        QCOMPARE(s.button("btn1_del")->text(), QString("取消(&C)"));
        for (const char *off : {"DBGrid1", "btn1_edit", "btn1_exit", "RadioGroup1", "com1"})
            QVERIFY2(!s.get(off)->isEnabled(), off);
        QVERIFY(s.get("d1")->hasFocus());
        QCOMPARE(s.get<QDateEdit>("d1")->date(), QDate(2004, 2, 1)); // no rows yet: today
        s.type("DBEdit1", "10");
        s.click("btn1_add");
        QCOMPARE(f.ui.texts(), QStringList());
        const Rows row = f.store->select("select khm,numa,datea,namea,gg,dw,dw1,bl,a1,b1,a2,a8 from czbnow");
        QCOMPARE(row.rows.size(), 1);
        const QVariantList expected = {"甲公司", "H1", "2004-02-01", "钢管", "1.5米", "根", "米", 1.5, 10.0, 0.0, 15.0, 0.0};
        for (int c = 0; c < expected.size(); ++c)
            QVERIFY2(row.rows[0][c] == expected[c], qPrintable(row.columns[c] + ": " + row.rows[0][c].toString()));
        QVERIFY(s.button("btn1_edit")->isEnabled());

        // Edited into a return: the returned quantity clears the sent one.
        s.click("btn1_edit");
        QCOMPARE(s.button("btn1_edit")->text(), QString("保存(&S)"));
        s.setDate(QDate(2004, 2, 3));
        s.type("DBEdit2", "4");
        QCOMPARE(s.field("DBEdit1")->text(), QString());
        s.click("btn1_edit");
        QCOMPARE(s.stored(), QStringList{"2004-02-03 1.5米 0.0 4.0 -6.0 0.0"});

        // Cancel discards the changes.
        s.click("btn1_edit");
        s.type("DBEdit2", "7");
        s.setDate(QDate(2004, 2, 9));
        s.click("btn1_del");
        QCOMPARE(s.button("btn1_edit")->text(), QString("编辑(&E)"));
        QCOMPARE(s.get<QDateEdit>("d1")->date(), QDate(2004, 2, 3));
        QCOMPARE(s.field("DBEdit2")->text(), QString("4.00000"));
        QCOMPARE(s.stored(), QStringList{"2004-02-03 1.5米 0.0 4.0 -6.0 0.0"});

        // Deleting asks first; Cancel keeps the row.
        f.ui.answers << false << true;
        s.click("btn1_del");
        QCOMPARE(f.store->scalar("select count(*) from czbnow").toInt(), 1);
        s.click("btn1_del");
        QCOMPARE(f.ui.texts("confirm"), QStringList(2, "的要删除[甲公司]这个数据吗？"));
        QCOMPARE(f.store->scalar("select count(*) from czbnow").toInt(), 0);
        QVERIFY(!s.button("btn1_edit")->isEnabled());
        s.click("btn1_del");
        QCOMPARE(f.ui.texts("message"), QStringList{"无记录可删除！"});
    }

    void dateOutsideTheContractIsRefused_data()
    {
        QTest::addColumn<QDate>("date");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("first day") << QDate(2004, 1, 1) << true;
        QTest::newRow("last day") << QDate(2004, 3, 31) << true;
        QTest::newRow("day before") << QDate(2003, 12, 31) << false;
        QTest::newRow("day after") << QDate(2004, 4, 1) << false;
    }
    void dateOutsideTheContractIsRefused()
    {
        QFETCH(QDate, date);
        QFETCH(bool, accepted);
        Fixture f;
        fill(f);
        Entry s(f);
        s.click("btn1_add");
        s.type("DBEdit1", "5");
        s.setDate(date);
        s.click("btn1_add");
        if (accepted) {
            QCOMPARE(f.ui.texts(), QStringList());
            QCOMPARE(s.stored("datea"), QStringList{date.toString(Qt::ISODate)});
            return;
        }
        QCOMPARE(f.ui.texts("message"), QStringList{"您输入的日期不在该客户租赁日期的范围内！"});
        // The remembered date is back, the row and what was typed are kept.
        QCOMPARE(s.get<QDateEdit>("d1")->date(), QDate(2004, 2, 1));
        QVERIFY(s.get("d1")->hasFocus());
        QCOMPARE(s.button("btn1_add")->text(), QString("保存(&S)"));
        QCOMPARE(s.field("DBEdit1")->text(), QString("5.00000"));
        QCOMPARE(f.store->scalar("select count(*) from czbnow").toInt(), 0);
        s.click("btn1_add");
        QCOMPARE(s.stored("datea"), QStringList{"2004-02-01"});
    }

    void dateProposalFollowsTheSetting()
    {
        Fixture f;
        fill(f);
        f.store->exec("insert into czbnow(khm,numa,datea,namea,gg,dw,dw1,bl,a1,b1,a2,a8) values"
                      "('甲公司','H1','2004-01-20','钢管','6米','根','米',6,1,0,6,0),"
                      "('甲公司','H1','2004-01-10','钢管','6米','根','米',6,2,0,12,0)");
        f.now = QDateTime(QDate(2004, 5, 1), QTime(9, 0));
        Entry s(f);
        s.screen.movements().first();
        s.click("btn1_add"); // the last row's date, not the current one's
        QCOMPARE(s.get<QDateEdit>("d1")->date(), QDate(2004, 1, 10));
        s.click("btn1_del");

        // A setting of the yard in its file, of the desk on a server.
        const auto kept = [&] {
            return f.store->isServer() ? movements::dateProposal(f.context->settings())
                                       : f.store->scalar("select b7 from srf").toInt();
        };
        s.get<QRadioButton>("check2_1")->click();
        QCOMPARE(kept(), 1);
        if (f.store->isServer())
            QCOMPARE(f.store->scalar("select b7 from srf").toInt(), 0);
        s.click("btn1_add"); // today, though outside the contract: the save is refused
        QCOMPARE(s.get<QDateEdit>("d1")->date(), QDate(2004, 5, 1));
        s.type("DBEdit1", "3");
        s.click("btn1_add");
        QCOMPARE(f.ui.texts("message"), QStringList{"您输入的日期不在该客户租赁日期的范围内！"});
        s.click("btn1_del");
        s.get<QRadioButton>("check2_0")->click();
        QCOMPARE(kept(), 0);
    }

    void sentAndReturnedExcludeEachOther()
    {
        Fixture f;
        fill(f);
        Entry s(f);
        s.click("btn1_add");
        s.click("btn1_add");
        QCOMPARE(f.ui.texts("message"), QStringList{"没有输入日发生量数据，无法保存！"});
        QVERIFY(s.field("DBEdit1")->hasFocus());
        s.type("DBEdit1", "5");
        s.type("DBEdit2", "3");
        QCOMPARE(s.screen.movements().number("a1"), 0.0);
        QCOMPARE(s.screen.movements().number("b1"), 3.0);
        s.type("DBEdit1", "8");
        QCOMPARE(s.screen.movements().number("b1"), 0.0);
        // Saved without leaving the returned quantity (by the button's shortcut): the field is left first.
        s.field("DBEdit2")->setFocus(Qt::TabFocusReason);
        QTest::keyClicks(s.field("DBEdit2"), "2");
        s.click("btn1_add");
        QCOMPARE(s.stored(), QStringList{"2004-02-01 1.5米 0.0 2.0 -3.0 0.0"});
    }

    void quantitiesTakeNumbersOnly()
    {
        Fixture f;
        fill(f);
        Entry s(f);
        s.click("btn1_add");
        QLineEdit *sent = s.field("DBEdit1");
        sent->setFocus(Qt::TabFocusReason); // reached by Tab or Enter: the 0 is selected
        QTest::keyClicks(sent, "1a2b");
        QCOMPARE(sent->text(), QString("12"));
        sent->insert("x5"); // a paste that is not a number goes nowhere
        QCOMPARE(sent->text(), QString("12"));
        sent->home(false);
        QTest::keyClicks(sent, "-");
        QCOMPARE(sent->text(), QString("-12"));
        QTest::keyClicks(sent, "-"); // one minus, at the start only
        QCOMPARE(sent->text(), QString("-12"));
        s.get("d1")->setFocus();
        s.click("btn1_add");
        QCOMPARE(s.stored("a1,a2"), QStringList{"-12.0 -18.0"});
        // A correction (negative sent quantity) shows pale green, other rows aqua.
        auto *grid = s.get<DataGrid>("DBGrid1");
        QCOMPARE(grid->gridModel()->data(grid->gridModel()->index(0, 0), Qt::BackgroundRole).value<QColor>(),
                 QColor(192, 220, 192));

        // Beyond 1e12 is refused.
        s.click("btn1_add");
        s.type("DBEdit1", "2000000000000");
        s.click("btn1_add");
        QCOMPARE(f.ui.texts("message").size(), 1);
        QVERIFY(f.ui.texts("message").first().contains("超出了数值的范围"));
        QCOMPARE(f.store->scalar("select count(*) from czbnow").toInt(), 1);
    }

    void secondSuspensionOfADayIsRefused()
    {
        Fixture f;
        fill(f);
        f.store->exec("insert into czbnow(khm,numa,datea,namea,gg,dw,dw1,bl,a1,b1,a2,a8) values"
                      "('甲公司','H1','2004-01-10','钢管','6米','根','米',6,5,0,30,2),"
                      "('甲公司','H1','2004-01-10','钢管','1.5米','根','米',1.5,4,0,6,0),"
                      "('甲公司','H1','2004-01-11','钢管','1.5米','根','米',1.5,4,0,6,0)");
        Entry s(f);
        s.screen.movements().moveTo(1);
        s.click("btn1_edit");
        s.type("DBEdit3", "1");
        s.click("btn1_edit");
        QCOMPARE(f.ui.texts("message"), QStringList{"同一天内不应该有2笔以上的报停数据存在！"});
        QVERIFY(s.field("DBEdit3")->hasFocus());
        QCOMPARE(s.screen.movements().number("a8"), 0.0);
        QCOMPARE(s.button("btn1_edit")->text(), QString("保存(&S)"));
        s.click("btn1_del");

        // The day's own suspension row may change its days; another day is free.
        s.screen.movements().moveTo(0);
        s.click("btn1_edit");
        s.type("DBEdit3", "3");
        s.click("btn1_edit");
        s.screen.movements().moveTo(2);
        s.click("btn1_edit");
        s.type("DBEdit3", "1");
        s.click("btn1_edit");
        QCOMPARE(s.stored("a8"), (QStringList{"3.0", "0.0", "1.0"}));
        // Nor can a new row bring a second suspension to the day.
        s.click("btn1_add");
        s.setDate(QDate(2004, 1, 10));
        s.type("DBEdit1", "1");
        s.type("DBEdit3", "1");
        s.click("btn1_add");
        QCOMPARE(f.ui.texts("message").size(), 2);
        QCOMPARE(f.store->scalar("select count(*) from czbnow").toInt(), 3);
    }

    void specificationChangeRecomputesTheConvertedQuantity()
    {
        Fixture f;
        fill(f);
        Entry s(f);
        s.click("btn1_add");
        s.type("DBEdit1", "10");
        s.click("btn1_add");
        QCOMPARE(s.stored("gg,bl,a2"), QStringList{"1.5米 1.5 15.0"});
        s.click("btn1_edit");
        s.pick("box1", 1);
        QCOMPARE(s.screen.movements().text("gg"), QString("6米"));
        s.click("btn1_edit");
        QCOMPARE(s.stored("gg,dw,dw1,bl,a2"), QStringList{"6米 根 米 6.0 60.0"});
        // The specification chosen last is what the next row starts with.
        s.click("btn1_add");
        QCOMPARE(s.screen.movements().text("gg"), QString("6米"));
    }

    void materialsAndTheFullView()
    {
        Fixture f;
        fill(f);
        f.store->exec("insert into czbnow(khm,numa,datea,namea,gg,dw,dw1,bl,a1,b1,a2,a8) values"
                      "('甲公司','H1','2004-01-20','钢管','6米','根','米',6,1,0,6,0),"
                      "('甲公司','H1','2004-01-05','扣件','直角','个','个',1,9,0,9,0),"
                      "('丙_公司','H3','2004-05-05','扣件','直角','个','个',1,9,0,9,0)");
        Entry s(f);
        QCOMPARE(s.screen.movements().rowCount(), 1);
        s.pick("com1", 1);
        QCOMPARE(s.screen.movements().rowCount(), 1);
        QCOMPARE(s.screen.movements().text("namea"), QString("扣件"));
        QCOMPARE(s.get<QDateEdit>("d1")->date(), QDate(2004, 1, 5));

        s.get<QRadioButton>("RadioGroup1_1")->click();
        QStringList names;
        for (int r = 0; r < s.screen.movements().rowCount(); ++r)
            names << s.screen.movements().valueAt(r, s.screen.movements().fieldIndex("namea")).toString();
        QCOMPARE(names, (QStringList{"扣件", "钢管"}));
        for (const char *off : {"btn1_edit", "btn1_add", "btn1_del", "com1"})
            QVERIFY2(!s.get(off)->isEnabled(), off);
        s.get<QRadioButton>("RadioGroup1_0")->click();
        for (const char *on : {"btn1_edit", "btn1_add", "btn1_del", "com1"})
            QVERIFY2(s.get(on)->isEnabled(), on);

        // A material without any specification takes no movements.
        s.pick("com1", 2);
        s.click("btn1_add");
        QCOMPARE(f.ui.texts("message"), QStringList{"该材料没有规格数据，请先输入材料规格！"});
        QCOMPARE(s.button("btn1_add")->text(), QString("添加(&A)"));
    }

    void enterRunsAlongTheRowToSave()
    {
        Fixture f;
        fill(f);
        Entry s(f);
        for (int day = 0; day < 2; ++day) {
            s.click("btn1_add");
            QVERIFY(s.get("d1")->hasFocus());
            QTest::keyClick(s.get("d1"), Qt::Key_Return);
            QVERIFY(s.get("box1")->hasFocus());
            QTest::keyClick(s.get("box1"), Qt::Key_Return);
            QVERIFY(s.field("DBEdit1")->hasFocus());
            QTest::keyClicks(s.field("DBEdit1"), day == 0 ? "20" : "");
            QTest::keyClick(s.field("DBEdit1"), Qt::Key_Return);
            QTest::keyClicks(s.field("DBEdit2"), day == 0 ? "" : "5");
            QTest::keyClick(s.field("DBEdit2"), Qt::Key_Return);
            QCOMPARE(QApplication::focusWidget(), s.button("btn1_add"));
            QTest::keyClick(s.button("btn1_add"), Qt::Key_Return);
        }
        QCOMPARE(f.ui.texts(), QStringList());
        QCOMPARE(s.stored(), (QStringList{"2004-02-01 1.5米 20.0 0.0 30.0 0.0", "2004-02-01 1.5米 0.0 5.0 -7.5 0.0"}));
    }

    void onlyTheEntryRightChangesData()
    {
        Fixture f;
        fill(f);
        f.logIn("管理员");
        Entry s(f);
        for (const char *hidden : {"btn1_edit", "btn1_add", "btn1_del"})
            QVERIFY2(s.button(hidden)->isHidden(), hidden);
        QVERIFY(!s.button("btn1_exit")->isHidden());
    }
};

QTEST_MAIN(TestEntry)
#include "tst_entry.moc"
