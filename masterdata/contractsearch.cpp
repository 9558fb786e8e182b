#include "contractsearch.h"

#include "store/dataset.h"

namespace tolva {

void openContracts(Dataset &contracts, const QString &text)
{
    const QString typed = text.trimmed();
    contracts.close();
    if (typed.isEmpty()) {
        contracts.open(QStringLiteral("select * from sp2"));
        return;
    }
    QString escaped = typed;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char('%'), QLatin1String("\\%"));
    escaped.replace(QLatin1Char('_'), QLatin1String("\\_"));
    contracts.open(QStringLiteral("select * from sp2 where khm like :g1 escape '\\' or numa like :g1 escape '\\'"),
                   {{QStringLiteral("g1"), QLatin1Char('%') + escaped + QLatin1Char('%')}});
}

} // namespace tolva
