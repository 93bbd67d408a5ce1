// Colours as the system writes them: 0x00BBGGRR, red in the low byte.
#pragma once

#include <QColor>
#include <cstdint>

namespace gui {

using ColourRef = std::uint32_t;

constexpr ColourRef colourRef(int r, int g, int b) {
    return static_cast<ColourRef>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int redOf(ColourRef c) { return static_cast<int>(c & 0xFF); }
constexpr int greenOf(ColourRef c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int blueOf(ColourRef c) { return static_cast<int>((c >> 16) & 0xFF); }

// The same colour as an opaque 0xAARRGGBB pixel of an RGB32 image.
constexpr std::uint32_t pixelFromColourRef(ColourRef c) {
    return 0xFF000000u | (static_cast<std::uint32_t>(redOf(c)) << 16) |
           (static_cast<std::uint32_t>(greenOf(c)) << 8) | static_cast<std::uint32_t>(blueOf(c));
}
constexpr ColourRef colourRefFromPixel(std::uint32_t p) {
    return colourRef(static_cast<int>((p >> 16) & 0xFF), static_cast<int>((p >> 8) & 0xFF),
                     static_cast<int>(p & 0xFF));
}

inline QColor toQColor(ColourRef c) { return QColor(redOf(c), greenOf(c), blueOf(c)); }
inline ColourRef fromQColor(const QColor& c) { return colourRef(c.red(), c.green(), c.blue()); }

}  // namespace gui
