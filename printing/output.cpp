#include "output.h"

#include "base/outputfile.h"

#include <QDir>
#include <QFile>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QRegularExpression>

namespace tolva::report {

bool parsePageRanges(const QString &text, int pageCount, QList<int> &pages)
{
    pages.clear();
    static const QRegularExpression item(QStringLiteral("^\\s*(\\d+)\\s*(?:-\\s*(\\d+)\\s*)?$"));
    const QStringList parts = text.split(QLatin1Char(','));
    for (const QString &part : parts) {
        const auto m = item.match(part);
        if (!m.hasMatch())
            return false;
        const int from = m.captured(1).toInt();
        const int to = m.captured(2).isEmpty() ? from : m.captured(2).toInt();
        if (from < 1 || to < from)
            return false;
        for (int p = from; p <= qMin(to, pageCount); ++p)
            if (!pages.contains(p))
                pages << p;
    }
    std::sort(pages.begin(), pages.end());
    return true;
}

QList<int> printOrder(int pageCount, const QList<int> &pages, Parity parity, int copies, bool collate,
                      bool printerMakesCopies)
{
    QList<int> chosen;
    for (int p = 1; p <= pageCount; ++p) {
        if (!pages.isEmpty() && !pages.contains(p))
            continue;
        if ((parity == Parity::Odd && p % 2 == 0) || (parity == Parity::Even && p % 2 == 1))
            continue;
        chosen << p;
    }
    const int times = printerMakesCopies ? 1 : qMax(1, copies);
    QList<int> order;
    if (collate) {
        for (int c = 0; c < times; ++c)
            order += chosen;
    } else {
        for (int p : chosen)
            for (int c = 0; c < times; ++c)
                order << p;
    }
    return order;
}

namespace {

QList<int> allPages(const PreparedReport &report)
{
    QList<int> order;
    for (int p = 1; p <= report.pageCount(); ++p)
        order << p;
    return order;
}

template <class Device> bool paint(const PreparedReport &report, Device &device, const QList<int> &order)
{
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    bool first = true;
    for (int number : order) {
        if (number < 1 || number > report.pageCount())
            continue;
        if (!first)
            device.newPage();
        first = false;
        const PreparedPage &page = report.pages[number - 1];
        // The page's own size in the device's pixels per design unit.
        const double scale = device.logicalDpiX() / 96.0;
        render(painter, page, scale);
    }
    return painter.end();
}

} // namespace

void writePdf(const PreparedReport &report, const QString &path, const QString &dataFolder, const QList<int> &order)
{
    refuseDataFile(path, dataFolder);
    OutputFile output(path);
    QFile file(output.temporaryPath());
    bool written = false;
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        QPdfWriter pdf(&file);
        pdf.setResolution(300);
        pdf.setTitle(report.title);
        pdf.setCreator(QStringLiteral("tolva"));
        const bool landscape =
            !report.pages.isEmpty() && report.pages.first().size.width() > report.pages.first().size.height();
        pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4),
                                      landscape ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
        written = paint(report, pdf, order.isEmpty() ? allPages(report) : order);
    }
    written = file.flush() && written && file.error() == QFileDevice::NoError;
    const bool full = file.error() == QFileDevice::ResourceError;
    file.close();
    if (!written)
        throw Error(full ? QStringLiteral("磁盘已满，文件“%1”没有写成。").arg(QDir::toNativeSeparators(path))
                         : QStringLiteral("无法写入文件“%1”！").arg(QDir::toNativeSeparators(path)));
    output.commit();
}

void setUp(QPrinter &printer, const PreparedReport &report)
{
    printer.setFullPage(true);
    const bool landscape = !report.pages.isEmpty() && report.pages.first().size.width() > report.pages.first().size.height();
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    printer.setDocName(report.title);
}

bool print(const PreparedReport &report, QPrinter &printer, const QList<int> &order)
{
    return paint(report, printer, order.isEmpty() ? allPages(report) : order);
}

} // namespace tolva::report
