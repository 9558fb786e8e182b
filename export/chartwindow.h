#pragma once

#include <QDialog>
#include <QImage>

class QChart;
class QChartView;
class QTabWidget;

namespace tolva {

class Context;

// A picture of a chart: the bars drawn by Qt Charts at a size, offscreen or on screen alike.
QImage renderChart(QChart *chart, const QSize &size);

// A window showing charts, one page each, that prints the current one through the print dialog
// (PDF included) and saves it as a PNG picture.
class ChartWindow : public QDialog {
    Q_OBJECT
public:
    ChartWindow(Context &context, const QString &title, QWidget *parent = nullptr);
    // Adds a page; the window takes the chart.
    void addChart(const QString &caption, QChart *chart);
    QChart *currentChart() const;

    void btn_printClick();
    void btn_saveClick();

private:
    Context &context_;
    QTabWidget *pages_;
};

} // namespace tolva
