#include "store/dataset.h"
#include "store/store.h"
#include "files.h"

#include <QCryptographicHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

using namespace tolva;

namespace {

QByteArray contents(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void write(const QString &path, const QByteArray &bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

// Runs statements on a file through a connection of its own, as another program would.
void runOn(const QString &path, const QStringList &statements) {
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "other-program");
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery q(db);
        for (const QString &s : statements)
            QVERIFY2(q.exec(s), qPrintable(s));
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase("other-program");
}

// A data file of ours with a few pages of rows, closed.
QByteArray ourFile() {
    QTemporaryDir dir;
    {
        Store s(dir.path());
        s.transaction([&] {
            for (int i = 0; i < 300; ++i)
                s.exec("insert into sp2(khm,numa,bz) values(:g1,:g2,:g3)", {{"g1", QString("客户%1").arg(i)},
                                                                            {"g2", QString("H%1").arg(i)},
                                                                            {"g3", QString(50, 'x')}});
        });
    }
    return contents(dir.filePath("tolva.db"));
}

QString refusalOf(const QString &folder) {
    try {
        Store s(folder);
    } catch (const StoreError &e) {
        return e.text();
    }
    return QString();
}

} // namespace

class TestStoreFile : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void foreignFilesAreRefusedUntouched_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("random bytes") << "random"
                                      << "也不是数据库文件";
        QTest::newRow("a few bytes") << "short"
                                     << "也不是数据库文件";
        QTest::newRow("another program's database") << "foreign"
                                                    << "没有数据表";
        QTest::newRow("another program's marked database") << "marked"
                                                           << "另一个程序的数据库";
        QTest::newRow("truncated copy of ours") << "truncated"
                                                << "不完整";
    }

    void foreignFilesAreRefusedUntouched() {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString path = dir.filePath("tolva.db");
        if (kind == "random") {
            QByteArray bytes(8192, '\0');
            for (int i = 0; i < bytes.size(); ++i)
                bytes[i] = char((i * 7919 + 13) % 251);
            write(path, bytes);
        } else if (kind == "short") {
            write(path, "SQLite");
        } else if (kind == "foreign") {
            runOn(path, {"create table customers(name text)", "insert into customers values('x')"});
        } else if (kind == "marked") {
            runOn(path, {"PRAGMA application_id=42", "create table sp1(namea text)"});
        } else {
            const QByteArray whole = ourFile();
            QVERIFY(whole.size() > 8192);
            write(path, whole.left(whole.size() / 2));
        }
        const QByteArray before = contents(path);
        const QString text = refusalOf(dir.path());
        QVERIFY2(text.contains(QDir::toNativeSeparators(path)), qPrintable(text));
        QVERIFY2(text.contains(reason), qPrintable(text));
        QCOMPARE(contents(path), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"tolva.db"}); // no -wal, no -shm
    }

    void emptyFilesAreSetUp_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("no file") << "none";
        QTest::newRow("0 bytes") << "zero";
        QTest::newRow("database without tables") << "tableless";
    }

    void emptyFilesAreSetUp() {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        const QString path = dir.filePath("tolva.db");
        if (kind == "zero")
            write(path, QByteArray());
        else if (kind == "tableless")
            runOn(path, {"create table t(x)", "drop table t"});
        {
            Store s(dir.path());
            QCOMPARE(s.scalar("select count(*) from sbpass").toInt(), 2);
            QCOMPARE(s.scalar("PRAGMA application_id").toInt(), Store::ApplicationId);
        }
        Store again(dir.path()); // marked now: opened as ours
        QCOMPARE(again.scalar("select count(*) from srf").toInt(), 1);
    }

    void unmarkedFileWithEveryTableIsAdopted() {
        QTemporaryDir dir;
        write(dir.filePath("tolva.db"), ourFile());
        runOn(dir.filePath("tolva.db"), {"PRAGMA application_id=0"});
        Store s(dir.path());
        QCOMPARE(s.scalar("select count(*) from sp2").toInt(), 300);
        QCOMPARE(s.scalar("PRAGMA application_id").toInt(), Store::ApplicationId);
    }

    void savesLeftInTheJournalByAKilledProgramCount() {
        QTemporaryDir dir, after;
        Store running(dir.path());
        running.exec("insert into sp1(namea) values('钢管')");
        // What a killed program leaves: the file and its journal, the mark and the row in the journal.
        for (const char *name : {"tolva.db", "tolva.db-wal"})
            QVERIFY(QFile::copy(dir.filePath(name), after.filePath(name)));
        Store next(after.path());
        QCOMPARE(next.scalar("select namea from sp1").toString(), QString("钢管"));
        QCOMPARE(next.scalar("select count(*) from sbpass").toInt(), 2);
    }

    void readOnlyFileOrFolderIsRefused_data() {
        QTest::addColumn<bool>("folder");
        QTest::newRow("read-only file") << false;
        QTest::newRow("read-only folder") << true;
    }

    void readOnlyFileOrFolderIsRefused() {
        QFETCH(bool, folder);
        QTemporaryDir dir;
        const QString path = dir.filePath("tolva.db");
        write(path, ourFile());
        const QString target = folder ? dir.path() : path;
        const auto permissions = QFile::permissions(target);
        QVERIFY(QFile::setPermissions(target, permissions & ~(QFile::WriteOwner | QFile::WriteUser |
                                                              QFile::WriteGroup | QFile::WriteOther)));
        const QByteArray before = contents(path);
        const QDateTime modified = QFileInfo(path).lastModified();
        const QString text = refusalOf(dir.path());
        QFile::setPermissions(target, permissions);
        QVERIFY2(text.contains(QDir::toNativeSeparators(path)), qPrintable(text));
        QVERIFY2(text.contains("只读"), qPrintable(text));
        QCOMPARE(contents(path), before);
        QCOMPARE(QFileInfo(path).lastModified(), modified);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"tolva.db"});
    }

    void lockedFileGivesAMessageAndKeepsThePendingRow() {
        QTemporaryDir dir;
        // The wait for the other program is the store's own; it need not be long here.
        Store::Options quick;
        quick.busyTimeoutMs = 50;
        Store store(dir.path(), quick);
        Dataset ds(store);
        ds.open("select * from sp1");
        {
            QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "writer");
            other.setDatabaseName(dir.filePath("tolva.db"));
            QVERIFY(other.open());
            QSqlQuery q(other);
            QVERIFY(q.exec("begin immediate"));
            QVERIFY(q.exec("insert into sp2(khm) values('另一个')"));
            ds.append();
            ds.setValue("namea", QString("钢管"));
            try {
                ds.post();
                QFAIL("saved while another connection writes");
            } catch (const StoreError &e) {
                QVERIFY2(e.text().contains("另一个程序"), qPrintable(e.text()));
                QVERIFY2(!e.text().contains("locked"), qPrintable(e.text()));
            }
            QCOMPARE(ds.state(), Dataset::State::Insert);
            QCOMPARE(ds.text("namea"), QString("钢管"));
            QVERIFY(q.exec("rollback"));
            q.finish();
            other.close();
        }
        QSqlDatabase::removeDatabase("writer");
        ds.post();
        QCOMPARE(store.scalar("select namea from sp1").toString(), QString("钢管"));
    }

    // A save on a full disk says so in the program's words and that nothing was saved; the typed
    // row stays pending and is saved once there is room.
    void fullDiskGivesAMessageAndKeepsThePendingRow() {
        QTemporaryDir dir;
        Store store(dir.path());
        Dataset ds(store);
        ds.open("select * from sp1");
        ds.append();
        ds.setValue("namea", QString("钢管"));
        {
            const NoRoomBeyond full(QFileInfo(dir.filePath("tolva.db-wal")).size());
            try {
                ds.post();
                QFAIL("saved on a full disk");
            } catch (const StoreError &e) {
                QVERIFY2(e.text().startsWith("磁盘已满，数据没有保存。"), qPrintable(e.text()));
            }
        }
        QCOMPARE(ds.state(), Dataset::State::Insert);
        QCOMPARE(ds.text("namea"), QString("钢管"));
        QCOMPARE(store.scalar("select count(*) from sp1").toInt(), 0);
        ds.post();
        QCOMPARE(store.scalar("select namea from sp1").toString(), QString("钢管"));
    }

    void anotherConnectionsRowsShowOnReopenAndTheJournalStaysSmall() {
        QTemporaryDir dir;
        Store store(dir.path());
        Dataset settings(store), titles(store), list(store);
        settings.open("select * from srf");
        titles.open("select * from dwm");
        list.open("select * from sp1");
        {
            Store other(dir.path());
            other.exec("insert into sp1(namea) values('扣件')");
        }
        list.refresh();
        QCOMPARE(list.rowCount(), 1);
        QCOMPARE(list.text("namea"), QString("扣件"));

        // A long session of saves: checkpoints complete, so the journal does not keep growing.
        for (int i = 0; i < 2000; ++i) {
            list.edit();
            list.setValue("dj", i);
            list.setValue("namea", QString("扣件%1").arg(i % 10));
            list.post();
            list.append();
            list.setValue("namea", QString(5, QChar(0x4e00 + i % 100)));
            list.post();
        }
        const qint64 journal = QFileInfo(dir.filePath("tolva.db-wal")).size();
        qInfo("journal after 2000 saves: %lld bytes", journal);
        QVERIFY2(journal < 8 * 1024 * 1024, qPrintable(QString::number(journal)));
    }

    void snapshotIsOneConsistentCopyWhileRunning() {
        QTemporaryDir dir, copies;
        Store store(dir.path());
        store.exec("insert into sp1(namea,dj) values('钢管',0.01)");
        QVERIFY(QFileInfo(dir.filePath("tolva.db-wal")).size() > 0); // the row sits in the journal
        store.snapshot(copies.filePath("tolva.db"));
        QCOMPARE(QDir(copies.path()).entryList(QDir::Files), QStringList{"tolva.db"});
        store.exec("insert into sp1(namea,dj) values('扣件',0.02)"); // after the copy
        {
            Store copy(copies.path());
            QCOMPARE(copy.select("select namea from sp1").rows.size(), 1);
            QCOMPARE(copy.scalar("select namea from sp1").toString(), QString("钢管"));
        }
        // Inside a transaction the copy is refused: it would hold rows not yet saved.
        store.begin();
        QVERIFY_THROWS_EXCEPTION(StoreError, store.snapshot(copies.filePath("second.db")));
        store.rollback();
        QVERIFY(!QFile::exists(copies.filePath("second.db")));
    }

    void closedStoreIsReplacedAndItsResultSetsReopened() {
        QTemporaryDir dir, copies;
        Store store(dir.path());
        store.exec("insert into sp1(namea) values('钢管')");
        store.snapshot(copies.filePath("tolva.db"));
        store.exec("insert into sp1(namea) values('扣件')");
        Dataset list(store);
        list.open("select * from sp1");
        QCOMPARE(list.rowCount(), 2);

        store.close();
        QVERIFY(!store.isOpen());
        QVERIFY_THROWS_EXCEPTION(StoreError, store.select("select * from sp1"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files),
                 QStringList{"tolva.db"}); // the journal is folded in
        QVERIFY(QFile::remove(dir.filePath("tolva.db")));
        QVERIFY(QFile::copy(copies.filePath("tolva.db"), dir.filePath("tolva.db")));
        store.reopen();
        QCOMPARE(list.rowCount(), 1);
        QCOMPARE(list.text("namea"), QString("钢管"));
        list.edit();
        list.setValue("dj", 2);
        list.post();
        QCOMPARE(store.scalar("select dj from sp1").toDouble(), 2.0);

        // A foreign file put in its place is refused like at a start.
        store.close();
        write(dir.filePath("tolva.db"),
              "not ours at all, not ours at all, not ours at all, not ours at all, not ours.!");
        QVERIFY_THROWS_EXCEPTION(StoreError, store.reopen());
        QVERIFY(!store.isOpen());
    }
};

QTEST_GUILESS_MAIN(TestStoreFile)
#include "tst_storefile.moc"
