#include "httpserver.h"

#include "fixture.h"
#include "help/about.h"
#include "help/download.h"
#include "help/helpwindow.h"
#include "help/labels.h"
#include "help/revizevar.h"
#include "help/desktopseam.h"
#include "help/unzip.h"
#include "help/updaterules.h"
#include "widgets/statusmirror.h"

#include <QApplication>
#include <QDirIterator>
#include <QEnterEvent>
#include <QListWidget>
#include <QNetworkProxy>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QStatusBar>
#include <QTextBrowser>
#include "files.h"
#include "zipbuilder.h"

#include <QtTest>

#include <zip.h>

#include <openssl/evp.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

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

// A program standing in for the update or demonstration program: writes a marker file, then, when
// asked to stay, waits on its input (started by the test, it stays until the test ends it; it
// starts no program of its own that could outlive it).
QByteArray script(const QString &marker, bool stay = false)
{
    QByteArray s = "#!/bin/sh\necho started > '" + QFile::encodeName(marker) + "'\n";
    if (stay)
        s += "read line\n";
    return s;
}

// A key pair of the test's own in place of the maker's: it signs what the test's server publishes.
class Signer {
public:
    Signer() : key_(EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519")) {}
    ~Signer() { EVP_PKEY_free(key_); }
    Signer(const Signer &) = delete;
    Signer &operator=(const Signer &) = delete;
    QByteArray publicKey() const
    {
        QByteArray raw(32, 0);
        size_t size = size_t(raw.size());
        EVP_PKEY_get_raw_public_key(key_, reinterpret_cast<unsigned char *>(raw.data()), &size);
        return raw;
    }
    QByteArray sign(const QByteArray &message) const
    {
        QByteArray signature(64, 0);
        size_t size = size_t(signature.size());
        EVP_MD_CTX *context = EVP_MD_CTX_new();
        EVP_DigestSignInit(context, nullptr, nullptr, nullptr, key_);
        EVP_DigestSign(context, reinterpret_cast<unsigned char *>(signature.data()), &size,
                       reinterpret_cast<const unsigned char *>(message.constData()), size_t(message.size()));
        EVP_MD_CTX_free(context);
        return signature;
    }

private:
    EVP_PKEY *key_;
};

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
struct TestDesktop : help::DesktopSeam {
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

// A data folder, a program folder and a server, with the download folder pointing at it, and the
// key the server's archives are signed with.
struct Setup {
    Fixture f;
    QTemporaryDir programs;
    TestDesktop desktop;
    HttpServer server;
    Signer maker;
    Setup()
    {
        desktop.folder = programs.path();
        qputenv("TOLVA_DOWNLOAD_URL", server.folder().toUtf8());
        // As the start-up does (a server is set up with the column).
        help::addProgramNameColumn(*f.store);
    }
    ~Setup() { qunsetenv("TOLVA_DOWNLOAD_URL"); }
    QString working(const QString &file) const { return QDir(f.dir.path()).filePath(file); }
    QString program(const QString &file) const { return QDir(programs.path()).filePath(file); }
    QVariant qhsoftnow() { return f.store->scalar("select qhsoftnow from srf"); }
    // Puts an archive and its signature in the download folder.
    void publish(const QString &file, const QByteArray &zip)
    {
        server.serve("/qhfile/" + file, zip);
        server.serve("/qhfile/" + file + ".sig", maker.sign(zip));
    }
    // A download window that trusts the test's key.
    template <class W> void trust(W &window) { window.setSigningKey(maker.publicKey()); }
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

    // Only the maker's own host is fetched from, over https or from the loopback address: a
    // redirect to another host and plain http to anywhere else are refused before a byte arrives.
    void downloadRefusesOtherHostsAndPlainHttp_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("redirect");
        QTest::addColumn<bool>("done");
        QTest::newRow("redirect on the same host") << "http://127.0.0.1:%1/qhfile/old.zip" << "/qhfile/a.zip" << true;
        QTest::newRow("redirect to another host") << "http://127.0.0.1:%1/qhfile/old.zip" << "http://localhost:%1/qhfile/a.zip" << false;
        QTest::newRow("plain http elsewhere") << "http://update.example/qhfile/a.zip" << "" << false;
    }
    void downloadRefusesOtherHostsAndPlainHttp()
    {
        QFETCH(QString, address);
        QFETCH(QString, redirect);
        QFETCH(bool, done);
        HttpServer server;
        server.serve("/qhfile/a.zip", "the file");
        if (!redirect.isEmpty())
            server.redirect("/qhfile/old.zip", redirect.arg(server.port()));
        // Addresses of other hosts reach the test's server through it as a proxy.
        QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::HttpProxy, "127.0.0.1", server.port()));
        QTemporaryDir dir;
        Download download;
        QSignalSpy finished(&download, &Download::finished);
        download.start(QUrl(address.arg(server.port())), dir.filePath("a.zip"));
        const bool ended = finished.wait(5000);
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
        QVERIFY(ended);
        QCOMPARE(download.result() == Download::Result::Done, done);
        QCOMPARE(server.requests.value("/qhfile/a.zip"), done ? 1 : 0);
        QCOMPARE(fileBytes(dir.filePath("a.zip")), done ? QByteArray("the file") : QByteArray("<missing>"));
        if (!done)
            QVERIFY2(download.reason().contains("已拒绝"), qPrintable(download.reason()));
    }

    // A link where the file lands is replaced by the file: what it points to stays as it was.
    void downloadReplacesALinkRatherThanWritingThroughIt()
    {
        HttpServer server;
        server.serve("/qhfile/a.zip", "the file");
        QTemporaryDir dir, elsewhere;
        writeFile(elsewhere.filePath("tolva.db"), "a ledger");
        QVERIFY(QFile::link(elsewhere.filePath("tolva.db"), dir.filePath("a.zip")));
        Download download;
        QSignalSpy finished(&download, &Download::finished);
        download.start(QUrl(server.folder() + "a.zip"), dir.filePath("a.zip"));
        QVERIFY(finished.wait(5000));
        QCOMPARE(download.result(), Download::Result::Done);
        QCOMPARE(fileBytes(elsewhere.filePath("tolva.db")), QByteArray("a ledger"));
        QVERIFY(!QFileInfo(dir.filePath("a.zip")).isSymLink());
        QCOMPARE(fileBytes(dir.filePath("a.zip")), QByteArray("the file"));
    }

    // A disk that fills up stops the download with that reason, not as a silent server.
    void downloadStoppedByAFullDisk()
    {
        HttpServer server;
        server.serve("/qhfile/a.zip", QByteArray(400000, 'x'));
        QTemporaryDir dir;
        Download download;
        QSignalSpy finished(&download, &Download::finished);
        // The file may grow to 100 kB only, as on a disk that is nearly full.
        rlimit old;
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit small = old;
        small.rlim_cur = 100000;
        const auto previous = std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &small);
        download.start(QUrl(server.folder() + "a.zip"), dir.filePath("a.zip"));
        const bool ended = finished.wait(5000);
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, previous);
        QVERIFY(ended);
        QCOMPARE(download.result(), Download::Result::Failed);
        QVERIFY2(download.reason().contains("磁盘已满"), qPrintable(download.reason()));
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
        QTest::newRow("drive") << "C:/Windows/evil.exe";
        QTest::newRow("the ledger") << "tolva.db";
        QTest::newRow("a journal in a folder") << "doc/TOLVA.DB-WAL";
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

    // An archive goes in whole or not at all: one that fails on its way, or would not fit on the
    // disk, leaves the folder as it was.
    void unpackGoesInWholeOrNotAtAll_data()
    {
        QTest::addColumn<qint64>("stated");
        QTest::addColumn<QString>("reason");
        QTest::newRow("larger than it says") << qint64(10) << "大小";
        QTest::newRow("larger than the disk") << (qint64(1) << 50) << "磁盘空间不足";
    }
    void unpackGoesInWholeOrNotAtAll()
    {
        QFETCH(qint64, stated);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString zip = dir.filePath("a.zip");
        writeFile(zip, ZipBuilder()
                           .add("revizevar.exe", "new program", 0100755)
                           .add({"doc/manual.txt", QByteArray(5000, 'm'), 0100644, stated})
                           .bytes());
        const QString target = dir.filePath("programs");
        QDir().mkpath(target);
        writeFile(target + "/revizevar.exe", "old program");
        const Outcome o = help::unpack(zip, target);
        QVERIFY(!o.ok());
        QVERIFY2(o.message().contains(reason), qPrintable(o.message()));
        QCOMPARE(filesUnder(target), QStringList{"revizevar.exe"});
        QCOMPARE(fileBytes(target + "/revizevar.exe"), QByteArray("old program"));
        QCOMPARE(QDir(target).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{"revizevar.exe"});
    }

    // A link already in the folder is replaced, never written through; the files get the
    // permissions of the person's umask, the archive giving only whether a file is a program.
    void unpackReplacesLinksAndTakesPermissionsFromTheUmask()
    {
        QTemporaryDir dir, elsewhere;
        const QString victim = elsewhere.filePath("victim");
        writeFile(victim, "not yours");
        const QString target = dir.filePath("programs");
        QDir().mkpath(target);
        QVERIFY(QFile::link(victim, target + "/revizevar.exe"));
        const QString zip = dir.filePath("a.zip");
        writeFile(zip, ZipBuilder().add("revizevar.exe", "new program", 0100777).add("readme.txt", "hello", 0100666).bytes());
        const mode_t mask = umask(027);
        const Outcome o = help::unpack(zip, target);
        umask(mask);
        QVERIFY2(o.ok(), qPrintable(o.message()));
        QCOMPARE(fileBytes(victim), QByteArray("not yours"));
        QVERIFY(!QFileInfo(target + "/revizevar.exe").isSymLink());
        QCOMPARE(fileBytes(target + "/revizevar.exe"), QByteArray("new program"));
        const auto mode = [](const QString &path) {
            struct stat st;
            return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
        };
        QCOMPARE(mode(target + "/revizevar.exe"), 0750);
        QCOMPARE(mode(target + "/readme.txt"), 0640);
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
        s.publish("revizevar.zip", zipBytes({{"revizevar.exe", script("/dev/null"), 0755}, {"tolva.new", "new"}}));
        Trevizevar1 w(*s.f.context, nullptr, &s.desktop);
        s.trust(w);
        w.show();
        button(w, "BitBtn1")->click();
        QCOMPARE(s.f.ui.log.size(), 0);
        QCOMPARE(filesUnder(s.programs.path()), (QStringList{"revizevar.exe", "tolva.new"}));
        QVERIFY(!QFile::exists(s.working("revizevar.zip")));
        QCOMPARE(s.qhsoftnow().toString(), QString("tst_help"));
        QCOMPARE(s.f.context->settings().text("qhsoftnow"), QString("tst_help"));
        QCOMPARE(s.desktop.ended, QStringList{s.program("revizevar.exe")});
    }

    // Where the program runs in its own folder, an update that carries a ledger is refused as a
    // whole: the open ledger stays, nothing of the archive is written.
    void updateNeverReplacesTheLedger()
    {
        Setup s;
        s.desktop.folder = s.f.dir.path();
        s.f.store->exec("insert into sp2 (khm, numa, jz) values ('客户', 'MINE', '否')");
        const QByteArray ledger = fileBytes(s.working("tolva.db"));
        s.publish("revizevar.zip", zipBytes({{"revizevar.exe", "x", 0755}, {"tolva.db", "an empty ledger"}}));
        Trevizevar1 w(*s.f.context, nullptr, &s.desktop);
        s.trust(w);
        w.show();
        button(w, "BitBtn1")->click();
        QCOMPARE(s.f.ui.log.size(), 1);
        QVERIFY2(s.f.ui.log[0].text.startsWith("下载文件失败！"), qPrintable(s.f.ui.log[0].text));
        QVERIFY(s.desktop.ended.isEmpty());
        QVERIFY(!QFile::exists(s.working("revizevar.exe")));
        QCOMPARE(fileBytes(s.working("tolva.db")), ledger);
        QCOMPARE(s.f.store->scalar("select numa from sp2").toString(), QString("MINE"));
    }

    // An archive whose signature does not verify under the maker's key is not unpacked, nor its
    // program started: the program keeps running, and neither file is kept.
    void updateRefusesWhatTheMakerDidNotSign_data()
    {
        QTest::addColumn<QString>("signature");
        QTest::newRow("none published") << "none";
        QTest::newRow("made with another key") << "other key";
        QTest::newRow("of another archive") << "other archive";
        QTest::newRow("cut short") << "short";
    }
    void updateRefusesWhatTheMakerDidNotSign()
    {
        QFETCH(QString, signature);
        Setup s;
        const QByteArray zip = zipBytes({{"revizevar.exe", script("/dev/null"), 0755}});
        s.server.serve("/qhfile/revizevar.zip", zip);
        Signer stranger;
        if (signature == "other key")
            s.server.serve("/qhfile/revizevar.zip.sig", stranger.sign(zip));
        else if (signature == "other archive")
            s.server.serve("/qhfile/revizevar.zip.sig", s.maker.sign(zipBytes({{"revizevar.exe", "x", 0755}})));
        else if (signature == "short")
            s.server.serve("/qhfile/revizevar.zip.sig", s.maker.sign(zip).left(63));
        Trevizevar1 w(*s.f.context, nullptr, &s.desktop);
        s.trust(w);
        w.show();
        button(w, "BitBtn1")->click();
        QCOMPARE(s.f.ui.log.size(), 1);
        if (signature == "none") {
            QCOMPARE(s.f.ui.log[0].text, Trevizevar1::failure());
        } else {
            QVERIFY2(s.f.ui.log[0].text.startsWith("下载文件失败！"), qPrintable(s.f.ui.log[0].text));
            QVERIFY2(s.f.ui.log[0].text.contains("签名"), qPrintable(s.f.ui.log[0].text));
        }
        QVERIFY(s.desktop.ended.isEmpty());
        QVERIFY(s.qhsoftnow().isNull());
        QCOMPARE(filesUnder(s.programs.path()), QStringList());
        QCOMPARE(filesUnder(s.f.dir.path()), QStringList());
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
            s.publish("revizevar.zip", zipBytes({{"revizevar.exe", "x"}, {"../evil.exe", "x"}}));
        Trevizevar1 w(*s.f.context, nullptr, &s.desktop);
        s.trust(w);
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
        QVERIFY(s.desktop.ended.isEmpty());
        QCOMPARE(filesUnder(s.programs.path()), QStringList());
        QCOMPARE(filesUnder(s.f.dir.path()), QStringList());
        QVERIFY(!w.findChild<QStatusBar *>("StatusBar1")->findChildren<ElidedLabel *>()[2]->fullText().isEmpty());
    }

    // Installed by the package manager, the update leaves the program to it: it says so and fetches,
    // unpacks, notes and ends nothing. The demonstration still arrives and starts, in the user's own
    // folder, as the program's folder belongs to the system.
    void packageManagedInstallation()
    {
        struct Packaged : TestDesktop {
            bool packageManaged() const override { return true; }
            QString programFolder() const override { return help::DesktopSeam::programFolder(); }
        };
        Setup s;
        QTemporaryDir home;
        qputenv("XDG_DATA_HOME", QFile::encodeName(home.path()));
        const auto restore = qScopeGuard([] { qunsetenv("XDG_DATA_HOME"); });
        Packaged desktop;
        s.server.serve("/qhfile/revizevar.zip", zipBytes({{"revizevar.exe", script("/dev/null"), 0755}}));
        Trevizevar1 update(*s.f.context, nullptr, &desktop);
        update.show();
        button(update, "BitBtn1")->click();
        QCOMPARE(s.f.ui.log.size(), 1);
        QCOMPARE(s.f.ui.log[0].caption, Trevizevar1::title());
        QCOMPARE(s.f.ui.log[0].text, Trevizevar1::byPackageManager());
        QCOMPARE(s.server.requestCount(), 0);
        QVERIFY(desktop.ended.isEmpty());
        QVERIFY(s.qhsoftnow().isNull());

        const QString marker = s.working("started");
        s.publish("tolvaguide_readme.zip", zipBytes({{"tolvaguide_readme.exe", script(marker), 0755}}));
        s.f.ui.clear();
        s.f.ui.answers << true;
        Trevizevar2 guide(*s.f.context, nullptr, &desktop);
        s.trust(guide);
        guide.show();
        button(guide, "BitBtn1")->click();
        QCOMPARE(s.f.ui.texts(), (QStringList{Trevizevar2::ask(), Trevizevar2::arrived()}));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker), 5000);
        QVERIFY(desktop.programFolder().startsWith(home.path() + "/"));
        QCOMPARE(filesUnder(home.path()), QStringList{QDir(home.path()).relativeFilePath(desktop.programFolder()) +
                                                      "/tolvaguide_readme.exe"});
    }

    // The package build, and it alone, makes a program that the package manager updates.
    void packageManagedFollowsTheBuild()
    {
        QCOMPARE(help::DesktopSeam().packageManaged(), bool(TOLVA_PACKAGED_BUILD));
    }

    void demonstrationAlreadyPresentStartsWithoutFetching()
    {
        Setup s;
        const QString marker = s.working("started");
        writeFile(s.program("tolvaguide_readme.exe"), script(marker));
        QFile::setPermissions(s.program("tolvaguide_readme.exe"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        Trevizevar2 w(*s.f.context, nullptr, &s.desktop);
        s.trust(w);
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
        s.publish("tolvaguide_readme.zip", zipBytes({{"tolvaguide_readme.exe", script(marker), 0755}}));
        Trevizevar2 w(*s.f.context, nullptr, &s.desktop);
        s.trust(w);
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
        Trevizevar2 w(*s.f.context, nullptr, &s.desktop);
        s.trust(w);
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
        writeFile(program, script(s.working("old"), true));
        QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        s.publish("tolvaguide_readme.zip", zipBytes({{"tolvaguide_readme.exe", script(marker), 0755}}));
        Trevizevar2 w(*s.f.context, nullptr, &s.desktop);
        s.trust(w);
        w.show();

        QProcess running;
        running.start(program, {});
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(s.working("old")), 5000);
        button(w, "BitBtn3")->click();
        QCOMPARE(s.f.ui.texts(), (QStringList{"如果演示程序正在运行,请先关闭后再升级！", "您需要升级的程序正在使用,请先关闭后再升级！"}));
        QCOMPARE(s.server.requestCount(), 0);
        running.kill();
        running.waitForFinished();
        QTRY_VERIFY_WITH_TIMEOUT(!s.desktop.running(program), 5000);

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
        s.publish("tolvaguide_readme.zip", zipBytes({{"tolvaguide_readme.exe", "x", 0755}, {"../../evil", "x"}}));
        Trevizevar2 w(*s.f.context, nullptr, &s.desktop);
        s.trust(w);
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
        s.desktop.viewerExists = viewer;
        std::unique_ptr<QDialog> window(help::openHelp(*s.f.context, nullptr, s.desktop));
        QCOMPARE(bool(window), builtIn);
        QCOMPARE(s.desktop.documents, file ? QStringList{s.working("tolvahelp.chm")} : QStringList());
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
        // "返回(&X)" closes the window, also by its key.
        auto *back = w.findChild<QPushButton *>("btn1_exit");
        QCOMPARE(back->text(), QString("返回(&X)"));
        QCOMPARE(back->shortcut(), QKeySequence("Alt+X"));
        back->click();
        QVERIFY(!w.isVisible());
    }

    // Links open the home page or a mail through the desktop and light up under the mouse; they
    // look alike in every window.
    void links()
    {
        Setup s;
        Tsbabout about(*s.f.context);
        Trevizevar1 update(*s.f.context, nullptr, &s.desktop);
        Trevizevar2 guide(*s.f.context, nullptr, &s.desktop);
        struct Case {
            QWidget *window;
            const char *link;
            QString url;
            QColor normal;
            bool emphasis;
        };
        const QString home = "https://www.example.com/", mail = "mailto:service@example.com";
        const QList<Case> cases = {
            {&about, "Label3", home, Qt::blue, true},    {&about, "Label5", mail, Qt::blue, true},
            {&about, "Label12", home, Qt::blue, true},   {&about, "Label14", mail, Qt::blue, true},
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
        Trevizevar1 update(*s.f.context, nullptr, &s.desktop);
        update.show();
        QCOMPARE(update.windowTitle(), QString("青禾软件在线升级(https://www.example.com/)"));
        auto panels = update.findChild<QStatusBar *>("StatusBar1")->findChildren<ElidedLabel *>();
        QCOMPARE(panels[0]->fullText(), QString("青禾软件为您服务"));
        QCOMPARE(panels[1]->fullText(), QString("最新信息及软件更新请访问青禾主页:https://www.example.com/"));

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
