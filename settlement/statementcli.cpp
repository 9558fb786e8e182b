#include "statementcli.h"

#include "printing/output.h"
#include "statementprint.h"
#include "values.h"
#include "base/commandline.h"
#include "base/outputfile.h"
#include "store/dataset.h"

#include <QDir>
#include <QGuiApplication>
#include <QFileInfo>
#include <QTextStream>

namespace tolva {

using namespace settlement;

namespace {

// A file name that every desktop accepts: the characters they refuse become "_".
QString fileNameOf(const QString &numa, const QString &khm)
{
    QString name = numa.trimmed() + QLatin1Char('_') + khm.trimmed();
    for (QChar &c : name)
        if (QStringLiteral("/\\:*?\"<>|").contains(c) || c.unicode() < 32)
            c = QLatin1Char('_');
    return name + QStringLiteral(".pdf");
}

// One contract's statement into a PDF file; the refusal of the preparation as a CommandFailure.
void writeStatement(Store &store, Dataset &contract, Dataset &titles, const QDate &from, const QDate &to,
                    const QDate &today, const QString &path)
{
    Request request;
    request.numa = contract.text(QStringLiteral("numa"));
    request.khm = contract.text(QStringLiteral("khm"));
    if (from.isValid() || to.isValid()) {
        request.mode = DateMode::Range;
        request.start = from;
        request.end = to;
    } else {
        request.mode = DateMode::ContractDates;
        request.start = contract.date(QStringLiteral("begina"));
        request.end = contract.date(QStringLiteral("enda"));
        if (!request.start.isValid() || !request.end.isValid())
            throw CommandFailure{QStringLiteral("合同 %1 没有租赁起止日期").arg(request.numa)};
    }
    const Preparation p = prepare(store, request);
    if (!p.ok())
        throw CommandFailure{settlement::message(p.refusal)};
    const Result result = compute(store, request, {statementSettings(store).method, QString()}, {}, nullptr,
                                  p.movements.get());
    const report::PreparedReport prepared = prepareStatement(store, result, contract, titles, request.start,
                                                             request.end, p.totals,
                                                             contract.text(QStringLiteral("bz")), today);
    report::writePdf(prepared, path, store.folder());
}

// Removes the statements' temporaries that a run broken off (killed, power cut) left in `folder`.
void removeStaleStatements(const QString &folder)
{
    const QDir dir(folder);
    const QString marker = QStringLiteral(".tolva-");
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (!OutputFile::isTemporaryName(name))
            continue;
        const QString finalName = name.mid(1, name.lastIndexOf(marker) - 1);
        if (finalName.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
            OutputFile::removeStale(dir.filePath(finalName));
    }
}

} // namespace

bool isStatementCommand(int argc, char *argv[])
{
    return startedWith(argc, argv, {"--statement", "--statement-all"});
}

int runStatementCommand(int argc, char *argv[])
{
    // Fonts and PDF output need a GUI application, but no screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTextStream out(stdout), err(stderr);
    return statementCommand(QCoreApplication::arguments(), QDir::currentPath(), QDate::currentDate(), out, err);
}

bool isStatementCommand(const QStringList &arguments)
{
    return arguments.contains(QStringLiteral("--statement")) || arguments.contains(QStringLiteral("--statement-all"));
}

int statementCommand(const QStringList &arguments, const QString &folder, const QDate &today, QTextStream &out,
                     QTextStream &err)
{
    return runCommand(err, [&] {
        const QString usage = QStringLiteral("用法: tolva --statement 合同号 --pdf 文件 [--from 日期 --to 日期]\n"
                                             "      tolva --statement-all --pdf-folder 文件夹 [--from 日期 --to 日期]");
        const CommandLine line(arguments.mid(1),
                               {QStringLiteral("--statement"), QStringLiteral("--pdf"), QStringLiteral("--pdf-folder"),
                                QStringLiteral("--from"), QStringLiteral("--to")},
                               {QStringLiteral("--statement-all")}, usage);
        const bool all = line.has(QStringLiteral("--statement-all"));
        const QString numa = line.value(QStringLiteral("--statement"));
        // Names without a folder are in the data folder, where the command runs.
        const auto inFolder = [&](const QString &name) {
            return name.isEmpty() ? name : QDir::cleanPath(QDir(folder).absoluteFilePath(name));
        };
        const QString pdf = inFolder(line.value(QStringLiteral("--pdf")));
        const QString pdfFolder = inFolder(line.value(QStringLiteral("--pdf-folder")));
        const QDate from = line.date(QStringLiteral("--from"));
        const QDate to = line.date(QStringLiteral("--to"));
        if (all ? (pdfFolder.isEmpty() || !numa.isEmpty() || !pdf.isEmpty())
                : (numa.isEmpty() || pdf.isEmpty() || !pdfFolder.isEmpty()))
            throw CommandFailure{usage};
        if (from.isValid() != to.isValid())
            throw CommandFailure{QStringLiteral("--from 和 --to 要一起给出")};

        // Refused before the store opens: the ledger is left exactly as it was.
        if (!all)
            refuseDataFile(pdf, folder);

        Store store(folder, Store::configured());
        for (const QString &restored : store.restoreSingleRows())
            out << restored << '\n';
        Dataset titles(store);
        titles.open(QStringLiteral("select * from dwm"));
        Dataset contract(store);
        // Before a result set over the contracts refuses the row with fewer words.
        checkOtherCharges(store, all ? QStringLiteral("jz='否'") : QStringLiteral("numa=:g1"),
                          {{QStringLiteral("g1"), numa}});
        if (!all) {
            contract.open(QStringLiteral("select * from sp2 where numa=:g1"), {{QStringLiteral("g1"), numa}});
            if (contract.isEmpty())
                throw CommandFailure{QStringLiteral("没有合同号 %1").arg(numa)};
            writeStatement(store, contract, titles, from, to, today, pdf);
            out << QStringLiteral("已写入 %1（合同号 %2，客户 %3）\n")
                       .arg(QFileInfo(pdf).absoluteFilePath(), numa, contract.text(QStringLiteral("khm")));
            return 0;
        }

        if (!QDir().mkpath(pdfFolder))
            throw CommandFailure{QStringLiteral("无法建立文件夹 %1").arg(pdfFolder)};
        removeStaleStatements(pdfFolder);
        const Outcome prices = checkPrices(store);
        if (!prices)
            throw CommandFailure{prices.message()};
        contract.open(QStringLiteral("select * from sp2 where jz='否'"));
        int written = 0, skipped = 0, failed = 0;
        for (int r = 0; r < contract.rowCount(); ++r) {
            contract.moveTo(r);
            const QString n = contract.text(QStringLiteral("numa"));
            const QString path = QDir(pdfFolder).filePath(fileNameOf(n, contract.text(QStringLiteral("khm"))));
            try {
                writeStatement(store, contract, titles, from, to, today, path);
                out << QStringLiteral("已写入 %1\n").arg(QFileInfo(path).absoluteFilePath());
                ++written;
            } catch (const CommandFailure &f) {
                // A contract with nothing to bill has no statement; anything else is a failure.
                const bool nothing = f.reason == settlement::message(Refusal::NoMovements) ||
                                     f.reason == settlement::message(Refusal::NoMovementsInPeriod);
                (nothing ? out : err) << QStringLiteral("%1 合同号 %2：%3\n")
                                             .arg(nothing ? QStringLiteral("跳过") : QStringLiteral("失败"), n,
                                                  f.reason);
                ++(nothing ? skipped : failed);
            } catch (const Error &e) {
                // The file could not be written (a data file's name, a full disk): the next one may.
                err << QStringLiteral("失败 合同号 %1：%2\n").arg(n, e.text());
                ++failed;
            }
        }
        out << QStringLiteral("共写入 %1 份结算单，跳过 %2 份，失败 %3 份\n").arg(written).arg(skipped).arg(failed);
        return failed ? 1 : 0;
    });
}

} // namespace tolva
