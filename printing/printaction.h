#pragma once

#include "report.h"

#include <QString>

class QWidget;

namespace tolva {

class Context;
class DataGrid;
class Dataset;
class Tpreview1;

// The print action every printing screen runs: refuses an empty result, detaches the screen's grid
// while the report walks the rows, prepares the report, hands it to the shared preview and shows
// the print dialog, and attaches the grid again. The titles result set is there as "dwm.Query1"
// and today's date comes from the context. Returns true when the dialog was shown.
bool printAction(Context &context, QWidget *parent, Dataset &rows, DataGrid *grid, const report::Template &layout,
                 report::Sources sources, const QString &emptyMessage = QStringLiteral("没有数据,无法打印！"));

// The shared preview window, created on first use and owned by the context.
Tpreview1 &previewWindow(Context &context);

} // namespace tolva
