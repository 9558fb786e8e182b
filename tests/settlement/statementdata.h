#pragma once

#include "store/store.h"

#include <QDate>
#include <QRandomGenerator>
#include <QStringList>

namespace tolva {

// Movements of contract H1 of 甲公司, one per line: "date material spec dw dw1 ratio sent returned
// [suspended]", written as the entry screen writes them (a2 = ratio × (sent − returned)).
inline void addMoves(Store &store, const QStringList &lines, const QString &numa = QStringLiteral("H1"),
                     const QString &khm = QStringLiteral("甲公司"))
{
    for (const QString &line : lines) {
        const QStringList f = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const double bl = f[5].toDouble(), a1 = f[6].toDouble(), b1 = f[7].toDouble();
        store.exec("insert into czbnow(khm,numa,datea,namea,gg,dw,dw1,bl,a1,b1,a2,a8) "
                   "values(:khm,:numa,:d,:n,:gg,:dw,:dw1,:bl,:a1,:b1,:a2,:a8)",
                   {{"khm", khm}, {"numa", numa}, {"d", QDate::fromString(f[0], Qt::ISODate)}, {"n", f[1]},
                    {"gg", f[2]}, {"dw", f[3]}, {"dw1", f[4]}, {"bl", bl}, {"a1", a1}, {"b1", b1},
                    {"a2", bl * (a1 - b1)}, {"a8", f.size() > 8 ? f[8].toDouble() : 0.0}});
    }
}

// A random small contract over two materials: sends, returns of what is on hire, now and then
// suspended days, dates spread over the first months of 2004.
inline QStringList randomMoves(QRandomGenerator &rng)
{
    QStringList moves;
    const QDate base(2004, 1, 1);
    for (const QString &material : {QStringLiteral("钢管"), QStringLiteral("扣件")}) {
        double onHire = 0;
        QDate day = base.addDays(rng.bounded(40));
        const int count = 1 + rng.bounded(7);
        for (int i = 0; i < count; ++i) {
            const int sent = (i == 0 || rng.bounded(2)) ? 1 + rng.bounded(300) : 0;
            const int back = sent == 0 ? rng.bounded(int(onHire) + 1) : 0;
            onHire += sent - back;
            const int suspended = rng.bounded(4) == 0 ? rng.bounded(4) : 0;
            const double ratio = QList<double>{1, 1.5, 0.3, 6}[rng.bounded(4)];
            moves << QStringLiteral("%1 %2 规格 根 米 %3 %4 %5 %6")
                         .arg(day.toString(Qt::ISODate), material)
                         .arg(ratio)
                         .arg(sent)
                         .arg(back)
                         .arg(suspended);
            day = day.addDays(rng.bounded(12));
        }
    }
    return moves;
}

} // namespace tolva
