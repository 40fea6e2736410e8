#include "funnel/ConnectorPicture.h"

#include <QPainter>
#include <QPolygonF>

ConnectorPicture::ConnectorPicture(Kind kind, QWidget* parent)
    : QWidget(parent)
    , m_colour(kind == Kind::Upsell ? QColor(0, 100, 0) : QColor(200, 0, 0)) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void ConnectorPicture::Place(const ConnectorArrow& arrow) {
    m_arrow = arrow;
    setGeometry(arrow.Bounds().toAlignedRect());
    update();
}

void ConnectorPicture::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_colour);
    painter.translate(-pos());
    painter.drawPolygon(QPolygonF(m_arrow.Outline()));
}
