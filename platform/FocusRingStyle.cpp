#include "platform/FocusRingStyle.h"

#include <QApplication>
#include <QPainter>
#include <QStyleOptionButton>

#include <algorithm>
#include <cmath>

namespace {

double luminance(const QColor& colour) {
    auto channel = [](double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) +
           0.0722 * channel(colour.blueF());
}

double contrast(const QColor& a, const QColor& b) {
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

} // namespace

void FocusRingStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                                 const QWidget* widget) const {
    QProxyStyle::drawControl(element, option, painter, widget);
    const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
    if (element != CE_PushButton || !button || (button->features & QStyleOptionButton::Flat) ||
        !(option->state & State_HasFocus) || !(option->state & State_KeyboardFocusChange))
        return;
    // The focus colour where it stands out from the button's face (3:1), else the button's text
    // colour, as on the purple panels whose focus colour is a light yellow.
    const QPalette& colours = option->palette;
    const QColor face = colours.color(QPalette::Button);
    const QColor ring = contrast(colours.color(QPalette::Highlight), face) >= 3.0
                            ? colours.color(QPalette::Highlight)
                            : colours.color(QPalette::ButtonText);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(QPen(ring, 1));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(option->rect.adjusted(3, 3, -4, -4));
    painter->restore();
}

void UseFocusRingStyle() {
    if (qobject_cast<FocusRingStyle*>(QApplication::style()))
        return;
    // Built on the style the platform or the -style option chose.
    QApplication::setStyle(new FocusRingStyle(QApplication::style()->name()));
}
