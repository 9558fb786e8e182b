#include "expression.h"

#include "template.h"

#include <QDate>

namespace tolva::report {

QString Node::reference() const
{
    if (kind == Kind::Column)
        return (window.isEmpty() ? QString() : window + QLatin1Char('.')) + dataset + QStringLiteral(".\"") + column +
               QLatin1Char('"');
    return text;
}

double toNumber(const QVariant &v)
{
    if (v.isNull())
        return 0;
    if (v.typeId() == QMetaType::QString) {
        bool ok = false;
        const double d = v.toString().trimmed().toDouble(&ok);
        return ok ? d : 0;
    }
    return v.toDouble();
}

namespace {

class Parser {
public:
    explicit Parser(const QString &text) : s_(text) {}

    std::unique_ptr<Node> parseAll()
    {
        auto node = comparison();
        skip();
        if (i_ < s_.size())
            fail();
        return node;
    }

private:
    [[noreturn]] void fail() const
    {
        throw ReportError(QStringLiteral("报表表达式无法计算：%1").arg(s_));
    }

    void skip()
    {
        while (i_ < s_.size() && s_[i_].isSpace())
            ++i_;
    }

    bool take(const QString &token)
    {
        skip();
        if (s_.mid(i_, token.size()) == token) {
            i_ += int(token.size());
            return true;
        }
        return false;
    }

    std::unique_ptr<Node> binary(const QString &op, std::unique_ptr<Node> l, std::unique_ptr<Node> r)
    {
        auto n = std::make_unique<Node>();
        n->kind = Node::Kind::Binary;
        n->text = op;
        n->args.push_back(std::move(l));
        n->args.push_back(std::move(r));
        return n;
    }

    std::unique_ptr<Node> comparison()
    {
        auto left = additive();
        for (const char *op : {"<>", ">=", "<=", ">", "<", "="}) {
            if (take(QString::fromLatin1(op)))
                return binary(QString::fromLatin1(op), std::move(left), additive());
        }
        return left;
    }

    std::unique_ptr<Node> additive()
    {
        auto left = term();
        while (true) {
            if (take(QStringLiteral("+")))
                left = binary(QStringLiteral("+"), std::move(left), term());
            else if (take(QStringLiteral("-")))
                left = binary(QStringLiteral("-"), std::move(left), term());
            else
                return left;
        }
    }

    std::unique_ptr<Node> term()
    {
        auto left = factor();
        while (true) {
            if (take(QStringLiteral("*")))
                left = binary(QStringLiteral("*"), std::move(left), factor());
            else if (take(QStringLiteral("/")))
                left = binary(QStringLiteral("/"), std::move(left), factor());
            else
                return left;
        }
    }

    QString quoted(QChar q)
    {
        ++i_;
        const int start = i_;
        while (i_ < s_.size() && s_[i_] != q)
            ++i_;
        if (i_ >= s_.size())
            fail();
        return s_.mid(start, i_++ - start);
    }

    QString identifier()
    {
        skip();
        const int start = i_;
        while (i_ < s_.size() && (s_[i_].isLetterOrNumber() || s_[i_] == QLatin1Char('_') || s_[i_] == QLatin1Char('#')))
            ++i_;
        return s_.mid(start, i_ - start);
    }

    std::unique_ptr<Node> factor()
    {
        skip();
        if (i_ >= s_.size())
            fail();
        auto n = std::make_unique<Node>();
        const QChar c = s_[i_];
        if (c == QLatin1Char('-')) {
            ++i_;
            n->kind = Node::Kind::Negate;
            n->args.push_back(factor());
            return n;
        }
        if (c == QLatin1Char('[')) {
            ++i_;
            auto inner = comparison();
            if (!take(QStringLiteral("]")))
                fail();
            return inner;
        }
        if (c == QLatin1Char('(')) {
            ++i_;
            auto inner = comparison();
            if (!take(QStringLiteral(")")))
                fail();
            return inner;
        }
        if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            n->kind = Node::Kind::Text;
            n->text = quoted(c);
            return n;
        }
        if (c.isDigit() || c == QLatin1Char('.')) {
            const int start = i_;
            while (i_ < s_.size() && (s_[i_].isDigit() || s_[i_] == QLatin1Char('.')))
                ++i_;
            bool ok = false;
            n->kind = Node::Kind::Number;
            n->number = s_.mid(start, i_ - start).toDouble(&ok);
            if (!ok)
                fail();
            return n;
        }
        const QString first = identifier();
        if (first.isEmpty())
            fail();
        skip();
        // Function call.
        if (i_ < s_.size() && s_[i_] == QLatin1Char('(')) {
            ++i_;
            n->kind = Node::Kind::Call;
            n->text = first.toLower();
            if (!take(QStringLiteral(")"))) {
                do {
                    n->args.push_back(comparison());
                } while (take(QStringLiteral(",")));
                if (!take(QStringLiteral(")")))
                    fail();
            }
            return n;
        }
        // Column of a result set: R."col" or W.R."col".
        if (i_ < s_.size() && s_[i_] == QLatin1Char('.')) {
            ++i_;
            skip();
            n->kind = Node::Kind::Column;
            if (i_ < s_.size() && s_[i_] == QLatin1Char('"')) {
                n->dataset = first;
                n->column = quoted(QLatin1Char('"'));
                return n;
            }
            const QString second = identifier();
            if (second.isEmpty() || !take(QStringLiteral(".")))
                fail();
            skip();
            if (i_ >= s_.size() || s_[i_] != QLatin1Char('"'))
                fail();
            n->window = first;
            n->dataset = second;
            n->column = quoted(QLatin1Char('"'));
            return n;
        }
        if (first.compare(QLatin1String("null"), Qt::CaseInsensitive) == 0) {
            n->kind = Node::Kind::Null;
            return n;
        }
        n->kind = Node::Kind::Name;
        n->text = first;
        return n;
    }

    QString s_;
    int i_ = 0;
};

QVariant arithmetic(const QString &op, const QVariant &a, const QVariant &b)
{
    const bool texts = (a.typeId() == QMetaType::QString || b.typeId() == QMetaType::QString) && op == QLatin1String("+");
    if (texts) {
        bool okA = false, okB = false;
        a.toString().toDouble(&okA);
        b.toString().toDouble(&okB);
        if (!(okA || a.isNull()) || !(okB || b.isNull()))
            return a.toString() + b.toString();
    }
    const double x = toNumber(a), y = toNumber(b);
    if (op == QLatin1String("+"))
        return x + y;
    if (op == QLatin1String("-"))
        return x - y;
    if (op == QLatin1String("*"))
        return x * y;
    return y == 0 ? QVariant() : QVariant(x / y);
}

bool compare(const QString &op, const QVariant &a, const QVariant &b)
{
    if (a.isNull() || b.isNull()) {
        const bool same = a.isNull() == b.isNull();
        if (op == QLatin1String("="))
            return same;
        if (op == QLatin1String("<>"))
            return !same;
        return false;
    }
    int c = 0;
    bool okA = false, okB = false;
    const double x = a.toString().toDouble(&okA), y = b.toString().toDouble(&okB);
    if ((a.typeId() == QMetaType::Double || okA) && (b.typeId() == QMetaType::Double || okB)) {
        const double dx = toNumber(a), dy = toNumber(b);
        c = dx < dy ? -1 : dx > dy ? 1 : 0;
    } else {
        Q_UNUSED(x)
        Q_UNUSED(y)
        c = QString::compare(a.toString(), b.toString());
        c = c < 0 ? -1 : c > 0 ? 1 : 0;
    }
    if (op == QLatin1String("="))
        return c == 0;
    if (op == QLatin1String("<>"))
        return c != 0;
    if (op == QLatin1String(">"))
        return c > 0;
    if (op == QLatin1String("<"))
        return c < 0;
    if (op == QLatin1String(">="))
        return c >= 0;
    return c <= 0;
}

} // namespace

std::unique_ptr<Node> parse(const QString &text)
{
    return Parser(text).parseAll();
}

QVariant evaluate(const Node &node, Scope &scope)
{
    switch (node.kind) {
    case Node::Kind::Number:
        return node.number;
    case Node::Kind::Text:
        return node.text;
    case Node::Kind::Null:
        return QVariant();
    case Node::Kind::Column:
        return scope.column(node);
    case Node::Kind::Name:
        return scope.name(node.text);
    case Node::Kind::Negate:
        return -toNumber(evaluate(*node.args[0], scope));
    case Node::Kind::Binary: {
        const QVariant a = evaluate(*node.args[0], scope);
        const QVariant b = evaluate(*node.args[1], scope);
        if (node.text == QLatin1String("+") || node.text == QLatin1String("-") || node.text == QLatin1String("*") ||
            node.text == QLatin1String("/"))
            return arithmetic(node.text, a, b);
        return compare(node.text, a, b);
    }
    case Node::Kind::Call:
        if (node.text == QLatin1String("sum") && node.args.size() == 1)
            return scope.sum(node);
        if (node.text == QLatin1String("if") && node.args.size() == 3) {
            const QVariant test = evaluate(*node.args[0], scope);
            const bool holds = test.typeId() == QMetaType::Bool ? test.toBool() : toNumber(test) != 0;
            return evaluate(*node.args[holds ? 1 : 2], scope);
        }
        throw ReportError(QStringLiteral("报表表达式中有未知的函数：%1").arg(node.text));
    }
    return QVariant();
}

std::vector<TextPart> splitText(const QString &text)
{
    std::vector<TextPart> parts;
    QString literal;
    int i = 0;
    while (i < text.size()) {
        if (text[i] != QLatin1Char('[')) {
            literal += text[i++];
            continue;
        }
        // Find the matching bracket, past nested brackets and quoted names.
        int depth = 0, j = i;
        QChar quote;
        for (; j < text.size(); ++j) {
            const QChar c = text[j];
            if (!quote.isNull()) {
                if (c == quote)
                    quote = QChar();
                continue;
            }
            if (c == QLatin1Char('"'))
                quote = c;
            else if (c == QLatin1Char('['))
                ++depth;
            else if (c == QLatin1Char(']') && --depth == 0)
                break;
        }
        if (j >= text.size()) { // no closing bracket: plain text
            literal += text.mid(i);
            break;
        }
        if (!literal.isEmpty()) {
            parts.push_back({literal, nullptr});
            literal.clear();
        }
        parts.push_back({QString(), std::shared_ptr<Node>(parse(text.mid(i + 1, j - i - 1)))});
        i = j + 1;
    }
    if (!literal.isEmpty())
        parts.push_back({literal, nullptr});
    return parts;
}

} // namespace tolva::report
