#include "files.h"
#include "store/store.h"
#include "widgets/interaction.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QProcess>
#include <QSortFilterProxyModel>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <sqlite3.h>

#include <iostream>
#include <string>

using namespace tolva;

namespace {

const char *const HoldStore = "--hold-store";

// Lists the open file dialog's folder the way its views do (each file's icon and type), once the
// folder's files are in ("readme.xlsx" is), and cancels the dialog.
void listAndCancel(const QString &folder)
{
    auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
    if (!dialog)
        qFatal("no file dialog is open");
    auto *files = dialog->findChild<QFileSystemModel *>();
    auto listed = [dialog, files, folder] {
        const QModelIndex root = files->index(folder);
        bool complete = false;
        for (int row = 0; row < files->rowCount(root); ++row)
            complete = complete || files->fileName(files->index(row, 0, root)) == QLatin1String("readme.xlsx");
        if (!complete)
            return false;
        for (int row = 0; row < files->rowCount(root); ++row)
            for (int column = 0; column < files->columnCount(root); ++column) {
                files->data(files->index(row, column, root), Qt::DecorationRole);
                files->data(files->index(row, column, root), Qt::DisplayRole);
            }
        dialog->grab(); // the views paint what they show
        dialog->reject();
        return true;
    };
    if (!listed()) {
        QObject::connect(files, &QFileSystemModel::directoryLoaded, dialog, listed);
        QObject::connect(files, &QAbstractItemModel::rowsInserted, dialog, listed);
    }
}

// The child: a program that works on `folder` and shows its file dialogs there, then saves a row
// when the parent asks, and waits to be killed.
int holdStore(const QString &folder)
{
    Store store(folder);
    store.exec("insert into sp1(namea,dj) values('before',1)");
    DesktopInteraction desktop(folder);
    QTimer::singleShot(0, [&] { listAndCancel(folder); });
    desktop.openFileName(nullptr, "打开报表文件", folder, "所有文件 (*)");
    QTimer::singleShot(0, [&] { listAndCancel(folder); });
    desktop.saveFileName(nullptr, "导出到 Excel", QDir(folder).filePath("合同.xlsx"), "Excel 文件 (*.xlsx)");
    std::cout << "listed" << std::endl;
    std::string line;
    std::getline(std::cin, line);
    store.exec("insert into sp1(namea,dj) values('after',2)");
    std::cout << "saved" << std::endl;
    std::getline(std::cin, line); // killed here
    return 0;
}

// Another SQLite client reads the ledger: it opens, reads and closes it, and when it finds no
// other program on the file it folds the journal in and deletes it.
void readWithAnotherClient(const QString &ledger)
{
    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open_v2(ledger.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    QCOMPARE(sqlite3_exec(db, "select count(*) from sp1", nullptr, nullptr, nullptr), SQLITE_OK);
    QCOMPARE(sqlite3_close(db), SQLITE_OK);
}

bool waitForLine(QProcess &child, const QByteArray &line)
{
    while (!child.canReadLine())
        if (!child.waitForReadyRead(30000))
            return false;
    return child.readLine().trimmed() == line;
}

} // namespace

class TestFileDialogs : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The program's file dialogs list the data folder without opening its files: opening and
    // closing one in the program drops the store's locks on it, another client then deletes the
    // journal in use, and every later save goes into a deleted file and is lost on a kill.
    void dialogsLeaveTheStoreItsLocks()
    {
        QTemporaryDir dir;
        const QString folder = dir.path();
        writeFile(QDir(folder).filePath("readme.xlsx"), "a file beside the ledger");
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(), {HoldStore, folder});
        QVERIFY(child.waitForStarted());
        QVERIFY(waitForLine(child, "listed"));

        const QString ledger = QDir(folder).filePath("tolva.db");
        readWithAnotherClient(ledger);
        QVERIFY2(QFile::exists(ledger + "-wal"), "the journal in use was deleted");

        child.write("save\n");
        QVERIFY(waitForLine(child, "saved"));
        child.kill();
        QVERIFY(child.waitForFinished());

        Store store(folder);
        QCOMPARE(store.scalar("select group_concat(namea) from sp1 where namea in ('before','after')").toString(),
                 QString("before,after"));
    }
};

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], HoldStore) == 0)
        return holdStore(QString::fromLocal8Bit(argv[2]));
    TestFileDialogs test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_filedialogs.moc"
