// The display-only controls of a device page (kind number 1) and the off-screen image
// they draw with:
//
// - CDerivedLabel: text showing a stored value through a view converter named by its
//   record ("binary", "hex", "bcd"), or as four hexadecimal digits.
// - CDerivedColorLabel: a wedge-shaped bar painted with a horizontal gradient through
//   colour stops.
// - CDerivedFrame: a group box with light-green text that lets the mouse through.
// - CDerivedImageLabel: a 20 by 20 pixel lamp showing one of two colours by its value.
// - CDerivedImage: a memory bitmap, loaded from a bitmap resource or made blank, that can
//   be tinted and filled.
//
// GUI thread only.
#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/gui/Colour.h"
#include "platform/gui/Controls.h"
#include "platform/gui/Drawing.h"
#include "ui/DerivedControl.h"

// A memory bitmap that a control draws from.
class CDerivedImage {
public:
    CDerivedImage() = default;
    virtual ~CDerivedImage() = default;

    gui::Bitmap& GetDC() { return bitmap_; }
    const gui::Bitmap& GetDC() const { return bitmap_; }
    // The program's bitmap resource; false when it has none of that id.
    virtual bool Load(gui::Window* window, int resourceId);
    // A black bitmap; false for a size that is not positive.
    virtual bool Create(gui::Window* window, int width, int height);
    virtual int GetWidth() const { return width_; }
    virtual int GetHeight() const { return height_; }
    // Every pixel ANDed with the colour (tints a white drawing). 1.
    virtual int ApplyMask(gui::ColourRef colour);
    // Fills the whole bitmap. 1.
    virtual int Fill(gui::ColourRef colour);
    // Takes a bitmap drawn elsewhere (the lamp and its mask are drawn in code).
    void Assign(const gui::Bitmap& bitmap);
    bool IsLoaded() const { return loaded_; }

private:
    gui::Bitmap bitmap_;
    int width_ = 0;
    int height_ = 0;
    bool loaded_ = false;
};

class CDerivedLabel : public CDerivedControl, public gui::StaticText {
public:
    CDerivedLabel(gui::Window* parent, std::uint32_t id);

    // Without a record the text stays. With one: its `gui_format` converter's text of
    // the value over `bitlength` digits (a format without a converter keeps the text),
    // or "%04x" of the value when it names no format. 1.
    int SetValue(std::uint32_t value) override;
    std::uint32_t GetValue() const override { return value_; }
    int Reserved() { return 1; }

private:
    std::uint32_t value_ = 0;
};

class CDerivedColorLabel : public CDerivedControl, public gui::StaticText {
public:
    CDerivedColorLabel(gui::Window* parent, std::uint32_t id);

    // One stop of the gradient, in the order the bands are painted. 1.
    int AddColorStop(gui::ColourRef colour, std::int32_t percent);
    // The wedge below the line from the lower left to the upper right corner becomes the
    // window's shape. 1.
    int CreateRegions();
    // Paints the bands between neighbouring stops, then the corner above the wedge in
    // the button-face colour. 1.
    int RenderGradient();
    const CDerivedImage& GetImage() const { return image_; }

protected:
    bool onPaint(QPainter& painter) override;

private:
    struct Stop {
        std::int32_t percent;
        gui::ColourRef colour;
    };
    CDerivedImage image_;
    gui::Region wedge_;
    gui::Region corner_;
    std::vector<Stop> stops_;
};

class CDerivedFrame : public CDerivedControl, public gui::GroupBox {
public:
    static constexpr gui::ColourRef kTextColour = 0x80FF40;

    CDerivedFrame(gui::Window* parent, std::uint32_t id);

    int SetValue(std::uint32_t value) override;
    std::uint32_t GetValue() const override { return value_; }
    int Reserved() { return 1; }
    // The frame's text colour, for the page's answer to its colour query; the brush
    // colour is returned.
    gui::ColourRef GetTextBrush(gui::ColourQuery& answer) const;
    // A frame takes no keys.
    bool wantsAllKeys() const override { return false; }

protected:
    void onCreate() override;

private:
    std::uint32_t value_ = 0;
};

// A lamp: the on colour for a non-zero value, the off colour for 0.
class CDerivedImageLabel : public CDerivedControl, public gui::StaticText {
public:
    static constexpr int kLampSize = 20;

    CDerivedImageLabel(gui::Window* parent, std::uint32_t id);

    // 0 without a window; else keeps the value and repaints. 1.
    int SetValue(std::uint32_t value) override;
    std::uint32_t GetValue() const override { return value_; }
    int Synchronize(CDerivedControl* other) override;

    // Tints the on and off images. 1.
    int SetLampColours(gui::ColourRef onColour, gui::ColourRef offColour);
    // The lamp over the given background: the mask ANDed in, then the on or off image
    // ORed over it. 1.
    int PaintLamp(gui::Bitmap& target) const;
    // Copies the lamp drawing into the on and off images. 1.
    int ComposeLamp();

    // The lamp drawing (white shaded disc on black) and its mask (black where the lamp
    // is, white around it), 20 by 20 pixels.
    static gui::Bitmap DrawLamp();
    static gui::Bitmap DrawLampMask();

protected:
    void onCreate() override;
    bool onPaint(QPainter& painter) override;

private:
    CDerivedImage on_;
    CDerivedImage off_;
    CDerivedImage lamp_;
    CDerivedImage mask_;
    gui::ColourRef onColour_ = 0;
    gui::ColourRef offColour_ = 0;
    std::uint32_t value_ = 0;
};
