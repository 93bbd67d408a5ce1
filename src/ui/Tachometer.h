// Tachometer images: a dial scale, a needle image rotated onto the dial, a two-number
// digital readout, and the two compositions the speed windows show (CTachometerFull:
// scale copied, needle ANDed over it; CTachometerDigitalFull: a 270 x 40 part of the
// readout).
//
// Each image owns its bitmap; a composition owns its parts. A value change redraws
// only the needle (or the readout text) and recomposes; the dial itself is redrawn
// only when its maximum changes. GUI thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "platform/gui/Drawing.h"
#include "platform/gui/Messages.h"

namespace tachometer {
// The angle arithmetic uses single-precision pi, as the dial's geometry was made with.
inline constexpr double kPi = 3.1415927410125732;
// Maxima are kept within 0..kMaxMaximum: a negative one would give no full scale to
// divide by, a huge one millions of ticks.
inline constexpr std::int32_t kMaxMaximum = 1000000;

struct ScaleLayout {
    std::int32_t maximum = 0;
    std::int32_t step = 0;       // major step
    std::int32_t divisions = 0;  // n: full scale / step
    std::int32_t fullScale = 0;
    std::int32_t sweep = 0;  // degrees
    std::int32_t minorStep = 0;
    bool operator==(const ScaleLayout&) const = default;
};
// Step, full scale, sweep and minor step for a maximum (clamped as above).
ScaleLayout LayoutFor(std::int32_t maximum);

// The point at distance d from the centre (r, r) at angle theta (radians), truncated.
QPoint PolarPoint(int r, double d, double theta);

struct NeedlePoints {
    QPoint p0, p1, p2;  // upper left, upper right, lower left of the needle image
    double angle = 0;   // degrees of sweep
};
// Where the needle image goes for a value. needleHeight is the needle image's height
// (the dial size), r the dial's radius; overshoot is N.
NeedlePoints NeedleGeometry(std::int32_t value, std::int32_t fullScale, std::int32_t sweep, std::int32_t overshoot,
                            int needleHeight, int r);
}  // namespace tachometer

class CTachometerImage {
public:
    virtual ~CTachometerImage() = default;
    CTachometerImage() = default;
    CTachometerImage(const CTachometerImage&) = delete;
    CTachometerImage& operator=(const CTachometerImage&) = delete;

    gui::Bitmap* GetDC() { return &image_; }
    const gui::Bitmap& Image() const { return image_; }
    // Stores the sizes and makes a black bitmap; 0 for a size that is not positive.
    virtual int Create(gui::Handle window, int width, int height);
    int GetWidth() const { return width_; }
    int GetHeight() const { return height_; }
    int Fill(gui::ColourRef colour);

protected:
    // Stores the sizes and makes the bitmap filled with the colour.
    int MakeImage(gui::Handle window, int width, int height, gui::ColourRef colour);
    void SetSizes(gui::Handle window, int width, int height);

    gui::Handle window_ = 0;
    gui::Bitmap image_;
    int width_ = 0;
    int height_ = 0;
    int size_ = 0;
    int radius_ = 0;
};

class CTachometer_Scale : public CTachometerImage {
public:
    static constexpr gui::ColourRef kGrey = 0xC0C0C0;
    static constexpr gui::ColourRef kRed = 0x2020FF;

    CTachometer_Scale(const QString& unit, std::int32_t initialStep);
    int Create(gui::Handle window, int width, int height) override;
    // Recomputes step, full scale and sweep. The dial is drawn when its image is first
    // asked for (a scale set again before anyone looks is never drawn); a dial that
    // already shows that layout is left as it is (the drawing would be the same).
    int SetMaximum(std::int32_t maximum);
    // The layout the image shows, if any.
    bool ShowsLayout(const tachometer::ScaleLayout& layout) const { return drawn_ && layout_ == layout; }
    // The dial for the present maximum, drawn now if it is due.
    gui::Bitmap* GetDC();
    const gui::Bitmap& Image() const;
    std::int32_t GetSweepAngle() const { return layout_.sweep; }
    std::int32_t GetFullScale() const { return layout_.fullScale; }
    const tachometer::ScaleLayout& Layout() const { return layout_; }

private:
    void DrawDial();
    void DrawCentred(const QPoint& centre, const QString& text);

    gui::Pen thickGrey_{kGrey, 3};
    gui::Pen thinGrey_{kGrey, 1};
    gui::Pen thickRed_{kRed, 3};
    gui::Pen thinRed_{kRed, 1};
    gui::Font font_;
    tachometer::ScaleLayout layout_;
    QString unit_;
    bool drawn_ = false;  // the image shows layout_
};

class CTachometer_Needle : public CTachometerImage {
public:
    int Create(gui::Handle window, int width, int height) override;
    double GetLength() const { return length_; }
    double GetHalfAngle() const { return halfAngle_; }
    double GetBaseAngle() const { return baseAngle_; }

private:
    double length_ = 0;
    double halfAngle_ = 0;
    double baseAngle_ = 0;
};

class CTachometer_RotationNeedle : public CTachometerImage {
public:
    static constexpr int kNeedleWidth = 20;

    explicit CTachometer_RotationNeedle(std::int32_t overshoot);
    // Its own image, then a needle image 20 wide and `height` tall with the needle shape.
    int Create(gui::Handle window, int width, int height) override;
    int SetScale(const CTachometer_Scale* scale);
    int SetValue(std::int32_t value);
    // Stores the value for a later Redraw.
    void StoreValue(std::int32_t value) { value_ = value; }
    int Redraw();
    // Where the last needle was drawn: outside it the image is white.
    const QRect& Bounds() const { return drawn_; }
    std::int32_t GetValue() const { return value_; }
    const tachometer::NeedlePoints& LastPoints() const { return points_; }
    const CTachometer_Needle& Needle() const { return needle_; }

private:
    const CTachometer_Scale* scale_ = nullptr;
    CTachometer_Needle needle_;
    // The needle at the half size the dial shows it at, averaged once, so that each
    // redraw samples every pixel once.
    gui::Bitmap halfNeedle_;
    std::int32_t value_ = 0;
    std::int32_t overshoot_ = 0;
    tachometer::NeedlePoints points_;
    QRect drawn_;
};

class CTachometer_DigitalScale : public CTachometerImage {
public:
    static constexpr gui::ColourRef kOrange = 0x0066FF;

    CTachometer_DigitalScale(const QString& unit, std::int32_t number);
    int SetValues(std::int32_t first, std::int32_t second);
    // " %d %s" + 20 spaces + "%d %s", at most 52 characters.
    static QString Format(std::int32_t first, std::int32_t second, const QString& unit);
    QString Text() const { return Format(first_, second_, unit_); }

private:
    void DrawText();

    gui::Font font_;
    std::int32_t first_ = 0;
    std::int32_t second_ = 0;
    QString unit_;
    std::int32_t number_ = 0;  // kept, not shown
};

class CTachometerFull : public CTachometerImage {
public:
    CTachometerFull(const QString& unit, std::int32_t overshoot);
    using CTachometerImage::Create;
    // Image, scale and needle, each size x size; maximum 0. The images are made when
    // the dial is first drawn: a dial kept out of sight never needs them.
    int Create(gui::Handle window, int size);
    int SetFullScale(std::int32_t maximum);  // redraws the needle too
    // A dial nobody looks at: the scale is kept and drawn at the next Refresh (or the
    // next value set), with the needle's value on it.
    int SetFullScaleLater(std::int32_t maximum);
    int SetScaleMaximum(std::int32_t maximum);  // the needle keeps its value, on the new scale
    int SetValue(std::int32_t value);
    // A dial nobody looks at: the value is kept and drawn at the next Refresh.
    int SetValueLater(std::int32_t value);
    // Draws what SetValueLater and SetFullScaleLater kept; nothing when there is none.
    int Refresh();
    int Compose();
    // The composed image already shows this value on the present scale.
    bool Shows(std::int32_t value) const { return made_ && !pending_ && !scaleChanged_ && needle_.GetValue() == value; }
    const CTachometer_Scale& Scale() const { return scale_; }
    const CTachometer_RotationNeedle& Needle() const { return needle_; }

private:
    void Make();  // the images, once

    CTachometer_Scale scale_;
    CTachometer_RotationNeedle needle_;
    bool made_ = false;
    bool pending_ = false;
    std::optional<std::int32_t> laterMaximum_;
    // Where the composed image holds a needle; everything else is the scale, unless
    // the scale changed since (then the whole image is composed again).
    QRect composedNeedle_;
    bool scaleChanged_ = true;
};

class CTachometerDigitalFull : public CTachometerImage {
public:
    static constexpr int kShownWidth = 270;
    static constexpr int kShownHeight = 40;

    CTachometerDigitalFull(const QString& unit, std::int32_t number);
    using CTachometerImage::Create;
    // Image and readout for a size x size dial, of which kShownWidth x kShownHeight at
    // the top left shows (only that part is made).
    int Create(gui::Handle window, int size);
    int SetValues(std::int32_t first, std::int32_t second);
    int Compose();
    const CTachometer_DigitalScale& Display() const { return scale_; }

private:
    CTachometer_DigitalScale scale_;
};
