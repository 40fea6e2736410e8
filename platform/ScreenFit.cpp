#include "platform/ScreenFit.h"

#include <algorithm>
#include <array>

namespace ScreenFit {

QRect Place(const QSize& wanted, const QRect& available, const QMargins& frame) {
    const QSize room = available.marginsRemoved(frame).size();
    const QSize size = wanted.boundedTo(room);
    QRect outer(QPoint(), size.grownBy(frame));
    outer.moveCenter(available.center());
    return outer.marginsRemoved(frame);
}

QSize Bounded(const QSize& wanted, const QRect& available) {
    return wanted.boundedTo(available.marginsRemoved(kFrameAllowance).size());
}

} // namespace ScreenFit

namespace ScreenFit {

double Zoom(const QSize& room, const QSize& whole, double floor, int scrollBarExtent) {
    if (whole.isEmpty())
        return 1.0;
    const auto across = [&](int width) { return std::min(1.0, double(width) / whole.width()); };
    double zoom = across(room.width());
    if (whole.height() * zoom > room.height())
        zoom = across(room.width() - scrollBarExtent);
    return std::max(zoom, std::min(floor, 1.0));
}

} // namespace ScreenFit

namespace ScreenFit {

QList<QRect> Row(const QList<QSize>& sizes, int width, int spacing, int indent) {
    int across = spacing;
    for (const QSize& size : sizes)
        across += size.width() + spacing;
    QList<QRect> placed;
    int x = (indent + across <= width ? indent : 0) + spacing;
    int y = spacing;
    for (const QSize& size : sizes) {
        if (across <= width) {
            placed.append(QRect(QPoint(x, spacing), size));
            x += size.width() + spacing;
        } else {
            placed.append(QRect(spacing, y, std::max(1, width - 2 * spacing), size.height()));
            y += size.height() + spacing;
        }
    }
    return placed;
}

} // namespace ScreenFit

namespace ScreenFit {

double OneSizeSmaller(double points) {
    // The sizes font dialogs offer.
    static constexpr std::array<double, 18> sizes{6,  7,  8,  9,  10, 11, 12, 14, 16,
                                                  18, 20, 22, 24, 26, 28, 36, 48, 72};
    const auto larger = std::lower_bound(sizes.begin(), sizes.end(), points - 0.01);
    return larger == sizes.begin() ? 1.0 : *(larger - 1) / points;
}

} // namespace ScreenFit
