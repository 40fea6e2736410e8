#pragma once

class QColor;
class QWidget;

// Fills `surface` with `background` and gives the controls on it focus frames (and selections)
// in a colour that stands out from that background: the style draws both in the palette's
// highlight, whose usual blue is faint on dark colours.
void PaintSurface(QWidget* surface, const QColor& background);
