// Where the stepper page's controls go: one geometry table and the build order, walked
// with a running position (each group moves it down by its height + 1).
#include "pages/stepper/StepperLayout.h"

#include <algorithm>
#include <iterator>

#include "pages/scaffold/LayoutGeometry.h"

namespace pages::stepper {

namespace {

// Every size and offset of the page in one place.
namespace geometry {
constexpr Size kLabel{132, 15}, kComboLabel{95, 15}, kUnitLabel{25, 15}, kFootnote{250, 15};
constexpr Offset kLabelOffset{10, 6}, kUnitOffset{5, 3}, kFootnoteOffset{70, 0};
constexpr int kHeaderWidths[4] = {50, 75, 70, 55};
constexpr int kHeaderHeight = 30;  // two lines of text
constexpr Offset kHeaderOffset{0, 4};
constexpr int kLongCaptionKinds[] = {19, 64, 66, 67};  // combo captions too long for 95 pixels
constexpr Size kCombo{83, 22}, kWideCombo{108, 22}, kSerialEmoCombo{101, 22};
constexpr Offset kComboOffset{0, 1}, kSerialEmoOffset{-18, 1};
constexpr Size kButton{90, 25};
constexpr Size kRowCheck{50, 14};
constexpr Offset kRowCheckOffset{10, 6};
constexpr int kRowComboWidths[3] = {75, 70, 55};
constexpr Size kRowFrame{265, 32};
constexpr Offset kRowFrameOffset{5, -7};
constexpr Size kSlider{275, 28};
constexpr Offset kSliderOffset{15, 0};
constexpr Size kEdit{50, 21};
// "(max:65535)" beside the count edit, clear of it and of the tab's right edge: the
// count's blank caption is a little narrower than a combo's.
constexpr Size kCountLabel{89, 15}, kCountNote{72, 15};
constexpr Offset kCountNoteOffset{8, 3};
constexpr Size kImage{20, 20};
constexpr Offset kImageOffset{10, 2};
constexpr Size kImageCaption{100, 15};
constexpr Offset kImageCaptionOffset{4, 4};
constexpr Size kTab{423, 394};
constexpr int kTabRow = 21, kTabInset = 5, kTabPageX = 10;
constexpr int kRightColumn = 250;                                  // clock-in pairs, and 56 beside 55
constexpr int kParallelRightTab = 190, kParallelRightNoTab = 200;  // room for the count's note
constexpr int kUpdateXTab = 260;
constexpr int kStopXTab = 160, kStopXNoTab = 150, kDemoXTab = 310, kDemoXNoTab = 300;
constexpr int kBelowTab = 377;
constexpr int kTachometerRightColumn = 150;  // status lamps' right column; room for " 1ch Warning"
constexpr int kAfterTopRows = 10;
}  // namespace geometry

struct Extent {
    int right = 0, bottom = 0;
    void Take(Size s, Offset o) {
        right = std::max(right, s.w + o.dx);
        bottom = std::max(bottom, s.h + o.dy);
    }
};

class Builder {
public:
    Builder(std::int32_t key, std::span<const std::uint16_t, 128> profile) : key_(key), profile_(profile) {
        out_.hasTab = profile_[1] != 0;
    }

    bool Has(int kind) const { return kind >= 0 && kind < 128 && profile_[static_cast<std::size_t>(kind)] != 0; }
    bool HasTab() const { return out_.hasTab; }

    // One control of `kind` when the profile creates it.
    bool Add(int kind, int index, ControlClass cls, Point at, Size size, Offset off, Extent* extent,
             std::optional<Parent> parent = std::nullopt) {
        if (!Has(kind)) return false;
        PlacedControl c = DecorateControl(key_, kind, index, cls);
        c.profileWord = profile_[static_cast<std::size_t>(kind)];
        c.bits = DecodeProfile(c.profileWord);
        // A control meant for the tachometer panel stays on the page when there is none.
        c.parent = parent ? *parent : (c.bits.onTachometer && Has(43)) ? Parent::TachometerPanel : Parent::Page;
        c.rect = {at.x + off.dx, at.y + off.dy, size.w, size.h};
        if (extent) extent->Take(size, off);
        out_.controls.push_back(std::move(c));
        return true;
    }

    // ---- group recipes; each moves p.y down by the group's height + 1 ----

    void LabelValue(int kind, ControlClass cls, Point& p, Size label, Size value, Offset valueOffset) {
        Extent a, b;
        Add(kind, 100, ControlClass::Label, p, label, geometry::kLabelOffset, &a);
        Add(kind, 0, cls, {p.x + a.right, p.y}, value, valueOffset, &b);
        p.y += std::max(a.bottom, b.bottom) + 1;
    }
    void LabelCombo(int kind, Point& p) {
        Size combo = (kind == 1 || kind == 6) ? geometry::kWideCombo : geometry::kCombo;
        Offset off = geometry::kComboOffset;
        if (kind == 65 && key_ == 0x105) combo = geometry::kSerialEmoCombo, off = geometry::kSerialEmoOffset;
        const bool longCaption =
            std::find(std::begin(geometry::kLongCaptionKinds), std::end(geometry::kLongCaptionKinds), kind) !=
            std::end(geometry::kLongCaptionKinds);
        LabelValue(kind, ControlClass::Combo, p, longCaption ? geometry::kLabel : geometry::kComboLabel, combo, off);
    }
    void LabelCheck(int kind, Point& p) {
        LabelValue(kind, ControlClass::Check, p, geometry::kLabel, geometry::kButton, {});
    }
    void LabelButton(int kind, Point& p) {
        LabelValue(kind, ControlClass::Button, p, geometry::kLabel, geometry::kButton, {});
    }

    // `unit` of zero size: no unit label.
    void LabelEditUnit(int kind, int editIndex, Point& p, Size label, Size unit,
                       Offset unitOffset = geometry::kUnitOffset) {
        Extent e;
        Add(kind, 100, ControlClass::Label, p, label, geometry::kLabelOffset, &e);
        int x = p.x + e.right;
        Extent v;
        Add(kind, editIndex, ControlClass::Edit, {x, p.y}, geometry::kEdit, {}, &v);
        x += geometry::kEdit.w;
        if (unit.w) Add(kind, 101, ControlClass::Label, {x, p.y}, unit, unitOffset, &v);
        p.y += std::max(e.bottom, v.bottom) + 1;
    }

    // Label above a slider; the edit (of `editKind`) and the unit label beside the slider.
    void LabelSlider(int kind, int editKind, int editIndex, Point& p) {
        Extent label;
        Add(kind, 100, ControlClass::Label, p, geometry::kLabel, geometry::kLabelOffset, &label);
        const int y = p.y + label.bottom;
        Extent row;
        Add(kind, 0, ControlClass::Slider, {p.x, y}, geometry::kSlider, geometry::kSliderOffset, &row);
        int x = p.x + row.right;
        Add(editKind, editIndex, ControlClass::Edit, {x, y}, geometry::kEdit, {}, &row);
        x += geometry::kEdit.w;
        Add(kind, 101, ControlClass::Label, {x, y}, geometry::kUnitLabel, geometry::kUnitOffset, &row);
        p.y = (label.bottom || row.bottom) ? y + row.bottom + 1 : p.y + 1;
    }

    void ImageLabel(int kind, Point& p) {
        Extent e;
        Add(kind, 0, ControlClass::ImageLabel, p, geometry::kImage, geometry::kImageOffset, &e);
        Extent l;
        Add(kind, 100, ControlClass::Label, {p.x + e.right, p.y}, geometry::kImageCaption,
            geometry::kImageCaptionOffset, &l);
        p.y += std::max(e.bottom, l.bottom) + 1;
    }

    void Single(int kind, int index, ControlClass cls, Point& p, Size size) {
        Extent e;
        Add(kind, index, cls, p, size, {}, &e);
        p.y += e.bottom + 1;
    }

    // Two groups side by side: the left at p, the right at x; p.y ends below both.
    template <class Left, class Right>
    void Pair(Point& p, int rightX, Left left, Right right) {
        Point l = p, r{rightX, p.y};
        left(l);
        right(r);
        p.y = std::max(l.y, r.y);
    }

    void Header(Point& p) {
        const bool noExcitation = NoExcitationColumn(key_);
        int x = p.x + geometry::kRowCheckOffset.dx;
        Extent e;
        int label = 100;
        for (int column = 0; column < 4; ++column) {
            if (noExcitation && column == 1) continue;
            const Size s{geometry::kHeaderWidths[column], geometry::kHeaderHeight};
            Add(30, label++, ControlClass::Label, {x, p.y}, s, geometry::kHeaderOffset, &e);
            x += s.w;
        }
        p.y += e.bottom + 1;
    }

    void Row(int kind, Point& p) {
        Extent e;
        Add(kind, 0, ControlClass::Check, p, geometry::kRowCheck, geometry::kRowCheckOffset, &e);
        int x = p.x + geometry::kRowCheckOffset.dx + geometry::kRowCheck.w;
        for (int column = 0; column < 3; ++column) {
            if (column == 0 && NoExcitationColumn(key_)) continue;
            const Size s{geometry::kRowComboWidths[column], geometry::kCombo.h};
            Add(kind, column + 1, ControlClass::Combo, {x, p.y}, s, geometry::kComboOffset, &e);
            x += s.w;
        }
        // The frame spans the row and reaches into its neighbours; only the running row's shows.
        Add(kind, 4, ControlClass::Frame, p, geometry::kRowFrame, geometry::kRowFrameOffset, nullptr);
        p.y += e.bottom + 1;
    }

    void Kind(int kind, Point& p) {
        switch (kind) {
            case 0:
            case 16:
            case 18:
            case 20:
            case 21:
            case 51:
            case 54:
                LabelCheck(kind, p);
                break;
            case 4:
                LabelSlider(4, 5, 0, p);
                break;
            case 9:
            case 10:
            case 52:
            case 53:
                LabelSlider(kind, kind, 1, p);
                break;
            case 7:
            case 8:
                LabelEditUnit(kind, 0, p, geometry::kLabel, geometry::kUnitLabel);
                break;
            case 26:
                LabelEditUnit(26, 0, p, geometry::kCountLabel, geometry::kCountNote, geometry::kCountNoteOffset);
                break;
            case 44:
                LabelEditUnit(44, 1, p, geometry::kLabel, {});
                break;
            case 23:
            case 39:
            case 40:
                Single(kind, 0, ControlClass::Button, p, geometry::kButton);
                break;
            case 41:
                Single(41, 0, ControlClass::Check, p, geometry::kButton);
                break;
            case 68:
                LabelButton(68, p);
                break;
            case 30:
                Header(p);
                break;
            case 42: {
                Extent e;
                Add(42, 100, ControlClass::Label, p, geometry::kFootnote, geometry::kFootnoteOffset, &e);
                p.y += e.bottom + 1;
                break;
            }
            case 45:
            case 46:
            case 47:
            case 48:
            case 49:
                ImageLabel(kind, p);
                break;
            default:
                if (kind >= 31 && kind <= 38)
                    Row(kind, p);
                else
                    LabelCombo(kind, p);
                break;
        }
    }

    void Kinds(std::initializer_list<int> kinds, Point& p) {
        for (int k : kinds) Kind(k, p);
    }

    StepperLayout Finish() {
        for (const auto& c : out_.controls) {
            if (c.parent != Parent::Page || c.cls == ControlClass::TachometerPanel || c.cls == ControlClass::GraphPanel)
                continue;
            out_.pageWidth = std::max(out_.pageWidth, c.rect.x + c.rect.width);
            out_.pageHeight = std::max(out_.pageHeight, c.rect.y + c.rect.height);
        }
        return std::move(out_);
    }

private:
    std::int32_t key_;
    std::span<const std::uint16_t, 128> profile_;
    StepperLayout out_;
};

}  // namespace

StepperLayout LayOutStepperPage(std::int32_t key, std::span<const std::uint16_t, 128> profile, Rect panel) {
    using namespace geometry;
    Builder b(key, profile);
    const bool tab = b.HasTab();
    Point p{0, 0};

    b.Kinds({0, 1, 4, 6, 7, 8, 18}, p);
    p.y += kAfterTopRows;
    b.Pair(
        p, p.x + kRightColumn, [&](Point& l) { b.Kind(55, l); }, [&](Point& r) { b.Kind(56, r); });
    b.Kinds({57, 19}, p);

    // The mode tab; both of its pages start at the same place and are told apart by their
    // controls' profile page bits.
    Extent tabExtent;
    b.Add(1, 1, ControlClass::Tab, p, kTab, {}, &tabExtent);
    p.y += tab ? kTabRow : 1;
    const Point q = tab ? Point{kTabPageX, p.y + kTabInset} : p;

    Point c = q;
    b.Kinds({9, 10, 11, 12, 13, 14, 15, 16, 17, 58, 59}, c);
    for (auto [l, r] : {std::pair{60, 61}, {62, 63}, {64, 65}})
        b.Pair(
            c, q.x + kRightColumn, [&, l = l](Point& at) { b.Kind(l, at); }, [&, r = r](Point& at) { b.Kind(r, at); });
    b.Kinds({66, 67, 68, 20, 21}, c);
    b.Pair(
        c, tab ? kUpdateXTab : q.x + kRightColumn, [&](Point& at) { b.Kind(22, at); },
        [&](Point& at) { b.Kind(23, at); });

    Point s = q;
    b.Kind(3, s);
    const int right = tab ? kParallelRightTab : p.x + kParallelRightNoTab;
    for (auto [l, r] : {std::pair{24, 25}, {27, 26}, {29, 28}})
        b.Pair(
            s, right, [&, l = l](Point& at) { b.Kind(l, at); }, [&, r = r](Point& at) { b.Kind(r, at); });
    b.Kinds({30, 31, 32, 33, 34, 35, 36, 37, 38, 42}, s);
    {
        // Without the tab the buttons sit on the page itself: "Start" is indented as the
        // captions above it are, not on the page's edge.
        Point start{tab ? s.x : s.x + kLabelOffset.dx, s.y};
        Point stop{tab ? kStopXTab : kStopXNoTab, s.y}, demo{tab ? kDemoXTab : kDemoXNoTab, s.y};
        b.Kind(39, start), b.Kind(40, stop), b.Kind(41, demo);
        s.y = std::max({start.y, stop.y, demo.y});
    }

    Point below = tab ? Point{kTabPageX, p.y + kBelowTab} : Point{0, std::max(c.y, s.y)};
    b.Kinds({51, 54}, below);

    // The tachometer panel's own area: its dial first, the readouts and lamps below it.
    Point t{0, 0};
    if (b.Add(43, 0, ControlClass::TachometerPanel, t, {panel.width, panel.height}, {}, nullptr, Parent::Page))
        t.y += panel.height;
    b.Kind(44, t);
    {
        Point a = t, z = t;
        b.Kind(52, a), b.Kind(53, z);
        t.y = std::max(a.y, z.y);
    }
    b.Pair(
        t, kTachometerRightColumn, [&](Point& l) { b.Kind(45, l); }, [&](Point& r) { b.Kind(46, r); });
    b.Pair(
        t, kTachometerRightColumn, [&](Point& l) { b.Kind(47, l); }, [&](Point& r) { b.Kind(49, r); });
    b.Kind(48, t);

    b.Add(50, 0, ControlClass::GraphPanel, {0, 0}, {0, 0}, {}, nullptr, Parent::GraphPanel);
    return b.Finish();
}

}  // namespace pages::stepper
