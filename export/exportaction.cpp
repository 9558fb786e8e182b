#include "exportaction.h"

#include "widgets/context.h"
#include "widgets/datagrid.h"
#include "widgets/guard.h"

#include <QDir>
#include <QMenu>
#include <QRegularExpression>

namespace tolva::excel {

namespace {

// Asks where to write, offering "<name>_<today>.xlsx" in the working folder; empty when cancelled.
QString askPath(Context &context, QWidget *parent, const QString &name)
{
    QString base = name.trimmed();
    base.replace(QRegularExpression(QStringLiteral("[\\\\/:*?\"<>|]")), QStringLiteral("_"));
    if (base.isEmpty())
        base = QStringLiteral("导出");
    const QString suggested = QDir(context.folder()).filePath(base + QLatin1Char('_') +
                                                              context.today().toString(QStringLiteral("yyyyMMdd")) +
                                                              QStringLiteral(".xlsx"));
    QString path = context.interaction().saveFileName(parent, QStringLiteral("导出到 Excel"), suggested,
                                                      QStringLiteral("Excel 文件 (*.xlsx)"));
    if (!path.isEmpty() && !path.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive))
        path += QStringLiteral(".xlsx");
    return path;
}

void tell(Context &context, QWidget *parent, const Outcome &outcome, const QString &path)
{
    context.interaction().message(parent, outcome ? QStringLiteral("已导出到“%1”。").arg(QDir::toNativeSeparators(path))
                                                  : outcome.message());
}

} // namespace

void exportGrid(Context &context, QWidget *parent, const DataGrid &grid)
{
    if (grid.gridModel()->rowCount() == 0) {
        context.interaction().message(parent, QStringLiteral("没有数据,无法导出！"));
        return;
    }
    const QString name = grid.window()->windowTitle();
    const QString path = askPath(context, parent, name);
    if (!path.isEmpty())
        tell(context, parent, writeGrid(grid, name, path, context.folder()), path);
}

void exportReport(Context &context, QWidget *parent, const QString &title, const QList<SheetPage> &pages)
{
    bool empty = true;
    for (const SheetPage &p : pages)
        empty = empty && p.texts.isEmpty();
    if (empty) {
        context.interaction().message(parent, QStringLiteral("没有数据,无法导出！"));
        return;
    }
    const QString path = askPath(context, parent, title);
    if (!path.isEmpty())
        tell(context, parent, writeReport(title, pages, path, context.folder()), path);
}

QMenu *exportMenu(Context &context, DataGrid &grid)
{
    auto *menu = new QMenu(&grid);
    menu->setObjectName(QStringLiteral("exportMenu"));
    QAction *item = menu->addAction(menuCaption());
    item->setObjectName(QStringLiteral("exportExcel"));
    QWidget *window = grid.window();
    connectGuarded(item, &QAction::triggered, window, context.interaction(),
                   [&context, &grid] { exportGrid(context, grid.window(), grid); });
    return menu;
}

void offerExport(Context &context, QWidget *screen)
{
    for (DataGrid *grid : screen->findChildren<DataGrid *>()) {
        QMenu *menu = exportMenu(context, *grid);
        grid->setContextMenuPolicy(Qt::CustomContextMenu);
        QObject::connect(grid, &QWidget::customContextMenuRequested, menu, [grid, menu](const QPoint &at) {
            menu->popup(grid->viewport()->mapToGlobal(at));
        });
    }
}

} // namespace tolva::excel
