#pragma once

#include <QProxyStyle>

// The platform's style, with a ring inside every push button that holds the keyboard focus:
// styles such as Fusion mark the focused button and the default button with the same outline,
// so Tab to a dialog's default button changed nothing on the screen.
class FocusRingStyle final : public QProxyStyle {
    Q_OBJECT

public:
    using QProxyStyle::QProxyStyle;

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
};

// Puts the ring on the application's current style, once.
void UseFocusRingStyle();
