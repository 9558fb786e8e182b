#include "store.h"
#include "statement.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlRecord>
#include <QStringEncoder>

namespace tolva {

StoreError::StoreError(const QString &message, const QString &statement)
    : Error(statement.isEmpty() ? message : message + "\n" + statement),
      message_(message), statement_(statement)
{
}

QString StoreError::text() const
{
    return statement_.isEmpty() ? message_ : message_ + "\n" + statement_;
}

int Rows::column(const QString &name) const
{
    for (int i = 0; i < columns.size(); ++i)
        if (columns[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

namespace {

const QRegularExpression &suffixPattern()
{
    static const QRegularExpression re(QStringLiteral("\\b([A-Za-z_][A-Za-z0-9_]*)\\.db\\b"),
                                       QRegularExpression::CaseInsensitiveOption);
    return re;
}

const QRegularExpression &splicedDatePattern()
{
    static const QRegularExpression re(QStringLiteral("^(\\d{1,2})/(\\d{1,2})/(\\d{4})$"));
    return re;
}

const QRegularExpression &parameterPattern()
{
    static const QRegularExpression re(QStringLiteral(":([A-Za-z_][A-Za-z0-9_]*)"));
    return re;
}

// A select over one table, without grouping, sorting or aggregates: its rows come in stored order.
const QRegularExpression &plainSelectPattern()
{
    static const QRegularExpression re(
        QStringLiteral("^\\s*select\\s+([^()]*?)\\s+from\\s+[A-Za-z_][A-Za-z0-9_]*\\s*(where\\b.*)?$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    return re;
}

// Splits a statement into code and quoted literals; calls code(text) and literal(content).
template <class Code, class Literal>
void scanStatement(const QString &sql, Code code, Literal literal)
{
    QString chunk;
    int i = 0;
    const int n = sql.size();
    while (i < n) {
        const QChar c = sql[i];
        if (c != QLatin1Char('\'') && c != QLatin1Char('"')) {
            chunk += c;
            ++i;
            continue;
        }
        code(chunk);
        chunk.clear();
        QString content;
        int j = i + 1;
        bool closed = false;
        while (j < n) {
            if (sql[j] == c) {
                if (j + 1 < n && sql[j + 1] == c) { // a doubled quote stands for itself
                    content += c;
                    j += 2;
                    continue;
                }
                closed = true;
                break;
            }
            content += sql[j++];
        }
        if (!closed)
            throw StoreError(QStringLiteral("语句中的引号不配对。"), sql);
        literal(content);
        i = j + 1;
    }
    code(chunk);
}

ColumnInfo parseColumn(const QString &name, const QString &declared)
{
    ColumnInfo info;
    info.name = name.toLower();
    const QString t = declared.trimmed().toLower();
    static const QRegularExpression cap(QStringLiteral("^(?:var)?char\\s*\\((\\d+)\\)$"));
    const auto m = cap.match(t);
    if (m.hasMatch()) {
        info.type = ColumnType::Text;
        info.capacity = m.captured(1).toInt();
    } else if (t == QLatin1String("real") || t == QLatin1String("number") || t == QLatin1String("double")) {
        info.type = ColumnType::Number;
    } else if (t == QLatin1String("date")) {
        info.type = ColumnType::Date;
    } else if (t == QLatin1String("smallint") || t == QLatin1String("integer") || t == QLatin1String("int")) {
        info.type = ColumnType::Integer;
    } else {
        info.type = ColumnType::Text;
    }
    return info;
}

} // namespace

Store::Store(const QString &folder)
    : folder_(QDir(folder).absolutePath()),
      connection_(QStringLiteral("tolva-%1").arg(reinterpret_cast<quintptr>(this), 0, 16))
{
    const bool fresh = !QFileInfo::exists(filePath());
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
        db.setDatabaseName(filePath());
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
        if (!db.open()) {
            const QString message = db.lastError().text();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(connection_);
            throw StoreError(QStringLiteral("无法打开数据文件：%1").arg(message), filePath());
        }
    }
    // A larger page cache keeps a contract's movements in memory across the steps of a computation;
    // sorting and grouping stay in memory too.
    {
        QSqlQuery pragma(database());
        pragma.exec(QStringLiteral("PRAGMA cache_size=-32768"));
        pragma.exec(QStringLiteral("PRAGMA temp_store=MEMORY"));
        pragma.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
        pragma.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
    }
    if (fresh) {
        try {
            create();
        } catch (...) {
            database().close();
            QSqlDatabase::removeDatabase(connection_);
            QFile::remove(filePath());
            throw;
        }
    }
}

Store::~Store()
{
    {
        QSqlDatabase db = database();
        if (db.isOpen()) {
            if (depth_ > 0)
                db.rollback();
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(connection_);
}

QString Store::filePath() const
{
    return QDir(folder_).filePath(QLatin1String(FileName));
}

QSqlDatabase Store::database() const
{
    return QSqlDatabase::database(connection_, false);
}

void Store::create()
{
    QFile file(QStringLiteral(":/store/schema.sql"));
    if (!file.open(QIODevice::ReadOnly))
        throw StoreError(QStringLiteral("找不到建表语句。"), file.fileName());
    QString text = QString::fromUtf8(file.readAll());
    // Drop comment lines, then run the statements one by one.
    QStringList lines;
    for (const QString &line : text.split(QLatin1Char('\n')))
        if (!line.trimmed().startsWith(QLatin1String("--")))
            lines << line;
    text = lines.join(QLatin1Char('\n'));
    transaction([&] {
        for (const QString &statement : text.split(QLatin1Char(';'))) {
            if (!statement.trimmed().isEmpty())
                exec(statement);
        }
    });
}

QString Store::translate(const QString &sql)
{
    QString out;
    out.reserve(sql.size() + 8);
    scanStatement(
        sql,
        [&](const QString &code) {
            QString c = code;
            c.replace(suffixPattern(), QStringLiteral("\\1"));
            out += c;
        },
        [&](const QString &content) {
            QString value = content;
            const auto m = splicedDatePattern().match(content);
            if (m.hasMatch()) {
                const QDate d(m.captured(3).toInt(), m.captured(1).toInt(), m.captured(2).toInt());
                if (d.isValid())
                    value = d.toString(Qt::ISODate);
            }
            value.replace(QLatin1Char('\''), QLatin1String("''"));
            out += QLatin1Char('\'') + value + QLatin1Char('\'');
        });
    return out;
}

QVariant Store::toStored(const QVariant &value)
{
    if (value.isNull())
        return QVariant();
    switch (value.typeId()) {
    case QMetaType::QDate:
        return value.toDate().toString(Qt::ISODate);
    case QMetaType::QDateTime:
        return value.toDateTime().date().toString(Qt::ISODate);
    case QMetaType::Bool:
        return value.toBool() ? 1 : 0;
    default:
        return value;
    }
}

QSqlQuery Store::prepare(const QString &sql, const Params &params) const
{
    const QString translated = translate(sql);
    QSqlQuery query(database());
    query.setForwardOnly(true);
    if (!query.prepare(translated))
        throw StoreError(query.lastError().text(), sql);

    // Bind the parameters the statement names; a named one without a value is an error.
    QStringList names;
    scanStatement(
        translated,
        [&](const QString &code) {
            auto it = parameterPattern().globalMatch(code);
            while (it.hasNext()) {
                const QString name = it.next().captured(1);
                if (!names.contains(name, Qt::CaseInsensitive))
                    names << name;
            }
        },
        [](const QString &) {});
    for (const QString &name : names) {
        auto found = params.constEnd();
        for (auto p = params.constBegin(); p != params.constEnd(); ++p)
            if (p.key().compare(name, Qt::CaseInsensitive) == 0)
                found = p;
        if (found == params.constEnd())
            throw StoreError(QStringLiteral("参数 :%1 没有赋值。").arg(name), sql);
        query.bindValue(QLatin1Char(':') + name, toStored(found.value()));
    }
    return query;
}

int Store::exec(const QString &sql, const Params &params)
{
    QSqlQuery query = prepare(sql, params);
    if (!query.exec())
        throw StoreError(query.lastError().text(), sql);
    const QString head = sql.trimmed().left(6).toLower();
    if (head == QLatin1String("alter ") || head == QLatin1String("create") || head == QLatin1String("drop t"))
        columnsLoaded_ = false;
    return query.numRowsAffected();
}

Rows Store::select(const QString &sql, const Params &params)
{
    QString statement = sql;
    const QString translated = translate(sql);
    const auto plain = plainSelectPattern().match(translated);
    static const QRegularExpression ordered(QStringLiteral("\\b(group|order)\\s+by\\b|\\b(union|limit|distinct)\\b"),
                                            QRegularExpression::CaseInsensitiveOption);
    if (plain.hasMatch() && !translated.contains(ordered))
        statement = sql + QStringLiteral(" order by rowid");

    QSqlQuery query;
    try {
        query = prepare(statement, params);
    } catch (const StoreError &e) {
        throw StoreError(e.message(), sql);
    }
    if (!query.exec())
        throw StoreError(query.lastError().text(), sql);
    Rows result;
    const QSqlRecord record = query.record();
    for (int i = 0; i < record.count(); ++i)
        result.columns << record.fieldName(i);
    while (query.next()) {
        QVector<QVariant> row(record.count());
        for (int i = 0; i < record.count(); ++i)
            row[i] = query.value(i);
        result.rows.append(std::move(row));
    }
    if (query.lastError().isValid())
        throw StoreError(query.lastError().text(), sql);
    return result;
}

QVariant Store::scalar(const QString &sql, const Params &params)
{
    const Rows rows = select(sql, params);
    if (rows.rows.isEmpty() || rows.rows.first().isEmpty())
        return QVariant();
    return rows.rows.first().first();
}

void Store::insertRows(const QString &table, const QStringList &columns, const QVector<QVector<QVariant>> &rows)
{
    if (rows.isEmpty())
        return;
    Statement insert(*this, QStringLiteral("insert into %1 (%2) values (%3)")
                                .arg(table, columns.join(QLatin1Char(',')),
                                     QStringList(columns.size(), QStringLiteral("?")).join(QLatin1Char(','))));
    for (const auto &row : rows) {
        for (int i = 0; i < columns.size(); ++i)
            insert.bind(i, row.value(i));
        insert.run();
    }
}

void Store::emptyTable(const QString &table)
{
    if (!hasTable(table))
        throw StoreError(QStringLiteral("没有数据表 %1。").arg(table));
    exec(QStringLiteral("delete from ") + table.toLower());
}

void Store::compact()
{
    if (depth_ > 0)
        throw StoreError(QStringLiteral("数据正在修改中，不能压缩数据表。"));
    // VACUUM takes the file for itself; another program holding it makes this fail, not wait.
    exec(QStringLiteral("PRAGMA busy_timeout=0"));
    try {
        exec(QStringLiteral("VACUUM"));
    } catch (const StoreError &e) {
        exec(QStringLiteral("PRAGMA busy_timeout=2000"));
        throw StoreError(QStringLiteral("数据表正被其他程序使用，无法独占打开，不能压缩：%1").arg(e.message()),
                         e.statement());
    }
    exec(QStringLiteral("PRAGMA busy_timeout=2000"));
}

void Store::loadColumns() const
{
    if (columnsLoaded_)
        return;
    columns_.clear();
    QSqlQuery tables(database());
    if (!tables.exec(QStringLiteral("select name from sqlite_master where type='table'")))
        throw StoreError(tables.lastError().text(), QStringLiteral("sqlite_master"));
    QStringList names;
    while (tables.next())
        names << tables.value(0).toString();
    for (const QString &table : names) {
        QSqlQuery info(database());
        if (!info.exec(QStringLiteral("pragma table_info(\"%1\")").arg(table)))
            throw StoreError(info.lastError().text(), table);
        QVector<ColumnInfo> cols;
        while (info.next())
            cols << parseColumn(info.value(1).toString(), info.value(2).toString());
        columns_.insert(table.toLower(), cols);
    }
    columnsLoaded_ = true;
}

bool Store::hasTable(const QString &table) const
{
    loadColumns();
    return columns_.contains(table.toLower());
}

const QVector<ColumnInfo> &Store::columns(const QString &table) const
{
    loadColumns();
    static const QVector<ColumnInfo> none;
    auto it = columns_.constFind(table.toLower());
    return it == columns_.constEnd() ? none : it.value();
}

const ColumnInfo *Store::column(const QString &table, const QString &column) const
{
    for (const ColumnInfo &c : columns(table))
        if (c.name.compare(column, Qt::CaseInsensitive) == 0)
            return &c;
    return nullptr;
}

int Store::gbkLength(const QString &text)
{
    QStringEncoder encoder("GBK");
    if (encoder.isValid()) {
        const QByteArray bytes = encoder.encode(text);
        if (!encoder.hasError())
            return int(bytes.size());
    }
    // Without a GBK converter, or for characters GBK lacks: ASCII is one byte, the rest two.
    int n = 0;
    for (const QChar c : text)
        n += c.unicode() < 0x80 ? 1 : 2;
    return n;
}

void Store::checkCapacity(const QString &table, const QString &column, const QVariant &value) const
{
    const ColumnInfo *info = this->column(table, column);
    if (!info || info->type != ColumnType::Text || info->capacity <= 0 || value.isNull())
        return;
    const QString text = value.toString();
    const int length = gbkLength(text);
    if (length > info->capacity)
        throw StoreError(QStringLiteral("“%1”太长：%2.%3 最多 %4 个字节（一个汉字占两个字节），输入的内容占 %5 个字节。")
                             .arg(text, table.toLower(), info->name)
                             .arg(info->capacity)
                             .arg(length));
}

void Store::begin()
{
    if (depth_ == 0) {
        if (!database().transaction())
            throw StoreError(database().lastError().text(), QStringLiteral("begin transaction"));
    } else {
        exec(QStringLiteral("savepoint sp%1").arg(depth_));
    }
    ++depth_;
}

void Store::commit()
{
    if (depth_ == 0)
        return;
    --depth_;
    if (depth_ == 0) {
        if (!database().commit()) {
            const QString message = database().lastError().text();
            database().rollback();
            throw StoreError(message, QStringLiteral("commit"));
        }
    } else {
        exec(QStringLiteral("release sp%1").arg(depth_));
    }
}

void Store::rollback()
{
    if (depth_ == 0)
        return;
    --depth_;
    if (depth_ == 0) {
        database().rollback();
    } else {
        exec(QStringLiteral("rollback to sp%1").arg(depth_));
        exec(QStringLiteral("release sp%1").arg(depth_));
    }
}

} // namespace tolva
