#pragma once

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
