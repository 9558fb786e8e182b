#include "chartwindow.h"

#include "widgets/context.h"
#include "widgets/guard.h"
#include "base/outputfile.h"

#include <QChart>
#include <QChartView>
#include <QDir>
#include <QHBoxLayout>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <memory>

namespace tolva {

QImage renderChart(QChart *chart, const QSize &size)
{
    QChartView view(chart);
    view.resize(size);
    view.setRenderHint(QPainter::Antialiasing);
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    view.render(&painter);
    painter.end();
    view.setChart(new QChart); // the chart stays with its owner
    return image;
}

ChartWindow::ChartWindow(Context &context, const QString &title, QWidget *parent)
    : QDialog(parent), context_(context), pages_(new QTabWidget(this))
{
    setWindowTitle(title);
    setObjectName(QStringLiteral("ChartWindow"));
    pages_->setObjectName(QStringLiteral("pages"));
    auto *print = new QPushButton(QStringLiteral("打印(&P)"), this);
    print->setObjectName(QStringLiteral("btn_print"));
    auto *save = new QPushButton(QStringLiteral("保存图片(&S)"), this);
    save->setObjectName(QStringLiteral("btn_save"));
    auto *back = new QPushButton(QStringLiteral("返回(&X)"), this);
    back->setObjectName(QStringLiteral("btn_exit"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(print);
    buttons->addWidget(save);
    buttons->addWidget(back);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(pages_);
    layout->addLayout(buttons);
    resize(900, 600);
    connectGuarded(print, &QPushButton::clicked, this, context_.interaction(), &ChartWindow::btn_printClick);
    connectGuarded(save, &QPushButton::clicked, this, context_.interaction(), &ChartWindow::btn_saveClick);
    connectGuarded(back, &QPushButton::clicked, this, context_.interaction(), &QDialog::accept);
}

void ChartWindow::addChart(const QString &caption, QChart *chart)
{
    auto *view = new QChartView(chart, pages_);
    view->setRenderHint(QPainter::Antialiasing);
    pages_->addTab(view, caption);
}

QChart *ChartWindow::currentChart() const
{
    auto *view = qobject_cast<QChartView *>(pages_->currentWidget());
    return view ? view->chart() : nullptr;
}

void ChartWindow::btn_printClick()
{
    auto *view = qobject_cast<QChartView *>(pages_->currentWidget());
    if (!view)
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(QPageLayout::Landscape);
    printer.setDocName(windowTitle());
    QPrintDialog dialog(&printer, this);
    dialog.setObjectName(QStringLiteral("PrintDialog"));
    if (context_.interaction().exec(&dialog) != QDialog::Accepted)
        return;
    // Printed into a file: written beside it and renamed over it when complete.
    try {
        std::unique_ptr<OutputFile> output;
        if (!printer.outputFileName().isEmpty()) {
            refuseDataFile(printer.outputFileName(), context_.folder());
            output = std::make_unique<OutputFile>(printer.outputFileName());
            printer.setOutputFileName(output->temporaryPath());
        }
        QPainter painter;
        if (!painter.begin(&printer))
            throw Error(QStringLiteral("无法打印图表！"));
        painter.setRenderHint(QPainter::Antialiasing);
        view->render(&painter, printer.pageLayout().paintRectPixels(printer.resolution()).translated(
                                   -printer.pageLayout().paintRectPixels(printer.resolution()).topLeft()));
        painter.end();
        if (output)
            output->commit();
    } catch (const Error &e) {
        context_.interaction().message(this, e.text());
    }
}

void ChartWindow::btn_saveClick()
{
    QChart *chart = currentChart();
    if (!chart)
        return;
    const QString suggested = QDir(context_.folder()).filePath(
        pages_->tabText(pages_->currentIndex()).remove(QLatin1Char('&')) + QStringLiteral(".png"));
    QString path = context_.interaction().saveFileName(this, QStringLiteral("保存图片"), suggested,
                                                       QStringLiteral("PNG 图片 (*.png)"));
    if (path.isEmpty())
        return;
    if (!path.endsWith(QLatin1String(".png"), Qt::CaseInsensitive))
        path += QStringLiteral(".png");
    auto *view = qobject_cast<QChartView *>(pages_->currentWidget());
    const QSize size = view->size().isValid() && view->width() > 100 ? view->size() : QSize(900, 540);
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    view->render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    painter.end();
    try {
        refuseDataFile(path, context_.folder());
        OutputFile output(path);
        if (!image.save(output.temporaryPath(), "PNG"))
            throw Error(QStringLiteral("无法写入图片文件“%1”！").arg(QDir::toNativeSeparators(path)));
        output.commit();
    } catch (const Error &e) {
        context_.interaction().message(this, e.text());
    }
}

} // namespace tolva
