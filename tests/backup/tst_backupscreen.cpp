#include "backup/backuprules.h"
#include "backup/backupscreen.h"
#include "screens.h"

#include <QGroupBox>
#include <QRadioButton>
#include "files.h"

#include <QtTest>

using namespace tolva;

namespace {

struct Window : Open<Tsbrestor> {
    using Open::Open;
    QRadioButton *radio(const char *name) { return screen.findChild<QRadioButton *>(name); }
    bool photosShown() { return !screen.findChild<QGroupBox *>("check2")->isHidden(); }
};

} // namespace

class TestBackupScreen : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The proposed name, "x.ZIP" written as x.zip, and Cancel to the overwrite question.
    void backupWritesTheChosenArchive()
    {
        Fixture f;
        f.logIn("管理员");
        QTemporaryDir out;
        Window w(f);
        QVERIFY(!w.photosShown());
        QCOMPARE(w.button("btn3")->text(), QString("备份(&B)"));
        f.ui.answers << out.path() + "/x.ZIP";
        w.click("btn3");
        QCOMPARE(f.ui.log.first().kind, QString("save"));
        QCOMPARE(f.ui.log.first().text,
                 QDir(f.store->folder()).filePath(QFileInfo(f.store->folder()).fileName() + "20040201"));
        QCOMPARE(f.ui.texts("message"), QStringList{"数据已备份完毕！"});
        QVERIFY(QFile::exists(out.path() + "/x.zip"));
        QVERIFY(!QFile::exists(out.path() + "/x.ZIP"));

        const QByteArray first = fileBytes(out.path() + "/x.zip");
        f.store->exec("insert into sp2 (numa) values ('NEW')");
        f.ui.clear();
        f.ui.answers << out.path() + "/x.zip" << false;
        w.click("btn3");
        QCOMPARE(f.ui.texts("confirm"), QStringList{"备份文件已经存在,是否覆盖？？"});
        QCOMPARE(f.ui.texts("message"), QStringList());
        QCOMPARE(fileBytes(out.path() + "/x.zip"), first);
        QVERIFY(w.button("btn3")->isEnabled());
    }

    void photosGoBesideTheArchive()
    {
        Fixture f;
        f.logIn("管理员");
        const QString phot = backup::photoFolder(f.store->folder());
        QDir().mkpath(phot);
        writeFile(phot + "/a.jpg", "picture");
        QTemporaryDir out;
        Window w(f);
        QVERIFY(w.photosShown());
        w.radio("check2_1")->setChecked(true);
        f.ui.answers << out.path() + "/b";
        w.click("btn3");
        QCOMPARE(f.ui.texts("message"), QStringList{"数据已备份完毕！"});
        QCOMPARE(fileBytes(out.path() + "/bphot/a.jpg"), QByteArray("picture"));

        // Restoring brings the archive's photos back in place of the current ones.
        writeFile(phot + "/a.jpg", "changed");
        writeFile(phot + "/later.jpg", "later");
        w.radio("check1_1")->setChecked(true);
        QCOMPARE(w.button("btn3")->text(), QString("恢复(&R)"));
        f.ui.clear();
        f.ui.answers << out.path() + "/b.zip" << true;
        w.click("btn3");
        QCOMPARE(f.ui.texts("message"), QStringList{"数据已恢复完毕！"});
        QCOMPARE(QDir(phot).entryList(QDir::Files), QStringList{"a.jpg"});
        QCOMPARE(fileBytes(phot + "/a.jpg"), QByteArray("picture"));

        // Without the photo copy beside the archive the current photos stay.
        QVERIFY(QDir(out.path() + "/bphot").removeRecursively());
        f.ui.clear();
        f.ui.answers << out.path() + "/b.zip" << true;
        w.click("btn3");
        QCOMPARE(f.ui.texts("message").size(), 2);
        QVERIFY(f.ui.texts("message").first().startsWith("找不到图片文件夹"));
        QCOMPARE(fileBytes(phot + "/a.jpg"), QByteArray("picture"));
    }

    // While the window is open the shared result sets are closed; closing it looks the user up
    // again by name in the restored sbpass, so a restored right counts at once, and a name the
    // restored table lacks leaves no current user.
    void restoreChangesTheCurrentUsersRight()
    {
        Fixture f;
        QTemporaryDir out;
        f.store->exec("update sbpass set popedoma='录入' where namea='管理员'");
        f.logIn("管理员");
        {
            Window w(f);
            f.ui.answers << out.path() + "/right.zip";
            w.click("btn3");
            w.click("btn_close");
        }
        f.store->exec("update sbpass set popedoma='管理' where namea='管理员'");
        f.store->exec("insert into sp2 (numa) values ('AFTER')");
        f.logIn("管理员");
        QVERIFY(!f.context->mayEdit());

        {
            Window w(f);
            QVERIFY(!f.context->currentUser().isOpen());
            QVERIFY(!f.context->settings().isOpen());
            QVERIFY(!f.context->titles().isOpen());
            QCOMPARE(w.screen.savedUser(), QString("管理员"));
            w.radio("check1_1")->setChecked(true);
            f.ui.clear();
            // A wrong archive first: refused, nothing changed.
            writeFile(out.path() + "/junk.zip", "no archive");
            f.ui.answers << out.path() + "/junk.zip" << true;
            w.click("btn3");
            QCOMPARE(f.ui.texts("message").size(), 1);
            QVERIFY(f.ui.texts("message").first().startsWith("数据恢复失败！"));
            QCOMPARE(f.store->select("select * from sp2").rows.size(), 1);

            f.ui.clear();
            f.ui.answers << out.path() + "/right.zip" << true;
            {
                QFile archive(out.path() + "/right.zip");
                QVERIFY(archive.open(QIODevice::ReadWrite));
                QVERIFY(archive.setFileTime(QDateTime(QDate(2026, 12, 10), QTime(20, 17, 36)),
                                            QFileDevice::FileModificationTime));
            }
            w.click("btn3");
            QCOMPARE(f.ui.texts("confirm").first(),
                     QString("您现在恢复的是[2026年12月10日 20:17]备份的数据，\n系统将覆盖当前数据，是否确定？"));
            QCOMPARE(f.ui.texts("message"), QStringList{"数据已恢复完毕！"});
            w.click("btn_close");
        }
        QVERIFY(f.context->mayEdit());
        QVERIFY(f.context->settings().isOpen() && !f.context->settings().isEmpty());
        QVERIFY(f.context->titles().isOpen() && !f.context->titles().isEmpty());
        QCOMPARE(f.store->select("select * from sp2").rows.size(), 0);

        // An archive without the user: no current row, no editing.
        f.store->exec("delete from sbpass where namea='管理员'");
        {
            Window w(f);
            f.ui.clear();
            f.ui.answers << out.path() + "/gone.zip";
            w.click("btn3");
            w.click("btn_close");
        }
        f.store->exec("insert into sbpass (namea, passa, popedoma) values ('管理员', '1', '录入')");
        f.logIn("管理员");
        {
            Window w(f);
            w.radio("check1_1")->setChecked(true);
            f.ui.clear();
            f.ui.answers << out.path() + "/gone.zip" << true;
            w.click("btn3");
            w.screen.close(); // the close box runs the same steps
        }
        QVERIFY(f.context->currentUser().isOpen());
        QVERIFY(f.context->currentUser().isEmpty());
        QVERIFY(!f.context->mayEdit());
    }

    void dailyBackupAtCloseOnlyAfterALogin()
    {
        Fixture f;
        backupAtClose(*f.context);
        QVERIFY(!QFileInfo::exists(backup::dailyFolder(f.store->folder())));
        f.logIn("管理员");
        backupAtClose(*f.context);
        QCOMPARE(QDir(backup::dailyFolder(f.store->folder())).entryList(QDir::Files).size(), 1);
        QCOMPARE(f.ui.log.size(), 0);
    }
};

QTEST_MAIN(TestBackupScreen)
#include "tst_backupscreen.moc"
