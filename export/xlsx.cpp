#include "xlsx.h"

#include "widgets/datagrid.h"
#include "base/outputfile.h"

#include <QColor>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QHeaderView>
#include <QRegularExpression>

#include <xlsxwriter.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>

namespace tolva::excel {

namespace {

// Characters Excel shows as they are in a format; anything else goes in quotes.
bool plainInFormat(QChar c)
{
    return QStringLiteral("0#.,-+ ()/:").contains(c);
}

// Splits a pattern into its sections at semicolons outside quotes.
QStringList sections(const QString &pattern)
{
    QStringList out{QString()};
    QChar quote;
    for (QChar c : pattern) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
        } else if (c == QLatin1Char(';')) {
            out << QString();
            continue;
        }
        out.last() += c;
    }
    return out;
}

// One section with its quoted text in Excel's double quotes; `date` maps nn (minutes) to mm.
QString convertSection(const QString &section, bool date)
{
    QString out, literal;
    auto flush = [&] {
        if (!literal.isEmpty())
            out += QLatin1Char('"') + literal + QLatin1Char('"');
        literal.clear();
    };
    QChar quote;
    for (int i = 0; i < section.size(); ++i) {
        const QChar c = section[i];
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            else if (c != QLatin1Char('"'))
                literal += c;
            continue;
        }
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
            continue;
        }
        const QChar lower = c.toLower();
        const bool code = date ? QStringLiteral("ymdhns").contains(lower) : QStringLiteral("0#.,").contains(c);
        if (code || plainInFormat(c)) {
            flush();
            out += date && lower == QLatin1Char('n') ? QChar(QLatin1Char('m')) : (date ? lower : c);
        } else {
            literal += c;
        }
    }
    flush();
    return out;
}

// A zero section of only optional digits shows nothing.
bool blankSection(const QString &section)
{
    for (QChar c : section)
        if (c != QLatin1Char('#') && c != QLatin1Char(',') && c != QLatin1Char('.'))
            return false;
    return true;
}

// Excel's width units of a text: a Chinese character takes two.
double textWidth(const QString &text)
{
    double w = 0, line = 0;
    for (QChar c : text) {
        if (c == QLatin1Char('\n')) {
            w = std::max(w, line);
            line = 0;
        } else {
            line += c.unicode() >= 0x2E80 ? 2.1 : 1.1;
        }
    }
    return std::max(w, line);
}

// A workbook written under a temporary name in the target's folder and renamed over the target
// when complete, so a failure leaves no partial file and an old file untouched; never over one of
// the data folder's own files.
class Book {
public:
    Book(const QString &path, const QString &dataFolder) : path_(path), dataFolder_(dataFolder) {}
    ~Book()
    {
        if (book_)
            workbook_close(book_); // only after a failure: the output file removes what it wrote
    }

    Outcome open(const QString &sheet)
    {
        const QFileInfo target(path_);
        if (!target.dir().exists())
            return Outcome::refused(QStringLiteral("文件夹“%1”不存在,无法导出！").arg(QDir::toNativeSeparators(target.absolutePath())));
        if (target.exists() && !target.isWritable())
            return Outcome::refused(QStringLiteral("文件“%1”是只读的,无法导出！").arg(QDir::toNativeSeparators(path_)));
        try {
            refuseDataFile(path_, dataFolder_);
            output_ = std::make_unique<OutputFile>(path_);
        } catch (const Error &e) {
            return Outcome::refused(e.text());
        }
        book_ = workbook_new(QFile::encodeName(output_->temporaryPath()).constData());
        if (!book_)
            return Outcome::refused(QStringLiteral("无法建立 Excel 文件！"));
        QString name = sheet.left(31);
        name.replace(QRegularExpression(QStringLiteral("[\\[\\]:*?/\\\\]")), QStringLiteral("_"));
        sheet_ = workbook_add_worksheet(book_, name.isEmpty() ? nullptr : name.toUtf8().constData());
        if (!sheet_)
            sheet_ = workbook_add_worksheet(book_, nullptr);
        return Outcome::done();
    }

    lxw_worksheet *sheet() const { return sheet_; }

    lxw_format *format(const QString &numberFormat, const QColor &background = QColor(), bool bold = false,
                       bool wrap = false)
    {
        const QString key = numberFormat + QLatin1Char('|') + (background.isValid() ? background.name() : QString()) +
                            QLatin1Char('|') + QString::number(int(bold) + 2 * int(wrap));
        auto it = formats_.find(key);
        if (it != formats_.end())
            return *it;
        lxw_format *f = workbook_add_format(book_);
        if (!numberFormat.isEmpty())
            format_set_num_format(f, numberFormat.toUtf8().constData());
        if (background.isValid()) {
            format_set_pattern(f, LXW_PATTERN_SOLID);
            format_set_bg_color(f, lxw_color_t(background.rgb() & 0xFFFFFF));
        }
        if (bold)
            format_set_bold(f);
        if (wrap)
            format_set_text_wrap(f);
        formats_.insert(key, f);
        return f;
    }

    void text(int row, int column, const QString &value, lxw_format *f)
    {
        worksheet_write_string(sheet_, lxw_row_t(row), lxw_col_t(column), value.toUtf8().constData(), f);
    }

    // Closes the workbook and puts it in the target's place.
    Outcome finish()
    {
        const lxw_error error = workbook_close(book_);
        book_ = nullptr;
        if (error != LXW_NO_ERROR)
            return Outcome::refused(QStringLiteral("无法写入文件“%1”：%2").arg(QDir::toNativeSeparators(path_), QString::fromUtf8(lxw_strerror(error))));
        try {
            output_->commit();
        } catch (const Error &e) {
            return Outcome::refused(e.text());
        }
        return Outcome::done();
    }

private:
    QString path_, dataFolder_;
    std::unique_ptr<OutputFile> output_;
    lxw_workbook *book_ = nullptr;
    lxw_worksheet *sheet_ = nullptr;
    QHash<QString, lxw_format *> formats_;
};

// A text a report prints as a number: digits with optional thousands separators and decimals,
// no leading zero (a contract number "007" stays text) and no longer than a ledger's amounts.
bool reportNumber(const QString &text, double &value, QString &format)
{
    static const QRegularExpression number(QStringLiteral("^-?(0|[1-9]\\d{0,9}|[1-9]\\d{0,2}(,\\d{3}){1,3})(\\.(\\d+))?$"));
    const auto m = number.match(text);
    if (!m.hasMatch())
        return false;
    QString plain = text;
    plain.remove(QLatin1Char(','));
    bool ok = false;
    value = plain.toDouble(&ok);
    if (!ok)
        return false;
    format = text.contains(QLatin1Char(',')) ? QStringLiteral("#,##0") : QStringLiteral("0");
    const int decimals = int(m.captured(4).size());
    if (decimals > 0)
        format += QLatin1Char('.') + QString(decimals, QLatin1Char('0'));
    return true;
}

} // namespace

QString numberFormat(const QString &pattern)
{
    if (pattern.isEmpty())
        return QString();
    const QStringList s = sections(pattern);
    const QString positive = convertSection(s[0], false);
    const QString negative = s.size() > 1 && !s[1].isEmpty() ? convertSection(s[1], false) : QLatin1Char('-') + positive;
    const QString zeroSource = s.size() > 2 ? s[2] : s[0];
    const QString zero = blankSection(zeroSource) ? QString() : convertSection(zeroSource, false);
    return positive + QLatin1Char(';') + negative + QLatin1Char(';') + zero;
}

QString dateFormat(const QString &pattern)
{
    return convertSection(pattern.isEmpty() ? QStringLiteral("yyyy-mm-dd") : pattern, true);
}

Outcome writeModel(const DatasetModel &model, const QList<int> &columnOrder, const QString &sheet, const QString &path,
                   const QString &dataFolder)
{
    QList<int> columns = columnOrder;
    if (columns.isEmpty())
        for (int c = 0; c < model.columnCount(); ++c)
            columns << c;
    const int rows = model.rowCount();
    if (rows == 0 || columns.isEmpty())
        return Outcome::refused(QStringLiteral("没有数据,无法导出！"));
    if (rows + 1 > LXW_ROW_MAX) // Excel would drop the rows beyond its last one without a word
        return Outcome::refused(QStringLiteral("共 %1 行,超过了 Excel 一张表的行数,无法导出！").arg(rows));

    Book book(path, dataFolder);
    if (Outcome o = book.open(sheet); !o)
        return o;
    lxw_worksheet *ws = book.sheet();
    const Dataset *ds = model.dataset();
    lxw_format *title = book.format(QString(), QColor(), true);
    QList<double> widths;
    QList<QString> numberFormats, dateFormats;
    QList<int> fields;
    for (int i = 0; i < columns.size(); ++i) {
        const GridColumn &c = model.columns()[columns[i]];
        book.text(0, i, c.title, title);
        widths << textWidth(c.title);
        numberFormats << numberFormat(c.format);
        dateFormats << dateFormat(c.format);
        fields << ds->fieldIndex(c.field);
    }
    for (int r = 0; r < rows; ++r) {
        const QVariant colour = model.data(model.index(r, 0), Qt::BackgroundRole);
        const QColor background = colour.isValid() ? colour.value<QColor>() : QColor();
        for (int i = 0; i < columns.size(); ++i) {
            const QVariant v = ds->valueAt(r, fields[i]);
            const lxw_row_t row = lxw_row_t(r + 1);
            const lxw_col_t col = lxw_col_t(i);
            const int type = v.typeId();
            if (v.isNull()) {
                if (background.isValid())
                    worksheet_write_blank(ws, row, col, book.format(QString(), background));
            } else if (type == QMetaType::QDate) {
                const QDate d = v.toDate();
                lxw_datetime when{d.year(), d.month(), d.day(), 0, 0, 0};
                worksheet_write_datetime(ws, row, col, &when, book.format(dateFormats[i], background));
            } else if (type == QMetaType::Double || type == QMetaType::Int || type == QMetaType::LongLong) {
                worksheet_write_number(ws, row, col, v.toDouble(), book.format(numberFormats[i], background));
            } else {
                book.text(int(row), i, v.toString(), book.format(QString(), background));
            }
            widths[i] = std::max(widths[i], textWidth(model.text(r, columns[i])));
        }
    }
    for (int i = 0; i < columns.size(); ++i)
        worksheet_set_column(ws, lxw_col_t(i), lxw_col_t(i), std::min(widths[i] + 2, 80.0), nullptr);
    worksheet_freeze_panes(ws, 1, 0);
    worksheet_autofilter(ws, 0, 0, lxw_row_t(rows), lxw_col_t(columns.size() - 1));
    return book.finish();
}

Outcome writeGrid(const DataGrid &grid, const QString &sheet, const QString &path, const QString &dataFolder)
{
    QList<int> columns;
    const QHeaderView *header = grid.horizontalHeader();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        if (!header->isSectionHidden(logical))
            columns << logical;
    }
    if (columns.isEmpty())
        return Outcome::refused(QStringLiteral("没有数据,无法导出！"));
    return writeModel(*grid.gridModel(), columns, sheet, path, dataFolder);
}

Outcome writeReport(const QString &title, const QList<SheetPage> &pages, const QString &path,
                    const QString &dataFolder)
{
    // The printed lines of every page: texts whose tops lie within a few units form one line.
    struct Line {
        QList<SheetText> texts;
        bool header = true; // no number in it: a title or column-title line a page may repeat
        QString key;
    };
    constexpr double near = 3;
    QList<QList<Line>> lines;
    QList<double> lefts, allLefts;
    for (const SheetPage &page : pages) {
        QList<SheetText> texts;
        for (const SheetText &t : page.texts)
            if (!t.text.trimmed().isEmpty())
                texts << t;
        std::stable_sort(texts.begin(), texts.end(), [](const SheetText &a, const SheetText &b) {
            return a.rect.top() < b.rect.top();
        });
        QList<Line> pageLines;
        double top = 0;
        for (const SheetText &t : texts) {
            if (pageLines.isEmpty() || t.rect.top() - top > near) {
                pageLines << Line();
                top = t.rect.top();
            }
            pageLines.last().texts << t;
        }
        // Columns come from the lines of a table (several texts side by side). A line of one text
        // (a title, the print date at the right) goes in the column it starts in and makes none
        // of its own, or the date would split a group of columns.
        for (const Line &line : pageLines)
            for (const SheetText &t : line.texts) {
                allLefts << t.rect.left();
                if (line.texts.size() > 1)
                    lefts << t.rect.left();
            }
        for (Line &line : pageLines) {
            std::stable_sort(line.texts.begin(), line.texts.end(), [](const SheetText &a, const SheetText &b) {
                return a.rect.left() < b.rect.left();
            });
            for (const SheetText &t : line.texts) {
                double v;
                QString f;
                if (reportNumber(t.text.trimmed(), v, f))
                    line.header = false;
                line.key += QString::number(qRound(t.rect.top())) + QLatin1Char(':') +
                            QString::number(qRound(t.rect.left())) + QLatin1Char(':') + t.text + QLatin1Char('\x1f');
            }
        }
        lines << pageLines;
    }
    if (allLefts.isEmpty())
        return Outcome::refused(QStringLiteral("没有数据,无法导出！"));
    if (lefts.isEmpty())
        lefts = allLefts; // no table: every line is one text

    // Columns: the distinct left edges, those a few units apart taken as one.
    std::sort(lefts.begin(), lefts.end());
    QList<double> starts;
    for (double x : lefts)
        if (starts.isEmpty() || x - starts.last() > near)
            starts << x;
    auto columnOf = [&](double x) {
        int c = 0;
        for (int i = 0; i < starts.size(); ++i)
            if (starts[i] <= x + near)
                c = i;
        return c;
    };

    int lineCount = 1;
    for (const QList<Line> &pageLines : lines)
        lineCount += int(pageLines.size());
    if (lineCount > LXW_ROW_MAX)
        return Outcome::refused(QStringLiteral("共 %1 行,超过了 Excel 一张表的行数,无法导出！").arg(lineCount));
    Book book(path, dataFolder);
    if (Outcome o = book.open(title.isEmpty() ? QStringLiteral("报表") : title); !o)
        return o;
    lxw_worksheet *ws = book.sheet();
    QList<double> widths(starts.size(), 8.0);
    int row = 0;
    const bool titlePrinted = !lines.isEmpty() && !lines[0].isEmpty() && lines[0][0].texts.size() == 1 &&
                              lines[0][0].texts[0].text.trimmed() == title.trimmed();
    if (!title.isEmpty() && !titlePrinted)
        book.text(row++, 0, title, book.format(QString(), QColor(), true));
    for (int p = 0; p < lines.size(); ++p) {
        int skip = 0;
        // A later page's leading title lines that repeat the first page's are written once.
        if (p > 0)
            while (skip < lines[p].size() && skip < lines[0].size() && lines[p][skip].header &&
                   lines[p][skip].key == lines[0][skip].key)
                ++skip;
        for (int l = skip; l < lines[p].size(); ++l) {
            const bool bold = p == 0 && l == 0 && titlePrinted;
            for (const SheetText &t : lines[p][l].texts) {
                const int col = columnOf(t.rect.left());
                const QString text = t.text.trimmed();
                double value;
                QString format;
                if (reportNumber(text, value, format))
                    worksheet_write_number(ws, lxw_row_t(row), lxw_col_t(col), value, book.format(format));
                else
                    book.text(row, col, text, book.format(QString(), QColor(), bold, text.contains(QLatin1Char('\n'))));
                if (!bold)
                    widths[col] = std::max(widths[col], textWidth(text));
            }
            ++row;
        }
    }
    for (int i = 0; i < widths.size(); ++i)
        worksheet_set_column(ws, lxw_col_t(i), lxw_col_t(i), std::min(widths[i] + 2, 80.0), nullptr);
    return book.finish();
}

} // namespace tolva::excel
