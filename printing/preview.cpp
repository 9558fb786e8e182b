#include "preview.h"

#include "export/exportaction.h"
#include "widgets/context.h"
#include "widgets/guard.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QProxyStyle>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QVBoxLayout>

namespace tolva {

namespace {

// The application's style with hints that appear at once; set on the preview's own controls only,
// so the hints of other windows keep their delay.
class InstantHints : public QProxyStyle {
public:
    explicit InstantHints(const QString &base, QObject *owner) : QProxyStyle(base) { setParent(owner); }
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returned) const override
    {
        if (hint == SH_ToolTip_WakeUpDelay)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, returned);
    }
};

} // namespace

namespace report {

namespace {
constexpr int Gap = 10; // pixels around the page
}

PreviewArea::PreviewArea(QWidget *parent) : QAbstractScrollArea(parent)
{
    setObjectName(QStringLiteral("frPreview1"));
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setToolTip(QStringLiteral("按住鼠标左键并移动可以移动页面,点击鼠标右键可以设置显示比例."));
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setBackgroundRole(QPalette::Dark);
    viewport()->setAutoFillBackground(true);
}

void PreviewArea::setReport(const PreparedReport *report)
{
    report_ = report;
    page_ = 1;
    updateScrollBars();
    viewport()->update();
}

void PreviewArea::setPage(int page)
{
    if (!report_ || page < 1 || page > report_->pageCount())
        return;
    page_ = page;
    verticalScrollBar()->setValue(0);
    viewport()->update();
}

void PreviewArea::setZoom(int percent)
{
    zoom_ = qMax(1, percent);
    updateScrollBars();
    viewport()->update();
}

int PreviewArea::fitWidthZoom() const
{
    if (!report_ || report_->pages.isEmpty())
        return 100;
    const double pageWidth = report_->pages.first().size.width() * logicalDpiX() / 96.0;
    return qMax(1, int((viewport()->width() - 2 * Gap) * 100 / pageWidth));
}

double PreviewArea::scale() const
{
    return zoom_ / 100.0 * logicalDpiX() / 96.0;
}

void PreviewArea::updateScrollBars()
{
    if (!report_ || report_->pages.isEmpty()) {
        horizontalScrollBar()->setRange(0, 0);
        verticalScrollBar()->setRange(0, 0);
        return;
    }
    const QSizeF size = report_->pages.first().size * scale();
    horizontalScrollBar()->setRange(0, qMax(0, int(size.width()) + 2 * Gap - viewport()->width()));
    verticalScrollBar()->setRange(0, qMax(0, int(size.height()) + 2 * Gap - viewport()->height()));
    horizontalScrollBar()->setPageStep(viewport()->width());
    verticalScrollBar()->setPageStep(viewport()->height());
    verticalScrollBar()->setSingleStep(20);
    horizontalScrollBar()->setSingleStep(20);
}

void PreviewArea::paintEvent(QPaintEvent *)
{
    if (!report_ || page_ < 1 || page_ > report_->pageCount())
        return;
    QPainter p(viewport());
    const PreparedPage &page = report_->pages[page_ - 1];
    const QSizeF size = page.size * scale();
    double x = Gap - horizontalScrollBar()->value();
    if (size.width() + 2 * Gap < viewport()->width())
        x = (viewport()->width() - size.width()) / 2;
    const QPointF origin(x, Gap - verticalScrollBar()->value());
    p.fillRect(QRectF(origin + QPointF(3, 3), size), Qt::black);
    p.fillRect(QRectF(origin, size), Qt::white);
    p.setRenderHint(QPainter::TextAntialiasing);
    report::render(p, page, scale(), origin);
}

void PreviewArea::keyPressEvent(QKeyEvent *event)
{
    // Every key is the window's: paging, scrolling, Alt+X. The scroll area's own handling would
    // page the scroll bar instead of the report.
    event->ignore();
}

void PreviewArea::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void PreviewArea::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        dragStart_ = event->position().toPoint();
        scrollStart_ = QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
        viewport()->setCursor(Qt::ClosedHandCursor);
    }
}

void PreviewArea::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return;
    const QPoint delta = event->position().toPoint() - dragStart_;
    horizontalScrollBar()->setValue(scrollStart_.x() - delta.x());
    verticalScrollBar()->setValue(scrollStart_.y() - delta.y());
}

void PreviewArea::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    for (int percent : {25, 50, 75, 100, 150, 200}) {
        QAction *a = menu.addAction(QStringLiteral("%1%").arg(percent));
        connect(a, &QAction::triggered, this, [this, percent] { Q_EMIT zoomChosen(percent); });
    }
    menu.addSeparator();
    connect(menu.addAction(QStringLiteral("页宽")), &QAction::triggered, this,
            [this] { Q_EMIT zoomChosen(fitWidthZoom()); });
    menu.addSeparator();
    connect(menu.addAction(excel::menuCaption()), &QAction::triggered, this, &PreviewArea::exportChosen);
    menu.exec(event->globalPos());
}

} // namespace report

Tpreview1::Tpreview1(Context &context, QWidget *parent) : QDialog(parent), context_(context)
{
    setObjectName(QStringLiteral("preview1"));
    setWindowTitle(QStringLiteral("青禾软件开发中心通用预览窗口"));
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    area_ = new report::PreviewArea(this);
    layout->addWidget(area_, 1);

    auto *row = new QHBoxLayout;
    row->setContentsMargins(6, 4, 6, 4);
    QPushButton *open = button("BitBtn1", QStringLiteral("打开报表(&O)"), QStringLiteral("打开报表文件"));
    QPushButton *save = button("BitBtn2", QStringLiteral("保存报表(&S)"), QStringLiteral("保存当前报表到文件"));
    QPushButton *excel = button("BitBtn5", QStringLiteral("导出 Excel(&E)"), QStringLiteral("把当前报表导出到 Excel 文件"));
    zoomIn_ = button("SpeedBut5", QStringLiteral("放大(&5)"), QStringLiteral("放大当页报表"));
    zoomOut_ = button("SpeedBut6", QStringLiteral("缩小(&6)"), QStringLiteral("缩小当页报表"));
    first_ = button("SpeedBut2", QStringLiteral("首页(&1)"), QStringLiteral("显示第一页报表"));
    previous_ = button("SpeedBut1", QStringLiteral("上一页(&2)"), QStringLiteral("显示上一页报表"));
    next_ = button("SpeedBut3", QStringLiteral("下一页(&3)"), QStringLiteral("显示下一页报表"));
    last_ = button("SpeedBut4", QStringLiteral("尾页(&4)"), QStringLiteral("显示最后一页报表"));
    QPushButton *print = button("BitBtn3", QStringLiteral("打印(&P)"), QStringLiteral("打印当前报表"));
    print->hide();
    QPushButton *back = button("BitBtn4", QStringLiteral("返回(&X)"), QStringLiteral("返回"));
    for (QPushButton *b : {open, save, excel, zoomIn_, zoomOut_, first_, previous_, next_, last_, print, back})
        row->addWidget(b);
    row->addStretch();
    layout->addLayout(row);
    auto *hints = new InstantHints(QApplication::style()->name(), this);
    const QList<QWidget *> controls{area_, area_->viewport(), open, save, excel, zoomIn_, zoomOut_, first_, previous_,
                                    next_, last_, print, back};
    for (QWidget *w : controls)
        w->setStyle(hints);

    auto *status = new QStatusBar(this);
    status->setObjectName(QStringLiteral("StatusBar1"));
    auto *line = new QLabel(QStringLiteral("青禾专业从事财务,进销存,档案,工资,仓库,报表等软件开发业务.软件更新请访问青禾主页:") +
                                Context::webAddress() + QStringLiteral(". 青禾信箱:") + Context::mailAddress(),
                            status);
    line->setAlignment(Qt::AlignCenter);
    status->addWidget(line, 1);
    layout->addWidget(status);

    connectGuarded(open, &QPushButton::clicked, this, context_.interaction(), &Tpreview1::BitBtn1Click);
    connectGuarded(save, &QPushButton::clicked, this, context_.interaction(), &Tpreview1::BitBtn2Click);
    connectGuarded(excel, &QPushButton::clicked, this, context_.interaction(), &Tpreview1::BitBtn5Click);
    connectGuarded(area_, &report::PreviewArea::exportChosen, this, context_.interaction(), &Tpreview1::BitBtn5Click);
    connectGuarded(zoomIn_, &QPushButton::clicked, this, context_.interaction(), &Tpreview1::SpeedBut5Click);
    connectGuarded(zoomOut_, &QPushButton::clicked, this, context_.interaction(), &Tpreview1::SpeedBut6Click);
    connectGuarded(first_, &QPushButton::clicked, this, context_.interaction(), &Tpreview1::SpeedBut2Click);
    connectGuarded(previous_, &QPushButton::clicked, this, context_.interaction(), &Tpreview1::SpeedBut1Click);
    connectGuarded(next_, &QPushButton::clicked, this, context_.interaction(), &Tpreview1::SpeedBut3Click);
    connectGuarded(last_, &QPushButton::clicked, this, context_.interaction(), &Tpreview1::SpeedBut4Click);
    connectGuarded(back, &QPushButton::clicked, this, context_.interaction(), &QDialog::accept);
    connectGuarded(area_, &report::PreviewArea::zoomChosen, this, context_.interaction(), [this](int percent) {
        area_->setZoom(percent);
        zoomOut_->setEnabled(percent > 20);
    });
    resize(1000, 700);
}

QPushButton *Tpreview1::button(const char *name, const QString &caption, const QString &hint)
{
    auto *b = new QPushButton(caption, this);
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(hint);
    b->setAutoDefault(false);
    b->setFocusPolicy(Qt::NoFocus); // keys stay with the preview area
    return b;
}

void Tpreview1::setReport(const report::PreparedReport &report)
{
    report_ = report;
    area_->setReport(&report_);
}

void Tpreview1::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!(windowState() & Qt::WindowMaximized)) {
        // The whole screen, also where no window manager maximises windows.
        if (const QScreen *s = screen())
            setGeometry(s->availableGeometry());
        setWindowState(windowState() | Qt::WindowMaximized);
    }
    FormActivate();
    area_->setFocus();
}

void Tpreview1::pageButtons(bool backward, bool forward)
{
    first_->setEnabled(backward);
    previous_->setEnabled(backward);
    next_->setEnabled(forward);
    last_->setEnabled(forward);
}

void Tpreview1::FormActivate()
{
    if (report_.pageCount() <= 1)
        pageButtons(false, false);
    else
        pageButtons(false, true);
    area_->setPage(1);
    area_->setZoom(area_->fitWidthZoom());
    zoomOut_->setEnabled(area_->zoom() > 20);
}

void Tpreview1::SpeedBut2Click()
{
    area_->setPage(1);
    pageButtons(false, report_.pageCount() > 1);
}

void Tpreview1::SpeedBut1Click()
{
    if (area_->page() <= 1)
        return;
    area_->setPage(area_->page() - 1);
    pageButtons(area_->page() > 1, true);
}

void Tpreview1::SpeedBut3Click()
{
    if (area_->page() >= report_.pageCount())
        return;
    area_->setPage(area_->page() + 1);
    pageButtons(true, area_->page() < report_.pageCount());
}

void Tpreview1::SpeedBut4Click()
{
    area_->setPage(report_.pageCount());
    pageButtons(report_.pageCount() > 1, false);
}

void Tpreview1::SpeedBut5Click()
{
    area_->setZoom(area_->zoom() + 20);
    zoomOut_->setEnabled(true);
}

void Tpreview1::SpeedBut6Click()
{
    int zoom = area_->zoom() - 20;
    if (zoom <= 20) {
        zoom = 20;
        zoomOut_->setEnabled(false);
    }
    area_->setZoom(zoom);
}

void Tpreview1::BitBtn1Click()
{
    const QString path = context_.interaction().openFileName(this, QStringLiteral("打开报表文件"), context_.folder(),
                                                             QStringLiteral("报表文件 (*.frp)"));
    if (path.isEmpty())
        return;
    try {
        setReport(report::PreparedReport::load(path, context_.folder()));
        FormActivate();
    } catch (const report::ReportError &e) {
        context_.interaction().message(this, e.message());
    }
}

void Tpreview1::BitBtn2Click()
{
    QString path = context_.interaction().saveFileName(this, QStringLiteral("保存当前报表到文件"),
                                                             context_.folder(), QStringLiteral("报表文件 (*.frp)"));
    if (path.isEmpty())
        return;
    if (!path.endsWith(QLatin1String(".frp"), Qt::CaseInsensitive))
        path += QStringLiteral(".frp");
    try {
        report_.save(path, context_.folder());
    } catch (const Error &e) {
        context_.interaction().message(this, e.text());
    }
}

void Tpreview1::BitBtn5Click()
{
    QList<excel::SheetPage> pages;
    for (const report::PreparedPage &page : report_.pages) {
        excel::SheetPage sheet;
        for (const report::PlacedText &t : page.texts)
            sheet.texts.append({t.rect, t.lines.join(QLatin1Char('\n'))});
        pages << sheet;
    }
    guard(context_.interaction(), this, [&] { excel::exportReport(context_, this, report_.title, pages); });
}

void Tpreview1::keyPressEvent(QKeyEvent *event)
{
    if (event->modifiers() == Qt::AltModifier && event->key() == Qt::Key_X) {
        accept(); // as "返回(&X)"
        return;
    }
    QScrollBar *vertical = area_->verticalScrollBar();
    QScrollBar *horizontal = area_->horizontalScrollBar();
    switch (event->key()) {
    case Qt::Key_PageDown:
        SpeedBut3Click();
        return;
    case Qt::Key_PageUp:
        SpeedBut1Click();
        return;
    case Qt::Key_Home:
        SpeedBut2Click();
        return;
    case Qt::Key_End:
        SpeedBut4Click();
        return;
    case Qt::Key_Down:
        vertical->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        return;
    case Qt::Key_Up:
        vertical->triggerAction(QAbstractSlider::SliderSingleStepSub);
        return;
    case Qt::Key_Right:
        horizontal->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        return;
    case Qt::Key_Left:
        horizontal->triggerAction(QAbstractSlider::SliderSingleStepSub);
        return;
    case Qt::Key_Escape:
        QDialog::keyPressEvent(event);
        return;
    default:
        // Not a key of the preview. Never hand it back to a child: an ignored key climbs to this
        // window again.
        event->ignore();
    }
}

} // namespace tolva
