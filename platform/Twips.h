#pragma once

#include <QRect>

// Window layouts are given in twips; 15 twips make one device-independent pixel.
constexpr int TwipsToPixels(int twips) {
    return (twips + 7) / 15;
}

inline QRect Twips(int left, int top, int width, int height) {
    return {TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width), TwipsToPixels(height)};
}
