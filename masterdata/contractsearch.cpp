#include "contractsearch.h"

#include "base/searchpattern.h"
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
    contracts.open(QStringLiteral("select * from sp2 where ") + contractContains(QStringLiteral("g1")),
                   {{QStringLiteral("g1"), containsPattern(typed)}});
}

} // namespace tolva
