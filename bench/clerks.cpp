// Several clerks on one server ledger at once.
//
//   tolva_clerks_bench ADDRESS    ADDRESS: postgresql://user@host:port/ (a role that may create
//                                 databases); a database "tolva_clerks_bench" is made afresh there
//
// Four clerks enter movements, each in his own session, through the entry screen's rule (one save
// per movement, each its own transaction), while a fifth runs the material distribution summary
// over the open contracts again and again. Measured: every save is kept and none is refused for a
// wrong reason, all movements are there afterwards, and the time of each save beside the time of a
// save with nobody else at work (baseline: the same clerk's saves alone, before).
#include "entry/contract.h"
#include "entry/movementrules.h"
#include "store/dataset.h"
#include "store/server.h"
#include "store/store.h"
#include "summaries/contractlist.h"
#include "summaries/distribution.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

using namespace tolva;

namespace {

const int Clerks = 4;
const int SavesEach = 300;
const int ContractsEach = 20;

Store::Options on(const QString &address)
{
    Store::Options o;
    o.server = address;
    return o;
}

// One clerk's saves: a movement of 钢管 on each of his contracts in turn, timed one by one.
struct Desk {
    std::vector<double> times; // milliseconds
    int refused = 0, failed = 0;
    QString firstProblem;
};

void enter(const QString &address, int clerk, int saves, Desk &desk)
{
    QTemporaryDir dir;
    Store store(dir.path(), on(server::withUser(address, QStringLiteral("录入员"), QStringLiteral("1"))));
    Dataset sizes(store);
    sizes.open(QStringLiteral("select * from sp5 where namea=:m"), {{QStringLiteral("m"), QStringLiteral("钢管")}});
    for (int i = 0; i < saves; ++i) {
        const int n = clerk * ContractsEach + i % ContractsEach;
        Contract c;
        c.khm = QStringLiteral("客户%1").arg(n);
        c.numa = QStringLiteral("HT%1").arg(n, 5, 10, QLatin1Char('0'));
        c.begina = QDate(2023, 1, 1);
        c.enda = QDate(2024, 12, 31);
        Dataset rows(store);
        rows.open(QStringLiteral("select * from czbnow where numa=:n"), {{QStringLiteral("n"), c.numa}});
        QElapsedTimer t;
        t.start();
        try {
            const QDate date = QDate(2023, 7, 1).addDays(i);
            movements::append(rows, c, QStringLiteral("钢管"), date, sizes);
            rows.setValue(QStringLiteral("a1"), 10 + i % 7);
            const Outcome saved = movements::save(store, rows, c, date, true);
            if (!saved) {
                ++desk.refused;
                if (desk.firstProblem.isEmpty())
                    desk.firstProblem = saved.message();
            }
        } catch (const Error &e) {
            ++desk.failed;
            if (desk.firstProblem.isEmpty())
                desk.firstProblem = e.text();
        }
        desk.times.push_back(t.nsecsElapsed() / 1e6);
    }
}

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[std::min(v.size() - 1, size_t(p * (v.size() - 1) + 0.5))];
}

double mean(const std::vector<double> &v)
{
    double s = 0;
    for (double x : v)
        s += x;
    return v.empty() ? 0 : s / v.size();
}

int run(const QString &base)
{
    const QString name = QStringLiteral("tolva_clerks_bench");
    const QString admin = server::withDatabase(base, QStringLiteral("postgres"));
    server::dropDatabase(admin, name);
    server::createDatabase(admin, name);
    const QString address = server::withDatabase(base, name);
    server::setUp(address);
    server::setLogin(admin, QStringLiteral("录入员"), QStringLiteral("1"), QStringLiteral("录入"));

    // A yard of 200 open contracts with 60 movements each.
    {
        QTemporaryDir dir;
        Store owner(dir.path(), on(address));
        owner.exec(QStringLiteral("insert into sp1(namea,dj,numsb) values('钢管',0.01,0)"));
        owner.exec(QStringLiteral("insert into sp5(namea,gg,dw,dw1,bl) values('钢管','6米','根','米',6)"));
        owner.transaction([&] {
            BulkInsert contracts = owner.bulkInsert(QStringLiteral("sp2"), {"khm", "numa", "jz", "begina", "enda"});
            BulkInsert moves = owner.bulkInsert(QStringLiteral("czbnow"),
                                                {"khm", "numa", "datea", "namea", "gg", "dw", "dw1", "bl", "a1", "b1", "a2", "a8"});
            for (int n = 0; n < 200; ++n) {
                const QString khm = QStringLiteral("客户%1").arg(n), numa = QStringLiteral("HT%1").arg(n, 5, 10, QLatin1Char('0'));
                for (const QVariant &v : {QVariant(khm), QVariant(numa), QVariant(QStringLiteral("否")),
                                          QVariant(QStringLiteral("2023-01-01")), QVariant(QStringLiteral("2024-12-31"))})
                    contracts.add(v);
                contracts.endRow();
                for (int m = 0; m < 60; ++m) {
                    const bool sent = m % 3 != 2;
                    const double pieces = 5 + (n * 7 + m) % 40;
                    for (const QVariant &v :
                         {QVariant(khm), QVariant(numa), QVariant(QDate(2023, 1, 2).addDays(m * 3).toString(Qt::ISODate)),
                          QVariant(QStringLiteral("钢管")), QVariant(QStringLiteral("6米")), QVariant(QStringLiteral("根")),
                          QVariant(QStringLiteral("米")), QVariant(6.0), QVariant(sent ? pieces : 0.0),
                          QVariant(sent ? 0.0 : pieces), QVariant(6 * (sent ? pieces : -pieces)), QVariant(0.0)})
                        moves.add(v);
                    moves.endRow();
                }
            }
            contracts.finish();
            moves.finish();
        });
    }
    QTemporaryDir dir;
    Store check(dir.path(), on(address));
    const int before = check.scalar(QStringLiteral("select count(*) from czbnow")).toInt();

    // Baseline: one clerk's saves with nobody else at work.
    Desk alone;
    enter(address, Clerks, SavesEach, alone); // contracts beyond the four clerks' own
    const double aloneMean = mean(alone.times), aloneMedian = percentile(alone.times, 0.5);

    // Four clerks at once, and the summary beside them until they are done.
    std::vector<Desk> desks(Clerks);
    std::atomic<bool> entering{true};
    int summaries = 0;
    QString summaryProblem;
    std::thread summary([&] {
        QTemporaryDir d;
        Store s(d.path(), on(server::withUser(address, QStringLiteral("录入员"), QStringLiteral("1"))));
        while (entering) {
            try {
                const Outcome o = summaries::runDistribution(s, summaries::unsettledContracts(s), QDate(2024, 6, 30),
                                                             settlement::Method::StartDayFree);
                if (!o && summaryProblem.isEmpty())
                    summaryProblem = o.message();
                ++summaries;
            } catch (const Error &e) {
                if (summaryProblem.isEmpty())
                    summaryProblem = e.text();
                break;
            }
        }
    });
    QElapsedTimer wall;
    wall.start();
    std::vector<std::thread> clerks;
    for (int c = 0; c < Clerks; ++c)
        clerks.emplace_back([&, c] { enter(address, c, SavesEach, desks[c]); });
    for (std::thread &t : clerks)
        t.join();
    entering = false;
    summary.join();
    const double elapsed = wall.nsecsElapsed() / 1e6;

    std::vector<double> all;
    int refused = 0, failed = 0;
    QString problem;
    for (const Desk &d : desks) {
        all.insert(all.end(), d.times.begin(), d.times.end());
        refused += d.refused;
        failed += d.failed;
        if (problem.isEmpty())
            problem = d.firstProblem;
    }
    const int expected = before + Clerks * SavesEach + int(alone.times.size()) - alone.refused - alone.failed;
    const int after = check.scalar(QStringLiteral("select count(*) from czbnow")).toInt();
    const double worst = *std::max_element(all.begin(), all.end());
    const double p95 = percentile(all, 0.95);
    std::printf("a save alone: mean %.1f ms, median %.1f ms (baseline)\n", aloneMean, aloneMedian);
    std::printf("%d clerks x %d saves beside %d distribution summaries of 200 contracts, in %.1f s:\n", Clerks, SavesEach,
                summaries, elapsed / 1000);
    std::printf("  refused %d, failed %d%s%s\n", refused, failed, problem.isEmpty() ? "" : ": ",
                qPrintable(problem));
    if (!summaryProblem.isEmpty())
        std::printf("  the summary: %s\n", qPrintable(summaryProblem));
    std::printf("  movements afterwards %d, expected %d\n", after, expected);
    std::printf("  a save under load: mean %.1f ms = %.2f x alone (target 5), 95th percentile %.1f ms = %.2f x "
                "(target 5), slowest %.1f ms = %.2f x (for information)\n",
                mean(all), mean(all) / aloneMean, p95, p95 / aloneMean, worst, worst / aloneMean);
    const bool ok = refused == 0 && failed == 0 && alone.refused + alone.failed == 0 && after == expected &&
                    summaryProblem.isEmpty() && summaries > 0 && p95 / aloneMean <= 5.0;
    std::printf("%s\n", ok ? "all targets met" : "a target was missed");
    server::dropDatabase(admin, name);
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: tolva_clerks_bench postgresql://user@host:port/\n");
        return 2;
    }
    try {
        return run(args[1]);
    } catch (const Error &e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.text()));
        return 1;
    }
}
