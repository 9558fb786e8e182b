#pragma once

#include <QWidget>

namespace tolva {

// The splash window shown while the program starts: a picture with a shadowed line across it.
class Tsbstart : public QWidget {
    Q_OBJECT
public:
    explicit Tsbstart(QWidget *parent = nullptr);
    static QString line() { return QStringLiteral("青禾软件开发中心为您服务"); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPixmap picture_;
};

} // namespace tolva
