#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// The program file as a yard starts it: --version answers without a window or a data folder; the
// program works on the folder it is started in, or, started from the menu, on the user's own in his
// documents folder.
class TestProgram : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void versionAnswersWithoutAWindowOrAFolder()
    {
        QTemporaryDir dir;
        QProcess program;
        program.setWorkingDirectory(dir.path());
        // No window system at all: a window, even a splash, would end the program with an error.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            env.remove(name);
        program.setProcessEnvironment(env);
        program.start(TOLVA_PROGRAM, {"--version"});
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.readAllStandardError(), QByteArray());
        QCOMPARE(program.exitCode(), 0);
        QCOMPARE(program.readAllStandardOutput(), QByteArray("tolva " TOLVA_VERSION "\n"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
    }

    void dataFolder_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("userDirs"); // the desktop's names of the user's folders
        QTest::addColumn<QString>("folder");      // under the temporary root
        QTest::newRow("from a terminal") << QStringList() << QByteArray() << "start";
        QTest::newRow("from the menu") << QStringList{"--desktop"} << QByteArray() << "home/Documents/租赁数据";
        QTest::newRow("from the menu, documents named by the desktop")
            << QStringList{"--desktop"} << QByteArray("XDG_DOCUMENTS_DIR=\"$HOME/文档\"\n") << "home/文档/租赁数据";
    }
    void dataFolder()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, userDirs);
        QFETCH(QString, folder);
        QTemporaryDir root;
        const QDir r(root.path());
        QVERIFY(r.mkpath("start") && r.mkpath("home/.config"));
        if (!userDirs.isEmpty()) {
            QFile dirs(r.filePath("home/.config/user-dirs.dirs"));
            QVERIFY(dirs.open(QIODevice::WriteOnly));
            dirs.write(userDirs);
        }
        QProcess program;
        program.setWorkingDirectory(r.filePath("start"));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", r.filePath("home"));
        env.insert("XDG_CONFIG_HOME", r.filePath("home/.config"));
        env.insert("QT_QPA_PLATFORM", "offscreen");
        program.setProcessEnvironment(env);
        program.start(TOLVA_PROGRAM, arguments);
        QVERIFY(program.waitForStarted());
        const auto stop = qScopeGuard([&] {
            program.kill();
            program.waitForFinished();
        });
        // The login waits for a user once the folder's tables and lock are there.
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(r.filePath(folder + "/tolva.db")) &&
                                     QFile::exists(r.filePath(folder + "/tolva.lock")),
                                 20000);
        QCOMPARE(program.state(), QProcess::Running);
        for (const QString &other : {QString("start"), QString("home/Documents/租赁数据"), QString("home/文档/租赁数据")})
            if (other != folder)
                QVERIFY2(!QFile::exists(r.filePath(other + "/tolva.db")), qPrintable(other));
    }
};

QTEST_GUILESS_MAIN(TestProgram)
#include "tst_program.moc"
