#include "base/outputfile.h"
#include "files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

using namespace tolva;

class TestOutputFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Every way of naming a data file is seen through: its name, a link, a second (hard) name.
    void dataFilesAreRecognised_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("isData");
        QTest::newRow("ledger") << "tolva.db" << true;
        QTest::newRow("wal") << "tolva.db-wal" << true;
        QTest::newRow("shm not yet made") << "tolva.db-shm" << true;
        QTest::newRow("journal") << "tolva.db-journal" << true;
        QTest::newRow("lock") << "tolva.lock" << true;
        QTest::newRow("relative through a subfolder") << "sub/../tolva.db" << true;
        QTest::newRow("symbolic link") << "out/link.pdf" << true;
        QTest::newRow("hard link") << "out/hard.pdf" << true;
        QTest::newRow("a link to a ledger not yet made") << "out/wal-link.pdf" << true;
        QTest::newRow("an ordinary output") << "out/tolva.db" << false;
        QTest::newRow("a like name") << "tolva.db.pdf" << false;
    }
    void dataFilesAreRecognised()
    {
        QFETCH(QString, name);
        QFETCH(bool, isData);
        QTemporaryDir dir;
        const QString folder = dir.path();
        QDir(folder).mkpath("out");
        QDir(folder).mkpath("sub");
        writeFile(folder + "/tolva.db", "ledger");
        writeFile(folder + "/tolva.db-wal", "wal");
        writeFile(folder + "/tolva.lock", "lock");
        writeFile(folder + "/tolva.db-journal", "j");
        QVERIFY(QFile::link(folder + "/tolva.db", folder + "/out/link.pdf"));
        QVERIFY(QFile::link(folder + "/tolva.db-shm", folder + "/out/wal-link.pdf"));
        QCOMPARE(::link(QFile::encodeName(folder + "/tolva.db").constData(),
                        QFile::encodeName(folder + "/out/hard.pdf").constData()),
                 0);
        const QString path = QDir(folder).filePath(name);
        QCOMPARE(isDataFile(path, folder), isData);
        if (isData)
            QVERIFY_THROWS_EXCEPTION(Error, refuseDataFile(path, folder));
        // Started from the folder itself, a bare name is the same file.
        QDir::setCurrent(folder);
        QCOMPARE(isDataFile(name, "."), isData);
    }

    // The final name holds the old file until the new one is complete; an unfinished output
    // leaves nothing behind, and a dead run's temporary is removed by the next one.
    void outputsAppearOnlyWhenComplete()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath("表.pdf");
        writeFile(target, "old");
        {
            OutputFile out(target);
            QVERIFY(QFileInfo(out.temporaryPath()).fileName().startsWith(".表.pdf.tolva-"));
            writeFile(out.temporaryPath(), "half");
            QCOMPARE(fileBytes(target), QByteArray("old"));
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"表.pdf"});
        {
            OutputFile out(target);
            writeFile(out.temporaryPath(), "new");
            out.commit();
        }
        QCOMPARE(fileBytes(target), QByteArray("new"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"表.pdf"});

        // A temporary of a process that has ended, and one of a process that still runs.
        const QString deadPid = dir.filePath(".表.pdf.tolva-999999999-abcDEF");
        const QString alive = dir.filePath(".表.pdf.tolva-" + QString::number(getppid()) + "-abcDEF");
        writeFile(deadPid, "x");
        writeFile(alive, "x");
        { OutputFile out(target); }
        QVERIFY(!QFileInfo::exists(deadPid));
        QVERIFY(QFileInfo::exists(alive));
    }

    void aMissingFolderIsRefused()
    {
        QTemporaryDir dir;
        QVERIFY_THROWS_EXCEPTION(Error, OutputFile(dir.filePath("无此文件夹/表.pdf")));
    }
};

QTEST_MAIN(TestOutputFile)
#include "tst_outputfile.moc"
