#include "servercli.h"

#include "base/commandline.h"
#include "startup.h"
#include "store/server.h"
#include "store/store.h"

#include <QDir>
#include <QUrl>

#include <QStringList>
#include <QTextStream>

#include <cstdio>
#include <cstring>

namespace tolva {

namespace {

const QString Usage = QStringLiteral(
    "用法：tolva --setup-server postgresql://[用户[:密码]@]主机[:端口]/数据库\n"
    "      tolva --copy-to postgresql://[用户[:密码]@]主机[:端口]/数据库（在数据文件夹中运行）");

QString address(const QString &text)
{
    if (!server::isAddress(text))
        throw CommandFailure{QStringLiteral("“%1”不是数据库服务器的地址。\n%2").arg(text, Usage)};
    return text;
}

} // namespace

bool takeDatabaseOption(int &argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--database") != 0)
            continue;
        if (i + 1 >= argc || !server::isAddress(QString::fromLocal8Bit(argv[i + 1]))) {
            std::fprintf(stderr, "%s\n",
                         QStringLiteral("--database 后面要给出数据库服务器的地址：postgresql://[用户[:密码]@]主机[:端口]/数据库")
                             .toLocal8Bit()
                             .constData());
            return false;
        }
        qputenv("TOLVA_DATABASE", argv[i + 1]);
        for (int j = i; j + 2 <= argc; ++j)
            argv[j] = argv[j + 2];
        argc -= 2;
        return true;
    }
    return true;
}

bool isServerCommand(int argc, char *argv[])
{
    return startedWith(argc, argv, {"--setup-server", "--copy-to"});
}

int runServerCommand(int argc, char *argv[])
{
    QTextStream out(stdout), err(stderr);
    return runCommand(err, [&] {
        QStringList args;
        for (int i = 1; i < argc; ++i)
            args << QString::fromLocal8Bit(argv[i]);
        const CommandLine line(args, {QStringLiteral("--setup-server"), QStringLiteral("--copy-to")}, {}, Usage);
        if (line.has(QStringLiteral("--setup-server")) == line.has(QStringLiteral("--copy-to")))
            throw CommandFailure{Usage};
        if (line.has(QStringLiteral("--setup-server"))) {
            const QString target = address(line.value(QStringLiteral("--setup-server")));
            for (const QString &made : server::setUp(target))
                out << QStringLiteral("已建立：") << made << Qt::endl;
            return 0;
        }
        const QString target = address(line.value(QStringLiteral("--copy-to")));
        // The folder's own file, whatever ledger the environment names, while no program uses it.
        QString refusal;
        const auto lock = lockFolder(QDir::currentPath(), refusal);
        if (!lock)
            throw CommandFailure{refusal};
        Store store(QDir::currentPath());
        QStringList problems;
        const QStringList copied = server::copyTo(store, target, problems);
        if (!problems.isEmpty()) {
            err << QStringLiteral("没有复制：以下数据服务器不能保存，请先在本程序中改正：") << Qt::endl;
            for (const QString &p : problems)
                err << QStringLiteral("  ") << p << Qt::endl;
            return 1;
        }
        for (const QString &c : copied)
            out << QStringLiteral("已复制 ") << c << Qt::endl;
        out << QStringLiteral("数据已全部复制到 ") << QUrl(target).adjusted(QUrl::RemovePassword).toString() << Qt::endl;
        return 0;
    });
}

} // namespace tolva
