#pragma once

#include <QByteArray>
#include <QFile>
#include <QtTest>

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

} // namespace tolva
