#include "searchpattern.h"

namespace tolva {

QString likeContains(const QString &column, const QString &param)
{
    return column + QStringLiteral(" like :") + param + QStringLiteral(" escape '\\'");
}

QString contractContains(const QString &param, const QString &alias)
{
    const QString prefix = alias.isEmpty() ? QString() : alias + QLatin1Char('.');
    return QLatin1Char('(') + likeContains(prefix + QStringLiteral("khm"), param) + QStringLiteral(" or ")
           + likeContains(prefix + QStringLiteral("numa"), param) + QLatin1Char(')');
}

QString containsPattern(const QString &typed)
{
    QString escaped = typed.trimmed();
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
        .replace(QLatin1Char('%'), QLatin1String("\\%"))
        .replace(QLatin1Char('_'), QLatin1String("\\_"));
    return QLatin1Char('%') + escaped + QLatin1Char('%');
}

} // namespace tolva
