#include "server.h"
#include "engine.h"
#include "pgdialect.h"
#include "pgengine.h"

#include <QUrl>

#include <libpq-fe.h>

namespace tolva::server {

namespace {

QString quoted(PGconn *conn, const QString &name)
{
    const QByteArray utf8 = name.toUtf8();
    char *q = PQescapeIdentifier(conn, utf8.constData(), size_t(utf8.size()));
    const QString out = QString::fromUtf8(q);
    PQfreemem(q);
    return out;
}

QString literal(PGconn *conn, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    char *q = PQescapeLiteral(conn, utf8.constData(), size_t(utf8.size()));
    const QString out = QString::fromUtf8(q);
    PQfreemem(q);
    return out;
}

void run(engine::PgEngine &db, const QString &sql)
{
    PQclear(db.run(sql, {}, sql));
}

} // namespace

bool isAddress(const QString &text)
{
    return text.startsWith(QLatin1String("postgresql://")) || text.startsWith(QLatin1String("postgres://"));
}

QString withDatabase(const QString &address, const QString &database)
{
    QUrl url(address);
    url.setPath(QLatin1Char('/') + database);
    return url.toString();
}

QString withUser(const QString &address, const QString &user, const QString &password)
{
    QUrl url(address);
    url.setUserName(user);
    url.setPassword(password);
    return url.toString();
}

QStringList setUp(const QString &address)
{
    engine::PgEngine db(address);
    PGconn *conn = db.connection();
    QStringList made;
    const QHash<QString, QVector<ColumnInfo>> before = db.tables();
    if (!before.isEmpty())
        throw StoreError(QStringLiteral("数据库中已经有数据表（%1 等），没有改动它。请换用一个新建的空数据库。")
                             .arg(before.keys().mid(0, 3).join(QStringLiteral("、"))));
    db.begin();
    try {
        for (const QString &statement : engine::schemaStatements()) {
            const engine::PgEngine::Prepared p = db.translate(Store::translate(statement));
            run(db, p.sql);
        }
        made << QStringLiteral("数据表和起始数据");
        // The starting users log in to the server with the starting password.
        const Rows users = [&] {
            Rows rows;
            PGresult *r = db.run(QStringLiteral("select namea from sbpass order by rowid"), {}, QStringLiteral("sbpass"));
            for (int i = 0; i < PQntuples(r); ++i)
                rows.rows.append({QString::fromUtf8(PQgetvalue(r, i, 0))});
            PQclear(r);
            return rows;
        }();
        for (const auto &row : users.rows) {
            const QString name = row[0].toString();
            PGresult *exists = db.run(QStringLiteral("select 1 from pg_roles where rolname=$1"), {name}, name);
            const bool known = PQntuples(exists) > 0;
            PQclear(exists);
            if (known) {
                made << QStringLiteral("用户“%1”已经是服务器的登录用户，保留其密码").arg(name);
                continue;
            }
            run(db, QStringLiteral("create role %1 login password %2")
                        .arg(quoted(conn, name), literal(conn, QStringLiteral("1"))));
            made << QStringLiteral("登录用户“%1”（密码 1）").arg(name);
        }
        db.commit();
    } catch (...) {
        db.rollback();
        throw;
    }
    return made;
}

void createDatabase(const QString &address, const QString &name, const QString &from)
{
    engine::PgEngine db(address);
    QString sql = QStringLiteral("create database ") + quoted(db.connection(), name);
    if (!from.isEmpty())
        sql += QStringLiteral(" template ") + quoted(db.connection(), from);
    run(db, sql);
}

void dropDatabase(const QString &address, const QString &name)
{
    engine::PgEngine db(address);
    run(db, QStringLiteral("drop database if exists %1 with (force)").arg(quoted(db.connection(), name)));
}

} // namespace tolva::server
