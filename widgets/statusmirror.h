#pragma once

#include <QLabel>
#include <QObject>

class QStatusBar;

namespace tolva {

class Context;

// A status panel whose text, when it does not fit, shows from its start and ends in "…"; the whole
// text is in its tooltip.
class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
    void setFullText(const QString &text);
    QString fullText() const { return full_; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void elide();
    QString full_;
};

// Three panels in a status bar (115 pixels, 500 pixels centred, the rest) that follow the main
// menu's status texts: they copy them whenever the context's texts change (once a second).
class StatusMirror : public QObject {
    Q_OBJECT
public:
    StatusMirror(QStatusBar *bar, Context &context);
    // Copies the texts now.
    void copy();
    ElidedLabel *panel(int i) const { return panels_[i]; }
    static void addPanels(QStatusBar *bar, ElidedLabel *panels[3]);

private:
    Context &context_;
    ElidedLabel *panels_[3];
};

} // namespace tolva
