#pragma once

#include "funnel/ConnectorArrow.h"

#include <QWidget>

// The arrow between two funnel items: dark green to the next upsell, red down to a downsell. It
// draws the arrow it is given and covers just that, in its parent's coordinates.
class ConnectorPicture final : public QWidget {
    Q_OBJECT

public:
    enum class Kind { Upsell, Downsell };
    ConnectorPicture(Kind kind, QWidget* parent = nullptr);

    void Place(const ConnectorArrow& arrow);
    const ConnectorArrow& arrow() const { return m_arrow; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_colour;
    ConnectorArrow m_arrow;
};
