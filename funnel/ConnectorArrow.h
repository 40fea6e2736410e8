#pragma once

#include <QList>
#include <QPointF>
#include <QRectF>

// The thick arrow that joins one funnel item's panel to the next, worked out from where the panels
// are: it crosses the gap between them in a straight line, its tail on the first panel's edge and
// its tip on the second's, so it keeps its head and its line at any zoom.
struct ConnectorArrow {
    QPointF tail;
    QPointF tip;
    double shaftWidth = 0;
    double headWidth = 0;
    double headLength = 0;

    // Joins `from` to `to`, which lies to its right or below it; `scale` sizes the arrow as the
    // panels are sized. Empty where the panels leave no gap.
    static ConnectorArrow Between(const QRectF& from, const QRectF& to, double scale);

    bool isEmpty() const { return tail == tip; }
    // The corners of the outline, from the tail round the head and back.
    QList<QPointF> Outline() const;
    QRectF Bounds() const;
};
