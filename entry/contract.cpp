#include "contract.h"

#include "base/searchpattern.h"
#include "store/dataset.h"

namespace tolva {

Contract Contract::current(const Dataset &contracts)
{
    return {contracts.text(QStringLiteral("khm")), contracts.text(QStringLiteral("numa")),
            contracts.date(QStringLiteral("begina")), contracts.date(QStringLiteral("enda"))};
}

QString Contract::banner() const
{
    const QChar quote(QLatin1Char('"'));
    return QStringLiteral("现在录入的是") + quote + khm.trimmed() + quote + QStringLiteral("合同号是") + quote +
           numa.trimmed() + quote + QStringLiteral("的数据");
}

bool Contract::covers(const QDate &date) const
{
    if (!date.isValid())
        return false;
    return (!begina.isValid() || date >= begina) && (!enda.isValid() || date <= enda);
}

namespace contracts {

void openUnsettled(Dataset &contracts, const QString &text)
{
    const QString typed = text.trimmed();
    contracts.close();
    if (typed.isEmpty()) {
        contracts.open(QStringLiteral("select * from sp2 where jz='否'"));
        return;
    }
    contracts.open(QStringLiteral("select * from sp2 where jz='否' and ") + contractContains(QStringLiteral("g1")),
                   {{QStringLiteral("g1"), containsPattern(typed)}});
}

} // namespace contracts
} // namespace tolva
