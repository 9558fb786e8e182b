#include "httpserver.h"

#include "fixture.h"
#include "help/about.h"
#include "help/download.h"
#include "help/helpwindow.h"
#include "help/labels.h"
#include "help/revizevar.h"
#include "help/shell.h"
#include "help/unzip.h"
#include "help/updaterules.h"
#include "widgets/statusmirror.h"

#include <QApplication>
#include <QDirIterator>
#include <QEnterEvent>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QStatusBar>
#include <QTextBrowser>
#include "files.h"

#include <QtTest>

#include <zip.h>

using namespace tolva;
using help::Download;

namespace {

struct Entry {
    QString name;
    QByteArray data;
    quint32 mode = 0644; // Unix permissions; 0 stores none
};

// Writes a ZIP file with the given entries (names ending in "/" are folders).
void writeZip(const QString &path, const QList<Entry> &entries)
{
    int error = 0;
    zip_t *z = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    QVERIFY(z);
    for (const Entry &e : entries) {
        zip_int64_t i;
        if (e.name.endsWith('/')) {
            i = zip_dir_add(z, e.name.toUtf8().constData(), ZIP_FL_ENC_UTF_8);
        } else {
            // libzip frees its own copy of the data after zip_close.
            void *copy = malloc(size_t(e.data.size()) + 1);
            memcpy(copy, e.data.constData(), size_t(e.data.size()));
            zip_source_t *src = zip_source_buffer(z, copy, zip_uint64_t(e.data.size()), 1);
            i = zip_file_add(z, e.name.toUtf8().constData(), src, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE);
        }
        QVERIFY(i >= 0);
        if (e.mode)
            zip_file_set_external_attributes(z, zip_uint64_t(i), 0, ZIP_OPSYS_UNIX, (0100000 | e.mode) << 16);
    }
    QCOMPARE(zip_close(z), 0);
}

QByteArray zipBytes(const QList<Entry> &entries)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("x.zip");
    writeZip(path, entries);
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

// A program standing in for the update or demonstration program: writes a marker file, then
// stays as long as asked.
QByteArray script(const QString &marker, int seconds = 0)
{
    QByteArray s = "#!/bin/sh\necho started > '" + QFile::encodeName(marker) + "'\n";
    if (seconds)
        s += "sleep " + QByteArray::number(seconds) + "\n";
    return s;
}

// The files under a folder, the store's own (tolva.db and its journal) left out.
QStringList filesUnder(const QString &folder)
{
    QStringList out;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = QDir(folder).relativeFilePath(it.next());
        if (!file.startsWith("tolva.db"))
            out << file;
    }
    out.sort();
    return out;
}

// The desktop for the tests: programs start and are found for real; the program folder is a
// temporary one, documents go to a viewer that only notes them, and the end of the program is
// recorded instead of ending the test. The program is one the package manager did not install,
// whatever the build.
struct TestShell : help::Shell {
    QString folder;
    bool viewerExists = true;
    QStringList documents;
    QStringList ended;
    bool packageManaged() const override { return false; }
    QString programFolder() const override { return folder; }
    bool openDocument(const QString &file) override
    {
        documents << file;
        return viewerExists;
    }
    void endProgram(const QString &program) override { ended << program; }
};

// A data folder, a program folder and a server, with the download folder pointing at it.
struct Setup {
    Fixture f;
    QTemporaryDir programs;
    TestShell shell;
    HttpServer server;
    Setup()
    {
        shell.folder = programs.path();
        qputenv("TOLVA_DOWNLOAD_URL", server.folder().toUtf8());
        // As the start-up does.
        f.store->exec("ALTER table srf add Column qhsoftnow char(100)");
    }
    ~Setup() { qunsetenv("TOLVA_DOWNLOAD_URL"); }
    QString working(const QString &file) const { return QDir(f.dir.path()).filePath(file); }
    QString program(const QString &file) const { return QDir(programs.path()).filePath(file); }
    QVariant qhsoftnow() { return f.store->scalar("select qhsoftnow from srf"); }
};

template <class W> QPushButton *button(W &w, const char *name)
{
    return w.template findChild<QPushButton *>(name);
}

} // namespace

class TestHelp : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A download replaces the file only when the whole body arrived; every failure leaves the
    // file that was there, and no temporary file behind.
    void download_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("stopServer");
        QTest::addColumn<int>("result");
        QTest::newRow("whole") << "/qhfile/a.zip" << false << int(Download::Result::Done);
        QTest::newRow("missing (404)") << "/qhfile/none.zip" << false << int(Download::Result::Failed);
        QTest::newRow("cut short") << "/qhfile/short.zip" << false << int(Download::Result::Failed);
        QTest::newRow("no answer (time-out)") << "/qhfile/stall.zip" << false << int(Download::Result::Failed);
        QTest::newRow("server gone") << "/qhfile/a.zip" << true << int(Download::Result::Failed);
    }
    void download()
    {
        QFETCH(QString, path);
        QFETCH(bool, stopServer);
        QFETCH(int, result);
        HttpServer server;
        const QByteArray body(200000, 'x');
        server.serve("/qhfile/a.zip", body);
        server.serve("/qhfile/short.zip", body, HttpServer::Mode::Truncated);
        server.serve("/qhfile/stall.zip", body, HttpServer::Mode::Stall);
        const QUrl url = QUrl(server.folder()).resolved(QUrl(path));
        if (stopServer)
            server.stop();
        QTemporaryDir dir;
        const QString target = dir.filePath("a.zip");
        writeFile(target, "old");

        Download download;
        download.setTimeout(300);
        qint64 lastReceived = -1;
        connect(&download, &Download::progress, [&](qint64 received, qint64) { lastReceived = received; });
        QSignalSpy finished(&download, &Download::finished);
        download.start(url, target);
        QVERIFY(finished.wait(5000));
        QCOMPARE(int(download.result()), result);
        if (result == int(Download::Result::Done)) {
            QCOMPARE(fileBytes(target), body);
            QCOMPARE(lastReceived, qint64(body.size()));
        } else {
            QCOMPARE(fileBytes(target), QByteArray("old"));
            QVERIFY(!download.reason().isEmpty());
        }
        QCOMPARE(filesUnder(dir.path()), QStringList{"a.zip"});
    }

    void cancelStopsTheTransferAndKeepsTheFile()
    {
        HttpServer server;
        server.serve("/qhfile/a.zip", QByteArray(100000, 'x'), HttpServer::Mode::StallMidway);
        QTemporaryDir dir;
        Download download;
        QSignalSpy finished(&download, &Download::finished);
        connect(&download, &Download::progress, &download, [&](qint64 received, qint64) {
            if (received > 0)
                download.cancel();
        });
        download.start(QUrl(server.folder() + "a.zip"), dir.filePath("a.zip"));
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 5000);
        QCOMPARE(download.result(), Download::Result::Cancelled);
        QCOMPARE(filesUnder(dir.path()), QStringList());
    }

    void unpackKeepsFoldersAndPermissions()
    {
        QTemporaryDir dir;
        const QString zip = dir.filePath("a.zip");
        writeZip(zip, {{"revizevar.exe", "#!/bin/sh\n", 0755}, {"doc/", {}, 0755}, {"doc/readme.txt", "hello"}});
        const QString target = dir.filePath("programs");
        QDir().mkpath(target);
        writeFile(target + "/revizevar.exe", "old program");
        QVERIFY(help::unpack(zip, target).ok());
        QCOMPARE(filesUnder(target), (QStringList{"doc/readme.txt", "revizevar.exe"}));
        QCOMPARE(fileBytes(target + "/revizevar.exe"), QByteArray("#!/bin/sh\n"));
        QCOMPARE(fileBytes(target + "/doc/readme.txt"), QByteArray("hello"));
        QVERIFY(QFileInfo(target + "/revizevar.exe").isExecutable());
        QVERIFY(!QFileInfo(target + "/doc/readme.txt").isExecutable());
    }

    // An archive with one entry that would land outside the folder is refused as a whole.
    void unpackRefusesEntriesOutsideTheFolder_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("..") << "../outside.txt";
        QTest::newRow(".. inside a path") << "doc/../../outside.txt";
        QTest::newRow("absolute") << "/tmp/tolva-outside.txt";
        QTest::newRow("backslashes") << "doc\\..\\..\\outside.txt";
    }
    void unpackRefusesEntriesOutsideTheFolder()
    {
        QFETCH(QString, name);
        QTemporaryDir dir;
        const QString zip = dir.filePath("a.zip");
        writeZip(zip, {{"first.txt", "written first?"}, {name, "evil"}});
        const QString target = dir.filePath("programs");
        const Outcome o = help::unpack(zip, target);
        QVERIFY(!o.ok());
        QVERIFY(o.message().startsWith("下载文件失败！"));
        QVERIFY(o.message().contains(name));
        QCOMPARE(filesUnder(dir.path()), QStringList{"a.zip"});
        QVERIFY(!QFile::exists("/tmp/tolva-outside.txt"));
    }

    void unpackRefusesALinkAndABrokenArchive()
    {
        QTemporaryDir dir;
        const QString zip = dir.filePath("a.zip");
        writeZip(zip, {{"link", "/etc/passwd", 0}});
        // A link entry: the mode's file type says so.
        {
            int error = 0;
            zip_t *z = zip_open(QFile::encodeName(zip).constData(), 0, &error);
            zip_file_set_external_attributes(z, 0, 0, ZIP_OPSYS_UNIX, (0120000 | 0777) << 16);
            zip_close(z);
        }
        QVERIFY(!help::unpack(zip, dir.filePath("t")).ok());
        writeFile(zip, "not a zip");
        QVERIFY(!help::unpack(zip, dir.filePath("t")).ok());
        QVERIFY(!QFile::exists(dir.filePath("t/link")));
    }

    void updateFetchesUnpacksNotesTheProgramAndEnds()
    {
        Setup s;
        s.server.serve("/qhfile/revizevar.zip", zipBytes({{"revizevar.exe", script("/dev/null"), 0755}, {"tolva.new", "new"}}));
        Trevizevar1 w(*s.f.context, nullptr, &s.shell);
        w.show();
        button(w, "BitBtn1")->click();
        QCOMPARE(s.f.ui.log.size(), 0);
        QCOMPARE(filesUnder(s.programs.path()), (QStringList{"revizevar.exe", "tolva.new"}));
        QVERIFY(!QFile::exists(s.working("revizevar.zip")));
        QCOMPARE(s.qhsoftnow().toString(), Context::programFileName());
        QCOMPARE(s.f.context->settings().text("qhsoftnow"), Context::programFileName());
        QCOMPARE(s.shell.ended, QStringList{s.program("revizevar.exe")});
    }

    // A failed fetch shows the update's message and changes nothing: the program keeps running.
    void updateFailures_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("missing (404)") << "404";
        QTest::newRow("connection refused") << "refused";
        QTest::newRow("entry outside the folder") << "zip";
    }
    void updateFailures()
    {
        QFETCH(QString, how);
        Setup s;
        if (how == "refused")
            s.server.stop();
        if (how == "zip")
            s.server.serve("/qhfile/revizevar.zip", zipBytes({{"revizevar.exe", "x"}, {"../evil.exe", "x"}}));
        Trevizevar1 w(*s.f.context, nullptr, &s.shell);
        w.show();
        button(w, "BitBtn1")->click();
        QCOMPARE(s.f.ui.log.size(), 1);
        QCOMPARE(s.f.ui.log[0].caption, QString("智能升级"));
        if (how == "zip")
            QVERIFY(s.f.ui.log[0].text.startsWith("下载文件失败！"));
        else
            QCOMPARE(s.f.ui.log[0].text,
                     QString("连接服务器失败,无法下载升级文件,\n请检查您是否可以连接internet！或者升级文件不存在!"));
        QVERIFY(s.qhsoftnow().isNull());
        QVERIFY(s.shell.ended.isEmpty());
        QCOMPARE(filesUnder(s.programs.path()), QStringList());
        QCOMPARE(filesUnder(s.f.dir.path()), QStringList());
        QVERIFY(!w.findChild<QStatusBar *>("StatusBar1")->findChildren<ElidedLabel *>()[2]->fullText().isEmpty());
    }

    // Installed by the package manager, the update leaves the program to it: it says so and fetches,
    // unpacks, notes and ends nothing. The demonstration still arrives and starts, in the user's own
    // folder, as the program's folder belongs to the system.
    void packageManagedInstallation()
    {
        struct Packaged : TestShell {
            bool packageManaged() const override { return true; }
            QString programFolder() const override { return help::Shell::programFolder(); }
        };
        Setup s;
        QTemporaryDir home;
        qputenv("XDG_DATA_HOME", QFile::encodeName(home.path()));
        const auto restore = qScopeGuard([] { qunsetenv("XDG_DATA_HOME"); });
        Packaged shell;
        s.server.serve("/qhfile/revizevar.zip", zipBytes({{"revizevar.exe", script("/dev/null"), 0755}}));
        Trevizevar1 update(*s.f.context, nullptr, &shell);
        update.show();
        button(update, "BitBtn1")->click();
        QCOMPARE(s.f.ui.log.size(), 1);
        QCOMPARE(s.f.ui.log[0].caption, Trevizevar1::title());
        QCOMPARE(s.f.ui.log[0].text, Trevizevar1::byPackageManager());
        QCOMPARE(s.server.requestCount(), 0);
        QVERIFY(shell.ended.isEmpty());
        QVERIFY(s.qhsoftnow().isNull());

        const QString marker = s.working("started");
        s.server.serve("/qhfile/tolvaguide_readme.zip", zipBytes({{"tolvaguide_readme.exe", script(marker), 0755}}));
        s.f.ui.clear();
        s.f.ui.answers << true;
        Trevizevar2 guide(*s.f.context, nullptr, &shell);
        guide.show();
        button(guide, "BitBtn1")->click();
        QCOMPARE(s.f.ui.texts(), (QStringList{Trevizevar2::ask(), Trevizevar2::arrived()}));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker), 5000);
        QVERIFY(shell.programFolder().startsWith(home.path() + "/"));
        QCOMPARE(filesUnder(home.path()), QStringList{QDir(home.path()).relativeFilePath(shell.programFolder()) +
                                                      "/tolvaguide_readme.exe"});
    }

    // The package build, and it alone, makes a program that the package manager updates.
    void packageManagedFollowsTheBuild()
    {
        QCOMPARE(help::Shell().packageManaged(), bool(TOLVA_PACKAGED_BUILD));
    }

    void demonstrationAlreadyPresentStartsWithoutFetching()
    {
        Setup s;
        const QString marker = s.working("started");
        writeFile(s.program("tolvaguide_readme.exe"), script(marker));
        QFile::setPermissions(s.program("tolvaguide_readme.exe"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        Trevizevar2 w(*s.f.context, nullptr, &s.shell);
        w.show();
        button(w, "BitBtn1")->click();
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker), 5000);
        QCOMPARE(s.f.ui.log.size(), 0);
        QCOMPARE(s.server.requestCount(), 0);
    }

    void demonstrationMissingIsFetchedOnlyWhenWanted()
    {
        Setup s;
        const QString marker = s.working("started");
        s.server.serve("/qhfile/tolvaguide_readme.zip", zipBytes({{"tolvaguide_readme.exe", script(marker), 0755}}));
        Trevizevar2 w(*s.f.context, nullptr, &s.shell);
        w.show();
        s.f.ui.answers << false;
        button(w, "BitBtn1")->click();
        QCOMPARE(s.f.ui.texts(), QStringList{Trevizevar2::ask()});
        QCOMPARE(s.server.requestCount(), 0);

        s.f.ui.clear();
        s.f.ui.answers << true;
        button(w, "BitBtn1")->click();
        QCOMPARE(s.f.ui.texts(), (QStringList{Trevizevar2::ask(), "下载完成,现在您可以使用带语音的软件操作步骤演示程序！"}));
        QCOMPARE(s.f.ui.log[0].kind, QString("confirm"));
        QCOMPARE(s.f.ui.log[1].caption, QString("提醒您!!"));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker), 5000);
        QVERIFY(!QFile::exists(s.working("tolvaguide_readme.zip")));
    }

    void demonstrationFetchFailureNamesTheAddress()
    {
        Setup s;
        Trevizevar2 w(*s.f.context, nullptr, &s.shell);
        w.show();
        s.f.ui.answers << true;
        button(w, "BitBtn1")->click();
        QCOMPARE(s.f.ui.texts("message"),
                 QStringList{"连接服务器失败,无法下载演示文件:" + s.server.folder() + "tolvaguide_readme.zip\n" +
                             "请检查您是否可以连接internet！或者演示文件不存在!"});
        QCOMPARE(filesUnder(s.programs.path()), QStringList());
    }

    // "下载最新版本语音演示软件" warns first, refuses while the demonstration runs, and otherwise
    // replaces it with the newest one and starts it.
    void demonstrationUpdate()
    {
        Setup s;
        const QString marker = s.working("started");
        const QString program = s.program("tolvaguide_readme.exe");
        writeFile(program, script(s.working("old"), 30));
        QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        s.server.serve("/qhfile/tolvaguide_readme.zip", zipBytes({{"tolvaguide_readme.exe", script(marker), 0755}}));
        Trevizevar2 w(*s.f.context, nullptr, &s.shell);
        w.show();

        QProcess running;
        running.start(program, {});
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(s.working("old")), 5000);
        button(w, "BitBtn3")->click();
        QCOMPARE(s.f.ui.texts(), (QStringList{"如果演示程序正在运行,请先关闭后再升级！", "您需要升级的程序正在使用,请先关闭后再升级！"}));
        QCOMPARE(s.server.requestCount(), 0);
        running.kill();
        running.waitForFinished();
        // The script's own child may still carry its command line for a moment after a fork.
        QTRY_VERIFY_WITH_TIMEOUT(!s.shell.running(help::guideProgram()), 5000);

        s.f.ui.clear();
        button(w, "BitBtn3")->click();
        QCOMPARE(s.f.ui.texts(), (QStringList{"如果演示程序正在运行,请先关闭后再升级！", "下载完成,现在您可以使用带语音的软件操作步骤演示程序！"}));
        QCOMPARE(fileBytes(program), script(marker));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker), 5000);
        QCOMPARE(filesUnder(s.f.dir.path()), (QStringList{"old", "started"}));
    }

    void demonstrationUpdateRefusesABadArchive()
    {
        Setup s;
        s.server.serve("/qhfile/tolvaguide_readme.zip", zipBytes({{"tolvaguide_readme.exe", "x", 0755}, {"../../evil", "x"}}));
        Trevizevar2 w(*s.f.context, nullptr, &s.shell);
        w.show();
        button(w, "BitBtn3")->click();
        const QStringList texts = s.f.ui.texts();
        QCOMPARE(texts.size(), 2);
        QVERIFY(texts[1].startsWith("下载文件失败！"));
        QCOMPARE(filesUnder(s.programs.path()), QStringList());
        QVERIFY(!QFile::exists(s.working("tolvaguide_readme.zip")));
    }

    // The help file goes to the desktop's viewer; without the file or a viewer the built-in help
    // opens and says why.
    void helpFile_data()
    {
        QTest::addColumn<bool>("file");
        QTest::addColumn<bool>("viewer");
        QTest::addColumn<bool>("builtIn");
        QTest::newRow("file and viewer") << true << true << false;
        QTest::newRow("no file") << false << true << true;
        QTest::newRow("no viewer") << true << false << true;
    }
    void helpFile()
    {
        QFETCH(bool, file);
        QFETCH(bool, viewer);
        QFETCH(bool, builtIn);
        Setup s;
        if (file)
            writeFile(s.working("tolvahelp.chm"), "chm");
        s.shell.viewerExists = viewer;
        std::unique_ptr<QDialog> window(help::openHelp(*s.f.context, nullptr, s.shell));
        QCOMPARE(bool(window), builtIn);
        QCOMPARE(s.shell.documents, file ? QStringList{s.working("tolvahelp.chm")} : QStringList());
        if (builtIn) {
            QCOMPARE(window->objectName(), QString("Thelp"));
            QVERIFY(window->findChild<QLabel *>("note")->text().contains("tolvahelp.chm"));
        }
    }

    // The desktop's file associations decide whether the help file has a viewer.
    void viewerKnown_data()
    {
        QTest::addColumn<QByteArray>("type");
        QTest::addColumn<QByteArray>("program");
        QTest::addColumn<bool>("known");
        QTest::newRow("associated") << QByteArray("application/vnd.ms-htmlhelp") << QByteArray("xchm.desktop") << true;
        QTest::newRow("no program") << QByteArray("application/vnd.ms-htmlhelp") << QByteArray() << false;
        QTest::newRow("unknown type") << QByteArray() << QByteArray() << false;
    }
    void viewerKnown()
    {
        QFETCH(QByteArray, type);
        QFETCH(QByteArray, program);
        QFETCH(bool, known);
        QTemporaryDir bin;
        writeFile(bin.filePath("xdg-mime"), "#!/bin/sh\n[ \"$2\" = filetype ] && echo '" + type + "'\n[ \"$2\" = default ] && [ \"$3\" = '" +
                                            type + "' ] && echo '" + program + "'\nexit 0\n");
        QFile::setPermissions(bin.filePath("xdg-mime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(bin.path()) + ":" + path);
        const bool answer = help::viewerKnown(bin.filePath("tolvahelp.chm"));
        qputenv("PATH", path);
        QCOMPARE(answer, known);
    }

    // Every entry of the contents has its page, and links between pages move the contents along.
    void builtInHelpPages()
    {
        Fixture f;
        Thelp w(*f.context);
        w.show();
        auto *contents = w.findChild<QListWidget *>("contents");
        auto *browser = w.findChild<QTextBrowser *>("browser");
        QVERIFY(contents->count() > 20);
        for (int i = 0; i < contents->count(); ++i) {
            contents->setCurrentRow(i);
            QVERIFY2(!browser->toPlainText().trimmed().isEmpty(), qPrintable(contents->item(i)->text()));
            QVERIFY2(browser->toPlainText().contains(contents->item(i)->text()), qPrintable(contents->item(i)->text()));
        }
        w.showPage("N14");
        QVERIFY(browser->toHtml().contains("methods.html"));
        browser->setSource(QUrl("methods.html"));
        QCOMPARE(w.page(), QString("methods"));
        QCOMPARE(contents->currentItem()->text(), QString("三种计算方法"));
        for (const char *figure : {"154.00", "160.00", "164.00"})
            QVERIFY(browser->toPlainText().contains(figure));
    }

    // Links open the home page or a mail through the desktop and light up under the mouse.
    void links()
    {
        Setup s;
        Tsbabout about(*s.f.context);
        Trevizevar1 update(*s.f.context, nullptr, &s.shell);
        Trevizevar2 guide(*s.f.context, nullptr, &s.shell);
        struct Case {
            QWidget *window;
            const char *link;
            QString url;
            QColor normal;
            bool emphasis;
        };
        const QString home = Context::webAddress(), mail = "mailto:" + Context::mailAddress();
        const QList<Case> cases = {
            {&about, "Label3", home, Qt::black, true},   {&about, "Label5", mail, Qt::black, true},
            {&about, "Label12", home, Qt::black, false}, {&about, "Label14", mail, Qt::black, false},
            {&update, "Label12", home, Qt::blue, true},  {&update, "Label14", mail, Qt::blue, true},
            {&guide, "Label12", home, Qt::blue, true},   {&guide, "Label14", mail, Qt::blue, true},
        };
        for (const Case &c : cases) {
            c.window->show();
            auto *link = c.window->findChild<LinkLabel *>(c.link);
            const QString what = c.window->objectName() + "." + c.link;
            QVERIFY2(link, qPrintable(what));
            QCOMPARE(link->palette().color(QPalette::WindowText), c.normal);
            QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
            QApplication::sendEvent(link, &enter);
            QCOMPARE(link->palette().color(QPalette::WindowText), QColor(Qt::red));
            QCOMPARE(link->font().bold(), c.emphasis);
            QCOMPARE(link->font().underline(), c.emphasis);
            QEvent leave(QEvent::Leave);
            QApplication::sendEvent(link, &leave);
            QCOMPARE(link->palette().color(QPalette::WindowText), c.normal);
            QVERIFY(!link->font().underline());
            s.f.ui.opened.clear();
            QTest::mouseClick(link, Qt::LeftButton);
            QCOMPARE(s.f.ui.opened, QList<QUrl>{QUrl(c.url)});
        }
    }

    void windowsShowTheirTexts()
    {
        Setup s;
        Trevizevar1 update(*s.f.context, nullptr, &s.shell);
        update.show();
        QCOMPARE(update.windowTitle(), "青禾软件在线升级(" + Context::webAddress() + ")");
        auto panels = update.findChild<QStatusBar *>("StatusBar1")->findChildren<ElidedLabel *>();
        QCOMPARE(panels[0]->fullText(), QString("青禾软件为您服务"));
        QCOMPARE(panels[1]->fullText(), "最新信息及软件更新请访问青禾主页:" + Context::webAddress());

        Tsbabout about(*s.f.context);
        QCOMPARE(about.windowTitle(), QString("青禾软件为您服务"));
        QVERIFY(about.findChild<QLabel *>("Label1")->text().endsWith("   V2004.04.23"));
        QVERIFY(!about.findChild<QLabel *>("Image1")->pixmap().isNull());
        about.show();
        QTest::mouseClick(about.findChild<QLabel *>("Image1"), Qt::LeftButton);
        QVERIFY(!about.isVisible());
        QCOMPARE(about.result(), int(QDialog::Accepted));
    }
};

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
