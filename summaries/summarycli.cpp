#include "summarycli.h"

#include "distribution.h"
#include "rentsummary.h"
#include "summaryprint.h"
#include "printing/output.h"
#include "base/commandline.h"
#include "base/outputfile.h"
#include "store/dataset.h"

#include <QDir>
#include <QGuiApplication>


namespace tolva::summaries {

bool isSummaryCommand(int argc, char *argv[])
{
    return startedWith(argc, argv, {"--summary"});
}

int runSummaryCommand(int argc, char *argv[])
{
    // Fonts and PDF output need a GUI application, not a screen.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTextStream out(stdout), err(stderr);
    return summaryCommand(app.arguments().mid(1), QDir::currentPath(), QDate::currentDate(), out, err);
}

int summaryCommand(const QStringList &args, const QString &folder, const QDate &today, QTextStream &out,
                   QTextStream &err)
{
    const QString usage = QStringLiteral(
        "用法: tolva --summary distribution|rent --cutoff yyyy-mm-dd [--material 材料名称] --pdf 文件");
    return runCommand(err, [&] {
        const CommandLine line(args, {QStringLiteral("--summary"), QStringLiteral("--cutoff"),
                                      QStringLiteral("--material"), QStringLiteral("--pdf")},
                               {}, usage);
        const QString kind = line.value(QStringLiteral("--summary"));
        const QString cutoffArg = line.value(QStringLiteral("--cutoff"));
        const QString material = line.value(QStringLiteral("--material"));
        // A name without a folder is in the data folder, where the command runs.
        const QString pdfArg = line.value(QStringLiteral("--pdf"));
        const QString pdf = pdfArg.isEmpty() ? pdfArg : QDir::cleanPath(QDir(folder).absoluteFilePath(pdfArg));
        const bool distribution = kind == QLatin1String("distribution");
        if (!distribution && kind != QLatin1String("rent"))
            throw CommandFailure{QStringLiteral("--summary 只能是 distribution 或 rent。\n%1").arg(usage)};
        const QDate cutoff = QDate::fromString(cutoffArg, Qt::ISODate);
        if (!cutoff.isValid())
            throw CommandFailure{QStringLiteral("截止日期无效：%1（应为 yyyy-mm-dd）。").arg(cutoffArg)};
        if (pdf.isEmpty())
            throw CommandFailure{QStringLiteral("缺少 --pdf 文件。\n%1").arg(usage)};
        if (distribution && !material.isEmpty())
            throw CommandFailure{QStringLiteral("材料分布表不按单一材料汇总：--material 只用于 rent。")};

        // Refused before the store opens: the ledger is left exactly as it was.
        refuseDataFile(pdf, folder);

        Store store(folder, Store::configured());
        for (const QString &restored : store.restoreSingleRows())
            out << restored << Qt::endl;
        if (!material.isEmpty() &&
            store.scalar(QStringLiteral("select count(*) from sp1 where namea=:g1"), {{QStringLiteral("g1"), material}})
                    .toInt() == 0)
            throw CommandFailure{QStringLiteral("没有名为“%1”的材料。").arg(material)};

        const QVector<Contract> contracts = unsettledContracts(store);
        const settlement::Method method = chosenMethod(store);
        const Outcome outcome = distribution ? runDistribution(store, contracts, cutoff, method)
                                             : runRentSummary(store, contracts, cutoff, method, material);
        if (!outcome)
            throw CommandFailure{outcome.message()};

        Dataset summary(store), settings(store), titles(store);
        settings.open(QStringLiteral("select * from srf"));
        titles.open(QStringLiteral("select * from dwm"));
        if (distribution)
            openDistribution(summary);
        else
            openRentSummary(summary);
        if (summary.isEmpty())
            throw CommandFailure{QStringLiteral("截止日期前没有租赁数据，没有可打印的汇总。")};
        Print p = distribution ? distributionPrint(summaryMaterials(store), summary, settings, cutoff)
                               : rentPrint(summary, settings, cutoff, material);
        p.sources.datasets.insert(QStringLiteral("dwm.Query1"), &titles);
        p.sources.today = today;
        const report::PreparedReport prepared = report::prepare(p.layout, p.sources);
        report::writePdf(prepared, pdf, folder);
        out << QStringLiteral("%1: %2 个未结账合同, %3 个有截止日期前的数据, %4, %5 页写入 %6")
                        .arg(distribution ? QStringLiteral("租赁材料分布表") : QStringLiteral("租赁费结算汇总表"))
                        .arg(contracts.size())
                        .arg(summary.rowCount())
                        .arg(cutoffText(cutoff))
                        .arg(prepared.pageCount())
                        .arg(QDir::toNativeSeparators(pdf))
            << Qt::endl;
        return 0;
    });
}

} // namespace tolva::summaries
