#include "funnel/ConnectorPicture.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

ConnectorPicture::ConnectorPicture(Kind kind, QWidget* parent)
    : QLabel(parent) {
    QPixmap picture(30, 40);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath arrow;
    if (kind == Kind::Upsell) {
        // A thick arrow pointing right, to the next upsell.
        arrow.moveTo(1, 14);
        arrow.lineTo(16, 14);
        arrow.lineTo(16, 6);
        arrow.lineTo(29, 20);
        arrow.lineTo(16, 34);
        arrow.lineTo(16, 26);
        arrow.lineTo(1, 26);
        painter.setBrush(QColor(0, 100, 0));
    } else {
        // A thick arrow pointing down, to the downsell.
        arrow.moveTo(9, 1);
        arrow.lineTo(21, 1);
        arrow.lineTo(21, 22);
        arrow.lineTo(29, 22);
        arrow.lineTo(15, 39);
        arrow.lineTo(1, 22);
        arrow.lineTo(9, 22);
        painter.setBrush(QColor(200, 0, 0));
    }
    arrow.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.drawPath(arrow);
    painter.end();
    setPixmap(picture);
}
