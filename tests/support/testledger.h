#pragma once

#include "store/server.h"
#include "store/store.h"

#include <QCoreApplication>
#include <QFile>
#include <QtTest>

namespace tolva {

// Where a test's ledger lives. The suite runs twice: on the folder's file, and with
// TOLVA_TEST_SERVER_FILE naming a file that holds the address of a private server (a role that may
// create databases), on a database of its own per ledger, copied from the set-up "tolva_template"
// and dropped afterwards. Command-line modes the test runs in its own process follow it
// (TOLVA_DATABASE).
class TestLedger {
public:
    static QString serverAddress()
    {
        const QByteArray file = qgetenv("TOLVA_TEST_SERVER_FILE");
        if (file.isEmpty())
            return QString();
        QFile f(QString::fromLocal8Bit(file));
        if (!f.open(QIODevice::ReadOnly))
            qFatal("the test server's address file %s cannot be read", file.constData());
        return QString::fromUtf8(f.readAll()).trimmed();
    }
    static bool onServer() { return !serverAddress().isEmpty(); }

    TestLedger()
    {
        const QString base = serverAddress();
        if (base.isEmpty())
            return;
        static int count = 0;
        name_ = QStringLiteral("tolva_t%1_%2").arg(QCoreApplication::applicationPid()).arg(++count);
        admin_ = server::withDatabase(base, QStringLiteral("postgres"));
        server::createDatabase(admin_, name_, QStringLiteral("tolva_template"));
        // Logins are the server's, shared by every test database: an earlier test may have
        // changed a password, a right, or removed a starting user.
        setLogin(QStringLiteral("管理员"), QStringLiteral("1"), QStringLiteral("管理"));
        setLogin(QStringLiteral("录入员"), QStringLiteral("1"), QStringLiteral("录入"));
        options_.server = server::withDatabase(base, name_);
        qputenv("TOLVA_DATABASE", options_.server.toUtf8());
    }
    ~TestLedger()
    {
        if (name_.isEmpty())
            return;
        qunsetenv("TOLVA_DATABASE");
        try {
            server::dropDatabase(admin_, name_);
        } catch (const StoreError &e) {
            qWarning("the test database %s was not dropped: %s", qPrintable(name_), qPrintable(e.text()));
        }
    }
    Q_DISABLE_COPY(TestLedger)

    const Store::Options &options() const { return options_; }
    // On a server: a user a test adds gets this password and right whatever an earlier test left.
    void setLogin(const QString &user, const QString &password, const QString &right)
    {
        if (!admin_.isEmpty())
            server::setLogin(admin_, user, password, right);
    }

private:
    QString admin_, name_;
    Store::Options options_;
};

// Skips a test that is about the SQLite file itself when the suite runs on a server.
#define TOLVA_SQLITE_ONLY()                                                                                         \
    do {                                                                                                           \
        if (::tolva::TestLedger::onServer())                                                                       \
            QSKIP("about the data folder's own file");                                                            \
    } while (false)

} // namespace tolva
