#include "platform/WidgetZoom.h"

#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLineEdit>
#include <QWidget>

#include <cmath>

WidgetZoom::WidgetZoom(QWidget* root)
    : m_root(root)
    , m_baseSize(root->size()) {
    Record(root);
}

void WidgetZoom::Record(QWidget* parent) {
    for (QObject* child : parent->children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        // Pop-ups are windows of their own; a compound control places its own parts.
        if (!widget || widget->isWindow())
            continue;
        m_placed.append({widget, widget->geometry(), widget->font()});
        if (!qobject_cast<QComboBox*>(widget) && !qobject_cast<QLineEdit*>(widget) &&
            !qobject_cast<QAbstractSpinBox*>(widget) && !qobject_cast<QAbstractScrollArea*>(widget))
            Record(widget);
    }
}

QRect WidgetZoom::Scaled(const QRect& base, double zoom) {
    // Edges are rounded, not sizes, so neighbours that touched still touch.
    const auto at = [zoom](int v) { return int(std::lround(v * zoom)); };
    return QRect(QPoint(at(base.left()), at(base.top())),
                 QPoint(at(base.left() + base.width()) - 1, at(base.top() + base.height()) - 1));
}

void WidgetZoom::Apply(double zoom) {
    const bool newFonts = zoom != m_zoom;
    m_zoom = zoom;
    for (const Placed& placed : m_placed) {
        if (newFonts && placed.font.pointSizeF() > 0) {
            QFont font = placed.font;
            font.setPointSizeF(placed.font.pointSizeF() * zoom);
            placed.widget->setFont(font);
        }
        placed.widget->setGeometry(Scaled(placed.geometry, zoom));
    }
}
