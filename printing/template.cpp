#include "template.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace tolva::report {

namespace {

BandType bandType(const QString &name)
{
    static const QList<QPair<QString, BandType>> types = {
        {QStringLiteral("pageHeader"), BandType::PageHeader},       {QStringLiteral("columnHeader"), BandType::ColumnHeader},
        {QStringLiteral("masterData"), BandType::MasterData},       {QStringLiteral("masterFooter"), BandType::MasterFooter},
        {QStringLiteral("groupHeader"), BandType::GroupHeader},     {QStringLiteral("groupFooter"), BandType::GroupFooter},
        {QStringLiteral("reportSummary"), BandType::ReportSummary}, {QStringLiteral("pageFooter"), BandType::PageFooter},
    };
    for (const auto &[key, type] : types)
        if (key == name)
            return type;
    throw ReportError(QStringLiteral("报表模板中有未知的区域类型：%1").arg(name));
}

Qt::Alignment alignment(const QString &h, const QString &v)
{
    Qt::Alignment a;
    a |= h == QLatin1String("right") ? Qt::AlignRight : h == QLatin1String("center") ? Qt::AlignHCenter : Qt::AlignLeft;
    a |= v == QLatin1String("bottom") ? Qt::AlignBottom : v == QLatin1String("middle") ? Qt::AlignVCenter : Qt::AlignTop;
    return a;
}

Page pageOf(const QJsonObject &page)
{
    Page p;
    p.landscape = page.value(QStringLiteral("orientation")).toString() == QLatin1String("landscape");
    const QJsonArray margins = page.value(QStringLiteral("margins")).toArray();
    if (margins.size() == 4) {
        p.marginLeft = margins[0].toDouble();
        p.marginTop = margins[1].toDouble();
        p.marginRight = margins[2].toDouble();
        p.marginBottom = margins[3].toDouble();
    }
    p.columns = qBound(1, page.value(QStringLiteral("columns")).toInt(1), 2);
    p.columnGap = page.value(QStringLiteral("columnGap")).toDouble(0);
    p.doublePass = page.value(QStringLiteral("doublePass")).toBool(true);
    return p;
}

// A design takes the title, title memo and page of the template it belongs to unless it gives its own.
Template fromObject(const QJsonObject &o, const Template *parent)
{
    Template t;
    t.title = o.value(QStringLiteral("title")).toString(parent ? parent->title : QString());
    t.titleMemo = o.value(QStringLiteral("titleMemo")).toString(parent ? parent->titleMemo : QString());
    if (parent && !o.contains(QStringLiteral("page")))
        t.page = parent->page;
    else
        t.page = pageOf(o.value(QStringLiteral("page")).toObject());
    for (const QJsonValue &v : o.value(QStringLiteral("bands")).toArray()) {
        const QJsonObject b = v.toObject();
        Band band;
        band.name = b.value(QStringLiteral("name")).toString();
        band.type = bandType(b.value(QStringLiteral("type")).toString());
        band.top = b.value(QStringLiteral("top")).toDouble();
        band.height = b.value(QStringLiteral("height")).toDouble();
        band.dataset = b.value(QStringLiteral("dataset")).toString();
        band.group = b.value(QStringLiteral("group")).toString();
        band.stretch = b.value(QStringLiteral("stretch")).toBool();
        t.bands << band;
    }
    for (const QJsonValue &v : o.value(QStringLiteral("memos")).toArray()) {
        const QJsonObject m = v.toObject();
        Memo memo;
        memo.name = m.value(QStringLiteral("name")).toString();
        const QJsonArray r = m.value(QStringLiteral("rect")).toArray();
        if (r.size() != 4)
            throw ReportError(QStringLiteral("报表模板中 %1 的位置不完整。").arg(memo.name));
        memo.rect = QRectF(r[0].toDouble(), r[1].toDouble(), r[2].toDouble(), r[3].toDouble());
        memo.text = m.value(QStringLiteral("text")).toString();
        memo.align = alignment(m.value(QStringLiteral("align")).toString(), m.value(QStringLiteral("valign")).toString());
        const QJsonObject f = m.value(QStringLiteral("font")).toObject();
        memo.font.family = f.value(QStringLiteral("family")).toString(QStringLiteral("宋体"));
        memo.font.size = qBound(6.0, f.value(QStringLiteral("size")).toDouble(10), 36.0);
        memo.font.bold = f.value(QStringLiteral("bold")).toBool();
        memo.font.italic = f.value(QStringLiteral("italic")).toBool();
        memo.frames = m.value(QStringLiteral("frames")).toString();
        memo.format = m.value(QStringLiteral("format")).toString();
        memo.wordWrap = m.value(QStringLiteral("wordWrap")).toBool();
        memo.stretch = m.value(QStringLiteral("stretch")).toBool();
        memo.autoSize = m.value(QStringLiteral("autoSize")).toBool();
        memo.visible = m.value(QStringLiteral("visible")).toBool(true);
        t.memos << memo;
    }
    for (const QJsonValue &v : o.value(QStringLiteral("variables")).toArray()) {
        const QJsonObject var = v.toObject();
        t.variables << Variable{var.value(QStringLiteral("name")).toString(),
                                var.value(QStringLiteral("expression")).toString()};
    }
    const QJsonValue script = o.value(QStringLiteral("script"));
    if (script.isArray()) {
        QStringList lines;
        for (const QJsonValue &line : script.toArray())
            lines << line.toString();
        t.script = lines.join(QLatin1Char('\n'));
    } else {
        t.script = script.toString();
    }
    if (!parent)
        for (const QJsonValue &d : o.value(QStringLiteral("designs")).toArray())
            t.designs.push_back(fromObject(d.toObject(), &t));
    return t;
}

} // namespace

Template Template::fromJson(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (doc.isNull() || !doc.isObject())
        throw ReportError(QStringLiteral("报表模板无法读取：%1").arg(error.errorString()));
    return fromObject(doc.object(), nullptr);
}

Template Template::load(const QString &name)
{
    QFile file(QStringLiteral(":/printing/templates/%1.json").arg(name));
    if (!file.open(QIODevice::ReadOnly))
        throw ReportError(QStringLiteral("找不到报表模板 %1。").arg(name));
    return fromJson(file.readAll());
}

Band *Template::band(const QString &name)
{
    for (Band &b : bands)
        if (b.name.compare(name, Qt::CaseInsensitive) == 0)
            return &b;
    return nullptr;
}

const Band *Template::bandOf(BandType type) const
{
    for (const Band &b : bands)
        if (b.type == type)
            return &b;
    return nullptr;
}

Memo *Template::memo(const QString &name)
{
    for (Memo &m : memos)
        if (m.name.compare(name, Qt::CaseInsensitive) == 0)
            return &m;
    for (Template &d : designs)
        if (Memo *m = d.memo(name))
            return m;
    return nullptr;
}

const Band *Template::bandOfMemo(const Memo &memo) const
{
    for (const Band &b : bands)
        if (memo.rect.top() >= b.top && memo.rect.top() < b.top + b.height)
            return &b;
    return nullptr;
}

} // namespace tolva::report
