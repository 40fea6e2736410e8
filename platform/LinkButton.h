#pragma once

#include <QPushButton>

// A button that looks like a link: flat, coloured and underlined, with a pointing hand. Unlike a
// link in a label it takes the focus, so Tab reaches it and Space or Enter presses it.
class LinkButton final : public QPushButton {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LinkButton)

public:
    LinkButton(const QString& text, const QColor& colour, Qt::Alignment alignment, QWidget* parent = nullptr);
};
