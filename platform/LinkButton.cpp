#include "platform/LinkButton.h"

LinkButton::LinkButton(const QString& text, const QColor& colour, Qt::Alignment alignment, QWidget* parent)
    : QPushButton(text, parent) {
    setFlat(true);
    // Enter presses it, as Space does.
    setAutoDefault(true);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    // A frame in the link's own colour shows where the focus is, as clearly as the link's text
    // stands out from its panel; without the focus the frame is invisible.
    setStyleSheet(
        QStringLiteral("QPushButton { color: %1; text-decoration: underline; background: transparent;"
                       " border: 2px solid transparent; padding: 0px; text-align: %2; }"
                       "QPushButton:focus { border-color: %1; }")
            .arg(colour.name(), alignment & Qt::AlignRight     ? QStringLiteral("right")
                                : alignment & Qt::AlignHCenter ? QStringLiteral("center")
                                                               : QStringLiteral("left")));
}
