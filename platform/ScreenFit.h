#pragma once

#include <QList>
#include <QMargins>
#include <QRect>

namespace ScreenFit {

// What a window manager's title bar and borders may add around a window's client area, assumed
// before the window is shown and its real frame is known.
inline constexpr QMargins kFrameAllowance{8, 40, 8, 8};

// The client area of a window that wants `wanted`: no larger than `available` less the frame,
// the frame included centred on `available`.
QRect Place(const QSize& wanted, const QRect& available, const QMargins& frame);

// `wanted`, made no larger than `available` less the frame allowance.
QSize Bounded(const QSize& wanted, const QRect& available);

} // namespace ScreenFit

namespace ScreenFit {

// The zoom that shows `whole` across `room`'s width, a vertical scroll bar of `scrollBarExtent`
// included where the zoomed height still exceeds the room; never above 1, never below `floor`.
double Zoom(const QSize& room, const QSize& whole, double floor, int scrollBarExtent);

// Places controls of the given sizes in a row `spacing` apart within `width`, right of `indent`
// where they fit there, or one below the other, each as wide as the room allows, where the row
// is too wide.
QList<QRect> Row(const QList<QSize>& sizes, int width, int spacing, int indent = 0);

} // namespace ScreenFit

namespace ScreenFit {

// The zoom that makes text of `points` one size smaller on the usual scale of font sizes
// (..., 8, 9, 10, 11, 12, 14, ...); 1 where there is no smaller size.
double OneSizeSmaller(double points);

} // namespace ScreenFit
