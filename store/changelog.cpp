#include "changelog.h"

namespace tolva::changelog {

const QVector<LoggedTable> &loggedTables()
{
    static const QVector<LoggedTable> tables = {
        {QStringLiteral("sp1"), {}, {"namea", "dj", "kc", "numsb"}},
        {QStringLiteral("sp5"), {}, {}},
        {QStringLiteral("sp2"), {}, {}},
        {QStringLiteral("sp3"), {}, {}},
        {QStringLiteral("sp4"), {}, {}},
        {QStringLiteral("czbnow"), {}, {}},
        {QStringLiteral("czb1"), {}, {}},
        {QStringLiteral("czb2"), {}, {}},
        {QStringLiteral("sbpass"), {"namea", "popedoma"}, {}},
        // The settings row: the method and the print format change every statement, the closing
        // date (with the reason it was moved back) what may still change.
        {QStringLiteral("srf"), {"b1", "b6", "zzrq", "zzly"}, {}},
    };
    return tables;
}

const QStringList &closedTables()
{
    static const QStringList tables{QStringLiteral("czbnow"), QStringLiteral("sp3"), QStringLiteral("sp4")};
    return tables;
}

const QStringList &nameCopies()
{
    static const QStringList columns{QStringLiteral("khm"), QStringLiteral("numa"), QStringLiteral("namea"),
                                     QStringLiteral("gg"),  QStringLiteral("dw"),   QStringLiteral("dw1")};
    return columns;
}

QString closedPattern()
{
    return QStringLiteral("该日期的账已经结账（结账日期%1），不能修改。");
}

namespace {

// What a logged table's rows hold, and which of them count for an update, as the database has them.
struct Columns {
    QStringList shown, watched;
    bool hasNuma = false;
};

Columns columnsOf(const LoggedTable &t, const ColumnsOf &actual)
{
    const QStringList present = actual(t.name);
    Columns c;
    if (t.shown.isEmpty()) {
        c.shown = present;
    } else {
        for (const QString &name : t.shown)
            if (present.contains(name))
                c.shown << name;
    }
    for (const QString &name : t.watched.isEmpty() ? c.shown : t.watched)
        if (c.shown.contains(name))
            c.watched << name;
    c.hasNuma = present.contains(QStringLiteral("numa"));
    return c;
}

// The columns of a closed table whose change changes a figure or a date.
QStringList figures(const QStringList &present)
{
    QStringList out;
    for (const QString &name : present)
        if (!nameCopies().contains(name))
            out << name;
    return out;
}

QString joined(const QStringList &columns, const std::function<QString(const QString &)> &term, const QString &by)
{
    QStringList terms;
    for (const QString &c : columns)
        terms << term(c);
    return terms.join(by);
}

// A row of a table as a JSON object of its columns, in the embedded engine's words. A value no
// JSON holds (bytes another program wrote) is written in hexadecimal rather than refusing the change.
QString sqliteJson(const QStringList &columns, const QString &row)
{
    return QStringLiteral("json_object(") +
           joined(columns,
                  [&](const QString &c) {
                      const QString v = row + QLatin1Char('.') + c;
                      return QStringLiteral("'%1',iif(typeof(%2)='blob',hex(%2),%2)").arg(c, v);
                  },
                  QStringLiteral(",")) +
           QLatin1Char(')');
}

QString serverJson(const QStringList &columns, const QString &row)
{
    return QStringLiteral("json_build_object(") +
           joined(columns, [&](const QString &c) { return QStringLiteral("'%1',%2.%1").arg(c, row); },
                  QStringLiteral(",")) +
           QStringLiteral(")::text");
}

} // namespace

QStringList sqliteTriggers(const ColumnsOf &actual)
{
    QStringList out;
    const QString insertLog = QStringLiteral("insert into rzb(sj,yh,bm,cz,numa,yjl,xjl) values(tolva_now(),tolva_user(),'%1','%2',%3,%4,%5);");
    for (const LoggedTable &t : loggedTables()) {
        const Columns c = columnsOf(t, actual);
        if (c.shown.isEmpty())
            continue;
        const QString numaOld = c.hasNuma ? QStringLiteral("old.numa") : QStringLiteral("null");
        const QString numaNew = c.hasNuma ? QStringLiteral("new.numa") : QStringLiteral("null");
        const QString changed =
            joined(c.watched, [](const QString &col) { return QStringLiteral("old.%1 is not new.%1").arg(col); },
                   QStringLiteral(" or "));
        if (t.name != QLatin1String("srf")) {
            out << QStringLiteral("create temp trigger rzb_%1_insert after insert on main.%1 begin ").arg(t.name) +
                       insertLog.arg(t.name, QStringLiteral("增加"), numaNew, QStringLiteral("null"),
                                     sqliteJson(c.shown, QStringLiteral("new"))) +
                       QStringLiteral(" end");
            out << QStringLiteral("create temp trigger rzb_%1_delete after delete on main.%1 begin ").arg(t.name) +
                       insertLog.arg(t.name, QStringLiteral("删除"), numaOld, sqliteJson(c.shown, QStringLiteral("old")),
                                     QStringLiteral("null")) +
                       QStringLiteral(" end");
        }
        out << QStringLiteral("create temp trigger rzb_%1_update after update of %2 on main.%1 when %3 begin ")
                       .arg(t.name, c.watched.join(QLatin1Char(',')), changed) +
                   insertLog.arg(t.name, QStringLiteral("修改"), numaNew, sqliteJson(c.shown, QStringLiteral("old")),
                                 sqliteJson(c.shown, QStringLiteral("new"))) +
                   QStringLiteral(" end");
    }

    const QStringList srf = actual(QStringLiteral("srf"));
    if (!srf.contains(QStringLiteral("zzrq")))
        return out;
    const QString closing = QStringLiteral("(select max(zzrq) from srf)");
    const QString refuse = QStringLiteral(" begin select tolva_closed(%1); end").arg(closing);
    for (const QString &table : closedTables()) {
        const QStringList present = actual(table);
        if (!present.contains(QStringLiteral("datea")))
            continue;
        const QString changed =
            joined(figures(present), [](const QString &col) { return QStringLiteral("old.%1 is not new.%1").arg(col); },
                   QStringLiteral(" or "));
        out << QStringLiteral("create temp trigger zz_%1_insert before insert on main.%1 when new.datea<=%2")
                       .arg(table, closing) +
                   refuse;
        out << QStringLiteral("create temp trigger zz_%1_update before update on main.%1 "
                              "when (old.datea<=%2 or new.datea<=%2) and (%3)")
                       .arg(table, closing, changed) +
                   refuse;
        out << QStringLiteral("create temp trigger zz_%1_delete before delete on main.%1 when old.datea<=%2")
                       .arg(table, closing) +
                   refuse;
    }
    return out;
}

QStringList serverTriggers(const ColumnsOf &actual)
{
    QStringList out;
    // The log's rows are written with the rights of the tables' owner: a clerk may read the log,
    // never write or change it himself. Every name is the public table's, whatever a session has
    // made of its own.
    const QString who = QStringLiteral(
        "  who := session_user;\n"
        "  if pg_has_role(session_user, (select relowner from pg_class where oid = 'public.rzb'::regclass), 'member') then\n"
        "    who := coalesce(nullif(current_setting('tolva.user', true), ''), session_user);\n"
        "  end if;\n");
    for (const LoggedTable &t : loggedTables()) {
        const Columns c = columnsOf(t, actual);
        if (c.shown.isEmpty())
            continue;
        const QString row = [&](const QString &r) {
            return joined(c.watched, [&](const QString &col) { return r + QLatin1Char('.') + col; },
                          QStringLiteral(", "));
        }(QStringLiteral("old"));
        const QString rowNew = joined(c.watched, [](const QString &col) { return QStringLiteral("new.") + col; },
                                      QStringLiteral(", "));
        QString body = QStringLiteral(
                           "create or replace function public.rzb_%1() returns trigger language plpgsql security definer "
                           "set search_path = public, pg_temp as $f$\n"
                           "declare\n  who text;\n  contract text;\n  before text;\n  after text;\n  operation text;\n"
                           "begin\n"
                           "  if TG_OP = 'UPDATE' then\n"
                           "    if row(%2) is not distinct from row(%3) then return null; end if;\n"
                           "  end if;\n")
                           .arg(t.name, row, rowNew) +
                       who;
        body += QStringLiteral("  if TG_OP = 'INSERT' then\n"
                               "    operation := '增加'; after := %1; contract := %3;\n"
                               "  elsif TG_OP = 'UPDATE' then\n"
                               "    operation := '修改'; before := %2; after := %1; contract := %3;\n"
                               "  else\n"
                               "    operation := '删除'; before := %2; contract := %4;\n"
                               "  end if;\n")
                    .arg(serverJson(c.shown, QStringLiteral("new")), serverJson(c.shown, QStringLiteral("old")),
                         c.hasNuma ? QStringLiteral("new.numa") : QStringLiteral("null"),
                         c.hasNuma ? QStringLiteral("old.numa") : QStringLiteral("null"));
        body += QStringLiteral("  insert into public.rzb(sj, yh, bm, cz, numa, yjl, xjl)\n"
                               "    values (to_char(localtimestamp, 'YYYY-MM-DD HH24:MI:SS'), who, '%1', operation, "
                               "contract, before, after);\n"
                               "  return null;\nend\n$f$")
                    .arg(t.name);
        out << body;
        const QString events = t.name == QLatin1String("srf") ? QStringLiteral("update")
                                                               : QStringLiteral("insert or update or delete");
        out << QStringLiteral("create trigger rzb_log after %2 on public.%1 for each row execute function public.rzb_%1()")
                   .arg(t.name, events);
    }

    if (!actual(QStringLiteral("srf")).contains(QStringLiteral("zzrq")))
        return out;
    QString message = closedPattern();
    message.replace(QLatin1String("%1"), QLatin1String("%s"));
    for (const QString &table : closedTables()) {
        const QStringList present = actual(table);
        if (!present.contains(QStringLiteral("datea")))
            continue;
        const QStringList f = figures(present);
        const QString oldFigures = joined(f, [](const QString &col) { return QStringLiteral("old.") + col; },
                                          QStringLiteral(", "));
        const QString newFigures = joined(f, [](const QString &col) { return QStringLiteral("new.") + col; },
                                          QStringLiteral(", "));
        out << QStringLiteral(
                   "create or replace function public.zz_%1() returns trigger language plpgsql "
                   "set search_path = public, pg_temp as $f$\n"
                   "declare\n  closing date;\n  refused boolean := false;\n"
                   "begin\n"
                   "  select max(zzrq) into closing from public.srf;\n"
                   "  if closing is not null then\n"
                   "    if TG_OP = 'INSERT' then\n"
                   "      refused := new.datea <= closing;\n"
                   "    elsif TG_OP = 'DELETE' then\n"
                   "      refused := old.datea <= closing;\n"
                   "    elsif old.datea <= closing or new.datea <= closing then\n"
                   "      refused := row(%2) is distinct from row(%3);\n"
                   "    end if;\n"
                   "  end if;\n"
                   "  if refused then\n"
                   "    raise exception using message = format('%4', to_char(closing, 'YYYY-MM-DD')), errcode = 'TL001';\n"
                   "  end if;\n"
                   "  if TG_OP = 'DELETE' then return old; end if;\n"
                   "  return new;\n"
                   "end\n$f$")
                   .arg(table, oldFigures, newFigures, message);
        out << QStringLiteral("create trigger zz_closed before insert or update or delete on public.%1 "
                              "for each row execute function public.zz_%1()")
                   .arg(table);
    }
    return out;
}

} // namespace tolva::changelog
