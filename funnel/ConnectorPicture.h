#pragma once

#include <QLabel>

// The 30 by 40 pixel arrow between two funnel items: dark green to the next upsell, red down
// to a downsell.
class ConnectorPicture final : public QLabel {
    Q_OBJECT

public:
    enum class Kind { Upsell, Downsell };
    ConnectorPicture(Kind kind, QWidget* parent = nullptr);
};
