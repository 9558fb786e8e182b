#pragma once

#include <QColor>
#include <QLabel>
#include <QUrl>

namespace tolva {

// A text label that is a link: clicking it emits clicked(); while the mouse is over it the text
// turns red (and, when asked, bold and underlined), and returns to its normal colour when it leaves.
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit LinkLabel(QWidget *parent = nullptr);
    void setNormalColor(const QColor &color);
    void setHoverEmphasis(bool boldAndUnderline) { emphasis_ = boldAndUnderline; }
    bool hovered() const { return hovered_; }
    // The state the mouse leaves it in, also for tests that cannot move a real mouse.
    void setHovered(bool hovered);

Q_SIGNALS:
    void clicked();

protected:
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QColor normal_ = Qt::blue;
    bool emphasis_ = true;
    bool hovered_ = false;
};

// Places `link` in the blanks of `text` (widening the blanks to the link's width in the label's
// font), or right after the text when it has no blanks, on the same line.
void placeLink(QLabel *text, LinkLabel *link);

// A label drawn twice, for a shadow: once in its shadow colour shifted by an offset, then in its
// own colour on top.
class ShadowLabel : public QLabel {
    Q_OBJECT
public:
    explicit ShadowLabel(QWidget *parent = nullptr);
    void setShadow(const QColor &color, const QPoint &offset)
    {
        shadow_ = color;
        offset_ = offset;
        update();
    }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor shadow_ = QColor(192, 192, 192);
    QPoint offset_ = QPoint(1, 1);
};

// A picture that closes its window when clicked.
class PictureLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

Q_SIGNALS:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
};

} // namespace tolva
