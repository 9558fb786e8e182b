#include "pgdialect.h"

#include <QVector>

namespace tolva::pg {

namespace {

enum class Kind { Word, Literal, Parameter, Space, Symbol, Number };

struct Token {
    Kind kind;
    QString text;
    bool is(const char *word) const
    {
        return kind == Kind::Word && text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
    }
    bool symbol(char c) const { return kind == Kind::Symbol && text.size() == 1 && text[0] == QLatin1Char(c); }
};

bool wordStart(QChar c)
{
    return c.isLetter() || c == QLatin1Char('_');
}

bool wordPart(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

QVector<Token> tokenize(const QString &sql)
{
    QVector<Token> out;
    const int n = sql.size();
    int i = 0;
    while (i < n) {
        const QChar c = sql[i];
        int j = i + 1;
        Kind kind = Kind::Symbol;
        if (c == QLatin1Char('\'')) {
            kind = Kind::Literal;
            while (j < n) {
                if (sql[j] == QLatin1Char('\'')) {
                    if (j + 1 < n && sql[j + 1] == QLatin1Char('\'')) {
                        j += 2;
                        continue;
                    }
                    ++j;
                    break;
                }
                ++j;
            }
        } else if (c == QLatin1Char('"')) { // a quoted name stays whole
            kind = Kind::Word;
            while (j < n && sql[j] != QLatin1Char('"'))
                ++j;
            j = qMin(j + 1, n);
        } else if (c.isSpace()) {
            kind = Kind::Space;
            while (j < n && sql[j].isSpace())
                ++j;
        } else if (wordStart(c)) {
            kind = Kind::Word;
            while (j < n && wordPart(sql[j]))
                ++j;
        } else if (c.isDigit() || (c == QLatin1Char('.') && j < n && sql[j].isDigit())) {
            kind = Kind::Number;
            while (j < n && (sql[j].isDigit() || sql[j] == QLatin1Char('.') || sql[j] == QLatin1Char('e') ||
                             sql[j] == QLatin1Char('E')))
                ++j;
        } else if (c == QLatin1Char(':') && j < n && wordStart(sql[j]) && !(i > 0 && sql[i - 1] == QLatin1Char(':'))) {
            kind = Kind::Parameter;
            while (j < n && wordPart(sql[j]))
                ++j;
        } else if (c == QLatin1Char('?')) {
            kind = Kind::Parameter;
        }
        out.append({kind, sql.mid(i, j - i)});
        i = j;
    }
    return out;
}

QString join(const QVector<Token> &tokens)
{
    QString s;
    for (const Token &t : tokens)
        s += t.text;
    return s;
}

// The index of the next token that is not blank, from i on; tokens.size() when none.
int nextSolid(const QVector<Token> &tokens, int i)
{
    while (i < tokens.size() && tokens[i].kind == Kind::Space)
        ++i;
    return i;
}

int priorSolid(const QVector<Token> &tokens, int i)
{
    while (i >= 0 && tokens[i].kind == Kind::Space)
        --i;
    return i;
}

// total(x) → coalesce(sum(x),0): the closing parenthesis found by depth.
void totals(QVector<Token> &tokens)
{
    for (int i = 0; i < tokens.size(); ++i) {
        if (!tokens[i].is("total"))
            continue;
        const int open = nextSolid(tokens, i + 1);
        if (open >= tokens.size() || !tokens[open].symbol('('))
            continue;
        int depth = 0;
        for (int j = open; j < tokens.size(); ++j) {
            if (tokens[j].symbol('('))
                ++depth;
            else if (tokens[j].symbol(')') && --depth == 0) {
                tokens[j].text = QStringLiteral("),0)");
                tokens[i] = {Kind::Word, QStringLiteral("coalesce(sum")};
                break;
            }
        }
    }
}

bool endsClause(const Token &t)
{
    return t.is("limit") || t.is("offset") || t.is("union") || t.is("having") || t.is("for") || t.is("window") ||
           t.symbol(')') || t.symbol(';');
}

// The terms of an "order by" or "group by" list that starts at `from`: [begin, end) of each.
QVector<QPair<int, int>> listTerms(const QVector<Token> &tokens, int from, int &end)
{
    QVector<QPair<int, int>> terms;
    int depth = 0;
    int start = from;
    int i = from;
    for (; i < tokens.size(); ++i) {
        const Token &t = tokens[i];
        if (t.symbol('('))
            ++depth;
        else if (t.symbol(')')) {
            if (depth == 0)
                break;
            --depth;
        } else if (depth == 0 && (endsClause(t) || t.is("order"))) {
            break;
        } else if (depth == 0 && t.symbol(',')) {
            terms.append({start, i});
            start = i + 1;
        }
    }
    terms.append({start, i});
    end = i;
    return terms;
}

// Ascending terms sort nulls first, descending ones last, as on the embedded engine.
void nullOrder(QVector<Token> &tokens)
{
    for (int i = 0; i < tokens.size(); ++i) {
        if (!tokens[i].is("order"))
            continue;
        const int by = nextSolid(tokens, i + 1);
        if (by >= tokens.size() || !tokens[by].is("by"))
            continue;
        int end = 0;
        const auto terms = listTerms(tokens, by + 1, end);
        // From the last term back, so that the positions of the earlier ones hold.
        for (int t = terms.size() - 1; t >= 0; --t) {
            const int last = priorSolid(tokens, terms[t].second - 1);
            if (last < terms[t].first)
                continue;
            bool hasNulls = false;
            for (int k = terms[t].first; k <= last; ++k)
                hasNulls = hasNulls || tokens[k].is("nulls");
            if (hasNulls)
                continue;
            const bool descending = tokens[last].is("desc");
            tokens.insert(last + 1, {Kind::Word, descending ? QStringLiteral(" nulls last") : QStringLiteral(" nulls first")});
        }
    }
}

int depthAt(const QVector<Token> &tokens, int at)
{
    int depth = 0;
    for (int i = 0; i < at; ++i) {
        if (tokens[i].symbol('('))
            ++depth;
        else if (tokens[i].symbol(')'))
            --depth;
    }
    return depth;
}

// A grouped select without its own order comes in the order of its groups.
void groupOrder(QVector<Token> &tokens)
{
    for (int i = 0; i < tokens.size(); ++i) {
        if (!tokens[i].is("group"))
            continue;
        const int by = nextSolid(tokens, i + 1);
        if (by >= tokens.size() || !tokens[by].is("by"))
            continue;
        int end = 0;
        const auto terms = listTerms(tokens, by + 1, end);
        // Skip a having clause; an order, a union or a limit of its own ends the search.
        int j = end;
        const int depth = depthAt(tokens, i);
        if (j < tokens.size() && tokens[j].is("having")) {
            int d = 0;
            for (; j < tokens.size(); ++j) {
                if (tokens[j].symbol('('))
                    ++d;
                else if (tokens[j].symbol(')')) {
                    if (d == 0)
                        break;
                    --d;
                } else if (d == 0 && (tokens[j].is("order") || tokens[j].is("limit") || tokens[j].is("union")))
                    break;
            }
        }
        if (j < tokens.size() && (tokens[j].is("order") || tokens[j].is("union")))
            continue;
        // Only the outermost select is ordered: a grouped subquery needs no order.
        if (depth != 0)
            continue;
        QStringList order;
        for (const auto &term : terms) {
            QVector<Token> part = tokens.mid(term.first, term.second - term.first);
            const QString text = join(part).trimmed();
            if (!text.isEmpty())
                order << text;
        }
        if (order.isEmpty())
            continue;
        const QVector<Token> added = tokenize(QStringLiteral(" order by ") + order.join(QStringLiteral(", ")) + QLatin1Char(' '));
        for (int k = 0; k < added.size(); ++k)
            tokens.insert(j + k, added[k]);
        i = j + int(added.size());
    }
}

// "select *" and "select rowid as x, *" of one table list the table's columns.
void expandStar(QVector<Token> &tokens, const std::function<QStringList(const QString &)> &columnsOf)
{
    for (int i = 0; i < tokens.size(); ++i) {
        if (!tokens[i].symbol('*'))
            continue;
        const int before = priorSolid(tokens, i - 1);
        if (before < 0 || !(tokens[before].is("select") || tokens[before].symbol(',')))
            continue;
        const int from = nextSolid(tokens, i + 1);
        if (from >= tokens.size() || !tokens[from].is("from"))
            continue;
        const int table = nextSolid(tokens, from + 1);
        if (table >= tokens.size() || tokens[table].kind != Kind::Word)
            continue;
        // One table only: a join or a list of tables keeps its star.
        const int after = nextSolid(tokens, table + 1);
        if (after < tokens.size() && (tokens[after].symbol(',') || tokens[after].is("join") || tokens[after].is("inner") ||
                                      tokens[after].is("left") || tokens[after].is("cross")))
            continue;
        const QStringList columns = columnsOf(tokens[table].text.toLower());
        if (columns.isEmpty())
            continue;
        tokens[i].text = columns.join(QLatin1Char(','));
    }
}

// Table definitions: the row identity, numbers in double precision, texts ordered by code point.
void definitions(QVector<Token> &tokens)
{
    const int first = nextSolid(tokens, 0);
    if (first >= tokens.size())
        return;
    const bool create = tokens[first].is("create") && nextSolid(tokens, first + 1) < tokens.size() &&
                        tokens[nextSolid(tokens, first + 1)].is("table");
    const bool alter = tokens[first].is("alter");
    if (!create && !alter)
        return;
    for (int i = first; i < tokens.size(); ++i) {
        Token &t = tokens[i];
        if (t.is("real") || t.is("float") || t.is("double") || t.is("number")) {
            if (t.is("double")) {
                const int next = nextSolid(tokens, i + 1);
                if (next < tokens.size() && tokens[next].is("precision"))
                    continue;
            }
            t.text = QStringLiteral("double precision");
        } else if (t.is("char") || t.is("varchar")) {
            const int open = nextSolid(tokens, i + 1);
            if (open < tokens.size() && tokens[open].symbol('(')) {
                const int close = nextSolid(tokens, nextSolid(tokens, open + 1) + 1);
                if (close < tokens.size() && tokens[close].symbol(')')) {
                    t.text = QStringLiteral("varchar");
                    tokens[close].text = QStringLiteral(") collate \"C\"");
                }
            }
        } else if (t.is("text")) {
            t.text = QStringLiteral("text collate \"C\"");
        }
    }
    if (create) {
        // The row identity goes last, so that an insert of values without names fills the
        // table's own columns.
        int depth = 0;
        for (int i = tokens.size() - 1; i >= 0; --i) {
            if (tokens[i].symbol(')') && depth == 0) {
                tokens.insert(i, {Kind::Word, QStringLiteral(", rowid bigint generated by default as identity")});
                break;
            }
        }
    }
}

} // namespace

Translated translate(const QString &sql, const std::function<QStringList(const QString &)> &columnsOf)
{
    QVector<Token> tokens = tokenize(sql);
    definitions(tokens);
    totals(tokens);
    expandStar(tokens, columnsOf);
    groupOrder(tokens);
    nullOrder(tokens);
    Translated out;
    for (Token &t : tokens) {
        if (t.is("like"))
            t.text = QStringLiteral("ilike");
        else if (t.kind == Kind::Parameter) {
            const QString name = t.text == QLatin1String("?") ? QString() : t.text.mid(1);
            int index = -1;
            if (!name.isEmpty())
                for (int p = 0; p < out.parameters.size(); ++p)
                    if (out.parameters[p].compare(name, Qt::CaseInsensitive) == 0)
                        index = p;
            if (index < 0) {
                out.parameters << name;
                index = out.parameters.size() - 1;
            }
            t.text = QLatin1Char('$') + QString::number(index + 1);
        }
        out.sql += t.text;
    }
    return out;
}

} // namespace tolva::pg
