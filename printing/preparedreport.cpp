#include "report.h"

#include "base/outputfile.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <memory>

// A prepared report as a file: written and read back as JSON.
namespace tolva::report {

namespace {

QJsonObject fontJson(const Font &f)
{
    return {{QStringLiteral("family"), f.family},
            {QStringLiteral("size"), f.size},
            {QStringLiteral("bold"), f.bold},
            {QStringLiteral("italic"), f.italic}};
}

} // namespace

QStringList PreparedPage::strings() const
{
    QStringList out;
    for (const PlacedText &t : texts)
        out << t.lines.join(QLatin1Char('\n'));
    return out;
}

QByteArray PreparedReport::toJson() const
{
    QJsonArray pagesJson;
    for (const PreparedPage &p : pages) {
        QJsonArray texts, lines;
        for (const PlacedText &t : p.texts)
            texts << QJsonObject{{QStringLiteral("rect"), QJsonArray{t.rect.x(), t.rect.y(), t.rect.width(), t.rect.height()}},
                                 {QStringLiteral("lines"), QJsonArray::fromStringList(t.lines)},
                                 {QStringLiteral("font"), fontJson(t.font)},
                                 {QStringLiteral("align"), int(t.align)},
                                 {QStringLiteral("memo"), t.memo}};
        for (const QLineF &l : p.lines)
            lines << QJsonArray{l.x1(), l.y1(), l.x2(), l.y2()};
        pagesJson << QJsonObject{{QStringLiteral("size"), QJsonArray{p.size.width(), p.size.height()}},
                                 {QStringLiteral("texts"), texts},
                                 {QStringLiteral("lines"), lines}};
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("format"), QStringLiteral("tolva-prepared-report")},
                                     {QStringLiteral("title"), title},
                                     {QStringLiteral("pages"), pagesJson}})
        .toJson(QJsonDocument::Compact);
}

PreparedReport PreparedReport::fromJson(const QByteArray &json)
{
    const QJsonDocument doc = QJsonDocument::fromJson(json);
    const QJsonObject o = doc.object();
    if (o.value(QStringLiteral("format")).toString() != QLatin1String("tolva-prepared-report"))
        throw ReportError(QStringLiteral("这不是本程序保存的报表文件。"));
    PreparedReport r;
    r.title = o.value(QStringLiteral("title")).toString();
    for (const QJsonValue &pv : o.value(QStringLiteral("pages")).toArray()) {
        const QJsonObject po = pv.toObject();
        PreparedPage p;
        const QJsonArray size = po.value(QStringLiteral("size")).toArray();
        p.size = QSizeF(size[0].toDouble(), size[1].toDouble());
        for (const QJsonValue &tv : po.value(QStringLiteral("texts")).toArray()) {
            const QJsonObject to = tv.toObject();
            PlacedText t;
            const QJsonArray rect = to.value(QStringLiteral("rect")).toArray();
            t.rect = QRectF(rect[0].toDouble(), rect[1].toDouble(), rect[2].toDouble(), rect[3].toDouble());
            for (const QJsonValue &line : to.value(QStringLiteral("lines")).toArray())
                t.lines << line.toString();
            const QJsonObject fo = to.value(QStringLiteral("font")).toObject();
            t.font.family = fo.value(QStringLiteral("family")).toString();
            t.font.size = fo.value(QStringLiteral("size")).toDouble(10);
            t.font.bold = fo.value(QStringLiteral("bold")).toBool();
            t.font.italic = fo.value(QStringLiteral("italic")).toBool();
            t.align = Qt::Alignment(to.value(QStringLiteral("align")).toInt());
            t.memo = to.value(QStringLiteral("memo")).toString();
            p.texts << t;
        }
        for (const QJsonValue &lv : po.value(QStringLiteral("lines")).toArray()) {
            const QJsonArray l = lv.toArray();
            p.lines << QLineF(l[0].toDouble(), l[1].toDouble(), l[2].toDouble(), l[3].toDouble());
        }
        r.pages << p;
    }
    return r;
}

void PreparedReport::save(const QString &path, const QString &dataFolder) const
{
    refuseDataFile(path, dataFolder);
    const QString failed = QStringLiteral("报表文件无法保存：%1").arg(path);
    std::unique_ptr<OutputFile> output;
    try {
        output = std::make_unique<OutputFile>(path);
    } catch (const Error &) {
        throw Error(failed);
    }
    QFile file(output->temporaryPath());
    const QByteArray json = toJson();
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(json) != json.size() || !file.flush())
        throw Error(file.error() == QFileDevice::ResourceError
                        ? QStringLiteral("磁盘已满，报表文件“%1”没有保存。").arg(QDir::toNativeSeparators(path))
                        : failed);
    file.close();
    output->commit();
}

PreparedReport PreparedReport::load(const QString &path, const QString &dataFolder)
{
    if (isDataFile(path, dataFolder))
        throw ReportError(QStringLiteral("“%1”是本程序的数据文件,不是报表文件。").arg(QDir::toNativeSeparators(path)));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw ReportError(QStringLiteral("无法打开报表文件 %1。").arg(path));
    return fromJson(file.readAll());
}

} // namespace tolva::report
