#include "backup/backupcli.h"
#include "backup/backuprules.h"
#include "base/zip.h"
#include "fixture.h"
#include "store/dataset.h"

#include <QProcess>

#include <unistd.h>
#include "files.h"
#include "zipbuilder.h"

#include <QtTest>

using namespace tolva;
using namespace tolva::backup;

namespace {

// Reads every entry of an archive with the password; throws what the reader throws.
void verifyZip(const QString &path, const QString &password)
{
    ZipReader zip(path);
    zip.setPassword(password);
    zip.verify();
}

QStringList extractZip(const QString &path, const QString &password, const QString &folder)
{
    ZipReader zip(path);
    zip.setPassword(password);
    return zip.extractAll(folder);
}

// Every row of every table, in stored order: what "the data" is for the refusals.
QString contents(Store &store)
{
    QString out;
    for (const QString &table : store.tables()) {
        out += table + ":";
        for (const auto &row : store.select("select * from " + table + " order by rowid").rows)
            for (const QVariant &v : row)
                out += v.toString() + "|";
        out += "\n";
    }
    return out;
}

// Runs an Info-ZIP tool; fails the test when it cannot start.
int tool(const QString &program, const QStringList &args, const QString &folder, QByteArray *output = nullptr)
{
    QProcess p;
    p.setWorkingDirectory(folder);
    p.start(program, args);
    if (!p.waitForFinished(60000))
        qFatal("%s did not run", qPrintable(program));
    if (output)
        *output = p.readAllStandardOutput();
    return p.exitCode();
}

void addContract(Store &store, const QString &numa)
{
    store.exec("insert into sp2 (khm, numa, jz) values (:g1, :g2, '否')", {{"g1", "客户" + numa}, {"g2", numa}});
}

// A second data folder of ours, closed, with one contract: what another machine's backup holds.
void otherLedger(const QString &folder, const QString &numa)
{
    Store other(folder);
    addContract(other, numa);
}

QStringList names(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

class TestBackupRules : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void archiveNames_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("archive");
        QTest::addColumn<QString>("photos");
        QTest::newRow("lower") << "/bak/a.zip" << "/bak/a.zip" << "/bak/aphot";
        QTest::newRow("upper") << "/bak/x.ZIP" << "/bak/x.zip" << "/bak/xphot";
        QTest::newRow("none") << "/bak/x" << "/bak/x.zip" << "/bak/xphot";
    }
    void archiveNames()
    {
        QFETCH(QString, chosen);
        QFETCH(QString, archive);
        QFETCH(QString, photos);
        QCOMPARE(archivePath(chosen), archive);
        QCOMPARE(photoCopy(chosen), photos);
    }

    void proposedNameIsFolderAndStamp()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("租赁"));
        QCOMPARE(proposedName(dir.path() + "/租赁", QDate(2004, 4, 23)), QString("租赁20040423"));
        QCOMPARE(proposedName(dir.path() + "/租赁/", QDate(2004, 4, 23)), QString("租赁20040423"));
    }

    // What the program writes, Info-ZIP reads with the password: the same names, the same bytes,
    // the comment; without the password it reads nothing.
    void infoZipReadsOurArchive()
    {
        Fixture f;
        addContract(*f.store, "A1");
        const QString folder = f.store->folder();
        writeFile(folder + "/setup.ini", "[x]\nk=1\n");
        writeFile(folder + "/notes.txt", "not a data file");
        writeFile(folder + "/old.FPT", QByteArray(5000, 'z'));
        QTemporaryDir out;
        const QString archive = out.path() + "/b.zip";
        QStringList packed;
        QVERIFY(writeBackup(*f.store, archive, &packed));
        QCOMPARE(packed, (QStringList{"tolva.db", "old.FPT", "setup.ini"}));

        QByteArray listing;
        QCOMPARE(tool("unzip", {"-Z1", archive}, out.path(), &listing), 0);
        QCOMPARE(QString::fromUtf8(listing).split('\n', Qt::SkipEmptyParts), packed);
        QByteArray comment;
        QCOMPARE(tool("unzip", {"-z", archive}, out.path(), &comment), 0);
        QVERIFY(QString::fromUtf8(comment).contains(backup::comment()));

        QCOMPARE(tool("unzip", {"-P", "wrong", "-d", out.path() + "/bad", archive}, out.path()) != 0, true);
        QCOMPARE(tool("unzip", {"-P", password(), "-d", out.path() + "/info", archive}, out.path()), 0);
        QCOMPARE(fileBytes(out.path() + "/info/setup.ini"), fileBytes(folder + "/setup.ini"));
        QCOMPARE(fileBytes(out.path() + "/info/old.FPT"), fileBytes(folder + "/old.FPT"));
        // Our own reading gives the same bytes as Info-ZIP's.
        QVERIFY(QDir(out.path()).mkdir("own"));
        QCOMPARE(extractZip(archive, password(), out.path() + "/own"), packed);
        QCOMPARE(fileBytes(out.path() + "/own/tolva.db"), fileBytes(out.path() + "/info/tolva.db"));
        // tolva.db went in as a copy of the running store, standing alone and complete.
        QVERIFY(!QFile::exists(out.path() + "/info/tolva.db-wal"));
        {
            Store copy(out.path() + "/info");
            QCOMPARE(contents(copy), contents(*f.store));
        }
        // Nothing of the work is left in the data folder.
        QCOMPARE(names(folder), (QStringList{"notes.txt", "old.FPT", "setup.ini", "tolva.db", "tolva.db-shm",
                                             "tolva.db-wal"}));
    }

    // An archive that Info-ZIP made of another data folder replaces the data; the replaced file
    // stays under a dated name, and the open store reads the new data at once.
    void restoresInfoZipArchive()
    {
        Fixture f;
        addContract(*f.store, "MINE");
        const QString before = contents(*f.store);
        QTemporaryDir other;
        otherLedger(other.path(), "THEIRS");
        writeFile(other.path() + "/setup.ini", "restored");
        writeFile(other.path() + "/readme.txt", "left out");
        const QString archive = other.path() + "/other.zip";
        QCOMPARE(tool("zip", {"-q", "-j", "-P", password(), archive, "tolva.db", "setup.ini", "readme.txt"},
                      other.path()),
                 0);

        // What a restore broken off by a power cut left behind goes with the next one.
        QVERIFY(QDir(f.store->folder()).mkpath(".tolva-restore-ab12/x"));
        Restored r;
        const Outcome o = restoreArchive(f.store->folder(), archive, f.now, f.store.get(), &r);
        QVERIFY2(o.ok(), qPrintable(o.message()));
        QCOMPARE(r.files, (QStringList{"setup.ini", "tolva.db"}));
        QCOMPARE(names(f.store->folder()).filter(".tolva-"), QStringList());
        QCOMPARE(r.kept, QStringList{"tolva.db.before-restore-20040201-080309"});
        QCOMPARE(r.skipped, QStringList{"readme.txt"});
        QCOMPARE(f.store->select("select numa from sp2").rows.value(0).value(0).toString(), QString("THEIRS"));
        QCOMPARE(fileBytes(f.store->folder() + "/setup.ini"), QByteArray("restored"));
        QVERIFY(!QFile::exists(f.store->folder() + "/readme.txt"));
        {
            // The kept file is the ledger as it was.
            QTemporaryDir look;
            QVERIFY(QFile::copy(f.store->folder() + "/" + r.kept[0], look.path() + "/tolva.db"));
            Store old(look.path());
            QCOMPARE(contents(old), before);
        }
        // The store keeps working on the restored file.
        addContract(*f.store, "NEXT");
        QCOMPARE(f.store->select("select numa from sp2").rows.size(), 2);
    }

    // Every bad archive is refused with the reason, and the data, the files of the folder and the
    // open store stay exactly as they were.
    void refusalsLeaveDataAlone_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("wrong password") << "password" << "密码不对";
        QTest::newRow("truncated") << "truncated" << "无法打开备份文件";
        QTest::newRow("unrelated files") << "unrelated" << "没有数据文件 tolva.db";
        QTest::newRow("folder part") << "folder" << "带有文件夹";
        QTest::newRow("dot-dot") << "dotdot" << "带有文件夹";
        QTest::newRow("not a ledger") << "text" << "不是本程序的数据文件";
        QTest::newRow("damaged ledger") << "damaged" << "损坏";
        QTest::newRow("missing table") << "table" << "缺少数据表 czbnow";
        QTest::newRow("data file larger than the disk") << "huge" << "磁盘空间不足";
        QTest::newRow("data file larger than it says") << "inflating" << "大小";
        QTest::newRow("link") << "link" << "不是普通的文件";
    }
    void refusalsLeaveDataAlone()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        Fixture f;
        addContract(*f.store, "MINE");
        const QString folder = f.store->folder();
        const QString before = contents(*f.store);
        const QStringList filesBefore = names(folder);

        QTemporaryDir work;
        const QString w = work.path();
        const QString archive = w + "/x.zip";
        const auto zip = [&](const QStringList &args, const QString &in) {
            QCOMPARE(tool("zip", QStringList{"-q"} + args, in), 0);
        };
        if (kind == "password" || kind == "truncated") {
            otherLedger(w, "THEIRS");
            zip({"-j", "-P", kind == "password" ? "other" : password(), archive, "tolva.db"}, w);
            if (kind == "truncated") {
                QByteArray all = fileBytes(archive);
                writeFile(archive, all.left(all.size() / 2));
            }
        } else if (kind == "unrelated") {
            writeFile(w + "/letter.doc", "hello");
            writeFile(w + "/setup.ini", "x");
            zip({"-j", "-P", password(), archive, "letter.doc", "setup.ini"}, w);
        } else if (kind == "folder") {
            QDir(w).mkdir("sub");
            otherLedger(w + "/sub", "THEIRS");
            zip({"-P", password(), archive, "sub/tolva.db"}, w);
        } else if (kind == "dotdot") {
            QDir(w).mkdir("sub");
            otherLedger(w, "THEIRS");
            zip({"-P", password(), archive, "../tolva.db"}, w + "/sub");
        } else if (kind == "text") {
            writeFile(w + "/tolva.db", "SQLite format 3? no, a letter");
            zip({"-j", "-P", password(), archive, "tolva.db"}, w);
        } else if (kind == "damaged") {
            otherLedger(w, "THEIRS");
            {
                Store s(w);
                for (int i = 0; i < 300; ++i)
                    addContract(s, QString::number(i));
            }
            // Scribble over a page in the middle, leaving the header whole.
            QFile db(w + "/tolva.db");
            QVERIFY(db.open(QIODevice::ReadWrite));
            db.seek(db.size() / 2);
            db.write(QByteArray(4096, '\x5a'));
            db.close();
            zip({"-j", "-P", password(), archive, "tolva.db"}, w);
        } else if (kind == "huge" || kind == "inflating" || kind == "link") {
            otherLedger(w, "THEIRS");
            ZipBuilder zip;
            zip.add("tolva.db", fileBytes(w + "/tolva.db"));
            if (kind == "huge")
                zip.add({"setup.ini", "x", 0100644, qint64(1) << 50});
            else if (kind == "inflating")
                zip.add({"setup.ini", QByteArray(100000, 'x'), 0100644, 10});
            else
                zip.add("setup.ini", "/etc/passwd", 0120777);
            writeFile(archive, zip.bytes());
        } else if (kind == "table") {
            {
                otherLedger(w, "THEIRS");
                Store s(w);
                s.exec("drop table czbnow");
            }
            zip({"-j", "-P", password(), archive, "tolva.db"}, w);
        }

        const Outcome o = restoreArchive(folder, archive, f.now, f.store.get());
        QVERIFY(!o.ok());
        QVERIFY2(o.message().startsWith("数据恢复失败！"), qPrintable(o.message()));
        QVERIFY2(o.message().contains(reason), qPrintable(o.message()));
        QCOMPARE(contents(*f.store), before);
        QCOMPARE(names(folder), filesBefore);
        addContract(*f.store, "STILL OPEN");
    }

    // A store in the middle of a change is not closed under it: nothing is swapped.
    void storeInTransactionIsNotSwapped()
    {
        Fixture f;
        QTemporaryDir w;
        otherLedger(w.path(), "THEIRS");
        QVERIFY(writeBackup(*f.store, w.path() + "/ok.zip"));
        addContract(*f.store, "MINE");
        const QString before = contents(*f.store);
        f.store->begin();
        const Outcome o = restoreArchive(f.store->folder(), w.path() + "/ok.zip", f.now, f.store.get());
        f.store->rollback();
        QVERIFY(!o.ok());
        QCOMPARE(contents(*f.store), before);
        QCOMPARE(names(f.store->folder()).filter("before-restore"), QStringList());
    }

    // When the restored file fails as the program reopens it (here a result set of the running
    // program asks for a table the restored file lacks), the old files go back in place.
    void failedReopeningPutsTheOldFilesBack()
    {
        Fixture f;
        f.store->exec("create table extra (a varchar(10))");
        f.store->exec("insert into extra (a) values ('x')");
        Dataset extra(*f.store);
        extra.open("select * from extra");
        addContract(*f.store, "MINE");
        writeFile(f.store->folder() + "/setup.ini", "mine");
        const QString before = contents(*f.store);
        const QStringList filesBefore = names(f.store->folder());
        QTemporaryDir w;
        otherLedger(w.path(), "THEIRS");
        writeFile(w.path() + "/setup.ini", "theirs");
        QCOMPARE(tool("zip", {"-q", "-j", "-P", password(), w.path() + "/o.zip", "tolva.db", "setup.ini"}, w.path()), 0);

        const Outcome o = restoreArchive(f.store->folder(), w.path() + "/o.zip", f.now, f.store.get());
        QVERIFY(!o.ok());
        QVERIFY2(o.message().contains("恢复的数据文件无法打开"), qPrintable(o.message()));
        QVERIFY(f.store->isOpen());
        QCOMPARE(contents(*f.store), before);
        QCOMPARE(names(f.store->folder()), filesBefore);
        QCOMPARE(fileBytes(f.store->folder() + "/setup.ini"), QByteArray("mine"));
        QCOMPARE(extra.rowCount(), 1);
    }

    // Backup, change, restore: the data of the moment of the backup comes back.
    void roundTrip()
    {
        Fixture f;
        addContract(*f.store, "A1");
        const QString atBackup = contents(*f.store);
        QTemporaryDir out;
        QVERIFY(writeBackup(*f.store, out.path() + "/r.zip"));
        addContract(*f.store, "A2");
        f.store->exec("delete from sbpass where namea='录入员'");
        QVERIFY(restoreArchive(f.store->folder(), out.path() + "/r.zip", f.now, f.store.get()));
        QCOMPARE(contents(*f.store), atBackup);
        // A second restore in the same second keeps the first kept file too.
        QVERIFY(restoreArchive(f.store->folder(), out.path() + "/r.zip", f.now, f.store.get()));
        QCOMPARE(names(f.store->folder()).filter("before-restore").size(), 2);
    }

    // With a period closed, a backup does not replace the ledger until the period is opened again.
    void aClosedPeriodHoldsOffTheRestore()
    {
        Fixture f;
        addContract(*f.store, "A1");
        QTemporaryDir out;
        QVERIFY(writeBackup(*f.store, out.path() + "/r.zip"));
        addContract(*f.store, "A2");
        f.store->exec("update srf set zzrq='2004-01-31'");
        const QString before = contents(*f.store);
        const Outcome o = restoreArchive(f.store->folder(), out.path() + "/r.zip", f.now, f.store.get());
        QVERIFY(!o.ok());
        QVERIFY2(o.message().contains("账已经结到2004-01-31"), qPrintable(o.message()));
        QCOMPARE(contents(*f.store), before);
        f.store->exec("update srf set zzrq=null");
        QVERIFY(restoreArchive(f.store->folder(), out.path() + "/r.zip", f.now, f.store.get()));
        QCOMPARE(f.store->scalar("select count(*) from sp2 where numa='A2'").toInt(), 0);
    }

    // The command line: a backup, a change, a restore from the written archive; and the failures
    // exit non-zero with the reason.
    void commandLine()
    {
        QTemporaryDir data, out;
        otherLedger(data.path(), "A1");
        const auto run = [&](const QStringList &args, QString *printed) {
            QString o, e;
            QTextStream so(&o), se(&e);
            const int code = backupCommand(QStringList{"tolva"} + args, data.path(),
                                           QDateTime(QDate(2004, 5, 6), QTime(7, 8, 9)), so, se);
            so.flush();
            se.flush();
            *printed = code == 0 ? o : e;
            return code;
        };
        QString printed;
        QCOMPARE(run({"--backup", out.path() + "/night"}, &printed), 0);
        QVERIFY2(printed.contains("night.zip") && printed.contains("tolva.db"), qPrintable(printed));
        QString before;
        {
            Store s(data.path());
            before = contents(s);
            addContract(s, "A2");
        }
        QCOMPARE(run({"--restore", out.path() + "/night.zip"}, &printed), 0);
        QVERIFY2(printed.contains("tolva.db.before-restore-20040506-070809"), qPrintable(printed));
        {
            Store s(data.path());
            QCOMPARE(contents(s), before);
        }
        QCOMPARE(run({"--restore", out.path() + "/none.zip"}, &printed), 1);
        QVERIFY(printed.contains("找不到备份文件"));
        QCOMPARE(run({"--restore"}, &printed), 1);
        writeFile(out.path() + "/bad.zip", "x");
        QCOMPARE(run({"--restore", out.path() + "/bad.zip"}, &printed), 1);
        QVERIFY(printed.startsWith("数据恢复失败！"));
    }

    void compactingAsksAgainWhileAnotherHoldsTheFile()
    {
        Fixture f;
        Store other(f.store->folder());
        other.begin();
        addContract(other, "LOCK");
        QStringList asked;
        const Outcome given = compactTables(*f.store, [&](const QString &why) {
            asked << why;
            return asked.size() < 2;
        });
        QVERIFY(!given.ok());
        QCOMPARE(asked.size(), 2);
        other.rollback();
        QVERIFY(compactTables(*f.store, [](const QString &) { return false; }).ok());
    }

    void photosReplaceTheTargetsPictures()
    {
        QTemporaryDir dir;
        const QString from = dir.path() + "/phot", to = dir.path() + "/bak/aphot";
        QDir().mkpath(from);
        writeFile(from + "/p1.jpg", "one");
        writeFile(from + "/p2.jpg", "two");
        writeFile(from + "/note.txt", "not a photo");
        QCOMPARE(copyPhotos(from, to), QStringList()); // made with its parents
        QCOMPARE(names(to), (QStringList{"p1.jpg", "p2.jpg"}));
        QFile::remove(from + "/p2.jpg");
        writeFile(from + "/p1.jpg", "new one");
        writeFile(to + "/keep.txt", "mine");
        QCOMPARE(copyPhotos(from, to), QStringList());
        QCOMPARE(names(to), (QStringList{"keep.txt", "p1.jpg"}));
        QCOMPARE(fileBytes(to + "/p1.jpg"), QByteArray("new one"));
    }

    // One archive a day, read back; the newest ten kept; other files of the folder left alone.
    void dailyBackupsRotate()
    {
        Fixture f;
        const QString folder = dailyFolder(f.store->folder());
        QDir().mkpath(folder);
        writeFile(folder + "/mine.zip", "kept by hand");
        QStringList written;
        for (int day = 1; day <= 12; ++day) {
            const QDate today(2004, 3, day);
            Daily d;
            const Outcome o = dailyBackup(*f.store, today, &d);
            QVERIFY2(o.ok(), qPrintable(o.message()));
            QVERIFY(d.written);
            written << QFileInfo(d.archive).fileName();
            Daily again;
            QVERIFY(dailyBackup(*f.store, today, &again));
            QVERIFY(!again.written);
            QCOMPARE(again.archive, d.archive);
        }
        const QString stem = proposedName(f.store->folder(), QDate(2004, 3, 1)).chopped(8);
        QCOMPARE(written.first(), stem + "20040301.zip");
        QStringList expected = written.mid(2);
        expected << "mine.zip";
        expected.sort();
        QCOMPARE(names(folder), expected);
        verifyZip(QDir(folder).filePath(written.last()), password());
    }

    // A damaged entry is caught by reading the archive back.
    void verifyFindsDamage()
    {
        QTemporaryDir dir;
        writeFile(dir.path() + "/a.ini", QByteArray(20000, 'a') + QByteArray::number(12345));
        const QString archive = dir.path() + "/v.zip";
        writeZip(archive, {{"a.ini", dir.path() + "/a.ini"}}, password(), comment());
        verifyZip(archive, password());
        // A wrong password is named as such, also when it passes the encryption's one-byte check,
        // as about one in 256 do.
        for (int i = 0; i < 1000; ++i) {
            try {
                verifyZip(archive, QString("other%1").arg(i));
                QFAIL("read with a wrong password");
            } catch (const ZipError &e) {
                QVERIFY2(e.text().contains("密码不对"), qPrintable(e.text()));
            }
        }
        QByteArray all = fileBytes(archive);
        all[60] = char(all[60] ^ 0x55); // inside the entry's data
        writeFile(archive, all);
        QVERIFY_THROWS_EXCEPTION(ZipError, verifyZip(archive, password()));
    }

    // Only the data files of an archive are unpacked: an entry that is none is left in the archive
    // unread, however large it claims to be.
    void entriesThatAreNoDataFilesStayInTheArchive()
    {
        Fixture f;
        QTemporaryDir w;
        otherLedger(w.path(), "THEIRS");
        const QString archive = w.path() + "/x.zip";
        writeFile(archive, ZipBuilder()
                               .add({"film.mp4", "short", 0100644, qint64(1) << 50})
                               .add("tolva.db", fileBytes(w.path() + "/tolva.db"))
                               .add("setup.ini", "theirs")
                               .bytes());
        Restored r;
        const Outcome o = restoreArchive(f.store->folder(), archive, f.now, f.store.get(), &r);
        QVERIFY2(o.ok(), qPrintable(o.message()));
        QCOMPARE(r.files, (QStringList{"setup.ini", "tolva.db"}));
        QCOMPARE(r.skipped, QStringList{"film.mp4"});
        QCOMPARE(f.store->select("select numa from sp2").rows.value(0).value(0).toString(), QString("THEIRS"));
    }

    // A file that cannot be kept stops the restore with the reason the system gave.
    void aFileThatCannotBeKeptIsNamedWithItsReason()
    {
        Fixture f;
        QVERIFY(QDir(f.store->folder()).mkdir("setup.ini")); // a folder where the archive has a file
        QTemporaryDir w;
        otherLedger(w.path(), "THEIRS");
        writeFile(w.path() + "/setup.ini", "theirs");
        QCOMPARE(tool("zip", {"-q", "-j", "-P", password(), w.path() + "/o.zip", "tolva.db", "setup.ini"}, w.path()), 0);
        const Outcome o = restoreArchive(f.store->folder(), w.path() + "/o.zip", f.now, f.store.get());
        QVERIFY(!o.ok());
        QVERIFY2(o.message().contains("无法保留原来的 setup.ini："), qPrintable(o.message()));
        QVERIFY2(!o.message().contains("Success"), qPrintable(o.message()));
        QVERIFY(f.store->isOpen());
        QVERIFY(QFileInfo(f.store->folder() + "/setup.ini").isDir());
    }

    // An archive is never written over a data file, whatever name leads there.
    void backupRefusesToWriteOverADataFile_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("link to the ledger") << "link";
        QTest::newRow("second name of the journal") << "hard";
    }
    void backupRefusesToWriteOverADataFile()
    {
        QFETCH(QString, how);
        Fixture f;
        addContract(*f.store, "MINE");
        const QString folder = f.store->folder();
        QTemporaryDir out;
        const QString archive = out.path() + "/night.zip";
        if (how == "link")
            QVERIFY(QFile::link(folder + "/tolva.db", archive));
        else
            QCOMPARE(::link(QFile::encodeName(folder + "/tolva.db-wal").constData(), QFile::encodeName(archive).constData()), 0);
        const QString before = contents(*f.store);
        const QByteArray ledger = fileBytes(folder + "/tolva.db");
        const Outcome o = writeBackup(*f.store, archive);
        QVERIFY(!o.ok());
        QVERIFY2(o.message().contains("数据文件"), qPrintable(o.message()));
        QCOMPARE(fileBytes(folder + "/tolva.db"), ledger);
        QCOMPARE(contents(*f.store), before);
        QCOMPARE(names(out.path()), QStringList{"night.zip"});
    }

    // What a killed backup left beside its archive (its own temporary and the ZIP library's inside
    // it, or an older program's half-written one) goes with the next backup to that name; the
    // files of others stay.
    void backupRemovesWhatAKilledOneLeft()
    {
        QTemporaryDir data, out;
        otherLedger(data.path(), "A1");
        QProcess gone;
        gone.start("true", {});
        QVERIFY(gone.waitForFinished());
        const QString dead = QString::number(gone.processId());
        const QByteArray half = QByteArray("PK\x03\x04", 4) + QByteArray(5000, 'h');
        const QByteArray whole = ZipBuilder().add("a.txt", "a").bytes();
        const QString o = out.path() + "/";
        writeFile(o + ".night.zip.tolva-" + dead + "-Ab12Cd", half);
        writeFile(o + ".night.zip.tolva-" + dead + "-Ab12Cd.xY34zW", half);
        writeFile(o + "night.zip.q1W2e3", half);
        writeFile(o + "night.zip.backup", whole);      // a copy the user made
        writeFile(o + "other.zip.q1W2e3", half);       // another archive's
        QString printed, errors;
        QTextStream so(&printed), se(&errors);
        QCOMPARE(backupCommand({"tolva", "--backup", o + "night"}, data.path(), QDateTime(QDate(2004, 5, 6), QTime(7, 8, 9)), so, se), 0);
        QCOMPARE(names(out.path()), (QStringList{"night.zip", "night.zip.backup", "other.zip.q1W2e3"}));
    }

    // A work folder's name that is a link to elsewhere is removed as a link: what it points to stays.
    void linksInTheDataFolderAreNotFollowed()
    {
        QTemporaryDir data, elsewhere;
        otherLedger(data.path(), "A1");
        for (const QString &name : {QString(".tolva-backup-x1"), QString(".tolva-restore-x2")}) {
            QVERIFY(QDir(elsewhere.path()).mkdir(name));
            writeFile(elsewhere.path() + "/" + name + "/precious.txt", "keep");
            QVERIFY(QFile::link(elsewhere.path() + "/" + name, data.path() + "/" + name));
        }
        QTemporaryDir out;
        QString printed, errors;
        QTextStream so(&printed), se(&errors);
        QCOMPARE(backupCommand({"tolva", "--backup", out.path() + "/a.zip"}, data.path(), QDateTime(QDate(2004, 5, 6), QTime(7, 8, 9)), so, se), 0);
        QCOMPARE(backupCommand({"tolva", "--restore", out.path() + "/a.zip"}, data.path(), QDateTime(QDate(2004, 5, 6), QTime(7, 8, 9)), so, se), 0);
        for (const QString &name : {QString(".tolva-backup-x1"), QString(".tolva-restore-x2")})
            QCOMPARE(fileBytes(elsewhere.path() + "/" + name + "/precious.txt"), QByteArray("keep"));
        QCOMPARE(names(data.path()).filter(".tolva-"), QStringList());
    }

    // The daily backup removes only its own archives: its name for the folder and the day, and
    // the program's mark inside. Other archives in the folder, dated names included, stay, and an
    // archive of the user's dated today is no daily backup of today.
    void dailyBackupRemovesOnlyItsOwnArchives()
    {
        Fixture f;
        const QString folder = dailyFolder(f.store->folder());
        QDir().mkpath(folder);
        const QString stem = proposedName(f.store->folder(), QDate(2004, 3, 1)).chopped(8);
        const QByteArray foreign = ZipBuilder().add("letter.txt", "mine").bytes();
        const QStringList users{"月底备份20040101.zip", "月底备份20040320.zip", stem + "20040102.zip", "x" + stem + "20040103.zip"};
        for (const QString &name : users)
            writeFile(folder + "/" + name, foreign);
        QStringList written;
        for (int day = 10; day <= 21; ++day) {
            Daily d;
            const Outcome o = dailyBackup(*f.store, QDate(2004, 3, day), &d);
            QVERIFY2(o.ok(), qPrintable(o.message()));
            QVERIFY(d.written);
            written << QFileInfo(d.archive).fileName();
        }
        QStringList expected = written.mid(2) + users;
        expected.sort();
        QCOMPARE(names(folder), expected);
        for (const QString &name : users)
            QCOMPARE(fileBytes(folder + "/" + name), foreign);
    }

    // What a daily backup killed on an earlier day left behind goes with the next daily backup;
    // the leftovers of other names stay.
    void dailyBackupRemovesWhatAKilledOneLeft()
    {
        Fixture f;
        const QString folder = dailyFolder(f.store->folder());
        QDir().mkpath(folder);
        const QString stem = proposedName(f.store->folder(), QDate(2004, 3, 1)).chopped(8);
        QProcess gone;
        gone.start("true", {});
        QVERIFY(gone.waitForFinished());
        const QString dead = QString::number(gone.processId());
        const QByteArray half = QByteArray("PK\x03\x04", 4) + QByteArray(5000, 'h');
        const QString o = folder + "/";
        writeFile(o + "." + stem + "20040301.zip.tolva-" + dead + "-Ab12Cd", half);
        writeFile(o + "." + stem + "20040301.zip.tolva-" + dead + "-Ab12Cd.xY34zW", half);
        writeFile(o + stem + "20040302.zip.q1W2e3", half);
        writeFile(o + ".月底备份.zip.tolva-" + dead + "-Ab12Cd", half);
        Daily d;
        QVERIFY(dailyBackup(*f.store, QDate(2004, 3, 10), &d));
        QCOMPARE(names(folder), (QStringList{".月底备份.zip.tolva-" + dead + "-Ab12Cd", stem + "20040310.zip"}));
    }
};

QTEST_GUILESS_MAIN(TestBackupRules)
#include "tst_backuprules.moc"
