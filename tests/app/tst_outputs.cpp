#include "files.h"
#include "base/outputfile.h"
#include "store/store.h"

#include <QDir>
#include <QFileSystemWatcher>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

using namespace tolva;

namespace {

// A data folder with `contracts` open contracts (H1 甲1, H2 甲2, …), each with a few movements of
// March 2004; the store is closed again, as between two runs of the program.
void fillFolder(const QString &folder, int contracts)
{
    Store store(folder);
    store.exec("insert into sp1(namea,dj,numsb) values('钢管',0.1,0),('扣件',0.01,0)");
    for (int c = 1; c <= contracts; ++c) {
        const QString numa = QString("H%1").arg(c), khm = QString("甲%1").arg(c);
        store.exec("insert into sp2(khm,numa,jz,begina,enda) values(:k,:n,'否','2004-03-01','2004-03-31')",
                   {{"k", khm}, {"n", numa}});
        for (int day = 1; day <= 20; day += 3)
            store.exec("insert into czbnow(khm,numa,datea,namea,gg,dw,dw1,bl,a1,b1,a2,a8) "
                       "values(:k,:n,:d,:m,'6米','根','米',6,:a1,:b1,:a2,0)",
                       {{"k", khm}, {"n", numa}, {"d", QDate(2004, 3, day)}, {"m", day % 2 ? "钢管" : "扣件"},
                        {"a1", day < 12 ? 10 * c : 0}, {"b1", day < 12 ? 0 : c}, {"a2", day < 12 ? 60 * c : -6 * c}});
    }
}

// Runs the program in the data folder; its exit code, and what it wrote to stderr in `errors`.
int run(const QString &folder, const QStringList &arguments, QString *errors = nullptr)
{
    QProcess program;
    program.setWorkingDirectory(folder);
    program.start(QStringLiteral(TOLVA_PROGRAM), arguments);
    if (!program.waitForFinished(120000))
        return -1;
    if (errors)
        *errors = QString::fromUtf8(program.readAllStandardError());
    return program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
}

// A PDF written to its end.
bool completePdf(const QString &path)
{
    const QByteArray bytes = fileBytes(path);
    return bytes.startsWith("%PDF-") && bytes.trimmed().endsWith("%%EOF");
}

QStringList temporaries(const QString &folder)
{
    QStringList names;
    for (const QString &name : QDir(folder).entryList(QDir::Files | QDir::Hidden))
        if (OutputFile::isTemporaryName(name))
            names << name;
    return names;
}

} // namespace

class TestOutputs : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // A command-line output named as a data file, through a link to one or by a second name of one
    // is refused with the reason and a non-zero exit, before the ledger is opened: not a byte of
    // it changes.
    void commandLineOutputsNeverLandOnTheLedger_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("made"); // "link" or "second": the output is made a name of the ledger
        const QStringList statement{"--statement", "H1", "--pdf"};
        const QStringList distribution{"--summary", "distribution", "--cutoff", "2004-03-31", "--pdf"};
        const QStringList rent{"--summary", "rent", "--cutoff", "2004-03-31", "--pdf"};
        QTest::newRow("statement on the ledger") << statement + QStringList{"tolva.db"} << "";
        QTest::newRow("statement on the journal") << statement + QStringList{"tolva.db-wal"} << "";
        QTest::newRow("statement through a link") << statement + QStringList{"out/H1.pdf"} << "link";
        QTest::newRow("statement on a second name") << statement + QStringList{"out/H1.pdf"} << "second";
        QTest::newRow("distribution on the lock") << distribution + QStringList{"tolva.lock"} << "";
        QTest::newRow("distribution through a link") << distribution + QStringList{"out/分布表.pdf"} << "link";
        QTest::newRow("rent on the ledger") << rent + QStringList{"./out/../tolva.db"} << "";
        QTest::newRow("rent on the shared memory") << rent + QStringList{"tolva.db-shm"} << "";
        QTest::newRow("rent on a second name") << rent + QStringList{"out/结算表.pdf"} << "second";
    }

    void commandLineOutputsNeverLandOnTheLedger()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, made);
        QTemporaryDir dir;
        const QString folder = dir.path();
        fillFolder(folder, 2);
        QVERIFY(QDir(folder).mkpath("out"));
        const QString ledger = QDir(folder).filePath("tolva.db");
        const QString output = QDir(folder).filePath(arguments.last());
        if (made == "link")
            QVERIFY(QFile::link(ledger, output));
        else if (made == "second")
            QCOMPARE(::link(QFile::encodeName(ledger).constData(), QFile::encodeName(output).constData()), 0);
        const QByteArray before = fileBytes(ledger);

        QString errors;
        QCOMPARE(run(folder, arguments, &errors), 1);
        QVERIFY2(errors.contains("是本程序的数据文件,不能把输出写到它上面"), qPrintable(errors));
        QCOMPARE(fileBytes(ledger), before);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{"tolva.db"});
    }

    // The statements of all contracts go out under their contract's name; one whose name is a link
    // to the ledger fails alone and leaves the ledger whole, the others are written.
    void statementsOfAllContractsNeverLandOnTheLedger()
    {
        QTemporaryDir dir;
        const QString folder = dir.path();
        fillFolder(folder, 3);
        QVERIFY(QDir(folder).mkpath("out"));
        const QString ledger = QDir(folder).filePath("tolva.db");
        QVERIFY(QFile::link(ledger, QDir(folder).filePath("out/H2_甲2.pdf")));

        QString errors;
        QCOMPARE(run(folder, {"--statement-all", "--pdf-folder", "out"}, &errors), 1);
        QVERIFY2(errors.contains("失败 合同号 H2") && errors.contains("是本程序的数据文件"), qPrintable(errors));
        QVERIFY(fileBytes(ledger).startsWith(QByteArray("SQLite format 3\0", 16)));
        QVERIFY(QFileInfo(QDir(folder).filePath("out/H2_甲2.pdf")).isSymLink());
        QVERIFY(completePdf(QDir(folder).filePath("out/H1_甲1.pdf")));
        QVERIFY(completePdf(QDir(folder).filePath("out/H3_甲3.pdf")));
        Store store(folder);
        QCOMPARE(store.scalar("select count(*) from sp2").toInt(), 3);
    }

    // A run killed while it writes leaves no broken statement under a statement's name, only its
    // temporary; the next run removes what the dead run left and writes every statement whole.
    void killedStatementRunLeavesNoBrokenPdf()
    {
        QTemporaryDir dir;
        const QString folder = dir.path();
        fillFolder(folder, 12);
        const QString out = QDir(folder).filePath("out");
        QVERIFY(QDir().mkpath(out));

        QProcess program;
        program.setWorkingDirectory(folder);
        QFileSystemWatcher watcher({out});
        // Killed as soon as its first file appears: while that one is being written.
        connect(&watcher, &QFileSystemWatcher::directoryChanged, &program, [&] {
            if (!QDir(out).entryList(QDir::Files | QDir::Hidden).isEmpty())
                program.kill();
        });
        QSignalSpy finished(&program, &QProcess::finished);
        program.start(QStringLiteral(TOLVA_PROGRAM), {"--statement-all", "--pdf-folder", "out"});
        const qint64 dead = program.processId();
        QVERIFY(finished.wait(120000));
        QCOMPARE(program.exitStatus(), QProcess::CrashExit);

        const QStringList left = QDir(out).entryList(QDir::Files | QDir::Hidden);
        QVERIFY(!left.isEmpty());
        for (const QString &name : left)
            QVERIFY2(OutputFile::isTemporaryName(name) || completePdf(QDir(out).filePath(name)), qPrintable(name));

        // What a dead run left of a statement no contract has any more goes too.
        writeFile(QDir(out).filePath(QString(".H99_乙.pdf.tolva-%1-abcdef").arg(dead)), "%PDF-1.4 broken");
        QCOMPARE(run(folder, {"--statement-all", "--pdf-folder", "out"}), 0);
        QCOMPARE(temporaries(out), QStringList());
        const QStringList written = QDir(out).entryList(QDir::Files);
        QCOMPARE(written.size(), 12);
        for (const QString &name : written)
            QVERIFY2(completePdf(QDir(out).filePath(name)), qPrintable(name));
    }
};

QTEST_MAIN(TestOutputs)
#include "tst_outputs.moc"
