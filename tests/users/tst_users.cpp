#include "app/mainmenu.h"
#include "masterdata/contracts.h"
#include "masterdata/materials.h"
#include "masterdata/payments.h"
#include "masterdata/sizes.h"
#include "app/screens.h"
#include "screens.h"
#include "users/changeuser.h"
#include "users/passcheck.h"
#include "users/passchange.h"
#include "users/useradmin.h"
#include "users/userrules.h"

#include <QComboBox>
#include <QMenu>
#include <QtTest>

using namespace tolva;

namespace {

QStringList usersTable(Store &store)
{
    QStringList out;
    for (const auto &row : store.select("select namea, popedoma, passa from sbpass").rows)
        out << QStringList{row[0].toString(), row[1].toString(), row[2].toString()}.join('|');
    return out;
}

// Whether a data screen shows its changing buttons, for each screen already built.
QStringList editableScreens(Fixture &f)
{
    QStringList out;
    auto probe = [&](auto &s, const QString &name) {
        const bool shown = !s.button("btn1_edit")->isHidden() && !s.button("btn1_add")->isHidden() &&
                           !s.button("btn1_del")->isHidden();
        const bool hidden = s.button("btn1_edit")->isHidden() && s.button("btn1_add")->isHidden() &&
                            s.button("btn1_del")->isHidden();
        if (shown == hidden)
            out << name + "?"; // some shown, some hidden
        else if (shown)
            out << name;
    };
    { Open<Tsp1> s(f); probe(s, "sp1"); }
    { Open<Tsp2> s(f); probe(s, "sp2"); }
    { Open<Tsp3> s(f); probe(s, "sp3"); }
    { Open<Tsp4> s(f); probe(s, "sp4"); }
    { Open<Tsp5> s(f); probe(s, "sp5"); }
    return out;
}

const QStringList AllDataScreens = {"sp1", "sp2", "sp3", "sp4", "sp5"};

} // namespace

class TestUsers : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // In the change of user and the password check, Tab goes from the name list to the password,
    // then to the buttons; a name chosen with the keys leaves the focus on the list, one chosen
    // with the mouse moves it to the password.
    void tabOrderAndTheNameList()
    {
        Fixture f;
        f.logIn("管理员");
        Tsbpassb change(*f.context);
        Tsbpassjc check(*f.context);
        const QList<std::pair<QDialog *, QStringList>> windows = {
            {&change, {"combobox1", "Edit1", "BitBtn1", "BitBtn2", "combobox1"}},
            {&check, {"combobox1", "edit1", "btn_login", "btn_exit", "combobox1"}},
        };
        for (const auto &[window, order] : windows) {
            window->show();
            window->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(window));
            auto *names = window->findChild<QComboBox *>("combobox1");
            names->setFocus();
            QTest::keyClick(names, Qt::Key_Down);
            QCOMPARE(names->currentText(), QString("录入员"));
            QCOMPARE(QApplication::focusWidget(), names);
            QCOMPARE(tabOrder(names, 4), order);
            chooseWithMouse(names, 0);
            QCOMPARE(names->currentText(), QString("管理员"));
            QCOMPARE(QApplication::focusWidget()->objectName(), order[1]);
            window->hide();
        }
    }

    void passwordCheckLeadsByRight_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("window"); // empty: refused
        QTest::newRow("管理 administers") << "管理员" << "1" << "sbpassset";
        QTest::newRow("录入 changes its password") << "录入员" << "1" << "sbpasschange";
        QTest::newRow("查询 changes its password") << "查询员" << "q'\"" << "sbpasschange";
        QTest::newRow("wrong password") << "管理员" << "2" << "";
        QTest::newRow("password of another user") << "查询员" << "1" << "";
    }

    void passwordCheckLeadsByRight()
    {
        QFETCH(QString, name);
        QFETCH(QString, password);
        QFETCH(QString, window);
        Fixture f;
        f.store->exec("insert into sbpass(namea,passa,popedoma) values('查询员',:g1,'查询')", {{"g1", "q'\""}});
        f.ledger.setLogin("查询员", "q'\"", "查询");
        f.logIn("录入员");
        Open<Tsbpassjc> s(f);
        auto *names = s.screen.findChild<QComboBox *>("combobox1");
        QCOMPARE(names->count(), 3);
        QCOMPARE(names->currentText(), QString("管理员"));
        names->setCurrentText(name);
        QString changing;
        for (const char *w : {"sbpassset", "sbpasschange"})
            f.ui.windows[w] = [&](QDialog *) {
                changing = s.screen.passwordChange().user();
                return 0;
            };
        s.set("edit1", password);
        QTest::keyClick(s.field("edit1"), Qt::Key_Return);
        const QStringList shown = f.ui.texts("modal");
        if (window.isEmpty()) {
            QCOMPARE(shown, QStringList());
            QCOMPARE(f.ui.texts("message"), QStringList{"您输入的密码不正确,无权进入！"});
        } else {
            QCOMPARE(shown, QStringList{window});
            QCOMPARE(f.ui.texts("message"), QStringList());
            if (window == "sbpasschange")
                QCOMPARE(changing, name); // the checked user, not the one logged in
        }
        QVERIFY(!s.screen.isVisible());
        QCOMPARE(names->count(), 0);
    }

    void passwordChange_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<QString>("refusal"); // empty: stored as typed
        QTest::newRow("trailing blank kept") << "ab " << "ab " << "";
        QTest::newRow("quotes are characters") << "a'b\"c" << "a'b\"c" << "";
        QTest::newRow("trailing blank in one only") << "ab " << "ab" << "两次输入结果不一致！";
        QTest::newRow("one field blank") << "" << "ab" << "两次输入结果不一致！";
        QTest::newRow("both blank") << "  " << " " << "密码栏不能为空或空格，请重新输入！";
        QTest::newRow("both empty") << "" << "" << "密码栏不能为空或空格，请重新输入！";
    }

    void passwordChange()
    {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(QString, refusal);
        Fixture f;
        // In a file names need not be unique: every row of the name changes. A server keeps one
        // login per name, and its password as the login's own.
        const bool server = f.store->isServer();
        if (!server)
            f.store->exec("insert into sbpass(namea,passa,popedoma) values('录入员','2','查询')");
        Open<Tsbpasschange> s(f);
        s.screen.setUser("录入员");
        s.set("edt_pass", first);
        s.set("edt_pass2", second);
        s.click("btn_ok");
        if (server)
            QVERIFY(f.store->checkLogin("录入员", refusal.isEmpty() ? first : QString("1")));
        if (refusal.isEmpty()) {
            QCOMPARE(f.ui.texts("message"), QStringList{"密码已经成功修改，以后系统将启用新密码！"});
            if (!server)
                QCOMPARE(usersTable(*f.store),
                         (QStringList{"管理员|管理|1", "录入员|录入|" + first, "录入员|查询|" + first}));
            QVERIFY(!s.screen.isVisible());
            QCOMPARE(s.field("edt_pass")->text(), QString()); // closing empties both
        } else {
            QCOMPARE(f.ui.texts("message"), QStringList{refusal});
            QCOMPARE(f.ui.log.first().caption, QString("提醒您!!"));
            if (!server)
                QCOMPARE(usersTable(*f.store), (QStringList{"管理员|管理|1", "录入员|录入|1", "录入员|查询|2"}));
            QVERIFY(s.screen.isVisible());
            QCOMPARE(s.field("edt_pass")->text(), QString());
            QCOMPARE(s.field("edt_pass2")->text(), QString());
        }
    }

    void changedPasswordWorksAtTheNextChangeOfUser()
    {
        Fixture f;
        f.logIn("管理员");
        QVERIFY(users::changePassword(*f.store, "录入员", "x\" or \"\"=\"", "x\" or \"\"=\""));
        QVERIFY(!users::check(*f.store, "录入员", "1"));
        QCOMPARE(users::check(*f.store, "录入员", "x\" or \"\"=\""), std::optional<QString>("录入"));

        Open<Tsbpassb> s(f);
        auto *names = s.screen.findChild<QComboBox *>("combobox1");
        names->setCurrentIndex(1);
        for (const QString wrong : {"x\"", "' or ''='"}) {
            s.set("Edit1", wrong);
            s.click("BitBtn1");
        }
        QCOMPARE(f.ui.texts("error"), QStringList());
        QCOMPARE(s.screen.failures(), 2);
        s.set("Edit1", "x\" or \"\"=\"");
        QTest::keyClick(s.field("Edit1"), Qt::Key_Return);
        QVERIFY(!s.screen.isVisible());
        QCOMPARE(f.context->userName(), QString("录入员"));
        QVERIFY(f.context->mayEdit());
        QCOMPARE(f.store->scalar("select a4 from srf").toString(), QString("1")); // remembered, as at login
    }

    void threeFailedChangesLeaveEveryScreenReadOnly()
    {
        Fixture f;
        f.store->exec("update sbpass set popedoma='录入' where namea='管理员'");
        f.logIn("管理员");
        QCOMPARE(editableScreens(f), AllDataScreens);

        Open<Tsbpassb> s(f);
        for (int i = 0; i < 3; ++i) {
            s.set("Edit1", "wrong");
            s.click("BitBtn1");
        }
        QCOMPARE(f.ui.texts("message"), (QStringList{"密码输入错误！还有2次机会,请重新输入！",
                                                     "密码输入错误！还有1次机会,请重新输入！",
                                                     "您为非法用户，系统一些功能将无法使用！"}));
        QVERIFY(!s.screen.isVisible());
        QCOMPARE(f.context->userName(), QString("管理员"));
        QVERIFY(f.context->currentUser().isEmpty());
        QCOMPARE(editableScreens(f), QStringList());

        // Backup goes by the right, which is gone with the row: the name alone opens nothing.
        Tsbmain menu(*f.context);
        int opened = 0;
        menu.setScreen("N62", [&opened](QWidget *parent) {
            ++opened;
            auto d = std::make_unique<QDialog>(parent);
            d->setObjectName("Tsbrestor");
            return d;
        });
        f.ui.windows["Tsbrestor"] = [](QDialog *) { return 0; };
        menu.item("N62")->trigger();
        QCOMPARE(opened, 0);

        // A later success gives the right back; the count starts again at each opening.
        Open<Tsbpassb> again(f);
        again.screen.findChild<QComboBox *>("combobox1")->setCurrentIndex(0);
        again.set("Edit1", "1");
        again.click("BitBtn1");
        QCOMPARE(again.screen.failures(), 0);
        QCOMPARE(editableScreens(f), AllDataScreens);
    }

    void onlyDataEntryEdits_data()
    {
        QTest::addColumn<QString>("right");
        QTest::addColumn<QStringList>("editable");
        QTest::newRow("录入") << "录入" << AllDataScreens;
        QTest::newRow("管理") << "管理" << QStringList();
        QTest::newRow("查询") << "查询" << QStringList();
        QTest::newRow("录入 with a blank") << "录入 " << QStringList();
    }

    void onlyDataEntryEdits()
    {
        QFETCH(QString, right);
        QFETCH(QStringList, editable);
        Fixture f;
        f.store->exec("update sbpass set popedoma=:g1 where namea='录入员'", {{"g1", right}});
        f.logIn("录入员");
        QCOMPARE(editableScreens(f), editable);
    }

    void administratorRowIsProtected()
    {
        TOLVA_SQLITE_ONLY(); // the passwords as the file keeps them; a server's are its logins'
        Fixture f;
        Open<Tsbpassset> s(f);
        auto *right = s.screen.findChild<QComboBox *>("ComboBox1");
        QCOMPARE(s.field("Edit1")->text(), QString("管理员"));
        QCOMPARE(right->currentText(), QString("管理"));
        QCOMPARE(s.field("Edit2")->text(), QString("1"));
        QCOMPARE(s.field("Edit1")->maxLength(), 8);
        QCOMPARE(s.field("Edit2")->maxLength(), 10);

        // Every keystroke in the name is refused and the name put back.
        s.field("Edit1")->setFocus();
        s.field("Edit1")->end(false);
        QTest::keyClicks(s.field("Edit1"), "ab");
        QCOMPARE(f.ui.texts("message"), QStringList(2, "系统管理员数据不能修改，但您可以修改密码！"));
        QCOMPARE(s.field("Edit1")->text(), QString("管理员"));
        right->setCurrentIndex(1);
        Q_EMIT right->activated(1);
        QCOMPARE(f.ui.texts("message").size(), 3);
        QCOMPARE(right->currentText(), QString("管理"));
        // The password may change.
        s.field("Edit2")->setFocus();
        QTest::keyClicks(s.field("Edit2"), "9'");
        s.field("Edit1")->setFocus();
        QCOMPARE(f.store->scalar("select passa from sbpass where namea='管理员'").toString(), QString("19'"));

        f.ui.clear();
        s.click("btn_del");
        QCOMPARE(f.ui.texts(), QStringList{"这是管理员数据，系统无法删除！"});
        QCOMPARE(usersTable(*f.store).size(), 2);
    }

    void otherRowsEditInPlaceAndDelete()
    {
        TOLVA_SQLITE_ONLY(); // the passwords as the file keeps them; a server's are its logins'
        Fixture f;
        Open<Tsbpassset> s(f);
        s.screen.users().moveTo(1);
        QCOMPARE(s.field("Edit1")->text(), QString("录入员"));
        s.field("Edit1")->setFocus();
        s.field("Edit1")->selectAll();
        typeText(s.field("Edit1"), "张三");
        auto *right = s.screen.findChild<QComboBox *>("ComboBox1");
        right->setCurrentIndex(2);
        Q_EMIT right->activated(2);
        QCOMPARE(usersTable(*f.store), (QStringList{"管理员|管理|1", "张三|查询|1"}));
        QCOMPARE(f.ui.texts(), QStringList());

        f.ui.answers = {false, true};
        s.click("btn_del");
        QCOMPARE(usersTable(*f.store).size(), 2);
        s.click("btn_del");
        QCOMPARE(f.ui.texts("confirm"), QStringList(2, "真的要删除[张三]这位数据吗？"));
        QCOMPARE(usersTable(*f.store), QStringList{"管理员|管理|1"});
        QCOMPARE(s.field("Edit1")->text(), QString("管理员"));
    }

    void addMode()
    {
        TOLVA_SQLITE_ONLY(); // the passwords as the file keeps them; a server's are its logins'
        Fixture f;
        Open<Tsbpassset> s(f);
        auto *right = s.screen.findChild<QComboBox *>("ComboBox1");
        s.screen.users().moveTo(1);
        s.click("btn_add");
        QCOMPARE(s.button("btn_add")->text(), QString("保存(&S)"));
        QCOMPARE(s.button("btn_del")->text(), QString("取消(&C)"));
        QVERIFY(!s.button("btn_exit")->isEnabled());
        QCOMPARE(s.field("Edit1")->text(), QString());
        QCOMPARE(s.field("Edit2")->text(), QString("1"));
        QCOMPARE(right->currentText(), QString("录入")); // the right stays

        // A blank name: refused, back in the normal mode with the texts still there.
        s.set("Edit1", "  ");
        s.set("Edit2", "abc");
        s.click("btn_add");
        QCOMPARE(f.ui.texts("message"), QStringList{"数据输入不完整，无法保存！"});
        QCOMPARE(s.button("btn_add")->text(), QString("添加(&A)"));
        QVERIFY(s.button("btn_exit")->isEnabled());
        QCOMPARE(s.field("Edit1")->text(), QString("  "));
        QCOMPARE(s.field("Edit2")->text(), QString("abc"));
        QCOMPARE(usersTable(*f.store).size(), 2);

        s.click("btn_add");
        s.set("Edit1", "O'Neil");
        right->setCurrentIndex(2);
        s.set("Edit2", "p ");
        s.click("btn_add");
        QCOMPARE(usersTable(*f.store).last(), QString("O'Neil|查询|p "));
        QCOMPARE(s.screen.users().currentRow(), 2);

        // Cancel adds nothing.
        s.click("btn_add");
        s.set("Edit1", "李四");
        s.click("btn_del");
        QCOMPARE(s.button("btn_add")->text(), QString("添加(&A)"));
        QCOMPARE(usersTable(*f.store).size(), 3);
        QCOMPARE(s.field("Edit1")->text(), QString("O'Neil"));
    }

    // Names are unique (compared without the blanks around them), so that a user is found by his
    // name alone: a name another user has is refused, added or typed in place, and what was typed
    // stays to be mended.
    void namesAreUnique_data()
    {
        QTest::addColumn<bool>("adding");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("refusal"); // empty: stored
        const QString taken = "用户名[%1]已经存在，用户名不能重复，请重新输入！";
        QTest::newRow("added: another user's name") << true << "管理员" << taken.arg("管理员");
        QTest::newRow("added: with blanks around") << true << " 录入员 " << taken.arg("录入员");
        QTest::newRow("added: a free name") << true << "张三" << "";
        QTest::newRow("renamed: another user's name") << false << "管理员" << taken.arg("管理员");
        QTest::newRow("renamed: its own name with a blank") << false << "录入员 " << "";
        QTest::newRow("renamed: a free name") << false << "张三" << "";
    }

    void namesAreUnique()
    {
        QFETCH(bool, adding);
        QFETCH(QString, name);
        QFETCH(QString, refusal);
        TOLVA_SQLITE_ONLY(); // the passwords as the file keeps them; a server's are its logins'
        Fixture f;
        Open<Tsbpassset> s(f);
        s.screen.users().moveTo(1);
        if (adding)
            s.click("btn_add");
        s.field("Edit1")->setFocus();
        s.field("Edit1")->selectAll();
        typeText(s.field("Edit1"), name);
        if (adding) {
            s.set("Edit2", "pw");
            s.click("btn_add");
        }
        if (refusal.isEmpty()) {
            QCOMPARE(f.ui.texts(), QStringList());
            QCOMPARE(usersTable(*f.store).at(adding ? 2 : 1), name + (adding ? "|录入|pw" : "|录入|1"));
            return;
        }
        // Refused once, on the keystroke that completed the name: in place, the row keeps what
        // the keystrokes before stored; added, nothing is.
        QCOMPARE(f.ui.texts(), QStringList{refusal});
        QCOMPARE(usersTable(*f.store),
                 (QStringList{"管理员|管理|1", adding ? "录入员|录入|1" : name.chopped(1) + "|录入|1"}));
        QCOMPARE(s.field("Edit1")->text(), name);
        QCOMPARE(s.screen.adding(), adding);
        if (!adding)
            return;
        QCOMPARE(s.field("Edit2")->text(), QString("pw"));
        // Mended, the same row saves.
        s.set("Edit1", "张三");
        s.click("btn_add");
        QVERIFY(!s.screen.adding());
        QCOMPARE(usersTable(*f.store).last(), QString("张三|录入|pw"));
    }

    void leavingRestoresTheAdministratorAndDropsIncompleteRows()
    {
        Fixture f;
        f.store->exec("update sbpass set popedoma='录入' where namea='管理员'");
        f.store->exec("insert into sbpass(namea,passa,popedoma) values('空权限','1',''),(null,'1','查询'),"
                      "('','1','查询'),('无权限','1',null),('王五','1','查询')");
        Open<Tsbpassset> s(f);
        s.click("btn_exit");
        QCOMPARE(f.ui.texts("message"), QStringList{"第一条记录的权限必须是管理人员，系统已自动代入！"});
        QVERIFY(f.ui.log.first().caption != "提醒您!!"); // a plain message
        const QString pw = f.store->isServer() ? "" : "1"; // a server keeps passwords as its logins'
        QCOMPARE(usersTable(*f.store), (QStringList{"管理员|管理|" + pw, "录入员|录入|" + pw, "王五|查询|" + pw}));
        QVERIFY(!s.screen.isVisible());

        // Nothing to mend: no message.
        f.ui.clear();
        QVERIFY(!users::leave(*f.store));
        QCOMPARE(usersTable(*f.store).size(), 3);
    }

    void systemMenuOpensTheWindows()
    {
        Fixture f;
        f.logIn("录入员");
        Tsbmain menu(*f.context);
        addScreens(menu, *f.context);
        const QList<QPair<QString, QString>> items = {{"N01", "sbpassb"}, {"N17", "sbpassjc"}, {"N22", "srf"},
                                                      {"N31", "dwm"}, {"N43", "Tczbp_setup"}};
        for (const auto &[item, window] : items) {
            QVERIFY(menu.item(item)->isEnabled());
            f.ui.windows[window] = [](QDialog *) { return 0; };
            menu.item(item)->trigger();
            QCOMPARE(f.ui.texts("modal").last(), window);
        }
    }

    void administrationWindowCannotBeEscaped()
    {
        Fixture f;
        Open<Tsbpassset> s(f);
        QTest::keyClick(&s.screen, Qt::Key_Escape);
        QVERIFY(s.screen.isVisible());
    }
};

QTEST_MAIN(TestUsers)
#include "tst_users.moc"
