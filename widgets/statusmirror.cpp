#include "statusmirror.h"

#include "context.h"

#include <QLabel>
#include <QStatusBar>
#include <QTimer>

namespace tolva {

void StatusMirror::addPanels(QStatusBar *bar, QLabel *panels[3])
{
    for (int i = 0; i < 3; ++i) {
        panels[i] = new QLabel(bar);
        panels[i]->setObjectName(QStringLiteral("panel%1").arg(i));
        panels[i]->setFrameShape(QFrame::Panel);
        panels[i]->setFrameShadow(QFrame::Sunken);
    }
    panels[0]->setFixedWidth(115);
    panels[1]->setFixedWidth(500);
    panels[1]->setAlignment(Qt::AlignCenter);
    bar->addWidget(panels[0]);
    bar->addWidget(panels[1]);
    bar->addWidget(panels[2], 1);
}

StatusMirror::StatusMirror(QStatusBar *bar, Context &context)
    : QObject(bar), context_(context), timer_(new QTimer(this))
{
    addPanels(bar, panels_);
    timer_->setInterval(1000);
    connect(timer_, &QTimer::timeout, this, &StatusMirror::copy);
    timer_->start();
}

void StatusMirror::copy()
{
    const StatusTexts s = context_.status();
    panels_[0]->setText(s.user);
    panels_[1]->setText(s.fixed);
    panels_[2]->setText(s.clock);
}

} // namespace tolva
