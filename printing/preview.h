#pragma once

#include "report.h"

#include <QAbstractScrollArea>
#include <QDialog>

class QPushButton;

namespace tolva {

class Context;

namespace report {

// The page of a prepared report at a zoom, with both scroll bars; dragging with the left button
// moves the page, the right button offers zoom choices.
class PreviewArea : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit PreviewArea(QWidget *parent = nullptr);
    void setReport(const PreparedReport *report);
    void setPage(int page); // 1-based
    int page() const { return page_; }
    void setZoom(int percent);
    int zoom() const { return zoom_; }
    int fitWidthZoom() const;

Q_SIGNALS:
    void zoomChosen(int percent);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void updateScrollBars();
    double scale() const;
    const PreparedReport *report_ = nullptr;
    int page_ = 1;
    int zoom_ = 100;
    QPoint dragStart_;
    QPoint scrollStart_;
};

} // namespace report

// The preview window shared by every print action.
class Tpreview1 : public QDialog {
    Q_OBJECT
public:
    explicit Tpreview1(Context &context, QWidget *parent = nullptr);

    void setReport(const report::PreparedReport &report);
    const report::PreparedReport &preparedReport() const { return report_; }
    report::PreviewArea *area() const { return area_; }

    // On activation: page buttons by the page count, zoom to the page width.
    void FormActivate();
    void SpeedBut2Click(); // first page
    void SpeedBut1Click(); // previous page
    void SpeedBut3Click(); // next page
    void SpeedBut4Click(); // last page
    void SpeedBut5Click(); // zoom in
    void SpeedBut6Click(); // zoom out
    void BitBtn1Click();   // open a saved report
    void BitBtn2Click();   // save the report

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QPushButton *button(const char *name, const QString &caption, const QString &hint);
    void pageButtons(bool backward, bool forward);

    Context &context_;
    report::PreparedReport report_;
    report::PreviewArea *area_;
    QPushButton *first_, *previous_, *next_, *last_, *zoomIn_, *zoomOut_;
};

} // namespace tolva
