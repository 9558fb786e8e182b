// Benchmark of the change log: entering 10,000 movements into a new ledger with the log, beside
// entering them without it (the log's trigger dropped on the connection).
//
//   tolva_log_bench [movements]
//
// The movements go to 100 contracts, saved as the entry window saves them: the contract's result
// set, the movement rule's checks, the row posted and committed alone. Target: with the log within
// 1.3 times without. The same as bare inserts, each committed alone, is shown for information: the
// log's own cost beside the least a save can cost.
#include "entry/movementrules.h"
#include "store/dataset.h"
#include "store/store.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

using namespace tolva;

namespace {

// A new ledger of 100 contracts, with the log or without (its trigger of a new movement, which lives
// on the program's connection to the file alone, dropped).
void newLedger(Store &store, bool logged)
{
    if (!logged)
        store.exec(QStringLiteral("drop trigger rzb_czbnow_insert"));
    store.exec(QStringLiteral("insert into sp1(namea,dj) values('钢管',0.01)"));
    store.exec(QStringLiteral("insert into sp5(namea,gg,dw,dw1,bl) values('钢管','6米','根','米',6)"));
}

Contract contractNo(int c)
{
    return Contract{QStringLiteral("客户%1").arg(c), QStringLiteral("H%1").arg(c, 5, 10, QLatin1Char('0')),
                    QDate(2024, 1, 1), QDate()};
}

void checkLog(Store &store, int count, bool logged)
{
    const int logRows = store.scalar(QStringLiteral("select count(*) from rzb where bm='czbnow'")).toInt();
    if (logRows != (logged ? count : 0)) {
        std::fprintf(stderr, "the log holds %d rows, not %d\n", logRows, logged ? count : 0);
        std::exit(2);
    }
}

// Milliseconds to enter `count` movements over 100 contracts as the entry window saves them: the
// contract's result set opened, each movement appended, checked by the movement rule and posted in
// a transaction of its own.
double enterAsTheWindow(int count, bool logged)
{
    QTemporaryDir dir;
    Store store(dir.path());
    newLedger(store, logged);
    Dataset sizes(store), rows(store);
    sizes.open(QStringLiteral("select * from sp5 where namea='钢管'"));
    QElapsedTimer timer;
    timer.start();
    for (int c = 0; c < 100; ++c) {
        const Contract contract = contractNo(c);
        rows.open(QStringLiteral("select * from czbnow where numa=:g1 and namea=:g2"),
                  {{QStringLiteral("g1"), contract.numa}, {QStringLiteral("g2"), QStringLiteral("钢管")}});
        for (int i = c; i < count; i += 100) {
            const QDate day = contract.begina.addDays(i % 360);
            movements::append(rows, contract, QStringLiteral("钢管"), day, sizes);
            rows.setValue(QLatin1String(i % 3 == 0 ? "b1" : "a1"), double(5 + i % 50));
            const Outcome o = movements::save(store, rows, contract, day, true);
            if (!o.ok()) {
                std::fprintf(stderr, "refused: %s\n", qPrintable(o.message()));
                std::exit(2);
            }
        }
    }
    const double ms = timer.nsecsElapsed() / 1e6;
    checkLog(store, count, logged);
    return ms;
}

// The same movements as bare inserts, each committed alone: the log's own cost beside the least
// a save can cost.
double enterBare(int count, bool logged)
{
    QTemporaryDir dir;
    Store store(dir.path());
    newLedger(store, logged);
    const QString sql = QStringLiteral("insert into czbnow(khm,numa,datea,namea,gg,dw,dw1,bl,a1,b1,a2,a8) "
                                       "values(:khm,:numa,:datea,'钢管','6米','根','米',6,:a1,:b1,:a2,0)");
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < count; ++i) {
        const Contract contract = contractNo(i % 100);
        const double a1 = i % 3 == 0 ? 0 : 5 + i % 50, b1 = i % 3 == 0 ? 5 + i % 50 : 0;
        store.exec(sql, {{QStringLiteral("khm"), contract.khm},
                         {QStringLiteral("numa"), contract.numa},
                         {QStringLiteral("datea"), contract.begina.addDays(i % 360)},
                         {QStringLiteral("a1"), a1},
                         {QStringLiteral("b1"), b1},
                         {QStringLiteral("a2"), 6 * (a1 - b1)}});
    }
    const double ms = timer.nsecsElapsed() / 1e6;
    checkLog(store, count, logged);
    return ms;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::max(100, atoi(argv[1])) : 10000;
    bool ok = true;
    for (const bool window : {true, false}) {
        // Taking turns, the best of three each, so that other work on the machine disturbs both alike.
        double with = 1e300, without = 1e300;
        for (int round = 0; round < 3; ++round) {
            without = std::min(without, window ? enterAsTheWindow(count, false) : enterBare(count, false));
            with = std::min(with, window ? enterAsTheWindow(count, true) : enterBare(count, true));
        }
        const double ratio = with / without;
        if (window)
            ok = ratio <= 1.3;
        std::printf("%d movements %s: with the log %.1f ms, without %.1f ms, ratio %.2f %s\n", count,
                    window ? "saved as the entry window saves them" : "as bare inserts, each committed alone",
                    with, without, ratio, window ? "(target 1.3)" : "(for information)");
    }
    std::printf("%s\n", ok ? "target met" : "the target was missed");
    return ok ? 0 : 1;
}
