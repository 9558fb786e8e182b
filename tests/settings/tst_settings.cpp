#include "masterdata/contracts.h"
#include "printing/preview.h"
#include "printing/printaction.h"
#include "screens.h"
#include "settings/inputmethod.h"
#include "settings/inputmethods.h"
#include "settings/printformat.h"
#include "settings/settingsrules.h"
#include "settings/titles.h"

#include <QComboBox>
#include <QInputDialog>
#include <QLabel>
#include <QDBusConnection>
#include <QProcess>
#include <QRadioButton>
#include <QStandardPaths>
#include <QtTest>

using namespace tolva;

class TestSettings : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        // IBus is looked for only where this test says; nothing of the machine's desktop is used.
        qputenv("IBUS_ADDRESS", "unix:path=/nonexistent/tolva-ibus");
    }

    void storedInputMethodPosition_data()
    {
        QTest::addColumn<QStringList>("installed");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("position");
        const QStringList two = {"中文(简体) - 拼音", "五笔"};
        QTest::newRow("nothing installed") << QStringList() << "五笔" << 0;
        QTest::newRow("stored empty") << two << "" << 2;
        QTest::newRow("exact") << two << "五笔" << 1;
        QTest::newRow("trailing blanks") << two << "五笔   " << 1;
        QTest::newRow("blanks on the installed side") << QStringList{" 五笔 ", "拼音"} << "五笔" << 0;
        QTest::newRow("not installed any more") << two << "郑码" << 2;
        QTest::newRow("several equal: the last") << QStringList{"五笔", "拼音", "五笔"} << "五笔" << 2;
    }

    void storedInputMethodPosition()
    {
        QFETCH(QStringList, installed);
        QFETCH(QString, stored);
        QFETCH(int, position);
        QCOMPARE(settings::inputMethodIndex(installed, stored), position);
    }

    void inputMethodListWithoutAFramework_data()
    {
        QTest::addColumn<bool>("privateBus");
        QTest::newRow("no bus at all") << false;
        QTest::newRow("a bus where no framework runs") << true;
    }

    void inputMethodListWithoutAFramework()
    {
        QFETCH(bool, privateBus);
        QProcess daemon;
        QDBusConnection bus(QStringLiteral("tolva-no-bus"));
        if (privateBus) {
            const QString program = QStandardPaths::findExecutable("dbus-daemon");
            if (program.isEmpty())
                QSKIP("dbus-daemon is not installed");
            daemon.start(program, {"--session", "--nofork", "--print-address=1"});
            QVERIFY(daemon.waitForReadyRead(5000));
            const QString address = QString::fromLatin1(daemon.readLine()).trimmed();
            bus = QDBusConnection::connectToBus(address, "tolva-test-bus");
            QVERIFY(bus.isConnected());
        }
        Fixture f;
        f.store->exec("update srf set srf='五笔'");
        f.context->reopenSettings();
        auto methods = std::make_unique<DesktopInputMethods>(bus);
        DesktopInputMethods &desktop = *methods;
        f.context->setInputMethods(std::move(methods));
        QCOMPARE(desktop.installed(), QStringList());
        QVERIFY(!desktop.switchTo("五笔"));

        Open<Tsrf> s(f);
        auto *list = s.screen.findChild<QComboBox *>("ComboBox1");
        QCOMPARE(list->count(), 1);
        QCOMPARE(list->currentText(), QString("不使用自动开启输入法"));

        // A field given the stored name takes the focus as any other.
        QLineEdit field;
        f.context->applyInputMethod({&field});
        QCOMPARE(field.property("inputMethod").toString(), QString("五笔"));
        field.show();
        field.setFocus();
        QApplication::processEvents();
        QCOMPARE(f.ui.log.size(), 0);

        if (privateBus) {
            QDBusConnection::disconnectFromBus("tolva-test-bus");
            daemon.terminate();
            daemon.waitForFinished(5000);
        }
    }

    void inputMethodChoiceIsStored()
    {
        Fixture f;
        f.logIn("管理员");
        f.store->exec("update srf set srf='旧的输入法'");
        {
            Open<Tsrf> s(f);
            QCOMPARE(s.screen.windowTitle(), QString("输入法名称设置"));
            s.click("btn_exit"); // nothing stored
        }
        QCOMPARE(f.store->scalar("select srf from srf").toString(), QString("旧的输入法"));
        Open<Tsrf> s(f);
        s.click("btn_yes");
        QVERIFY(!s.screen.isVisible());
        QCOMPARE(f.store->scalar("select srf from srf").toString(), QString("不使用自动开启输入法"));
        QCOMPARE(f.context->settings().text("srf"), QString("不使用自动开启输入法"));
    }

    void titlesAreEditedInPlaceAndPrinted()
    {
        Fixture f;
        f.logIn("录入员");
        f.store->exec("update srf set srf='五笔'");
        f.store->exec("insert into sp2(khm,numa,jz,begina,enda) values('甲公司','H1','否','2004-01-01','2004-12-31')");
        f.context->reopenSettings();
        {
            Open<Tdwm> s(f);
            QCOMPARE(s.field("DBEdit_A1")->text(), QString("建筑材料租赁站"));
            QCOMPARE(s.field("DBEdit_A1")->property("inputMethod").toString(), QString("五笔"));
            QVERIFY(!s.field("DBEdit_Sp1")->property("inputMethod").isValid());
            s.set("DBEdit_A1", "东方租赁站");
            s.set("DBEdit_Sp2", "合同一览");
            // Left only by "确定(&Y)".
            QTest::keyClick(&s.screen, Qt::Key_Escape);
            QVERIFY(s.screen.isVisible());
            s.click("BitBtn1");
            QVERIFY(!s.screen.isVisible());
        }
        QCOMPARE(joinedRow(*f.store, "select a1,sp2,sp1 from dwm", "|"),
                 QString("东方租赁站|合同一览|材料规格明细表"));
        QVERIFY(!f.context->titles().isEditing());

        Open<Tsp2> contracts(f);
        f.ui.windows["PrintDialog"] = [](QDialog *) { return 0; };
        contracts.click("btn1_print");
        QVERIFY(previewWindow(*f.context).preparedReport().pages.first().strings().contains("合同一览"));
    }

    void printFormatAndMethodAreStoredOnTheClick()
    {
        Fixture f;
        f.logIn("管理员");
        f.store->exec("update srf set b6=1, b1=2");
        f.context->reopenSettings();
        Open<Tczbp_setup> s(f);
        auto option = [&](const char *name) { return s.screen.findChild<QRadioButton *>(name); };
        QVERIFY(option("check1_1")->isChecked());
        QVERIFY(option("check2_2")->isChecked());

        option("check1_2")->click();
        option("check2_0")->click();
        // The shared settings row carries the choice at once: the next statement reads it there.
        QCOMPARE(int(f.context->settings().number("b6")), 2);
        QCOMPARE(int(f.context->settings().number("b1")), 0);
        QCOMPARE(joinedRow(*f.store, "select b6,b1 from srf", "|"), QString("2.0|0.0"));

        QTest::keyClick(&s.screen, Qt::Key_Escape);
        QVERIFY(s.screen.isVisible());
        s.click("btn1_exit");
        QVERIFY(!s.screen.isVisible());
        QCOMPARE(joinedRow(*f.store, "select b6,b1 from srf", "|"), QString("2.0|0.0"));
        QCOMPARE(f.ui.log.size(), 0);
    }

    // A 管理 user closes the period up to a date; moving it back asks for the reason, which goes
    // into the log with the date; another right sees the date and cannot change it.
    void theClosingDate()
    {
        Fixture f;
        f.logIn("管理员");
        {
            Open<Tczbp_setup> s(f);
            QCOMPARE(s.screen.findChild<QLabel *>("Label_zzrq")->text(), QString("没有结账"));
            QVERIFY(!s.button("btn_zz0")->isEnabled());
            s.date("d_zzrq")->setDate(QDate(2004, 1, 31));
            s.click("btn_zz");
            QCOMPARE(f.store->closingDate(), QDate(2004, 1, 31));
            QCOMPARE(s.screen.findChild<QLabel *>("Label_zzrq")->text(), QString("已结账到 2004-01-31"));
            // Forward needs no reason; back does, and a cancelled or empty one changes nothing.
            s.date("d_zzrq")->setDate(QDate(2004, 2, 29));
            s.click("btn_zz");
            QCOMPARE(f.store->closingDate(), QDate(2004, 2, 29));
            QString typed;
            int answer = QDialog::Rejected;
            f.ui.windows["ReasonDialog"] = [&](QDialog *d) {
                static_cast<QInputDialog *>(d)->setTextValue(typed);
                return answer;
            };
            s.date("d_zzrq")->setDate(QDate(2004, 1, 15));
            s.click("btn_zz");
            QCOMPARE(f.store->closingDate(), QDate(2004, 2, 29));
            answer = QDialog::Accepted;
            s.click("btn_zz");
            QCOMPARE(f.ui.texts("message").last(), QString("把结账日期改回去，必须输入原因！"));
            QCOMPARE(f.store->closingDate(), QDate(2004, 2, 29));
            typed = "补录漏单";
            s.click("btn_zz0");
            QVERIFY(!f.store->closingDate().isValid());
            QCOMPARE(f.store->scalar("select zzly from srf").toString(), QString("补录漏单"));
            QCOMPARE(f.store->scalar("select count(*) from rzb where bm='srf' and xjl like '%补录漏单%'").toInt(), 1);
        }
        f.store->exec("update srf set zzrq='2004-01-31'");
        f.context->reopenSettings();
        f.logIn("录入员");
        Open<Tczbp_setup> s(f);
        QCOMPARE(s.screen.findChild<QLabel *>("Label_zzrq")->text(), QString("已结账到 2004-01-31"));
        for (const char *name : {"btn_zz", "btn_zz0"})
            QVERIFY2(!s.button(name)->isEnabled(), name);
        QVERIFY(!settings::setClosingDate(f.context->rights(), f.context->settings(), QDate(2004, 3, 1)).ok());
        QCOMPARE(f.store->closingDate(), QDate(2004, 1, 31));
    }
};

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
