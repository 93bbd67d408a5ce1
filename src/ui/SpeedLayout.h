// Sizes of the speed displays, in pixels, in one place.
//
// The window templates of the speed windows and the graph controls they host give no
// sizes of their own, so these are chosen here: the tachometer template is wide
// enough for the dial plus a band of hosted controls below it, the speed-curve window
// opens at its largest size with the graph filling it, and the start-up test's
// histogram control keeps the proportions of a dial-sized panel.
#pragma once

namespace speedlayout {

struct PixelSize {
    int width;
    int height;
};

// Both needle dials and the digital readout are drawn at this size.
inline constexpr int kDialSize = 300;

// The tachometer windows' template: dial 300 x 300 at (0, 0), hosted controls below.
inline constexpr PixelSize kTachometerTemplate{382, 400};
inline constexpr PixelSize kTachometerMinimum{250, 300};
inline constexpr PixelSize kTachometerMaximum{395, 432};

// The digital window shares the template but is fixed at this size.
inline constexpr PixelSize kDigitalFixed{382, 160};
// The readout's shown part and where the window paints it.
inline constexpr int kDigitalPaintX = 50;
inline constexpr int kDigitalPaintY = 30;

// The speed-curve window's template, and its graph control, which fills it.
inline constexpr int kGraphControlId = 1073;
inline constexpr PixelSize kGraphTemplate{708, 288};
inline constexpr PixelSize kGraphMinimum{350, 200};
inline constexpr PixelSize kGraphMaximum{708, 288};
inline constexpr PixelSize kGraphControl{708, 288};

// The start-up test dialog's histogram control.
inline constexpr int kHistogramControlId = 1072;
inline constexpr PixelSize kHistogramControl{420, 260};

// The width of the sizing border of the frameless speed windows.
inline constexpr int kBorderBand = 10;

}  // namespace speedlayout
