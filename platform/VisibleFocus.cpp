#include "platform/VisibleFocus.h"

#include <QColor>
#include <QPalette>
#include <QWidget>

void PaintSurface(QWidget* surface, const QColor& background) {
    surface->setAutoFillBackground(true);
    QPalette colours = surface->palette();
    colours.setColor(QPalette::Window, background);
    if (background.lightnessF() < 0.5) {
        // A light yellow keeps 3:1 against the purple panels also where the style darkens it.
        colours.setColor(QPalette::Highlight, QColor(0xff, 0xe1, 0x4d));
        colours.setColor(QPalette::HighlightedText, Qt::black);
    }
    surface->setPalette(colours);
}
