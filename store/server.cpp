#include "server.h"
#include "engine.h"
#include "pgdialect.h"
#include "pgengine.h"
#include "store.h"
#include "base/rights.h"

#include <QDate>
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

namespace {

// The rules the server keeps itself, whatever client writes: one login per user (made, renamed,
// given its right and password, dropped as the users table changes; no password is stored in a
// table), unique names and numbers, and the number of materials.
QStringList serverRules()
{
    return {
        QStringLiteral("create unique index sp2_numa_unique on sp2(numa)"),
        QStringLiteral("create unique index sp1_namea_unique on sp1(namea)"),
        QStringLiteral("create unique index sp5_namea_gg_unique on sp5(namea, gg)"),
        QStringLiteral("create unique index sbpass_namea_unique on sbpass(namea)"),
        QStringLiteral(R"(create function tolva_materials_limit() returns trigger language plpgsql as $$
begin
    if (select count(*) from sp1) >= 15 then
        raise exception '材料名称只能控制在15个以内,无法再添加！';
    end if;
    return new;
end $$)"),
        QStringLiteral("create trigger tolva_materials_limit before insert on sp1 for each row execute function "
                       "tolva_materials_limit()"),
        QStringLiteral(R"(create function tolva_users() returns trigger language plpgsql security definer
set search_path = public, pg_temp as $$
declare
    old_name text := case when tg_op <> 'INSERT' then trim(coalesce(old.namea, '')) else '' end;
    new_name text := case when tg_op <> 'DELETE' then trim(coalesce(new.namea, '')) else '' end;
    want text;
    g text;
begin
    if tg_op = 'DELETE' then
        if old_name <> '' and old_name <> session_user and exists (select 1 from pg_roles where rolname = old_name) then
            begin
                execute format('drop role %I', old_name);
            exception when others then
                null; -- a login that other ledgers of the server still use stays
            end;
        end if;
        return old;
    end if;
    if tg_op = 'UPDATE' and new.passa is not null and new_name <> session_user
            and not pg_has_role(session_user, '管理', 'member') then
        raise exception '只能修改自己的密码。';
    end if;
    if old_name <> '' and new_name <> old_name and exists (select 1 from pg_roles where rolname = old_name) then
        if new_name = '' then
            execute format('drop role %I', old_name);
        else
            execute format('alter role %I rename to %I', old_name, new_name);
        end if;
    end if;
    if new_name <> '' then
        if not exists (select 1 from pg_roles where rolname = new_name) then
            execute format('create role %I login', new_name);
            if new.passa is null then
                execute format('alter role %I password %L', new_name, '1');
            end if;
        elsif tg_op = 'INSERT' then
            new.passa := null; -- a login the server already has keeps its password
        end if;
        want := case trim(coalesce(new.popedoma, '')) when '管理' then '管理' when '录入' then '录入' else '查询' end;
        foreach g in array array['查询', '录入', '管理'] loop
            if g = want then
                execute format('grant %I to %I', g, new_name);
            elsif pg_has_role(new_name, g, 'member') then
                execute format('revoke %I from %I', g, new_name);
            end if;
        end loop;
        if new.passa is not null then
            execute format('alter role %I password %L', new_name, new.passa);
        end if;
    end if;
    new.passa := null;
    return new;
end $$)"),
        QStringLiteral("create trigger tolva_users before insert or update or delete on sbpass for each row execute "
                       "function tolva_users()"),
    };
}

// What each group may do: 查询 reads, 录入 changes the data and the settings, 管理 the settings,
// the users and (for a restore) every table.
QStringList serverGrants()
{
    const QString data = QStringLiteral("sp1, sp2, sp3, sp4, sp5, czbnow, czb1, czb2");
    return {
        QStringLiteral("revoke all on all tables in schema public from public"),
        QStringLiteral("grant select on all tables in schema public to \"查询\", \"录入\", \"管理\""),
        QStringLiteral("grant insert, update, delete on %1 to \"录入\"").arg(data),
        QStringLiteral("grant update on srf, dwm to \"录入\""),
        QStringLiteral("grant insert, update, delete on all tables in schema public to \"管理\""),
        QStringLiteral("grant update (passa) on sbpass to \"查询\", \"录入\""),
        // The program notes its own file name at its end, whoever ends it.
        QStringLiteral("grant update (qhsoftnow) on srf to \"查询\""),
        QStringLiteral("grant usage on all sequences in schema public to \"录入\", \"管理\""),
    };
}

} // namespace

QString namesRole()
{
    return QStringLiteral("tolva_login");
}

QString loginAddress(const QString &address)
{
    QUrl url(address);
    if (!url.userName().isEmpty())
        return address;
    url.setUserName(namesRole());
    url.setPassword(namesRole());
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
        // The tables first; their starting rows once the rules below stand, so that the starting
        // users become logins through the same rule as any other.
        QStringList inserts;
        for (const QString &statement : engine::schemaStatements()) {
            if (statement.trimmed().startsWith(QLatin1String("insert"), Qt::CaseInsensitive)) {
                inserts << statement;
                continue;
            }
            const engine::PgEngine::Prepared p = db.translate(Store::translate(statement));
            run(db, p.sql);
        }
        // The column the start-up would add, made here so that clerks need no right to change tables.
        run(db, QStringLiteral("alter table srf add column qhsoftnow varchar(100) collate \"C\""));
        for (const QString &statement : serverRules())
            run(db, statement);
        for (const QString &group : {Rights::query(), Rights::dataEntry(), Rights::administration()}) {
            PGresult *exists = db.run(QStringLiteral("select 1 from pg_roles where rolname=$1"), {group}, group);
            const bool known = PQntuples(exists) > 0;
            PQclear(exists);
            if (!known)
                run(db, QStringLiteral("create role %1 nologin").arg(quoted(conn, group)));
        }
        for (const QString &statement : serverGrants())
            run(db, statement);
        // The login window's own role: the names of the users, the settings and titles.
        {
            PGresult *exists = db.run(QStringLiteral("select 1 from pg_roles where rolname=$1"), {namesRole()}, namesRole());
            const bool known = PQntuples(exists) > 0;
            PQclear(exists);
            if (!known)
                run(db, QStringLiteral("create role %1 login password %2")
                            .arg(quoted(conn, namesRole()), literal(conn, namesRole())));
            run(db, QStringLiteral("grant select (namea, rowid) on sbpass to %1").arg(quoted(conn, namesRole())));
            run(db, QStringLiteral("grant select on srf, dwm to %1").arg(quoted(conn, namesRole())));
        }
        for (const QString &statement : inserts) {
            const engine::PgEngine::Prepared p = db.translate(Store::translate(statement));
            run(db, p.sql);
        }
        made << QStringLiteral("数据表和起始数据");
        made << QStringLiteral("用户组“查询”“录入”“管理”及其权限");
        PGresult *users = db.run(QStringLiteral("select namea, popedoma from sbpass order by rowid"), {}, QStringLiteral("sbpass"));
        for (int i = 0; i < PQntuples(users); ++i)
            made << QStringLiteral("登录用户“%1”（%2，新建时密码为 1）")
                        .arg(QString::fromUtf8(PQgetvalue(users, i, 0)), QString::fromUtf8(PQgetvalue(users, i, 1)));
        PQclear(users);
        db.commit();
    } catch (...) {
        db.rollback();
        throw;
    }
    return made;
}

namespace {

// The tables whose rows are the ledger itself: a server that holds any of them is no longer new.
const QStringList &ledgerTables()
{
    static const QStringList t{QStringLiteral("sp1"),  QStringLiteral("sp2"),  QStringLiteral("sp3"),
                               QStringLiteral("sp4"),  QStringLiteral("sp5"),  QStringLiteral("czbnow"),
                               QStringLiteral("czb1"), QStringLiteral("czb2")};
    return t;
}

QString shown(const QVariant &v)
{
    QString text = v.typeId() == QMetaType::QByteArray ? QStringLiteral("（二进制数据）") : v.toString();
    if (text.size() > 20)
        text = text.left(20) + QStringLiteral("…");
    return text;
}

// Why the server will not hold `v` in a column of `type`, or nothing.
QString refusalOf(const QVariant &v, const ColumnInfo &column)
{
    if (v.isNull())
        return QString();
    switch (column.type) {
    case ColumnType::Number:
    case ColumnType::Integer:
        if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::LongLong)
            return QString();
        return QStringLiteral("“%1”不是数值").arg(shown(v));
    case ColumnType::Date: {
        const QString text = v.toString();
        if (v.typeId() == QMetaType::QString && text.size() == 10 && QDate::fromString(text, Qt::ISODate).isValid())
            return QString();
        return QStringLiteral("“%1”不是 yyyy-mm-dd 格式的日期").arg(shown(v));
    }
    case ColumnType::Text:
        if (v.typeId() == QMetaType::QByteArray)
            return QStringLiteral("是二进制数据，不是文字");
        if (column.capacity > 0 && v.toString().size() > column.capacity)
            return QStringLiteral("“%1”超过了 %2 个字的长度").arg(shown(v)).arg(column.capacity);
        return QString();
    }
    return QString();
}

QString declaredType(const ColumnInfo &c)
{
    switch (c.type) {
    case ColumnType::Number:
        return QStringLiteral("double precision");
    case ColumnType::Integer:
        return QStringLiteral("bigint");
    case ColumnType::Date:
        return QStringLiteral("date");
    case ColumnType::Text:
        break;
    }
    return c.capacity > 0 ? QStringLiteral("varchar(%1) collate \"C\"").arg(c.capacity) : QStringLiteral("text collate \"C\"");
}

} // namespace

QStringList copyTo(Store &from, const QString &address, QStringList &problems)
{
    engine::PgEngine db(address);
    PGconn *conn = db.connection();
    const QHash<QString, QVector<ColumnInfo>> target = db.tables();
    QStringList missing;
    for (const QString &table : engine::schemaTables())
        if (!target.contains(table))
            missing << table;
    if (!missing.isEmpty())
        throw StoreError(QStringLiteral("服务器上的数据库还没有建立数据表（缺少 %1）。请先运行 tolva --setup-server。")
                             .arg(missing.mid(0, 5).join(QStringLiteral("、"))));
    for (const QString &table : ledgerTables()) {
        PGresult *r = db.run(QStringLiteral("select count(*) from %1").arg(table), {}, table);
        const int rows = QByteArray(PQgetvalue(r, 0, 0)).toInt();
        PQclear(r);
        if (rows > 0)
            throw StoreError(QStringLiteral("服务器上的数据库已经有数据（%1 有 %2 条记录），没有改动它。"
                                            "请换用一个用 --setup-server 新建的数据库。")
                                 .arg(table)
                                 .arg(rows));
    }

    // Every table of the folder, read first: nothing is written until every value is known to fit.
    struct Table {
        QString name;
        QVector<ColumnInfo> columns;
        Rows rows;
    };
    QVector<Table> tables;
    const QStringList names = engine::schemaTables();
    for (const QString &name : names) {
        if (!from.hasTable(name))
            continue;
        Table t{name, from.columns(name), {}};
        QStringList list;
        for (const ColumnInfo &c : t.columns)
            list << c.name;
        t.rows = from.select(QStringLiteral("select %1 from %2 order by rowid").arg(list.join(QLatin1Char(',')), name));
        const QVector<ColumnInfo> &serverColumns = target.value(name);
        for (int c = 0; c < t.columns.size(); ++c) {
            const ColumnInfo *server = nullptr;
            for (const ColumnInfo &sc : serverColumns)
                if (sc.name == t.columns[c].name)
                    server = &sc;
            const ColumnInfo &rule = server ? *server : t.columns[c];
            for (int r = 0; r < t.rows.rows.size(); ++r) {
                const QString why = refusalOf(t.rows.rows[r][c], rule);
                if (!why.isEmpty())
                    problems << QStringLiteral("%1 第 %2 行 %3：%4").arg(name).arg(r + 1).arg(rule.name, why);
            }
        }
        tables << t;
    }
    if (!problems.isEmpty())
        return {};

    QStringList copied;
    db.begin();
    try {
        for (const Table &t : tables) {
            const QVector<ColumnInfo> &serverColumns = target.value(t.name);
            QStringList list;
            for (const ColumnInfo &c : t.columns) {
                bool has = false;
                for (const ColumnInfo &sc : serverColumns)
                    has = has || sc.name == c.name;
                if (!has)
                    run(db, QStringLiteral("alter table %1 add column %2 %3").arg(t.name, c.name, declaredType(c)));
                list << c.name;
            }
            run(db, QStringLiteral("delete from %1").arg(t.name));
            auto insert = db.appender(t.name, list);
            for (const auto &row : t.rows.rows) {
                for (int c = 0; c < row.size(); ++c) {
                    const QVariant &v = row[c];
                    if (v.isNull()) {
                        insert->addNull();
                    } else if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::LongLong) {
                        insert->add(v.toDouble());
                    } else {
                        const QByteArray utf8 = v.toString().toUtf8();
                        insert->add(utf8.constData(), int(utf8.size()));
                    }
                }
                insert->endRow();
            }
            insert->finish();
            copied << QStringLiteral("%1：%2 条记录").arg(t.name).arg(t.rows.rows.size());
        }
        // Each user logs in to the server; one without a login gets it, with his password.
        for (const Table &t : tables) {
            if (t.name != QLatin1String("sbpass"))
                continue;
            const int n = t.rows.column(QStringLiteral("namea")), p = t.rows.column(QStringLiteral("passa"));
            for (const auto &row : t.rows.rows) {
                const QString user = row.value(n).toString().trimmed();
                if (user.isEmpty())
                    continue;
                PGresult *exists = db.run(QStringLiteral("select 1 from pg_roles where rolname=$1"), {user}, user);
                const bool known = PQntuples(exists) > 0;
                PQclear(exists);
                if (known)
                    continue;
                const QString password = p >= 0 && !row.value(p).toString().isEmpty() ? row.value(p).toString()
                                                                                        : QStringLiteral("1");
                run(db, QStringLiteral("create role %1 login password %2").arg(quoted(conn, user), literal(conn, password)));
                copied << QStringLiteral("登录用户“%1”").arg(user);
            }
        }
        db.commit();
    } catch (...) {
        db.rollback();
        throw;
    }
    return copied;
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

void setLogin(const QString &address, const QString &user, const QString &password, const QString &right)
{
    engine::PgEngine db(address);
    PGconn *conn = db.connection();
    run(db, QStringLiteral("set client_min_messages to error")); // revoking a group it is not in is no news
    PGresult *exists = db.run(QStringLiteral("select 1 from pg_roles where rolname=$1"), {user}, user);
    const bool known = PQntuples(exists) > 0;
    PQclear(exists);
    if (!known)
        run(db, QStringLiteral("create role %1 login").arg(quoted(conn, user)));
    run(db, QStringLiteral("alter role %1 login password %2").arg(quoted(conn, user), literal(conn, password)));
    for (const QString &group : {Rights::query(), Rights::dataEntry(), Rights::administration()})
        run(db, (group == right ? QStringLiteral("grant %1 to %2") : QStringLiteral("revoke %1 from %2"))
                    .arg(quoted(conn, group), quoted(conn, user)));
}

} // namespace tolva::server
