// The floating speed windows beside a device page: the needle tachometer ("rpm" and
// "pps" dials), the digital tachometer (two numbers) and the speed-curve window that
// hosts the graph. All three are frameless: the border sizes them, the dial (or the
// whole graph window) drags them, and the user cannot close them (the page hides and
// destroys them). Enter and Escape do nothing.
//
// A window owns its dials (or graph window) and its image double buffer; it borrows
// the controls it hosts (the page owns them) and passes their change reports on to
// its owner (ControlChanged, sent, result returned). A new frame reaches the screen
// through the double buffer, which tells the window with FrameReady; the window then
// repaints from the buffer written last. GUI thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/gui/Dialog.h"
#include "ui/Graph.h"
#include "ui/SpeedLayout.h"
#include "ui/Tachometer.h"

namespace speedwindow {
// The frameless hit test: 10-pixel corner squares and edge bands inside the window
// rectangle first; then the graph window is all caption, and a tachometer window is
// caption over its image (below the top band, between the side bands, down to
// imageHeight from the top) and client elsewhere. Screen coordinates; left and top
// edges inclusive, right and bottom exclusive.
int HitTest(const QRect& window, const QPoint& point, bool graph, int imageHeight = speedlayout::kDialSize);
}  // namespace speedwindow

template <class Image>
class IDuplicator {
public:
    virtual ~IDuplicator() = default;
    virtual int Present(const Image& image) = 0;
    virtual const Image& GetFront() const = 0;
};

// Two buffers sized like the image it was made over, both made (black) with it. Present
// copies into the one not shown (B, then A, ...) and sends FrameReady to the window (when
// there is one). A buffer's first frame is the whole image; later ones only what changed
// since that buffer last took a frame.
template <class Image>
class CDerivedDuplicator : public IDuplicator<Image> {
public:
    CDerivedDuplicator(gui::Handle window, const Image& image) : window_(window) {
        a_.Create(window, image.GetWidth(), image.GetHeight());
        b_.Create(window, image.GetWidth(), image.GetHeight());
    }
    int Present(const Image& image) override { return Present(image, QRect()); }
    // Only `changed` (image coordinates) differs from the image presented last; an
    // invalid rectangle: anything may have. The buffer written now last had the image
    // before that one, so it takes this change and the previous one.
    int Present(const Image& image, const QRect& changed) {
        const int side = flip_ == 0 ? 1 : 0;
        Image& target = side == 1 ? b_ : a_;
        const QRect whole(0, 0, target.GetWidth(), target.GetHeight());
        const bool partial = framed_[side] && changed.isValid() && previous_.isValid();
        const QRect copy = partial ? changed.united(previous_) & whole : whole;
        target.GetDC()->blockCopy(copy.topLeft(), image.Image(), copy);
        framed_[side] = true;
        previous_ = changed;
        flip_ ^= 1;
        if (window_ != 0) gui::send(window_, gui::msg::FrameReady, 0, 0);
        return 1;
    }
    const Image& GetFront() const override { return flip_ == 1 ? b_ : a_; }

private:
    Image a_;
    Image b_;
    bool framed_[2] = {false, false};  // A, B: has taken a frame
    gui::Handle window_ = 0;
    std::uint8_t flip_ = 0;
    QRect previous_;  // the change presented last; invalid: all of it
};

// What the three windows share: the owner, the hosted controls, the frameless hit
// test, sizes, and the messages they swallow or pass on.
class CSpeedWindow : public gui::Dialog {
public:
    ~CSpeedWindow() override;

    // Stores both; 1 unless the argument is -1.
    virtual int SetOwner(gui::Handle owner, std::int32_t argument);
    gui::Handle GetOwner() const { return owner_; }
    // Borrowed; 1 when the control was not hosted yet.
    virtual int AddControl(gui::Window* control);
    // Makes every hosted control a child of this window and shows it.
    virtual int ShowControls();
    int hitTest(const QPoint& screenPos) const override;
    gui::LResult windowProc(std::uint32_t msg, gui::WParam w, gui::LParam l) override;

protected:
    CSpeedWindow(bool graph, bool forwardsChanges);
    // Tracking sizes, then the client size.
    void ApplySizes(speedlayout::PixelSize initial, speedlayout::PixelSize minimum, speedlayout::PixelSize maximum);
    gui::LResult onCommand(int id, int code, gui::Handle from) override;
    gui::LResult onClose() override;  // not closed by the user
    virtual void OnFrameReady();

    gui::Handle owner_ = 0;
    std::int32_t ownerArgument_ = 0;
    std::vector<gui::Window*> controls_;
    // Paints the newest frame; mouse presses go through it to the window.
    std::unique_ptr<gui::Window> view_;

private:
    bool graph_ = false;
    bool forwardsChanges_ = false;
};

class CSubDialog_Tachometer : public CSpeedWindow {
public:
    CSubDialog_Tachometer();
    ~CSubDialog_Tachometer() override;

    int Reset() { return 1; }  // nothing to reset: the dials follow the next values
    int SetPpsMaximum(std::int32_t maximum);
    int SetFullScale(std::int32_t maximum);
    int SetValues(std::int32_t pps, std::int32_t rpm);
    // Non-zero shows the "rpm" dial, 0 the "pps" dial.
    int SelectDial(int rpm);

    bool onInitDialog() override;

    // The dials and the frame as they are painted (a new scale is drawn first).
    const CTachometerFull* RpmDial() const { return PresentDue(), rpm_.get(); }
    const CTachometerFull* PpsDial() const { return PresentDue(), pps_.get(); }
    const CTachometerFull* ShownDial() const { return shown_; }
    const CTachometerImage* Front() const { return PresentDue(), duplicator_ ? &duplicator_->GetFront() : nullptr; }

protected:
    void onDestroy() override;
    void OnFrameReady() override;

private:
    int PresentShown();
    // A new scale or dial is drawn and presented when it is next painted: a page sets
    // its scale several times while it opens.
    void PresentLater();
    void PresentDue() const;
    void Rescale(CTachometerFull* dial, std::int32_t maximum);

    // Where the next frame differs from the one on the screen (the old and the new
    // needle), or empty when the whole dial must be painted again.
    QRect changed_;
    std::unique_ptr<CTachometerFull> rpm_;
    std::unique_ptr<CTachometerFull> pps_;
    CTachometerFull* shown_ = nullptr;
    mutable bool presentDue_ = false;
    mutable bool presenting_ = false;  // a due frame is being presented from a paint
    std::unique_ptr<CDerivedDuplicator<CTachometerImage>> duplicator_;
};

class CSubDialog_DigitalTachometer : public CSpeedWindow {
public:
    CSubDialog_DigitalTachometer();
    ~CSubDialog_DigitalTachometer() override;

    int Reset() { return 1; }
    int SetValues(std::int32_t first, std::int32_t second);

    bool onInitDialog() override;

    const CTachometerDigitalFull* Display() const { return display_.get(); }
    const CTachometerImage* Front() const { return duplicator_ ? &duplicator_->GetFront() : nullptr; }

protected:
    void onDestroy() override;

private:
    std::unique_ptr<CTachometerDigitalFull> display_;
    std::unique_ptr<CDerivedDuplicator<CTachometerImage>> duplicator_;
};

class CSubDialog_Graph : public CSpeedWindow {
public:
    CSubDialog_Graph();
    ~CSubDialog_Graph() override;

    int SetAxisTitle(int channel, int horizontal, const QString& text);
    int SetAxisRange(int channel, int horizontal, std::int32_t minimum, std::int32_t maximum, std::int32_t divisions);
    int Redraw();
    int ClearSeries();
    int SetYAxisMaximum(std::int32_t maximum);
    // One point per existing channel: (x, y1) to channel 1, (x, y2) to channel 2.
    int AddPoint(int x, int y1, int y2);
    int SetChannelMask(std::uint32_t mask);
    int SetSeriesShape(int channel, int shape, gui::ColourRef colour1, gui::ColourRef colour2);

    bool onInitDialog() override;
    CDerivedGraphLabel* GraphWindow() const { return graph_.get(); }

protected:
    void onDestroy() override;

private:
    std::unique_ptr<CDerivedGraphLabel> graph_;
};
