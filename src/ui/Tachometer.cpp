#include "ui/Tachometer.h"

#include <algorithm>
#include <cmath>

namespace tachometer {

ScaleLayout LayoutFor(std::int32_t maximum) {
    ScaleLayout l;
    l.maximum = std::clamp<std::int32_t>(maximum, 0, kMaxMaximum);
    l.step = l.maximum <= 200 ? 10 : (l.maximum <= 2000 ? 100 : 1000);
    l.divisions = l.maximum / l.step + (l.maximum % l.step != 0 ? 1 : 0) + 1;
    l.fullScale = l.divisions * l.step;
    static constexpr struct {
        std::int32_t below;
        std::int32_t sweep;
    } kSweep[] = {{6, 180}, {9, 195}, {12, 210}, {15, 225}, {18, 240}, {21, 255}, {24, 270}, {27, 285}, {30, 300}};
    l.sweep = 315;
    for (const auto& row : kSweep) {
        if (l.divisions < row.below) {
            l.sweep = row.sweep;
            break;
        }
    }
    l.minorStep = l.fullScale <= 3 * l.step ? l.step / 10 : l.step / 5;
    return l;
}

namespace {

int Saturate(double v) {
    if (std::isnan(v)) return 0;
    return static_cast<int>(std::clamp(v, -1e6, 1e6));
}

double Radians(double degrees) { return (225.0 - degrees) / 180.0 * kPi; }

}  // namespace

QPoint PolarPoint(int r, double d, double theta) {
    return QPoint(Saturate(r + d * std::cos(theta)), Saturate(r - d * std::sin(theta)));
}

NeedlePoints NeedleGeometry(std::int32_t value, std::int32_t fullScale, std::int32_t sweep, std::int32_t overshoot,
                            int needleHeight, int r) {
    NeedlePoints n;
    if (fullScale > 0) {
        const double limit = static_cast<double>(fullScale) + overshoot / 2;
        const double shown = value > limit ? limit : static_cast<double>(value);
        n.angle = shown * sweep / fullScale;
    }
    const double theta = Radians(n.angle);
    const double half = static_cast<double>(CTachometer_RotationNeedle::kNeedleWidth) / 2;
    const double length = std::sqrt(static_cast<double>(needleHeight) * needleHeight + half * half);
    const double alpha = length > 0 ? std::acos(needleHeight / length) : 0;
    const double beta = -std::asin(1.0);
    const double h = length / 2;
    n.p0 = PolarPoint(r, h, theta + alpha);
    n.p1 = PolarPoint(r, h, theta - alpha);
    n.p2 = PolarPoint(r, 5, theta - beta);
    return n;
}

}  // namespace tachometer

// ---- base ---------------------------------------------------------------------------

int CTachometerImage::Create(gui::Handle window, int width, int height) {
    return MakeImage(window, width, height, 0x000000);
}

void CTachometerImage::SetSizes(gui::Handle window, int width, int height) {
    window_ = window;
    width_ = width;
    height_ = height;
    size_ = std::min(width, height);
    radius_ = size_ / 2;
}

int CTachometerImage::MakeImage(gui::Handle window, int width, int height, gui::ColourRef colour) {
    SetSizes(window, width, height);
    return image_.create(width, height, colour) ? 1 : 0;
}

int CTachometerImage::Fill(gui::ColourRef colour) {
    image_.fill(colour);
    return 1;
}

// ---- scale --------------------------------------------------------------------------

CTachometer_Scale::CTachometer_Scale(const QString& unit, std::int32_t initialStep)
    : font_(QStringLiteral("Arial"), 22, 700, true), unit_(unit) {
    layout_.step = initialStep;
}

int CTachometer_Scale::Create(gui::Handle window, int width, int height) {
    // White, as the dial's drawing starts.
    drawn_ = false;
    return MakeImage(window, width, height, 0xFFFFFF);
}

int CTachometer_Scale::SetMaximum(std::int32_t maximum) {
    const tachometer::ScaleLayout layout = tachometer::LayoutFor(maximum);
    if (ShowsLayout(layout)) return 1;
    layout_ = layout;
    drawn_ = false;
    return 1;
}

gui::Bitmap* CTachometer_Scale::GetDC() {
    if (!drawn_) DrawDial();
    return &image_;
}

const gui::Bitmap& CTachometer_Scale::Image() const {
    // Drawing a due dial changes nothing a reader could tell from its having been drawn
    // at SetMaximum.
    return *const_cast<CTachometer_Scale*>(this)->GetDC();
}

void CTachometer_Scale::DrawCentred(const QPoint& centre, const QString& text) {
    const QSize extent = font_.textExtent(text);
    image_.drawText(font_, QPoint(centre.x() - extent.width() / 2, centre.y() - extent.height() / 2), text, kGrey);
}

void CTachometer_Scale::DrawDial() {
    drawn_ = false;
    if (image_.isNull()) return;
    image_.fill(0xFFFFFF);
    const int r = radius_;
    const tachometer::ScaleLayout& l = layout_;
    const int minor = std::max(1, l.minorStep);
    for (std::int64_t v = 0; v <= l.fullScale; v += minor) {
        const double theta = (225.0 - static_cast<double>(v) * l.sweep / l.fullScale) / 180.0 * tachometer::kPi;
        const bool major = v % l.step == 0;
        const bool red = v > l.maximum;
        const QPoint outer = tachometer::PolarPoint(r, r - 5, theta);
        const QPoint inner = tachometer::PolarPoint(r, major ? r - 20 : r - 15, theta);
        const gui::Pen& pen = major ? (red ? thickRed_ : thickGrey_) : (red ? thinRed_ : thinGrey_);
        image_.drawLine(outer, inner, pen);
        const bool labelled = major && (l.fullScale < 15000 || v % (2 * static_cast<std::int64_t>(l.step)) == 0);
        if (labelled) DrawCentred(tachometer::PolarPoint(r, r - 35, theta), QString::number(v / l.step));
    }
    DrawCentred(QPoint(r, r + 30), QStringLiteral("\u00D7%1 %2").arg(l.step).arg(unit_.left(16)));
    drawn_ = true;
}

// ---- needle -------------------------------------------------------------------------

int CTachometer_Needle::Create(gui::Handle window, int width, int height) {
    const int made = CTachometerImage::Create(window, width, height);
    const double half = static_cast<double>(width) / 2;
    length_ = std::sqrt(static_cast<double>(height) * height + half * half);
    halfAngle_ = length_ > 0 ? std::acos(height / length_) : 0;
    baseAngle_ = -std::asin(1.0);
    return made;
}

CTachometer_RotationNeedle::CTachometer_RotationNeedle(std::int32_t overshoot) : overshoot_(overshoot) {}

int CTachometer_RotationNeedle::Create(gui::Handle window, int width, int height) {
    // White (what a needle is drawn over), so that the first drawing has nothing to
    // whiten.
    const int made = MakeImage(window, width, height, 0xFFFFFF);
    drawn_ = QRect();
    needle_.Create(window, kNeedleWidth, height);
    needle_.Fill(0xFFFFFF);
    const gui::Region shape(QPolygon({QPoint(8, 20), QPoint(2, height), QPoint(18, height), QPoint(11, 20)}));
    needle_.GetDC()->fillRegion(shape, 0x2020FF);
    needle_.GetDC()->frameRegion(shape, 0x0000FF, 2, 2);
    halfNeedle_ = needle_.Image().scaled(kNeedleWidth / 2, std::max(1, height / 2));
    return made;
}

int CTachometer_RotationNeedle::SetScale(const CTachometer_Scale* scale) {
    scale_ = scale;
    return scale != nullptr;
}

int CTachometer_RotationNeedle::SetValue(std::int32_t value) {
    value_ = value;
    return Redraw();
}

int CTachometer_RotationNeedle::Redraw() {
    // Only the last needle's box needs whitening: the rest is white already.
    image_.fillRect(drawn_, 0xFFFFFF);
    const std::int32_t full = scale_ != nullptr ? scale_->GetFullScale() : 0;
    const std::int32_t sweep = scale_ != nullptr ? scale_->GetSweepAngle() : 0;
    points_ = tachometer::NeedleGeometry(value_, full, sweep, overshoot_, needle_.GetHeight(), radius_);
    image_.rotatedCopy(halfNeedle_, halfNeedle_.rect(), points_.p0, points_.p1, points_.p2);
    const QPoint p3 = points_.p1 + points_.p2 - points_.p0;
    const int left = std::min({points_.p0.x(), points_.p1.x(), points_.p2.x(), p3.x()});
    const int right = std::max({points_.p0.x(), points_.p1.x(), points_.p2.x(), p3.x()});
    const int top = std::min({points_.p0.y(), points_.p1.y(), points_.p2.y(), p3.y()});
    const int bottom = std::max({points_.p0.y(), points_.p1.y(), points_.p2.y(), p3.y()});
    drawn_ = QRect(QPoint(left, top), QPoint(right, bottom)).intersected(image_.rect());
    return 1;
}

// ---- digital readout ----------------------------------------------------------------

CTachometer_DigitalScale::CTachometer_DigitalScale(const QString& unit, std::int32_t number)
    : font_(QStringLiteral("Arial"), 22, 700, true), unit_(unit), number_(number) {}

QString CTachometer_DigitalScale::Format(std::int32_t first, std::int32_t second, const QString& unit) {
    return QStringLiteral(" %1 %2                    %3 %2").arg(first).arg(unit).arg(second).left(52);
}

int CTachometer_DigitalScale::SetValues(std::int32_t first, std::int32_t second) {
    first_ = first;
    second_ = second;
    DrawText();
    return 1;
}

void CTachometer_DigitalScale::DrawText() {
    if (image_.isNull()) return;
    image_.fill(0xFFFFFF);
    const QString text = Text();
    const QSize extent = font_.textExtent(text);
    image_.drawText(font_, QPoint(130 - extent.width() / 2, 18 - extent.height() / 2), text, kOrange);
}

// ---- compositions -------------------------------------------------------------------

CTachometerFull::CTachometerFull(const QString& unit, std::int32_t overshoot)
    : scale_(unit, overshoot), needle_(overshoot) {}

int CTachometerFull::Create(gui::Handle window, int size) {
    window_ = window;
    width_ = height_ = size_ = size;
    radius_ = size / 2;
    made_ = false;
    scaleChanged_ = true;
    scale_.SetMaximum(0);
    needle_.SetScale(&scale_);
    return 1;
}

void CTachometerFull::Make() {
    if (made_) return;
    made_ = true;
    // The composition is the whole scale copied before anything reads it (see Compose):
    // its pixels are made then.
    MakeImage(window_, size_, size_, 0x000000);
    scale_.Create(window_, size_, size_);
    needle_.Create(window_, size_, size_);
    scaleChanged_ = true;
}

int CTachometerFull::SetFullScale(std::int32_t maximum) {
    Make();
    pending_ = false;
    laterMaximum_.reset();
    // The same scale again changes nothing under the needle's boxes: only they are
    // composed again.
    if (!scale_.ShowsLayout(tachometer::LayoutFor(maximum))) scaleChanged_ = true;
    scale_.SetMaximum(maximum);
    needle_.Redraw();
    return Compose();
}

int CTachometerFull::SetScaleMaximum(std::int32_t maximum) {
    // The needle's angle depends on the scale: a steady speed must show on the new one,
    // so this is a full-scale change like any other.
    return SetFullScale(maximum);
}

int CTachometerFull::SetFullScaleLater(std::int32_t maximum) {
    laterMaximum_ = maximum;
    pending_ = true;
    return 1;
}

int CTachometerFull::SetValue(std::int32_t value) {
    if (laterMaximum_ || !made_) {
        needle_.StoreValue(value);
        pending_ = true;
        return Refresh();
    }
    pending_ = false;
    needle_.SetValue(value);
    return Compose();
}

int CTachometerFull::SetValueLater(std::int32_t value) {
    needle_.StoreValue(value);
    pending_ = true;
    return 1;
}

int CTachometerFull::Refresh() {
    if (!pending_) return 1;
    if (laterMaximum_) return SetFullScale(*laterMaximum_);
    Make();
    pending_ = false;
    needle_.Redraw();
    return Compose();
}

int CTachometerFull::Compose() {
    Make();
    // Scale copied, needle ANDed over it. Outside the needle's box the needle image is
    // white, which an AND leaves alone: so only the old needle's box needs the scale
    // back, and only the new one the AND.
    const QRect all(0, 0, size_, size_);
    const QRect restore = scaleChanged_ ? all : composedNeedle_;
    image_.blockCopy(restore.topLeft(), scale_.Image(), restore);
    const QRect needle = needle_.Bounds().intersected(all);
    image_.blockCopy(needle.topLeft(), needle_.Image(), needle, gui::CopyMode::And);
    composedNeedle_ = needle;
    scaleChanged_ = false;
    return 1;
}

CTachometerDigitalFull::CTachometerDigitalFull(const QString& unit, std::int32_t number) : scale_(unit, number) {}

int CTachometerDigitalFull::Create(gui::Handle window, int size) {
    // Only a strip of the readout is ever shown: the images need be no larger.
    const int width = std::min(size, kShownWidth), height = std::min(size, kShownHeight);
    CTachometerImage::Create(window, width, height);
    scale_.Create(window, width, height);
    scale_.SetValues(0, 0);
    return 1;
}

int CTachometerDigitalFull::SetValues(std::int32_t first, std::int32_t second) {
    scale_.SetValues(first, second);
    return Compose();
}

int CTachometerDigitalFull::Compose() {
    image_.blockCopy(QPoint(0, 0), scale_.Image(), QRect(0, 0, kShownWidth, kShownHeight));
    return 1;
}
