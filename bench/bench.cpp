// Benchmark of the rent computation on a realistic data folder.
//
//   tolva_bench generate FOLDER [contracts] [movements] [large]   writes FOLDER/tolva.db
//   tolva_bench run FOLDER                                         times the computations on it
//
// With TOLVA_DATABASE set to a server database, both work on that database instead of the file.
//
// (a) the full period statement of the large contract under each method, beside baseline A: one
//     insert ... select of that contract's movements into czbtem followed by "delete from czbtem";
// (b) the rebuild of czb for all open contracts, beside baseline B: one grouped select over czbnow.
// Then the statement window and its print on the large contract, beside baseline A:
// (c) opening the statement window in contract dates: preparation, method run, grid loaded;
// (d) preparing the printed statement, all pages, in the second layout.
// Then the summaries over the open contracts, under each method, beside baseline B:
// (e) the whole material distribution summary (rebuild, method, condensing);
// (f) the whole rent settlement summary.
#include "settlement/settlement.h"
#include "settlement/statementprint.h"
#include "store/dataset.h"
#include "store/statement.h"
#include "store/store.h"
#include "summaries/distribution.h"
#include "summaries/rentsummary.h"
#include "summaries/stock.h"
#include "widgets/datagrid.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>

#include <algorithm>
#include <utility>
#include <cstdio>
#include <cstring>
#include <functional>

#include <sys/resource.h>

using namespace tolva;

namespace {

const QString LargeContract = QStringLiteral("BIG00001");

double peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0; // kilobytes on Linux
}

// The peak resident memory since the last call (Linux: VmHWM, then reset), in megabytes, so that
// each step of a run shows its own.
double stepPeakMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    double peak = 0;
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith("VmHWM:"))
                peak = line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    QFile reset(QStringLiteral("/proc/self/clear_refs"));
    if (reset.open(QIODevice::WriteOnly))
        reset.write("5");
    return peak;
}

double once(const std::function<void()> &f)
{
    QElapsedTimer t;
    t.start();
    f();
    return t.nsecsElapsed() / 1e6;
}

// The targets, each a ratio to the figure's baseline (peak memory in megabytes).
constexpr double TargetPeriod = 2;     // (a)
constexpr double TargetRebuild = 3;    // (b)
constexpr double TargetStock = 2;
constexpr double TargetBalances = 3;   // balances on hire, detail statistics
constexpr double TargetWindow = 5;     // (c)
constexpr double TargetPrint = 40;     // (d)
constexpr double TargetSummaries = 4;  // (e), (f)
constexpr double TargetMemory = 200;

// A baseline is the same work every time it runs: its best time over every round of the whole
// run counts, so that one disturbed round does not decide a figure, least of all when the
// baseline takes a few milliseconds.
struct Baseline {
    std::function<void()> work;
    double best = 1e300;
    void time() { best = std::min(best, once(work)); }
};

// Times a subject beside its baseline, the two taking turns so that other work on the machine
// disturbs both alike; the baseline's best so far and the subject's best, in milliseconds.
std::pair<double, double> beside(int rounds, Baseline &baseline, const std::function<void()> &subject)
{
    double s = 1e300;
    for (int i = 0; i < rounds; ++i) {
        baseline.time();
        s = std::min(s, once(subject));
    }
    return {baseline.best, s};
}

void generate(const QString &folder, int contracts, int movements, int large)
{
    QDir().mkpath(folder);
    const Store::Options options = Store::configured();
    if (options.server.isEmpty())
        QFile::remove(QDir(folder).filePath(QLatin1String(Store::FileName)));
    Store store(folder, options);
    if (store.isServer())
        store.transaction([&] {
            for (const char *table : {"sp1", "sp5", "sp2", "czbnow", "sp3", "sp4"})
                store.exec(QStringLiteral("delete from ") + QLatin1String(table));
        });
    QRandomGenerator rng(42);

    struct Size {
        QString material, gg, dw, dw1;
        double bl;
    };
    QVector<Size> sizes;
    store.transaction([&] {
        QVector<QVector<QVariant>> materials;
        for (int m = 0; m < 15; ++m) {
            const QString name = QStringLiteral("材料%1").arg(m + 1);
            materials << QVector<QVariant>{name, 0.005 + 0.001 * m, 10000.0, 0.0, 0.0, 10000.0, 0.0};
        }
        store.insertRows("sp1", {"namea", "dj", "kc", "kc1", "kc2", "nowkc", "numsb"}, materials);
        QVector<QVector<QVariant>> rows;
        for (int s = 0; s < 40; ++s) {
            const Size size{QStringLiteral("材料%1").arg(s % 15 + 1), QStringLiteral("规格%1").arg(s + 1),
                            QStringLiteral("根"), QStringLiteral("米"), 0.5 + (s % 8) * 0.5};
            sizes << size;
            rows << QVector<QVariant>{size.material, size.gg, size.dw, size.dw1, size.bl};
        }
        store.insertRows("sp5", {"namea", "gg", "dw", "dw1", "bl"}, rows);
    });

    const QDate start(2023, 1, 1);
    auto addContract = [&](const QString &numa, const QString &khm, int count) {
        store.transaction([&] {
            store.insertRows("sp2", {"khm", "numa", "jz", "begina", "enda", "a1", "a2"},
                             {{khm, numa, QStringLiteral("否"), start, start.addYears(3), QStringLiteral("其它"), 0.0}});
            QVector<QVector<QVariant>> rows;
            rows.reserve(count);
            QVector<double> onHire(sizes.size(), 0.0);
            const int span = count > 1000 ? 1000 : 200; // days the movements spread over
            for (int i = 0; i < count; ++i) {
                const int s = int(rng.bounded(sizes.size()));
                const Size &size = sizes[s];
                const QDate day = start.addDays(qint64(i) * span / count);
                double sent = 0, back = 0;
                if (onHire[s] > 0 && rng.bounded(100) < 40)
                    back = 1 + rng.bounded(int(onHire[s]));
                else
                    sent = 10 + rng.bounded(200);
                onHire[s] += sent - back;
                const double suspended = rng.bounded(50) == 0 ? 1 + rng.bounded(5) : 0;
                rows << QVector<QVariant>{khm,     numa,   day,       size.material, size.gg, size.dw, size.dw1,
                                          size.bl, sent,   back,      size.bl * (sent - back), suspended};
            }
            store.insertRows("czbnow", {"khm", "numa", "datea", "namea", "gg", "dw", "dw1", "bl", "a1", "b1", "a2", "a8"},
                             rows);
            QVector<QVector<QVariant>> money;
            for (int k = 0; k < 3; ++k)
                money << QVector<QVariant>{khm, numa, start.addDays(30 * k),
                                           k % 2 ? QStringLiteral("现金") : QStringLiteral("银行"), 1000.0 + k};
            store.insertRows("sp3", {"khm", "numa", "datea", "lx", "a1"}, money.mid(0, 1));
            store.insertRows("sp4", {"khm", "numa", "datea", "lx", "a1"}, money);
        });
    };
    for (int c = 0; c < contracts; ++c)
        addContract(QStringLiteral("HT%1").arg(c + 1, 5, 10, QLatin1Char('0')), QStringLiteral("客户%1").arg(c + 1),
                    movements);
    addContract(LargeContract, QStringLiteral("大客户"), large);
    std::printf("generated %s: %d contracts of %d movements and one of %d\n", qPrintable(store.location()), contracts,
                movements, large);
}

// The statement window of the large contract in contract dates (date mode 1), and its print.
bool statementWindow(Store &store, Baseline &baselineA)
{
    const Rows contract = store.select("select begina,enda,khm from sp2 where numa=:n", {{"n", LargeContract}});
    const QVariantList c = contract.rows.first();
    settlement::Request request{LargeContract, c[2].toString(), c[0].toDate(), c[1].toDate(),
                                settlement::DateMode::ContractDates};
    settlement::Preparation preparation;
    Dataset rows(store);
    DatasetModel grid;
    int shown = 0;
    const auto [a, window] = beside(21, baselineA, [&] {
        grid.setDataset(nullptr);
        rows.close();
        preparation = settlement::prepare(store, request);
        if (!preparation.ok()) {
            std::fprintf(stderr, "preparation refused: %s\n", qPrintable(settlement::message(preparation.refusal)));
            std::exit(1);
        }
        const auto result = settlement::compute(store, request, {settlement::Method::StartDayFree, QString()}, {},
                                                nullptr, preparation.movements.get());
        rows.openPaged(settlement::tableName(result)); // as the window reads the rows it shows
        grid.setDataset(&rows);
        // What a maximised grid first draws: a screenful of cells.
        for (int r = 0; r < qMin(40, grid.rowCount()); ++r)
            for (int col = 0; col < grid.columnCount(); ++col)
                shown += grid.data(grid.index(r, col), Qt::DisplayRole).toString().size();
    });
    const double ratioWindow = window / a;
    std::printf("(c) statement window of the large contract (contract dates, method 0; preparation, method run, "
                "grid loaded): %.1f ms beside %.1f ms, %.2f x baseline A (target %g), %d rows\n",
                window, a, ratioWindow, TargetWindow, rows.rowCount());

    Dataset sp2(store), titles(store);
    sp2.open("select * from sp2 where numa=:n", {{"n", LargeContract}});
    titles.open("select * from dwm");
    store.exec("update srf set b6=1");
    // As the window's print button: the rows it shows, the figures of the contract and the settings.
    settlement::PrintData data;
    data.start = request.start;
    data.end = request.end;
    data.totals = preparation.totals;
    data.settings = settlement::statementSettings(store);
    data.other = settlement::otherChargeForPrint(Rights(Rights::dataEntry()), sp2);
    data.totalRent = settlement::totalRent(store, settlement::Result::Czbtem);
    const report::Template layout = settlement::statementTemplate(data);
    int pages = 0;
    // The window reads its rows from czbtem as they are printed, and baseline A writes czbtem: the
    // baseline does not run between these rounds, its best time of the whole run counts.
    double print = 1e300;
    for (int i = 0; i < 3; ++i)
        print = std::min(print, once([&] {
            report::Sources sources = settlement::statementSources(store, rows, sp2, titles, data);
            sources.today = QDate(2026, 1, 1);
            pages = report::prepare(layout, sources).pageCount();
        }));
    const double a2 = baselineA.best;
    const double ratioPrint = print / a2;
    std::printf("(d) printed statement of the large contract (second layout, all pages): %.1f ms beside %.1f ms, "
                "%.2f x baseline A (target %g), %d pages\n",
                print, a2, ratioPrint, TargetPrint, pages);
    return ratioWindow <= TargetWindow && ratioPrint <= TargetPrint;
}

// The work over the whole ledger alone, for a ledger too large for the rest (make bench-huge): the
// rebuild of czb, the stock and both summaries under each method, one round each, beside a
// baseline B that steps through the grouped rows rather than holding them, and the peak memory.
int wholeLedger(Store &store)
{
    Baseline baselineB{[&] {
        Statement grouped(store, QStringLiteral("select numa,namea,sum(a2) from czbnow group by numa,namea"));
        double sum = 0;
        std::size_t names = 0;
        while (grouped.next()) {
            names += grouped.bytes(0).size() + grouped.bytes(1).size();
            sum += grouped.number(2);
        }
        (void)sum;
        (void)names;
    }};
    QStringList open;
    for (const auto &row : store.select("select numa from sp2 where jz='否'").rows)
        open << row[0].toString();
    // Each step's own peak memory; the run's peak is that of its steps, the baseline's apart.
    stepPeakMegabytes();
    double peak = 0;
    auto stepPeak = [&](const char *step) {
        const double p = stepPeakMegabytes();
        if (std::strcmp(step, "baseline B") != 0)
            peak = std::max(peak, p);
        std::printf("  peak resident memory of %s: %.1f MB\n", step, p);
        std::fflush(stdout);
    };
    baselineB.time();
    stepPeak("baseline B");
    // Two rounds: the first also frees what an earlier run left in czb.
    const auto [b0, rebuild] = beside(2, baselineB, [&] {
        stepPeakMegabytes();
        settlement::rebuildMovements(store, open);
        stepPeak("the rebuild");
    });
    std::printf("baseline B (grouped select over czbnow, stepped through): %.1f ms so far\n", b0);
    std::fflush(stdout);
    std::printf("(b) rebuild of czb for %lld open contracts: %.1f ms, %.2f x baseline B (target %g)\n",
                static_cast<long long>(open.size()), rebuild, rebuild / b0, TargetRebuild);
    bool ok = rebuild / b0 <= TargetRebuild;
    const auto [b1, stockTime] = beside(1, baselineB, [&] {
        stepPeakMegabytes();
        Dataset rows(store);
        stock::open(store, rows);
        stepPeak("the stock");
    });
    std::printf("stock of every material: %.1f ms, %.2f x baseline B (target %g)\n", stockTime, stockTime / b1,
                TargetStock);
    ok = ok && stockTime / b1 <= TargetStock;
    const QVector<summaries::Contract> contracts = summaries::unsettledContracts(store);
    const QDate cutoff(2023, 6, 30);
    for (int kind = 0; kind < 2; ++kind) {
        for (int method = 0; method < 3; ++method) {
            const auto [b, t] = beside(1, baselineB, [&] {
                stepPeakMegabytes();
                if (kind == 0)
                    summaries::runDistribution(store, contracts, cutoff, settlement::Method(method));
                else
                    summaries::runRentSummary(store, contracts, cutoff, settlement::Method(method));
                stepPeak("the summary");
            });
            ok = ok && t / b <= TargetSummaries;
            std::printf("(%c) %s summary of %lld open contracts, method %d: %.1f ms beside %.1f ms, %.2f x baseline B "
                        "(target %g)\n",
                        kind == 0 ? 'e' : 'f', kind == 0 ? "material distribution" : "rent settlement",
                        static_cast<long long>(contracts.size()), method, t, b, t / b, TargetSummaries);
        }
    }
    peak = std::max(peak, stepPeakMegabytes());
    std::printf("peak resident memory: %.1f MB (target %g)\n", peak, TargetMemory);
    ok = ok && peak < TargetMemory;
    std::printf("%s\n", ok ? "all targets met" : "a target was missed");
    return ok ? 0 : 1;
}

int run(const QString &folder)
{
    const Store::Options options = Store::configured();
    if (options.server.isEmpty() && !QFile::exists(QDir(folder).filePath(QLatin1String(Store::FileName)))) {
        std::fprintf(stderr, "no %s in %s: run 'generate' first\n", Store::FileName, qPrintable(folder));
        return 2;
    }
    Store store(folder, options);
    std::printf("ledger: %s\n", qPrintable(store.location()));
    const int largeRows = store.scalar("select count(*) from czbnow where numa=:n", {{"n", LargeContract}}).toInt();
    const int allRows = store.scalar("select count(*) from czbnow").toInt();
    std::printf("data: %d movements in all, %d in the large contract\n", allRows, largeRows);

    Baseline baselineA{[&] {
        store.transaction([&] {
            store.exec("insert into czbtem(khm,numa,datea,namea,a1,a2,a4,a6,a8,dw,dw1) "
                       "select khm,numa,datea,namea,a1,a2,bl,a1,a8,dw,dw1 from czbnow where numa=:n",
                       {{"n", LargeContract}});
            store.exec("delete from czbtem");
        });
    }};
    Baseline baselineB{[&] { store.select("select numa,namea,sum(a2) from czbnow group by numa,namea"); }};
    // A few rounds of baseline A first: it takes only milliseconds.
    for (int i = 0; i < 9; ++i)
        baselineA.time();

    if (qEnvironmentVariable("TOLVA_BENCH_ONLY") == QLatin1String("ledger"))
        return wholeLedger(store);
    // While working on the statement: TOLVA_BENCH_ONLY=statement times (c) and (d) alone.
    if (qEnvironmentVariable("TOLVA_BENCH_ONLY") == QLatin1String("statement"))
        return statementWindow(store, baselineA) ? 0 : 1;

    const QDate periodStart(2024, 6, 1), periodEnd(2024, 12, 31);
    settlement::Request request{LargeContract, QStringLiteral("大客户"), periodStart, periodEnd,
                                settlement::DateMode::Range};
    // The preparation (checks, money totals, rebuild of czb) runs once when the contract is chosen;
    // the statement (method and period restriction) runs each time the statement window shows.
    settlement::Preparation prepared;
    const auto [a0, preparation] = beside(9, baselineA, [&] {
        prepared = settlement::prepare(store, request);
        if (!prepared.ok()) {
            std::fprintf(stderr, "preparation refused: %s\n", qPrintable(settlement::message(prepared.refusal)));
            std::exit(1);
        }
    });
    std::printf("baseline A (insert-select of the large contract into czbtem, then delete): %.1f ms so far\n", a0);
    std::printf("preparation of the large contract (checks, totals, rebuild of czb): %.1f ms, %.2f x baseline A\n",
                preparation, preparation / a0);
    bool withinA = true;
    for (int method = 0; method < 3; ++method) {
        double rent = 0;
        const auto [a, t] = beside(15, baselineA, [&] {
            // As the statement window: the rows its preparation made.
            const auto result = settlement::compute(store, request, {settlement::Method(method), QString()}, {},
                                                    nullptr, prepared.movements.get());
            rent = settlement::totalRent(store, result);
        });
        const double ratio = t / a;
        withinA = withinA && ratio <= TargetPeriod;
        std::printf("(a) period statement of the large contract, method %d: %.1f ms beside %.1f ms, %.2f x baseline A "
                    "(target %g), rent %.2f, %d rows\n",
                    method, t, a, ratio, TargetPeriod, rent, store.scalar("select count(*) from czbtem1").toInt());
    }

    QStringList open;
    for (const auto &row : store.select("select numa from sp2 where jz='否'").rows)
        open << row[0].toString();
    const auto [b0, rebuild] = beside(5, baselineB, [&] { settlement::rebuildMovements(store, open); });
    const double ratioB = rebuild / b0;
    std::printf("baseline B (grouped select over czbnow): %.1f ms so far\n", b0);
    std::printf("(b) rebuild of czb for %lld open contracts: %.1f ms, %.2f x baseline B (target %g), %d rows\n",
                static_cast<long long>(open.size()), rebuild, ratioB, TargetRebuild,
                store.scalar("select count(*) from czb").toInt());

    // Stock and balances on hire, and the detail statistics over all customers, beside baseline B.
    const auto [b1, stockTime] = beside(5, baselineB, [&] {
        Dataset rows(store);
        stock::open(store, rows);
    });
    const auto [b2, balanceTime] = beside(5, baselineB, [&] { stock::countBalances(store, {}); });
    details::Choice everyone;
    everyone.customers = details::Customers::All;
    const auto [b3, detailTime] = beside(5, baselineB, [&] { details::compute(store, everyone); });
    const int detailRows = store.scalar("select count(*) from czbnow1").toInt();
    everyone.grouping = details::Grouping::PerCustomer;
    const auto [b4, perCustomerTime] = beside(5, baselineB, [&] { details::compute(store, everyone); });
    const double ratioStock = stockTime / b1, ratioBalance = balanceTime / b2, ratioDetail = detailTime / b3;
    std::printf("stock of every material: %.1f ms, %.2f x baseline B (target %g)\n", stockTime, ratioStock,
                TargetStock);
    std::printf("balances on hire over the open contracts: %.1f ms, %.2f x baseline B (target %g), %d rows\n",
                balanceTime, ratioBalance, TargetBalances, store.scalar("select count(*) from czbtem").toInt());
    std::printf("detail statistics of all customers, row by row: %.1f ms, %.2f x baseline B (target %g), %d rows\n",
                detailTime, ratioDetail, TargetBalances, detailRows);
    std::printf("detail statistics of all customers, summed per customer and size: %.1f ms, %.2f x baseline B "
                "(for information), %d rows\n",
                perCustomerTime, perCustomerTime / b4, store.scalar("select count(*) from czbnow1").toInt());
    const bool withinB = ratioStock <= TargetStock && ratioBalance <= TargetBalances && ratioDetail <= TargetBalances;

    const bool statementOk = statementWindow(store, baselineA);

    // The summaries as their windows run them, as of a cut-off inside the movements' span.
    const QVector<summaries::Contract> contracts = summaries::unsettledContracts(store);
    const QDate cutoff(2023, 6, 30);
    bool withinSummaries = true;
    const int rounds = allRows > 500000 ? 2 : 3; // the larger ledger takes minutes a round
    for (int kind = 0; kind < 2; ++kind) {
        for (int method = 0; method < 3; ++method) {
            const auto [b, t] = beside(rounds, baselineB, [&] {
                    if (kind == 0)
                        summaries::runDistribution(store, contracts, cutoff, settlement::Method(method));
                    else
                        summaries::runRentSummary(store, contracts, cutoff, settlement::Method(method));
                });
            const double ratio = t / b;
            withinSummaries = withinSummaries && ratio <= TargetSummaries;
            const char *table = kind == 0 ? "czbhz" : "czbhz1";
            std::printf("(%c) %s summary of %lld open contracts, method %d: %.1f ms beside %.1f ms, %.2f x baseline B "
                        "(target %g), %d rows, receivable %.2f\n",
                        kind == 0 ? 'e' : 'f', kind == 0 ? "material distribution" : "rent settlement",
                        static_cast<long long>(contracts.size()), method, t, b, ratio, TargetSummaries,
                        store.scalar(QStringLiteral("select count(*) from %1").arg(QLatin1String(table))).toInt(),
                        store.scalar(QStringLiteral("select total(%1) from %2")
                                         .arg(QLatin1String(kind == 0 ? "a23" : "a8"), QLatin1String(table)))
                            .toDouble());
        }
    }

    const double peak = peakMegabytes();
    std::printf("peak resident memory: %.1f MB (target %g)\n", peak, TargetMemory);
    const bool ok = withinA && ratioB <= TargetRebuild && withinB && statementOk && withinSummaries && peak < TargetMemory;
    std::printf("%s\n", ok ? "all targets met" : "a target was missed");
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    // Text measurement for the printed statement needs fonts, not a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 3 && args[1] == QLatin1String("generate")) {
        generate(args[2], args.size() > 3 ? args[3].toInt() : 1000, args.size() > 4 ? args[4].toInt() : 200,
                 args.size() > 5 ? args[5].toInt() : 20000);
        return 0;
    }
    if (args.size() >= 3 && args[1] == QLatin1String("run"))
        return run(args[2]);
    std::fprintf(stderr, "usage: tolva_bench generate FOLDER [contracts movements large] | run FOLDER\n");
    return 2;
}
