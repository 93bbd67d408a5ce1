#include "ui/DisplayControls.h"

#include <QPainter>
#include <cmath>

#include "data/FormatConverter.h"
#include "platform/gui/Resources.h"
#include "platform/gui/SystemLook.h"
#include "surface/XmlControlConainer.h"

// ---- image ----------------------------------------------------------------------------

bool CDerivedImage::Load(gui::Window*, int resourceId)
{
    const QImage image = gui::loadBitmap(resourceId);
    if (image.isNull()) return false;
    bitmap_.image() = image.convertToFormat(QImage::Format_RGB32);
    width_ = bitmap_.width();
    height_ = bitmap_.height();
    loaded_ = true;
    return true;
}

bool CDerivedImage::Create(gui::Window*, int width, int height)
{
    width_ = width;
    height_ = height;
    if (!bitmap_.create(width, height)) return false;
    Fill(0);
    return true;
}

int CDerivedImage::ApplyMask(gui::ColourRef colour)
{
    bitmap_.applyMask(colour);
    return 1;
}

int CDerivedImage::Fill(gui::ColourRef colour)
{
    bitmap_.fillRect(QRect(0, 0, width_, height_), colour);
    return 1;
}

void CDerivedImage::Assign(const gui::Bitmap& bitmap)
{
    bitmap_ = bitmap;
    width_ = bitmap_.width();
    height_ = bitmap_.height();
    loaded_ = true;
}

// ---- label ----------------------------------------------------------------------------

CDerivedLabel::CDerivedLabel(gui::Window* parent, std::uint32_t id) : CDerivedControl(parent, id)
{
    SetKindNumber(kKindLabel);
    SetWindowClass("STATIC");
    SetCreateStyle(0);
}

int CDerivedLabel::SetValue(std::uint32_t value)
{
    value_ = value;
    const CXmlControlConainer* record = GetElement();
    if (record == nullptr) return 1;
    QString text;
    if (!record->GetGuiFormat().empty()) {
        auto converter = CViewConverterFactory::GetInstance().CreateConverter(record->GetGuiFormat());
        if (converter == nullptr) return 1;  // "frequency", "volt", ...: the text stays
        const char* formatted = converter->Format(value_, record->GetBitLength());
        text = QString::fromLatin1(formatted != nullptr ? formatted : "").left(31);
    } else {
        text = QStringLiteral("%1").arg(value_, 4, 16, QLatin1Char('0'));
    }
    if (exists()) setText(text);
    return 1;
}

// ---- colour label ---------------------------------------------------------------------

CDerivedColorLabel::CDerivedColorLabel(gui::Window* parent, std::uint32_t id) : CDerivedControl(parent, id)
{
    SetKindNumber(kKindLabel);
    SetWindowClass("STATIC");
    SetCreateStyle(gui::style::OwnerDraw);
}

int CDerivedColorLabel::AddColorStop(gui::ColourRef colour, std::int32_t percent)
{
    stops_.push_back({percent, colour});
    return 1;
}

int CDerivedColorLabel::CreateRegions()
{
    const int w = clientRect().width();
    const int h = clientRect().height();
    wedge_ = gui::Region(QPolygon({QPoint(0, h - 2), QPoint(w, 0), QPoint(w, h), QPoint(0, h)}));
    corner_ = gui::Region(QPolygon({QPoint(0, 0), QPoint(0, h - 2), QPoint(w, 0)}));
    if (exists()) setRegion(wedge_);
    return 1;
}

int CDerivedColorLabel::RenderGradient()
{
    const int w = clientRect().width();
    const int h = clientRect().height();
    image_.Create(this, w, h);
    gui::Bitmap& bitmap = image_.GetDC();
    for (std::size_t i = 1; i < stops_.size(); ++i) {
        const Stop& a = stops_[i - 1];
        const Stop& b = stops_[i];
        const int x1 = static_cast<int>(static_cast<std::int64_t>(w) * a.percent / 100);
        const int x2 = static_cast<int>(static_cast<std::int64_t>(w) * b.percent / 100);
        bitmap.gradientFillH(x1, 0, x2, h, a.colour, b.colour);
    }
    bitmap.fillRegion(corner_, gui::systemLook().colour(gui::SysColour::ButtonFace));
    invalidate();
    return 1;
}

bool CDerivedColorLabel::onPaint(QPainter& painter)
{
    painter.drawImage(QPoint(0, 0), image_.GetDC().image());
    return true;
}

// ---- frame ----------------------------------------------------------------------------

CDerivedFrame::CDerivedFrame(gui::Window* parent, std::uint32_t id) : CDerivedControl(parent, id)
{
    SetKindNumber(kKindLabel);
    SetWindowClass("BUTTON");
    SetCreateStyle(0);
}

void CDerivedFrame::onCreate() { setMouseTransparent(true); }

int CDerivedFrame::SetValue(std::uint32_t value)
{
    value_ = value;
    return 1;
}

gui::ColourRef CDerivedFrame::GetTextBrush(gui::ColourQuery& answer) const
{
    answer.text = gui::toQColor(kTextColour);
    return kTextColour;
}

// ---- image label ----------------------------------------------------------------------

CDerivedImageLabel::CDerivedImageLabel(gui::Window* parent, std::uint32_t id) : CDerivedControl(parent, id)
{
    SetKindNumber(kKindLabel);
    SetWindowClass("STATIC");
    SetCreateStyle(gui::style::OwnerDraw);
}

gui::Bitmap CDerivedImageLabel::DrawLamp()
{
    // A white disc shaded towards its lower right, with a highlight upper left, on black
    // (black stays out of an OR): tinting it gives a lit lamp of the tint's colour.
    gui::Bitmap lamp(kLampSize, kLampSize);
    const double c = (kLampSize - 1) / 2.0;
    const double radius = kLampSize / 2.0 - 1.0;
    for (int y = 0; y < kLampSize; ++y) {
        for (int x = 0; x < kLampSize; ++x) {
            const double d = std::hypot(x - c, y - c);
            if (d > radius) continue;
            const double light = std::hypot(x - (c - 3), y - (c - 3)) / (radius * 1.6);
            const int level = static_cast<int>(255 - std::min(1.0, light) * 120 - (d > radius - 1 ? 60 : 0));
            lamp.setPixel(x, y, gui::colourRef(level, level, level));
        }
    }
    return lamp;
}

gui::Bitmap CDerivedImageLabel::DrawLampMask()
{
    gui::Bitmap mask(kLampSize, kLampSize);
    mask.fill(0xFFFFFF);
    const double c = (kLampSize - 1) / 2.0;
    const double radius = kLampSize / 2.0 - 1.0;
    for (int y = 0; y < kLampSize; ++y) {
        for (int x = 0; x < kLampSize; ++x) {
            if (std::hypot(x - c, y - c) <= radius) mask.setPixel(x, y, 0);
        }
    }
    return mask;
}

void CDerivedImageLabel::onCreate()
{
    // The lamp and its mask are drawn here rather than shipped as bitmaps; every lamp is
    // the same drawing, made once and shared (copied only if drawn on).
    static const gui::Bitmap lamp = DrawLamp();
    static const gui::Bitmap mask = DrawLampMask();
    lamp_.Assign(lamp);
    mask_.Assign(mask);
    on_.Create(this, kLampSize, kLampSize);
    off_.Create(this, kLampSize, kLampSize);
    ComposeLamp();
}

int CDerivedImageLabel::ComposeLamp()
{
    const QRect source(0, 0, lamp_.GetWidth(), lamp_.GetHeight());
    on_.GetDC().blockCopy(QPoint(0, 0), lamp_.GetDC(), source);
    off_.GetDC().blockCopy(QPoint(0, 0), lamp_.GetDC(), source);
    return 1;
}

int CDerivedImageLabel::SetLampColours(gui::ColourRef onColour, gui::ColourRef offColour)
{
    onColour_ = onColour;
    offColour_ = offColour;
    ComposeLamp();  // tints start from the plain drawing, so colours can change again
    on_.ApplyMask(onColour);
    off_.ApplyMask(offColour);
    if (exists()) invalidate();
    return 1;
}

int CDerivedImageLabel::PaintLamp(gui::Bitmap& target) const
{
    const QRect area(0, 0, mask_.GetWidth(), mask_.GetHeight());
    target.blockCopy(QPoint(0, 0), mask_.GetDC(), area, gui::CopyMode::And);
    target.blockCopy(QPoint(0, 0), (value_ != 0 ? on_ : off_).GetDC(), area, gui::CopyMode::Or);
    return 1;
}

int CDerivedImageLabel::SetValue(std::uint32_t value)
{
    if (!exists()) return 0;
    value_ = value;
    invalidate();
    return 1;
}

int CDerivedImageLabel::Synchronize(CDerivedControl* other)
{
    if (other == this) return 1;
    SetValue(other != nullptr ? other->GetValue() : GetValue());
    return 1;
}

bool CDerivedImageLabel::onPaint(QPainter& painter)
{
    // Only the disc: around it the background shows, as the mask leaves it.
    gui::paintMasked(painter, QPoint(0, 0), mask_.GetDC(), (value_ != 0 ? on_ : off_).GetDC());
    return true;
}
