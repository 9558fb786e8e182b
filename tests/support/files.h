#pragma once

#include <QByteArray>
#include <QFile>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

namespace tolva {

// A file's bytes; "<missing>" for a file that cannot be read, so that two missing files never
// compare equal, nor one compare equal to an empty file.
inline QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Writes a file whole; fails the test when it cannot.
inline void writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(f.write(data), data.size());
}

// While it lives, no file of this process grows past `bytes`: the disk is as good as full. A write
// over the limit fails (with EFBIG) instead of ending the process.
struct NoRoomBeyond {
    rlimit before{};
    void (*handler)(int) = nullptr;
    explicit NoRoomBeyond(qint64 bytes)
    {
        getrlimit(RLIMIT_FSIZE, &before);
        handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit now = before;
        now.rlim_cur = rlim_t(bytes);
        setrlimit(RLIMIT_FSIZE, &now);
    }
    ~NoRoomBeyond()
    {
        setrlimit(RLIMIT_FSIZE, &before);
        std::signal(SIGXFSZ, handler);
    }
    Q_DISABLE_COPY(NoRoomBeyond)
};

} // namespace tolva
