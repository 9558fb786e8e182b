#include "statusmirror.h"

#include "context.h"

#include <QStatusBar>

namespace tolva {

void ElidedLabel::setFullText(const QString &text)
{
    if (text == full_ && !text.isEmpty())
        return;
    full_ = text;
    setToolTip(text);
    elide();
}

void ElidedLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    elide();
}

void ElidedLabel::showEvent(QShowEvent *event)
{
    QLabel::showEvent(event);
    elide();
}

void ElidedLabel::elide()
{
    const int room = contentsRect().width() - 2 * margin() - 2 * indent();
    // Until it is shown and laid out there is no width to fit.
    const QString shown = !isVisible() || room <= 0 || fontMetrics().horizontalAdvance(full_) <= room
                              ? full_
                              : fontMetrics().elidedText(full_, Qt::ElideRight, room);
    setText(shown);
}

void StatusMirror::addPanels(QStatusBar *bar, ElidedLabel *panels[3])
{
    for (int i = 0; i < 3; ++i) {
        panels[i] = new ElidedLabel(bar);
        panels[i]->setObjectName(QStringLiteral("panel%1").arg(i));
        panels[i]->setFrameShape(QFrame::Panel);
        panels[i]->setFrameShadow(QFrame::Sunken);
    }
    // The clock keeps room for its whole text; the fixed text takes what the window has beside the
    // user and the clock, at least 500 pixels, and is cut only where even that is not enough.
    panels[0]->setFixedWidth(115);
    panels[1]->setMinimumWidth(500);
    panels[1]->setAlignment(Qt::AlignCenter);
    const QFontMetrics clock(panels[2]->font());
    panels[2]->setMinimumWidth(clock.horizontalAdvance(QStringLiteral("0000年00月00日  00:00:00 星期三")) + 12);
    bar->addWidget(panels[0]);
    bar->addWidget(panels[1], 1);
    bar->addWidget(panels[2]);
}

StatusMirror::StatusMirror(QStatusBar *bar, Context &context) : QObject(bar), context_(context)
{
    addPanels(bar, panels_);
    connect(&context_, &Context::statusChanged, this, &StatusMirror::copy);
    copy();
}

void StatusMirror::copy()
{
    const StatusTexts s = context_.status();
    panels_[0]->setFullText(s.user);
    panels_[1]->setFullText(s.fixed);
    panels_[2]->setFullText(s.clock);
}

} // namespace tolva
