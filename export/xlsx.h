#pragma once

#include "base/outcome.h"

#include <QList>
#include <QRectF>
#include <QString>

namespace tolva {

class DataGrid;
class DatasetModel;

namespace excel {

// The Excel number format of a display pattern: "#0.00;-#0.00;#" keeps two decimals and a blank
// zero, "#;" an integer with a blank zero; quoted text stays text.
QString numberFormat(const QString &pattern);
// The Excel format of a date pattern: "yyyy'年'mm'月'dd'日'" becomes yyyy"年"mm"月"dd"日".
QString dateFormat(const QString &pattern);

// Writes the model's columns (in the given order; all when empty) with their titles and every row
// of its result set: numbers as numbers in their column's format, dates as dates, row colours
// kept; frozen title row, fitted widths and an auto-filter. The file appears only when complete; one
// of `dataFolder`'s own files (the ledger, its journals, the lock) is refused and left alone.
Outcome writeModel(const DatasetModel &model, const QList<int> &columns, const QString &sheet, const QString &path,
                   const QString &dataFolder);
// The grid's visible columns in screen order.
Outcome writeGrid(const DataGrid &grid, const QString &sheet, const QString &path, const QString &dataFolder);

// A text of a prepared page, in design units.
struct SheetText {
    QRectF rect;
    QString text;
};
struct SheetPage {
    QList<SheetText> texts;
};

// One sheet for a whole report: the title in the first row, then each printed line of bands a row
// with its texts in columns by their left edge. Texts that read as numbers ("1,234.50", "-3")
// become numbers with as many decimals as they print. Lines a later page repeats from the first
// (its column titles) are written once.
Outcome writeReport(const QString &title, const QList<SheetPage> &pages, const QString &path,
                    const QString &dataFolder);

} // namespace excel
} // namespace tolva
