#pragma once

#include <QString>
#include <QVariant>

#include <memory>
#include <vector>

namespace tolva::report {

// An expression of a template: [Query1."khm"], [dwm.Query1."sp2"], [sum([Query1."a5"])],
// [[Query1."a1"]-[Query1."b1"]], [PAGE#], [a1_a], IF([Query1."a1"]>0, [Query1."a1"], 0).
struct Node {
    enum class Kind { Number, Text, Null, Column, Name, Call, Negate, Binary };
    Kind kind = Kind::Null;
    double number = 0;
    QString text;     // Text: the literal; Name: the name; Call: the function (lower case); Binary: the operator
    QString window;   // Column: the other window, if any
    QString dataset;  // Column: the result set
    QString column;   // Column: the column
    std::vector<std::unique_ptr<Node>> args;

    // The name given to the value hook: Query1."a1", dwm.Query1."sp2" or a variable's name.
    QString reference() const;
};

// Where an expression's names get their values.
class Scope {
public:
    virtual ~Scope() = default;
    virtual QVariant column(const Node &node) = 0;
    virtual QVariant name(const QString &name) = 0;
    virtual QVariant sum(const Node &node) = 0;
};

// Parses an expression; throws ReportError when it is malformed.
std::unique_ptr<Node> parse(const QString &text);
QVariant evaluate(const Node &node, Scope &scope);

// A memo's text split into literal parts and bracketed expressions.
struct TextPart {
    QString literal;
    std::shared_ptr<Node> expression; // set for an expression part
};
std::vector<TextPart> splitText(const QString &text);

// Calls f on each sum(...) of an expression, outermost first, without descending into it.
template <class F> void forEachSum(const Node &node, F f)
{
    if (node.kind == Node::Kind::Call && node.text == QLatin1String("sum")) {
        f(node);
        return;
    }
    for (const auto &arg : node.args)
        forEachSum(*arg, f);
}

double toNumber(const QVariant &v);

} // namespace tolva::report
