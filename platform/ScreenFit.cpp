#include "platform/ScreenFit.h"

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
