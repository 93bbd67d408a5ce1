#include "ui/SpeedWindows.h"

#include "platform/gui/PaintOptions.h"
#include "ui/DerivedDialog.h"

#include <algorithm>
#include <functional>
#include <utility>

namespace speedwindow {

int HitTest(const QRect& window, const QPoint& point, bool graph, int imageHeight) {
    const int border = gui::borderHitTest(window, point, speedlayout::kBorderBand);
    if (border != gui::hit::Nowhere) return border;
    if (graph) return gui::hit::Caption;
    const int band = speedlayout::kBorderBand;
    const QRect caption(window.left() + band, window.top() + band, window.width() - 2 * band, imageHeight - band);
    return caption.contains(point) ? gui::hit::Caption : gui::hit::Client;
}

}  // namespace speedwindow

namespace {

gui::DialogTemplate SpeedTemplate(speedlayout::PixelSize size) {
    gui::DialogTemplate t;
    // Roughly the pixel size in dialog units; the window sets its exact size itself.
    t.size = QSize(size.width * 2 / 3, size.height / 2);
    t.style = gui::dialogStyle::Frameless | gui::dialogStyle::ToolWindow;
    return t;
}

QSize ToQSize(speedlayout::PixelSize s) { return QSize(s.width, s.height); }

// Paints part of an image; the image is asked for at every paint, so it may move.
class ImageView final : public gui::Window {
public:
    using Source = std::function<const gui::Bitmap*()>;
    ImageView(Source source, QRect part) : source_(std::move(source)), part_(part) {}
    ~ImageView() override {
        if (exists()) destroy();
    }
    bool Attach(gui::Window* parent, const QRect& rect) {
        if (!create(parent, 0, rect)) return false;
        setMouseTransparent(true);
        gui::setPaintsWholeArea(*this);
        return true;
    }

protected:
    bool onPaint(QPainter& painter) override {
        if (const gui::Bitmap* image = source_ ? source_() : nullptr)
            gui::paintBitmap(painter, QPoint(0, 0), *image, part_);
        return true;
    }

private:
    Source source_;
    QRect part_;
};

}  // namespace

// ---- shared -------------------------------------------------------------------------

CSpeedWindow::CSpeedWindow(bool graph, bool forwardsChanges)
    : gui::Dialog(SpeedTemplate(graph ? speedlayout::kGraphTemplate : speedlayout::kTachometerTemplate)),
      graph_(graph),
      forwardsChanges_(forwardsChanges) {}

CSpeedWindow::~CSpeedWindow() {
    if (exists()) destroy();
}

int CSpeedWindow::SetOwner(gui::Handle owner, std::int32_t argument) {
    owner_ = owner;
    ownerArgument_ = argument;
    return argument != -1 ? 1 : 0;
}

int CSpeedWindow::AddControl(gui::Window* control) {
    if (control == nullptr || std::find(controls_.begin(), controls_.end(), control) != controls_.end()) return 0;
    controls_.push_back(control);
    return 1;
}

int CSpeedWindow::ShowControls() {
    for (gui::Window* control : controls_) {
        control->setParent(this);
        control->show(true);
    }
    return 1;
}

int CSpeedWindow::hitTest(const QPoint& screenPos) const {
    return speedwindow::HitTest(windowRect(), screenPos, graph_);
}

void CSpeedWindow::ApplySizes(speedlayout::PixelSize initial, speedlayout::PixelSize minimum,
                              speedlayout::PixelSize maximum) {
    setTrackingSizes(ToQSize(minimum), ToQSize(maximum));
    setClientSize(ToQSize(initial));
}

gui::LResult CSpeedWindow::windowProc(std::uint32_t msg, gui::WParam w, gui::LParam l) {
    if (msg == gui::msg::ControlChanged && forwardsChanges_) return owner_ != 0 ? gui::send(owner_, msg, w, l) : 0;
    if (msg == gui::msg::FrameReady) {
        OnFrameReady();
        return 0;
    }
    return gui::Dialog::windowProc(msg, w, l);
}

void CSpeedWindow::OnFrameReady() {
    // The newest frame shows at the next paint; repeated frames before it coalesce.
    if (view_) view_->invalidate();
}

gui::LResult CSpeedWindow::onCommand(int id, int code, gui::Handle from) {
    if (id == gui::id::Ok || id == gui::id::Cancel) return 1;
    return gui::Dialog::onCommand(id, code, from);
}

gui::LResult CSpeedWindow::onClose() { return 1; }

// ---- needle tachometer --------------------------------------------------------------

CSubDialog_Tachometer::CSubDialog_Tachometer() : CSpeedWindow(false, true) {}

CSubDialog_Tachometer::~CSubDialog_Tachometer() {
    if (exists()) destroy();
}

bool CSubDialog_Tachometer::onInitDialog() {
    ApplySizes(speedlayout::kTachometerTemplate, speedlayout::kTachometerMinimum, speedlayout::kTachometerMaximum);
    const int size = speedlayout::kDialSize;
    auto view = std::make_unique<ImageView>(
        [this]() -> const gui::Bitmap* {
            PresentDue();
            return duplicator_ ? &duplicator_->GetFront().Image() : nullptr;
        },
        QRect(0, 0, size, size));
    view->Attach(this, QRect(0, 0, size, size));
    view_ = std::move(view);

    rpm_ = std::make_unique<CTachometerFull>(QStringLiteral("rpm"), 1000);
    pps_ = std::make_unique<CTachometerFull>(QStringLiteral("pps"), 100);
    rpm_->Create(handle(), size);
    pps_->Create(handle(), size);
    shown_ = rpm_.get();
    duplicator_ = std::make_unique<CDerivedDuplicator<CTachometerImage>>(handle(), *shown_);
    SetFullScale(15000);
    ShowControls();
    return true;
}

void CSubDialog_Tachometer::onDestroy() {
    duplicator_.reset();
    shown_ = nullptr;
    rpm_.reset();
    pps_.reset();
}

int CSubDialog_Tachometer::PresentShown() {
    if (!duplicator_ || shown_ == nullptr) return 0;
    return duplicator_->Present(*shown_, changed_);
}

int CSubDialog_Tachometer::SetPpsMaximum(std::int32_t maximum) {
    Rescale(pps_.get(), maximum);
    return 1;
}

int CSubDialog_Tachometer::SetFullScale(std::int32_t maximum) {
    Rescale(rpm_.get(), maximum);
    Rescale(pps_.get(), maximum);
    return 1;
}

void CSubDialog_Tachometer::Rescale(CTachometerFull* dial, std::int32_t maximum) {
    // Drawn on its new scale when it is next painted (the dial not shown: when it is
    // selected and painted).
    if (dial == nullptr) return;
    dial->SetFullScaleLater(maximum);
    if (dial == shown_) PresentLater();
}

void CSubDialog_Tachometer::PresentLater() {
    presentDue_ = true;
    changed_ = QRect();
    if (view_) view_->invalidate();
}

void CSubDialog_Tachometer::PresentDue() const {
    if (!presentDue_ || !duplicator_ || shown_ == nullptr) return;
    presentDue_ = false;
    presenting_ = true;
    shown_->Refresh();
    duplicator_->Present(*shown_, QRect());
    presenting_ = false;
}

int CSubDialog_Tachometer::SetValues(std::int32_t pps, std::int32_t rpm) {
    // The dial not shown keeps its value and draws it when it is selected; so does the
    // shown one when it is due to be drawn whole at the next paint anyway.
    if (presentDue_) {
        if (rpm_) rpm_->SetValueLater(rpm);
        if (pps_) pps_->SetValueLater(pps);
        return 1;
    }
    const QRect before = shown_ != nullptr ? shown_->Needle().Bounds() : QRect();
    bool moved = false;
    for (const auto& [dial, value] : {std::pair{rpm_.get(), rpm}, std::pair{pps_.get(), pps}}) {
        if (dial == nullptr) continue;
        if (dial != shown_) {
            dial->SetValueLater(value);
        } else if (!dial->Shows(value)) {
            dial->SetValue(value);
            moved = true;
        }
    }
    // A steady speed (a motor at rest or turning evenly) leaves the dial and the screen
    // as they are.
    if (!moved) return 1;
    // Only the needle moved: the screen needs the old and the new needle's boxes.
    changed_ = before.united(shown_->Needle().Bounds());
    PresentShown();
    return 1;
}

void CSubDialog_Tachometer::OnFrameReady() {
    if (presenting_) return;  // presented by the paint that shows it
    if (view_ && changed_.isValid())
        gui::invalidatePart(*view_, changed_);
    else
        CSpeedWindow::OnFrameReady();
    changed_ = QRect();
}

int CSubDialog_Tachometer::SelectDial(int rpm) {
    shown_ = rpm != 0 ? rpm_.get() : pps_.get();
    PresentLater();
    return 1;
}

// ---- digital tachometer -------------------------------------------------------------

CSubDialog_DigitalTachometer::CSubDialog_DigitalTachometer() : CSpeedWindow(false, true) {}

CSubDialog_DigitalTachometer::~CSubDialog_DigitalTachometer() {
    if (exists()) destroy();
}

bool CSubDialog_DigitalTachometer::onInitDialog() {
    ApplySizes(speedlayout::kDigitalFixed, speedlayout::kDigitalFixed, speedlayout::kDigitalFixed);
    const QRect part(0, 0, CTachometerDigitalFull::kShownWidth, CTachometerDigitalFull::kShownHeight);
    auto view = std::make_unique<ImageView>(
        [this]() -> const gui::Bitmap* { return duplicator_ ? &duplicator_->GetFront().Image() : nullptr; }, part);
    view->Attach(this, part.translated(speedlayout::kDigitalPaintX, speedlayout::kDigitalPaintY));
    view_ = std::move(view);

    display_ = std::make_unique<CTachometerDigitalFull>(QStringLiteral("pps"), 1000);
    display_->Create(handle(), speedlayout::kDialSize);
    display_->SetValues(80, 80);
    duplicator_ = std::make_unique<CDerivedDuplicator<CTachometerImage>>(handle(), *display_);
    duplicator_->Present(*display_);
    ShowControls();
    return true;
}

void CSubDialog_DigitalTachometer::onDestroy() {
    duplicator_.reset();
    display_.reset();
}

int CSubDialog_DigitalTachometer::SetValues(std::int32_t first, std::int32_t second) {
    if (!display_ || !duplicator_) return 1;
    display_->SetValues(first, second);
    duplicator_->Present(*display_);
    return 1;
}

// ---- speed curve --------------------------------------------------------------------

CSubDialog_Graph::CSubDialog_Graph() : CSpeedWindow(true, false) {}

CSubDialog_Graph::~CSubDialog_Graph() {
    if (exists()) destroy();
}

bool CSubDialog_Graph::onInitDialog() {
    ApplySizes(speedlayout::kGraphTemplate, speedlayout::kGraphMinimum, speedlayout::kGraphMaximum);
    graph_ = std::make_unique<CDerivedGraphLabel>();
    graph_->Attach(this, speedlayout::kGraphControlId,
                   QRect(0, 0, speedlayout::kGraphControl.width, speedlayout::kGraphControl.height));
    return true;
}

void CSubDialog_Graph::onDestroy() {
    if (graph_ && graph_->exists()) graph_->destroy();
}

int CSubDialog_Graph::SetAxisTitle(int channel, int horizontal, const QString& text) {
    return graph_ ? graph_->SetAxisTitle(channel, horizontal, text) : 0;
}

int CSubDialog_Graph::SetAxisRange(int channel, int horizontal, std::int32_t minimum, std::int32_t maximum,
                                   std::int32_t divisions) {
    return graph_ ? graph_->SetAxisRange(channel, horizontal, minimum, maximum, divisions) : 0;
}

int CSubDialog_Graph::Redraw() { return graph_ ? graph_->Redraw() : 0; }

int CSubDialog_Graph::ClearSeries() { return graph_ ? graph_->ClearSeries() : 0; }

int CSubDialog_Graph::SetYAxisMaximum(std::int32_t maximum) {
    // The graph repaints with the new scale when it is next painted.
    return graph_ ? graph_->SetYAxisMaximum(maximum) : 0;
}

int CSubDialog_Graph::AddPoint(int x, int y1, int y2) {
    if (!graph_) return 0;
    const int n = graph_->GetSeriesCount();
    if (n >= 1) graph_->AddPoint(1, x, y1);
    if (n >= 2) graph_->AddPoint(2, x, y2);
    return Redraw();
}

int CSubDialog_Graph::SetChannelMask(std::uint32_t mask) { return graph_ ? graph_->SetChannelMask(mask) : 0; }

int CSubDialog_Graph::SetSeriesShape(int channel, int shape, gui::ColourRef colour1, gui::ColourRef colour2) {
    return graph_ ? graph_->SetSeriesShape(channel, shape, colour1, colour2) : 0;
}
