#pragma once

#include "xlsx.h"

class QWidget;
class QMenu;

namespace tolva {

class Context;
class DataGrid;

namespace excel {

// The caption of the grids' right-button item.
inline QString menuCaption() { return QStringLiteral("导出到 Excel(&E)..."); }

// Gives every data grid of a screen the right-button item that exports it.
void offerExport(Context &context, QWidget *screen);
// The menu a grid shows on the right button (for tests and for the item itself).
QMenu *exportMenu(Context &context, DataGrid &grid);

// Asks for the file through the Interaction, writes the grid and says how it went.
void exportGrid(Context &context, QWidget *parent, const DataGrid &grid);
// The same for a prepared report's pages.
void exportReport(Context &context, QWidget *parent, const QString &title, const QList<SheetPage> &pages);

} // namespace excel
} // namespace tolva
