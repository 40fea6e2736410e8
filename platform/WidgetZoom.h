#pragma once

#include <QFont>
#include <QRect>
#include <QSize>
#include <QVector>

class QWidget;

// Zooms a panel of placed controls: every control's place, size and font are scaled from what
// they were when the zoom was made, so the layout keeps its proportions at any zoom.
class WidgetZoom final {
public:
    explicit WidgetZoom(QWidget* root);

    // Places and sizes every control for `zoom`; the root's own size is the caller's.
    void Apply(double zoom);
    double zoom() const { return m_zoom; }
    QSize BaseSize() const { return m_baseSize; }

    static QRect Scaled(const QRect& base, double zoom);

private:
    struct Placed {
        QWidget* widget;
        QRect geometry;
        QFont font;
    };
    void Record(QWidget* parent);

    QWidget* m_root;
    QSize m_baseSize;
    QVector<Placed> m_placed;
    double m_zoom = 1.0;
};
