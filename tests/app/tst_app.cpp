#include "app/login.h"
#include "app/mainmenu.h"
#include "app/screens.h"
#include "app/splash.h"
#include "app/startup.h"
#include "files.h"
#include "fixture.h"
#include "store/server.h"
#include "screens.h"

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QStyle>
#include <QUrl>
#include <QTranslator>
#include <QtTest>

using namespace tolva;

namespace {

struct Login {
    Fixture &f;
    Tsbpass window;
    int ended = 0;
    bool in = false;
    explicit Login(Fixture &fixture) : f(fixture), window(*fixture.context)
    {
        window.endProgram = [this] { ++ended; };
        window.programFolder = f.dir.filePath("program");
        QObject::connect(&window, &Tsbpass::loggedIn, [this] { in = true; });
        window.FormActivate();
    }
    QComboBox *names() { return window.findChild<QComboBox *>("combobox1"); }
    void attempt(const QString &password)
    {
        window.findChild<QLineEdit *>("Edit1")->setText(password);
        window.findChild<QPushButton *>("BitBtn1")->click();
    }
};

} // namespace

class TestApp : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The desktop's standard dialogs speak Chinese: Qt's own buttons and file-dialog texts.
    void standardDialogsInChinese()
    {
        const QLocale before;
        QVERIFY(speakChinese(*QCoreApplication::instance()));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "OK"), QString("确定"));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString("取消"));
        QCOMPARE(QCoreApplication::translate("QFileDialog", "Look in:"), QString("查找范围："));
        QCOMPARE(QLocale().language(), QLocale::Chinese);
        for (QTranslator *t : QCoreApplication::instance()->findChildren<QTranslator *>())
            QCoreApplication::removeTranslator(t);
        QLocale::setDefault(before);
    }

    // Tab goes from the name list to the password, then to "确定(&Y)", "退出(&X)" and "服务器(&S)…"; a name chosen
    // with the keys leaves the focus on the list, one chosen with the mouse moves it to the password.
    void tabOrderAndTheNameList()
    {
        Fixture f;
        Login login(f);
        login.window.show();
        login.window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&login.window));
        login.names()->setCurrentIndex(0);
        login.names()->setFocus();
        QTest::keyClick(login.names(), Qt::Key_Down);
        QCOMPARE(login.names()->currentText(), QString("录入员"));
        QCOMPARE(QApplication::focusWidget(), login.names());
        QCOMPARE(tabOrder(login.names(), 5),
                 (QStringList{"combobox1", "Edit1", "BitBtn1", "BitBtn2", "BitBtn3", "combobox1"}));
        chooseWithMouse(login.names(), 0);
        QCOMPARE(login.names()->currentText(), QString("管理员"));
        QCOMPARE(QApplication::focusWidget()->objectName(), QString("Edit1"));
    }

    void severalUsersNeedTheirName()
    {
        Fixture f;
        f.store->exec("insert into sbpass(namea,passa,popedoma) values('查询员','1','查询')");
        f.store->exec("update srf set a4=null");
        Login login(f);
        QCOMPARE(login.names()->count(), 3);
        QVERIFY(login.names()->isEnabled());
        QCOMPARE(login.names()->currentIndex(), -1);
        // Nobody chosen: several users with the same password are not enough.
        login.attempt("1");
        QVERIFY(!login.in);
        QCOMPARE(f.ui.texts("message"), QStringList{"密码输入错误！还有2次机会,请重新输入！"});
        QCOMPARE(login.window.findChild<QLineEdit *>("Edit1")->text(), QString());
        login.names()->setCurrentIndex(1);
        login.attempt("1");
        QVERIFY(login.in);
        QCOMPARE(f.context->userName(), QString("录入员"));
        QVERIFY(f.context->mayEdit());
        QCOMPARE(login.ended, 0);
    }

    void oneUserLogsInByPasswordAlone()
    {
        TOLVA_SQLITE_ONLY(); // the login on the folder's file; a server's is its own test
        Fixture f;
        f.store->exec("delete from sbpass where namea='录入员'");
        Login login(f);
        QVERIFY(!login.names()->isEnabled());
        QCOMPARE(login.names()->count(), 0);
        login.attempt("1");
        QVERIFY(login.in);
        QCOMPARE(f.context->userName(), QString("管理员"));
        QVERIFY(!f.context->mayEdit()); // "管理" sees the data screens read-only
    }

    void threeWrongPasswordsEndTheProgram()
    {
        Fixture f;
        Login login(f);
        login.names()->setCurrentIndex(0);
        login.attempt("x");
        login.attempt("y");
        QCOMPARE(f.ui.texts("message"), (QStringList{"密码输入错误！还有2次机会,请重新输入！",
                                                     "密码输入错误！还有1次机会,请重新输入！"}));
        QCOMPARE(login.ended, 0);
        login.attempt("z");
        QCOMPARE(login.ended, 1);
        QCOMPARE(f.ui.texts("message").size(), 2); // no further message
        QVERIFY(!login.in);
        QVERIFY(f.context->currentUser().isEmpty());
    }

    // The login is left only by "退出(&X)" or a user: Escape and the title bar's close leave it open,
    // and the program does not end.
    void loginStaysOnEscape()
    {
        Fixture f;
        Login login(f);
        login.window.show();
        QTest::keyClick(login.window.findChild<QLineEdit *>("Edit1"), Qt::Key_Escape);
        QVERIFY(login.window.isVisible());
        QVERIFY(!login.window.close());
        QVERIFY(login.window.isVisible());
        QCOMPARE(login.ended, 0);
    }

    void rightPasswordAfterTwoWrongOnes()
    {
        Fixture f;
        Login login(f);
        login.names()->setCurrentIndex(0);
        login.attempt("x");
        login.attempt("y");
        login.attempt("1");
        QVERIFY(login.in);
        QCOMPARE(login.ended, 0);
    }

    void injectionIsJustAWrongPassword_data()
    {
        QTest::addColumn<QString>("password");
        QTest::newRow("double quotes") << "\" or \"\"=\"";
        QTest::newRow("single quotes") << "' or ''='";
        QTest::newRow("open quote") << "\"";
    }

    void injectionIsJustAWrongPassword()
    {
        QFETCH(QString, password);
        Fixture f;
        f.store->exec("delete from sbpass where namea='录入员'"); // the password-only statement
        Login login(f);
        login.attempt(password);
        QVERIFY(!login.in);
        QCOMPARE(f.ui.texts("error"), QStringList());
        QCOMPARE(login.window.failures(), 1);
    }

    void chosenNameIsRememberedAtOnce()
    {
        TOLVA_SQLITE_ONLY(); // the login on the folder's file; a server's is its own test
        Fixture f;
        {
            Login login(f);
            login.names()->setCurrentIndex(1);
            login.attempt("wrong");
        }
        QCOMPARE(f.store->scalar("select a4 from srf").toString(), QString("1"));
        Login again(f);
        QCOMPARE(again.names()->currentIndex(), 1);
        QCOMPARE(again.names()->currentText(), QString("录入员"));
    }

    // On a server the names come from the server and the password is the clerk's own server
    // login: a wrong one counts as a wrong password, and the session then runs as that clerk.
    void serverLoginIsTheClerksOwn()
    {
        if (!TestLedger::onServer())
            QSKIP("needs the test server");
        Fixture f;
        f.store->logIn("管理员", "1"); // the tables as a clerk sees them, then back to the login's role
        Store::Options before = f.store->options();
        before.server = server::loginAddress(QUrl(before.server).adjusted(QUrl::RemoveUserInfo).toString());
        f.store->reconnect(before);
        Login login(f);
        QCOMPARE(login.names()->count(), 2);
        QVERIFY(login.names()->isEnabled());
        login.names()->setCurrentIndex(1);
        login.attempt("错");
        QVERIFY(!login.in);
        QCOMPARE(f.ui.texts("message"), QStringList{"密码输入错误！还有2次机会,请重新输入！"});
        QCOMPARE(f.ui.texts("error"), QStringList());
        login.attempt("1");
        QVERIFY(login.in);
        QCOMPARE(f.context->userName(), QString("录入员"));
        QVERIFY(f.store->location().contains("录入员"));
        QVERIFY(f.context->mayEdit());
        f.store->exec("insert into sp1(namea) values('钢管')");
    }

    // The start's housekeeping runs without a window. On the folder's file it marks the start in
    // srf.a2, adds the column of the program's file name and empties the working tables; on a
    // server the mark is the yard's and the tables wait for a clerk's login (prepareTables).
    void startUpHousekeeping()
    {
        Fixture f;
        const bool onServer = TestLedger::onServer();
        QDir folder(f.dir.path());
        for (const QString name : {"SP1.PX", "czb.fam", "srf.val", "sp2.tv", "revizevar.exe", "QHSETUP.PJT",
                                   "foxuser.dbf", "keep.txt"}) {
            QFile file(folder.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QVERIFY(folder.mkpath("program/qh_setup/sub"));
        for (const QString &table : Store::workingTables())
            f.store->exec(QString("insert into %1(numa) values('x')").arg(table));
        f.store->exec("update srf set a2=null");
        const auto workingRows = [&] {
            int rows = 0;
            for (const QString &table : Store::workingTables())
                rows += f.store->scalar("select count(*) from " + table).toInt();
            return rows;
        };

        tolva::startUpHousekeeping(*f.store, folder.path(), folder.filePath("program"));
        // The installer's files go; the tables' auxiliary files are cleanFolder's, before it.
        QVERIFY(folder.exists("SP1.PX"));
        cleanFolder(folder.path());
        QStringList kept{"keep.txt"};
        if (!onServer)
            kept << "tolva.db" << "tolva.db-shm" << "tolva.db-wal";
        QCOMPARE(folder.entryList(QDir::Files), kept);
        QVERIFY(!folder.exists("program/qh_setup"));
        QCOMPARE(f.store->scalar("select a2 from srf").toString(), onServer ? QString() : QString("delsetupfile"));
        QCOMPARE(workingRows(), onServer ? Store::workingTables().size() : 0);
        if (onServer)
            prepareTables(*f.store); // after the clerk's login
        QCOMPARE(workingRows(), 0);
        QVERIFY(f.store->column("srf", "qhsoftnow"));
        QCOMPARE(f.store->column("srf", "qhsoftnow")->capacity, 100);

        // The next start: the column is there already, a2 goes back to "已经使用".
        const int columns = f.store->columns("srf").size();
        tolva::startUpHousekeeping(*f.store, folder.path(), folder.filePath("program"));
        QCOMPARE(f.store->scalar("select a2 from srf").toString(), onServer ? QString() : QString("已经使用"));
        QCOMPARE(f.store->columns("srf").size(), columns);
    }

    // The login window runs the housekeeping when first shown: the shared settings row then has
    // the column it added.
    void loginRunsTheHousekeeping()
    {
        TOLVA_SQLITE_ONLY(); // on a server the tables wait for the clerk's login
        Fixture f;
        f.store->exec("insert into czbtem(khm) values('x')");
        Login login(f);
        QCOMPARE(f.store->scalar("select count(*) from czbtem").toInt(), 0);
        QVERIFY(f.context->settings().hasField("qhsoftnow"));
    }

    void clockText()
    {
        QCOMPARE(Tsbmain::clockText(QDateTime(QDate(2004, 2, 1), QTime(8, 3, 9))),
                 QString("2004年2月1日  8:3:9 星期日"));
        QCOMPARE(Tsbmain::clockText(QDateTime(QDate(2026, 12, 10), QTime(23, 59, 0))),
                 QString("2026年12月10日  23:59:0 星期四"));
    }

    void statusTextsOnEveryTick()
    {
        Fixture f;
        f.logIn("录入员");
        Tsbmain menu(*f.context);
        QCOMPARE(menu.panel(2)->text(), QString()); // empty until the first tick
        menu.Timer1Timer();
        QCOMPARE(menu.panel(0)->text(), QString("当前用户名:录入员"));
        QVERIFY(menu.panel(1)->text().startsWith("专业从事财务,进销存,报表,仓库,工资,档案等软件开发业务.更新软件请访问:"));
        QCOMPARE(menu.panel(2)->text(), QString("2004年2月1日  8:3:9 星期日"));
        QCOMPARE(f.context->status().clock, menu.panel(2)->text());
    }

    void menuItemsInOrder()
    {
        Fixture f;
        Tsbmain menu(*f.context);
        QStringList heads;
        for (QAction *a : menu.menuBar()->actions())
            heads << a->text();
        QCOMPARE(heads, (QStringList{"数据维护(&W)", "数据统计(&T)", "系统维护(&S)", "帮助(&H)", "退 出(&X)"}));
        auto entries = [&](const char *name) {
            QStringList out;
            for (QAction *a : menu.findChild<QMenu *>(name)->actions())
                out << (a->isSeparator() ? "—" : a->objectName() + " " + a->text());
            return out;
        };
        QCOMPARE(entries("N1"), (QStringList{"N11 (&1)数据录入", "—", "N23 (&2)维修费结算单", "—", "N32 (&3)报废赔偿结算单",
                                             "—", "N21 (&4)合同号管理", "—", "N7 (&5)租赁材料名称管理", "—",
                                             "N61 (&6)押金数据录入", "—", "N71 (&7)租金数据录入", "—", "N81 (&8)材料规格"}));
        QCOMPARE(entries("H1"), (QStringList{"N110 (&1)帮助信息", "—", "N210 (&2)软件操作步骤演示(带语音)", "—",
                                             "A1 (&3)关于...", "—", "N35 (&4)在线升级..."}));
        // Screens not built yet: visible and disabled.
        QVERIFY(menu.item("N21")->isVisible());
        QVERIFY(!menu.item("N21")->isEnabled());
        QVERIFY(!menu.item("N110")->isEnabled());
    }

    void builtScreensOpenFromTheirItems()
    {
        Fixture f;
        f.logIn("录入员");
        f.store->exec("insert into sp2(khm,numa,jz) values('甲','H1','否')");
        Tsbmain menu(*f.context);
        addScreens(menu, *f.context);
        const QList<QPair<QString, QString>> items = {{"N21", "请选择需要录入数据的客户"}, {"N7", "租赁材料名称维护系统"},
                                                      {"N61", "租赁押金数据输入系统"}, {"N71", "租金数据输入系统"},
                                                      {"N81", "租赁材料规格维护系统"}, {"A1", "青禾软件为您服务"},
                                                      {"N35", "青禾软件在线升级(https://www.example.com/)"},
                                                      {"N210", "青禾语音演示软件操作步骤"},
                                                      {"N110", "帮助信息"}, // no help file: the built-in help
                                                      {"N11", "请选择需要录入数据的客户名称"},
                                                      {"N23", "请选择需要录入维修费数据的客户名称"},
                                                      {"N32", "请选择需要录入维修费数据的客户"}};
        for (const auto &[item, caption] : items) {
            QVERIFY(menu.item(item)->isEnabled());
            QString shown;
            f.ui.windows.clear();
            for (const char *name : {"sp1", "sp2", "sp3", "sp4", "sp5", "Tsbabout", "Trevizevar1", "Trevizevar2", "Thelp", "czblr1", "czb1lr1", "czb2lr1"})
                f.ui.windows[name] = [&shown](QDialog *d) {
                    shown = d->windowTitle();
                    return 0;
                };
            menu.item(item)->trigger();
            QCOMPARE(shown, caption);
        }
    }

    void depositAndRentItemsNeedAContract()
    {
        Fixture f;
        f.logIn("录入员");
        Tsbmain menu(*f.context);
        int opened = 0;
        for (const QString item : {"N61", "N71", "N21"})
            menu.setScreen(item, [&opened](QWidget *parent) {
                ++opened;
                auto d = std::make_unique<QDialog>(parent);
                d->setObjectName("screen");
                return d;
            });
        f.ui.windows["screen"] = [](QDialog *) { return 0; };
        menu.item("N61")->trigger();
        menu.item("N71")->trigger();
        QCOMPARE(opened, 0);
        QCOMPARE(f.ui.texts("message"), (QStringList(2, "请进入合同号管理系统，将客户名称和相关资料输入后方可进入！")));
        QCOMPARE(f.ui.log.first().caption, QString("提醒您!!"));
        menu.item("N21")->trigger(); // contracts still open
        QCOMPARE(opened, 1);
        f.store->exec("insert into sp2(khm,numa,jz) values('甲','H1','否')");
        menu.item("N61")->trigger();
        QCOMPARE(opened, 2);
    }

    // The right decides, not the name: a user named "管理员" with the right "查询" is refused.
    void backupOnlyForTheAdministrationRight()
    {
        Fixture f;
        Tsbmain menu(*f.context);
        int opened = 0;
        menu.setScreen("N62", [&opened](QWidget *parent) {
            ++opened;
            auto d = std::make_unique<QDialog>(parent);
            d->setObjectName("Tsbrestor");
            return d;
        });
        f.ui.windows["Tsbrestor"] = [](QDialog *) { return 0; };
        f.store->exec("update sbpass set popedoma='查询' where namea='管理员'");
        f.logIn("管理员");
        menu.item("N62")->trigger();
        QCOMPARE(opened, 0);
        QCOMPARE(f.ui.texts("message"),
                 QStringList{"只有管理员才能进行数据备份与恢复！您不是管理员,无权使用本功能!\n请以管理员的身份登陆方可使用!"});
        f.store->exec("update sbpass set popedoma='管理' where namea='录入员'");
        f.logIn("录入员");
        menu.item("N62")->trigger();
        QCOMPARE(opened, 1);
    }

    void activationResetsAnUnknownMethod_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("after");
        QTest::newRow("3 becomes 0") << 3 << 0;
        QTest::newRow("7 becomes 0") << 7 << 0;
        QTest::newRow("2 stays") << 2 << 2;
        QTest::newRow("1 stays") << 1 << 1;
    }

    void activationResetsAnUnknownMethod()
    {
        QFETCH(int, stored);
        QFETCH(int, after);
        Fixture f;
        Tsbmain menu(*f.context);
        f.store->exec("update srf set b1=:g1", {{"g1", stored}});
        menu.FormActivate();
        QCOMPARE(f.store->scalar("select b1 from srf").toInt(), after);
        QCOMPARE(int(f.context->settings().number("b1")), after);
    }

    void closingWritesTheProgramName()
    {
        Fixture f;
        Login login(f); // adds the column
        Tsbmain menu(*f.context);
        int ended = 0;
        menu.endProgram = [&ended] { ++ended; };
        menu.show();
        menu.close();
        QCOMPARE(ended, 1);
        QCOMPARE(f.store->scalar("select qhsoftnow from srf").toString(), QString("tst_app"));
    }

    // The clerk sees which data he works on.
    void menuTitleNamesTheDataFolder()
    {
        Fixture f;
        Tsbmain menu(*f.context);
        QCOMPARE(menu.windowTitle(), "青禾软件开发中心—主菜单 — " + QDir::toNativeSeparators(f.dir.path()));
    }

    // Started from the menu where no data folder can be made: refused, with the reason.
    void desktopFolderRefusals()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath("文档"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        for (const QString &documents : {QString(), file.fileName()}) {
            QString refusal;
            QCOMPARE(desktopFolder(documents, refusal), QString());
            QVERIFY2(refusal.contains("租赁数据"), qPrintable(refusal));
        }
    }

    void splashIsTheRightSize()
    {
        Tsbstart splash;
        QCOMPARE(splash.size(), QSize(450, 354));
        QCOMPARE(splash.windowTitle(), QString("青禾软件开发中心"));
        const QImage shot = splash.grab().toImage();
        QVERIFY(!shot.isNull());
        QVERIFY(shot.pixelColor(225, 200) != QColor(Qt::black)); // the picture is there
    }

    // The program's own way to end, run in a real event loop: the loop must end, not go on.
    void theProgramEnds_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("退出(&X)") << "exit";
        QTest::newRow("Alt+X in the password") << "alt+x";
        QTest::newRow("third wrong password") << "failures";
        QTest::newRow("closing the main menu") << "menu";
    }

    void theProgramEnds()
    {
        QFETCH(QString, how);
        Fixture f;
        Tsbpass login(*f.context);
        Tsbmain menu(*f.context);
        login.show();
        QVERIFY(QTest::qWaitForWindowActive(&login));
        QTimer::singleShot(0, &login, [&] {
            if (how == "exit") {
                login.findChild<QPushButton *>("BitBtn2")->click();
            } else if (how == "alt+x") {
                QTest::keyClick(login.findChild<QLineEdit *>("Edit1"), Qt::Key_X, Qt::AltModifier);
            } else if (how == "failures") {
                for (int i = 0; i < 3; ++i) {
                    login.findChild<QLineEdit *>("Edit1")->setText("wrong");
                    login.findChild<QPushButton *>("BitBtn1")->click();
                }
            } else {
                login.hide();
                menu.show();
                menu.close();
            }
        });
        QTimer limit; // a program that does not end ends the loop with 1
        limit.setSingleShot(true);
        connect(&limit, &QTimer::timeout, [] { QCoreApplication::exit(1); });
        limit.start(5000);
        QCOMPARE(QCoreApplication::exec(), 0);
        QCOMPARE(f.ui.texts("message").size(), how == "failures" ? 2 : 0);
    }

    void nameListStartsAtTheStoredPosition_data()
    {
        QTest::addColumn<QVariant>("a4");
        QTest::addColumn<int>("index");
        QTest::newRow("starting row") << QVariant() << 0;
        QTest::newRow("second name") << QVariant("1") << 1;
        QTest::newRow("beyond the list") << QVariant("7") << 0;
        QTest::newRow("negative") << QVariant("-1") << 0;
        QTest::newRow("no number") << QVariant("x") << 0;
        QTest::newRow("null: nobody chosen") << QVariant(QMetaType(QMetaType::QString)) << -1;
    }

    void nameListStartsAtTheStoredPosition()
    {
        TOLVA_SQLITE_ONLY(); // on a server the position is this desk's own
        QFETCH(QVariant, a4);
        QFETCH(int, index);
        Fixture f;
        if (a4.isValid())
            f.store->exec("update srf set a4=:g1", {{"g1", a4}});
        Login login(f);
        QCOMPARE(login.names()->currentIndex(), index);
        if (index < 0)
            return;
        login.attempt("1"); // the first start's administrator gets in with the stated password
        QVERIFY(login.in);
    }

    void passwordShowsAsStars()
    {
        Fixture f;
        Tsbpass login(*f.context);
        auto *edit = login.findChild<QLineEdit *>("Edit1");
        QCOMPARE(edit->echoMode(), QLineEdit::Password);
        QCOMPARE(edit->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, edit), int('*'));
    }

    void secondProgramOnAFolderIsRefusedBeforeAnyTable()
    {
        QTemporaryDir dir;
        ScriptedInteraction ui;
        Opened first = openFolder(dir.path(), ui);
        QVERIFY2(first.ok(), qPrintable(first.refusal));
        first.store->exec("insert into czb(khm) values('进行中')");
        const QByteArray before = [&] {
            QFile file(dir.filePath("tolva.db"));
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        }();
        Opened second = openFolder(dir.path(), ui);
        QCOMPARE(second.refusal, QString("该数据文件夹正被另一个程序使用。"));
        QVERIFY(!second.store && !second.context);
        QCOMPARE(first.store->scalar("select count(*) from czb").toInt(), 1);
        QFile file(dir.filePath("tolva.db"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);

        // Once the first program ends, the folder is free again.
        first = Opened();
        QVERIFY(openFolder(dir.path(), ui).ok());
    }

    // The settings and titles rows, removed by another program, are back with their starting values
    // before the context's result sets open, with a sentence each for the person; once only.
    void missingSettingRowsAreRestoredAtStart()
    {
        QTemporaryDir dir;
        {
            Store store(dir.path());
            store.exec("update srf set b8=99");
            store.exec("delete from srf");
            store.exec("delete from dwm");
        }
        ScriptedInteraction ui;
        Opened run = openFolder(dir.path(), ui);
        QVERIFY2(run.ok(), qPrintable(run.refusal));
        QCOMPARE(run.restored.size(), 2);
        QVERIFY(run.restored[0].startsWith("设置表（srf）中的设置行不见了"));
        QVERIFY(run.restored[1].startsWith("单位名称表（dwm）中的记录不见了"));
        QCOMPARE(run.context->settings().rowCount(), 1);
        QCOMPARE(run.context->settings().number("b8"), 20.0);
        QCOMPARE(run.context->settings().text("srf"), QString("不使用自动开启输入法"));
        QCOMPARE(run.context->titles().text("a1"), QString("建筑材料租赁站"));

        run = Opened();
        run = openFolder(dir.path(), ui);
        QVERIFY(run.ok());
        QCOMPARE(run.restored, QStringList());
    }

    void deadProgramsLockIsTakenOver()
    {
        QTemporaryDir dir;
        QProcess gone;
        gone.start("sleep", {"0"});
        QVERIFY(gone.waitForStarted());
        const qint64 pid = gone.processId();
        QVERIFY(gone.waitForFinished());
        QFile lock(dir.filePath(lockFileName()));
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write(QByteArray::number(pid) + "\ntolva\n" + QSysInfo::machineHostName().toUtf8() + "\n");
        lock.close();
        ScriptedInteraction ui;
        Opened run = openFolder(dir.path(), ui);
        QVERIFY2(run.ok(), qPrintable(run.refusal));
    }

    // Whether a program on another computer still runs cannot be told: its lock stays, and the
    // message names that computer and says what to do.
    void anotherComputersLockIsNamedAndKept()
    {
        QTemporaryDir dir;
        const QByteArray held = "4242\ntolva\n仓库电脑\n";
        writeFile(dir.filePath(lockFileName()), held);
        ScriptedInteraction ui;
        const Opened run = openFolder(dir.path(), ui);
        QVERIFY(!run.ok() && !run.store);
        QVERIFY2(run.refusal.contains("计算机“仓库电脑”") && run.refusal.contains("4242") &&
                     run.refusal.contains("请先关闭那台计算机上的本程序") && run.refusal.contains("tolva.lock"),
                 qPrintable(run.refusal));
        QCOMPARE(fileBytes(dir.filePath(lockFileName())), held);
        QVERIFY(!QFile::exists(dir.filePath("tolva.db")));
    }

    // A start on a full disk says so, whether the lock file or the ledger's journal found no room,
    // and changes nothing.
    void fullDiskAtStartIsNamed_data()
    {
        QTest::addColumn<qint64>("room");
        QTest::newRow("no room for the lock") << qint64(0);
        QTest::newRow("no room for the journal") << qint64(1024);
    }

    void fullDiskAtStartIsNamed()
    {
        QFETCH(qint64, room);
        QTemporaryDir dir;
        {
            Store store(dir.path());
            store.exec("insert into sp1(namea,dj) values('钢管',0.1)");
        }
        const QByteArray before = fileBytes(dir.filePath("tolva.db"));
        ScriptedInteraction ui;
        Opened run;
        {
            const NoRoomBeyond full(room);
            run = openFolder(dir.path(), ui);
        }
        QVERIFY(!run.ok() && !run.store && !run.lock);
        QVERIFY2(run.refusal.contains("磁盘已满") && run.refusal.contains("请腾出磁盘空间"), qPrintable(run.refusal));
        QCOMPARE(fileBytes(dir.filePath("tolva.db")), before);
        QVERIFY(!QFile::exists(dir.filePath(lockFileName())));
        QVERIFY(openFolder(dir.path(), ui).ok());
    }

    void startFailuresEndInAMessage_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("reason");
        QTest::newRow("not a database") << QByteArray(4096, 'x') << "不是本程序的数据文件";
        QTest::newRow("settings table gone") << QByteArray() << "srf";
    }

    void startFailuresEndInAMessage()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        if (file.isEmpty()) {
            Store store(dir.path());
            store.exec("drop table srf"); // the context's first statement then fails
        } else {
            QFile f(dir.filePath("tolva.db"));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(file);
        }
        ScriptedInteraction ui;
        Opened run = openFolder(dir.path(), ui);
        QVERIFY(!run.ok());
        QVERIFY2(run.refusal.contains(reason), qPrintable(run.refusal));
        QVERIFY(!run.context && !run.store && !run.lock);
        QVERIFY(!QFile::exists(dir.filePath(lockFileName())));
    }

    void menuActivatesOnceAfterAScreenAndSurvivesAnyFailure()
    {
        Fixture f;
        f.logIn("录入员");
        Tsbmain menu(*f.context);
        menu.show();
        QVERIFY(QTest::qWaitForWindowActive(&menu));
        menu.setScreen("N21", [](QWidget *parent) {
            auto d = std::make_unique<QDialog>(parent);
            d->setObjectName("screen");
            return d;
        });
        int reopened = 0;
        connect(&f.context->settings(), &Dataset::stateChanged, this, [&](Dataset::State s) {
            reopened += s == Dataset::State::Browse;
        });
        f.ui.windows["screen"] = [](QDialog *d) {
            d->show();
            const bool active = QTest::qWaitForWindowActive(d);
            d->close();
            return active ? 0 : 1;
        };
        menu.item("N21")->trigger();
        QCoreApplication::processEvents(); // the menu's own activation, were there a second one
        QCOMPARE(reopened, 1);

        // A screen failing in any way leaves the menu working.
        menu.setScreen("N7", [](QWidget *) -> std::unique_ptr<QDialog> { throw std::runtime_error("kaputt"); });
        menu.setScreen("N81", [](QWidget *) -> std::unique_ptr<QDialog> { throw 7; });
        menu.item("N7")->trigger();
        menu.item("N81")->trigger();
        QCOMPARE(f.ui.texts("error"), (QStringList{"程序出错：kaputt", "程序出错，操作未完成。"}));
        menu.item("N21")->trigger();
        QVERIFY(menu.isVisible());
    }
};

QTEST_MAIN(TestApp)
#include "tst_app.moc"
