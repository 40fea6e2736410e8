#include "funnel/ConnectorArrow.h"

#include <QLineF>

#include <algorithm>
#include <cmath>

namespace {

// The arrow's proportions at a zoom of 1, in pixels.
constexpr double kShaftWidth = 12;
constexpr double kHeadWidth = 28;
constexpr double kHeadLength = 16;
// The head never takes more of the gap than this, so some shaft always shows.
constexpr double kMostHead = 0.6;

// The middle of what two ranges share, placed so that a line `width` thick across it has its
// edges on whole pixels and draws sharp.
double sharedMiddle(double start1, double end1, double start2, double end2, double width) {
    const double middle = (std::max(start1, start2) + std::min(end1, end2)) / 2;
    return std::round(middle - width / 2) + width / 2;
}

} // namespace

ConnectorArrow ConnectorArrow::Between(const QRectF& from, const QRectF& to, double scale) {
    ConnectorArrow arrow;
    arrow.shaftWidth = std::max(2.0, std::round(kShaftWidth * scale));
    arrow.headWidth = std::max(arrow.shaftWidth + 4, std::round(kHeadWidth * scale));
    if (to.left() > from.right()) {
        const double y = sharedMiddle(from.top(), from.bottom(), to.top(), to.bottom(), arrow.shaftWidth);
        arrow.tail = QPointF(from.right(), y);
        arrow.tip = QPointF(to.left(), y);
    } else if (to.top() > from.bottom()) {
        const double x = sharedMiddle(from.left(), from.right(), to.left(), to.right(), arrow.shaftWidth);
        arrow.tail = QPointF(x, from.bottom());
        arrow.tip = QPointF(x, to.top());
    } else {
        return {};
    }
    arrow.headLength = std::min(kHeadLength * scale, QLineF(arrow.tail, arrow.tip).length() * kMostHead);
    return arrow;
}

QList<QPointF> ConnectorArrow::Outline() const {
    if (isEmpty())
        return {};
    const QLineF line(tail, tip);
    const QPointF along = (tip - tail) / line.length();
    const QPointF across(-along.y(), along.x());
    const QPointF neck = tip - along * headLength;
    const QPointF shaft = across * (shaftWidth / 2);
    const QPointF head = across * (headWidth / 2);
    return {tail + shaft, neck + shaft, neck + head, tip, neck - head, neck - shaft, tail - shaft};
}

QRectF ConnectorArrow::Bounds() const {
    const QList<QPointF> corners = Outline();
    if (corners.isEmpty())
        return {};
    QPointF least = corners.first();
    QPointF most = least;
    for (const QPointF& corner : corners) {
        least = QPointF(std::min(least.x(), corner.x()), std::min(least.y(), corner.y()));
        most = QPointF(std::max(most.x(), corner.x()), std::max(most.y(), corner.y()));
    }
    return QRectF(least, most);
}
