#include "printaction.h"

#include "preview.h"
#include "printdialog.h"
#include "widgets/context.h"
#include "widgets/datagrid.h"
#include "widgets/progressdialog.h"

#include <QApplication>

namespace tolva {

Tpreview1 &previewWindow(Context &context)
{
    if (auto *existing = qobject_cast<Tpreview1 *>(context.previewWindow()))
        return *existing;
    auto window = std::make_unique<Tpreview1>(context);
    Tpreview1 &preview = *window;
    context.setPreviewWindow(std::move(window));
    return preview;
}

bool printAction(Context &context, QWidget *parent, Dataset &rows, DataGrid *grid, const report::Template &layout,
                 report::Sources sources, const QString &emptyMessage)
{
    if (!rows.isOpen() || rows.isEmpty()) {
        context.interaction().message(parent, emptyMessage);
        return false;
    }
    Dataset *attached = grid ? grid->gridModel()->dataset() : nullptr;
    if (grid)
        grid->setDataset(nullptr);
    struct Reattach {
        DataGrid *grid;
        Dataset *dataset;
        ~Reattach()
        {
            if (grid)
                grid->setDataset(dataset);
        }
    } reattach{grid, attached};

    if (!sources.today.isValid())
        sources.today = context.today();
    if (!sources.datasets.contains(QStringLiteral("dwm.Query1")))
        sources.datasets.insert(QStringLiteral("dwm.Query1"), &context.titles());

    report::PreparedReport prepared;
    try {
        // A long report shows a wait cursor and, after half a second, how far it got, with a way out.
        QApplication::setOverrideCursor(Qt::WaitCursor);
        struct RestoreCursor {
            ~RestoreCursor() { QApplication::restoreOverrideCursor(); }
        } restoreCursor;
        const auto reported = sources.progress;
        runWithProgress(parent, {layout.title, QStringLiteral("正在准备报表……"), 500, QStringLiteral("ReportProgress")},
                        [&](const Progress &progress) {
                            sources.progress = [&](int done, int total, const QString &what) {
                                if (reported && !reported(done, total, what))
                                    return false;
                                return progress(done, total, QString()); // the label stays
                            };
                            prepared = report::prepare(layout, sources);
                        });
    } catch (const report::Stopped &) {
        return false; // the person stopped it
    } catch (const report::ReportError &e) {
        context.interaction().error(parent, e.message());
        return false;
    } catch (const StoreError &e) {
        context.interaction().error(parent, e.text());
        return false;
    }
    Tpreview1 &preview = previewWindow(context);
    preview.setReport(prepared);
    TPrintDialog dialog(context, preview.preparedReport(), preview, 1, parent);
    context.interaction().exec(&dialog);
    return true;
}

} // namespace tolva
