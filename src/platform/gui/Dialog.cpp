#include "platform/gui/Dialog.h"

#include <QAction>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFontMetrics>
#include <QHash>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScreen>
#include <QWindow>
#include <algorithm>
#include <cstdint>

#include "platform/gui/Application.h"
#include "platform/gui/Controls.h"
#include "platform/gui/Drawing.h"
#include "platform/gui/Internal.h"

namespace gui {

namespace {

// a * b / c rounded half away from zero, in 64 bits.
int mulDiv(int a, int b, int c) {
    if (c == 0) return 0;
    const std::int64_t n = static_cast<std::int64_t>(a) * b;
    const std::int64_t half = std::abs(static_cast<std::int64_t>(c)) / 2;
    const std::int64_t q = ((n < 0) != (c < 0)) ? (n - half) / c : (n + half) / c;
    return static_cast<int>(std::clamp<std::int64_t>(q, INT32_MIN, INT32_MAX));
}

std::unique_ptr<Window> makeControl(ControlKind kind) {
    switch (kind) {
        case ControlKind::Static:
        case ControlKind::Icon: return std::make_unique<StaticText>();
        case ControlKind::PushButton: return std::make_unique<PushButton>();
        case ControlKind::CheckBox: return std::make_unique<CheckButton>();
        case ControlKind::RadioButton: return std::make_unique<RadioButton>();
        case ControlKind::GroupBox: return std::make_unique<GroupBox>();
        case ControlKind::Edit: return std::make_unique<Edit>();
        case ControlKind::ComboBox: return std::make_unique<ComboBox>();
        case ControlKind::Trackbar: return std::make_unique<Trackbar>();
        case ControlKind::StandardTrackbar: return std::make_unique<StandardTrackbar>();
        case ControlKind::TabBar: return std::make_unique<TabBar>();
        case ControlKind::TabControl: return std::make_unique<TabControl>();
        case ControlKind::ListView: return std::make_unique<ListView>();
        case ControlKind::Custom: return nullptr;
    }
    return nullptr;
}

Qt::Edges edgesForHit(int code) {
    switch (code) {
        case hit::Left: return Qt::LeftEdge;
        case hit::Right: return Qt::RightEdge;
        case hit::Top: return Qt::TopEdge;
        case hit::Bottom: return Qt::BottomEdge;
        case hit::TopLeft: return Qt::TopEdge | Qt::LeftEdge;
        case hit::TopRight: return Qt::TopEdge | Qt::RightEdge;
        case hit::BottomLeft: return Qt::BottomEdge | Qt::LeftEdge;
        case hit::BottomRight: return Qt::BottomEdge | Qt::RightEdge;
        default: return {};
    }
}

// Moves a frameless window with the mouse from a press on its caption to the release:
// the window's corner keeps its offset from the pointer, in screen coordinates, so it
// moves exactly as far as the mouse. The window grabs the mouse meanwhile, so the moves
// reach it wherever the pointer goes, and this filter sees them before the window's
// own handling. (The window system's own move is not used: without a window manager
// it moves nothing.)
//
// The drag ends with the release, and also when the release cannot come any more: the
// window is hidden, loses the grab (another widget grabs the mouse, a popup takes it),
// or a move or press shows that the left button was let go where this window did not
// see it. Then the window no longer follows the pointer, and that press goes where it
// is aimed instead of being swallowed.
class FrameDrag final : public QObject {
public:
    FrameDrag(QWidget* window, const QPoint& pressScreenPos)
        : QObject(window), window_(window), offset_(window->pos() - pressScreenPos) {
        window->installEventFilter(this);
        window->grabMouse();
    }

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (ended_ || object != window_) return false;
        switch (event->type()) {
            case QEvent::MouseMove: {
                const auto* e = static_cast<QMouseEvent*>(event);
                if (!(e->buttons() & Qt::LeftButton) || QWidget::mouseGrabber() != window_) {
                    end();
                    return false;
                }
                window_->move(e->globalPosition().toPoint() + offset_);
                return true;
            }
            case QEvent::MouseButtonRelease:
                if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton) return true;
                end();
                return true;
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonDblClick:
                // A new left press: the release of the one that started the drag was lost.
                if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
                    end();
                    return false;
                }
                return true;
            case QEvent::Hide:
            case QEvent::UngrabMouse:
                end();
                return false;
            default: return false;
        }
    }

private:
    void end() {
        ended_ = true;
        if (window_ != nullptr) {
            if (QWidget::mouseGrabber() == window_) window_->releaseMouse();
            window_->removeEventFilter(this);
        }
        deleteLater();
    }

    QPointer<QWidget> window_;
    QPoint offset_;
    bool ended_ = false;
};

}  // namespace

// ---- dialog units -----------------------------------------------------------------------

int DialogUnits::toPixelsX(int dlu) const { return mulDiv(dlu, baseX, 4); }
int DialogUnits::toPixelsY(int dlu) const { return mulDiv(dlu, baseY, 8); }

QRect DialogUnits::toPixels(const QRect& r) const {
    const int left = toPixelsX(r.x());
    const int top = toPixelsY(r.y());
    const int right = toPixelsX(r.x() + r.width());
    const int bottom = toPixelsY(r.y() + r.height());
    return QRect(left, top, right - left, bottom - top);
}

QFont dialogFont(const QString& face, int pointSize) {
    QFont f(resolveFace(face));
    f.setPixelSize(std::max(1, mulDiv(pointSize, 96, 72)));
    return f;
}

namespace {

DialogUnits measureDialogUnits(const QFont& font) {
    const QFontMetrics fm(font);
    const int width = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    DialogUnits u;
    u.baseX = (width / 26 + 1) / 2;
    u.baseY = fm.height();
    return u;
}

}  // namespace

DialogUnits dialogUnitsFor(const QFont& font) {
    // Every dialog in a font measures the same: a font sized in pixels (as dialogFont
    // makes them, whatever the screen) is measured once. Measuring the alphabet again
    // for each dialog cost as much as building one of its controls.
    static QHash<QString, DialogUnits> measured;
    const bool keep = font.pixelSize() > 0;
    const QString key = keep ? font.key() : QString();
    if (keep) {
        if (const auto it = measured.constFind(key); it != measured.cend()) return *it;
    }
    const DialogUnits u = measureDialogUnits(font);
    if (keep) measured.insert(key, u);
    return u;
}

int borderHitTest(const QRect& r, const QPoint& p, int band) {
    if (!r.contains(p)) return hit::Nowhere;
    const bool left = p.x() < r.left() + band;
    const bool right = p.x() >= r.left() + r.width() - band;
    const bool top = p.y() < r.top() + band;
    const bool bottom = p.y() >= r.top() + r.height() - band;
    if (top && left) return hit::TopLeft;
    if (top && right) return hit::TopRight;
    if (bottom && left) return hit::BottomLeft;
    if (bottom && right) return hit::BottomRight;
    if (top) return hit::Top;
    if (left) return hit::Left;
    if (right) return hit::Right;
    if (bottom) return hit::Bottom;
    return hit::Nowhere;
}

// ---- the dialog's widget ----------------------------------------------------------------

class Dialog::DialogWidget final : public QWidget {
public:
    explicit DialogWidget(Qt::WindowFlags flags) : QWidget(nullptr, flags) {}

protected:
    void closeEvent(QCloseEvent* e) override {
        // The window never closes itself: the close box is a request to the dialog.
        e->ignore();
        if (auto* d = dynamic_cast<Dialog*>(Window::fromWidget(this))) d->closeBox();
    }
    void changeEvent(QEvent* e) override {
        QWidget::changeEvent(e);
        if (e->type() != QEvent::WindowStateChange) return;
        if (auto* d = dynamic_cast<Dialog*>(Window::fromWidget(this))) d->stateChanged(isMinimized());
    }
    void resizeEvent(QResizeEvent* e) override {
        QWidget::resizeEvent(e);
        if (auto* d = dynamic_cast<Dialog*>(Window::fromWidget(this))) d->layoutClient();
    }
};

// ---- Dialog -------------------------------------------------------------------------

Dialog::Dialog(DialogTemplate t) : template_(std::move(t)) {}

Dialog::~Dialog() {
    if (exists()) destroy();
}

bool Dialog::build(Window* owner, bool child, int childId, const QPoint& topLeft) {
    if (!checkGuiThread("Dialog::create") || exists()) return false;
    if (owner != nullptr && !owner->exists()) return false;
    if (child && owner == nullptr) return false;
    font_ = dialogFont(template_.fontFace, template_.pointSize);
    units_ = dialogUnitsFor(font_);
    ended_ = false;
    result_ = -1;
    minimised_ = false;
    trackingSet_ = false;

    const std::uint32_t ds = template_.style;
    Qt::WindowFlags flags = Qt::Window;
    if (ds & dialogStyle::ToolWindow) flags = Qt::Tool;
    if (child) {
        flags = Qt::Widget;
    } else if (ds & dialogStyle::Frameless) {
        flags |= Qt::FramelessWindowHint;
    } else {
        flags |= Qt::CustomizeWindowHint;
        if (ds & dialogStyle::Caption) flags |= Qt::WindowTitleHint;
        if (ds & dialogStyle::SystemMenu) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
        if (ds & dialogStyle::MinimiseBox) flags |= Qt::WindowMinimizeButtonHint;
        if (ds & dialogStyle::MaximiseBox) flags |= Qt::WindowMaximizeButtonHint;
    }
    auto* outer = new DialogWidget(flags);
    outer->setFont(font_);
    auto* client = new QWidget(outer);
    if (ds & dialogStyle::Frameless) {
        outer->setMouseTracking(true);
        client->setMouseTracking(true);
    }
    menuBar_ = nullptr;
    if (template_.menu && !child) {
        menuBar_ = new QMenuBar(outer);
        menuBar_->setNativeMenuBar(false);
        for (const MenuPopup& popup : template_.menu->popups) {
            QMenu* menu = menuBar_->addMenu(popup.title);
            for (const MenuItem& item : popup.items) {
                if (item.separator) {
                    menu->addSeparator();
                    continue;
                }
                QAction* a = menu->addAction(item.text);
                a->setData(item.id);
            }
        }
    }

    // The template sizes the client area; a top-level window's rectangle holds its frame too.
    const QSize clientSize = units_.toPixels(template_.size);
    const QSize outerSize(clientSize.width(), clientSize.height() + menuHeight());
    const QSize framedSize = child ? outerSize : outerSize + frameExtra(outer);
    QRect area = QGuiApplication::primaryScreen() != nullptr ? QGuiApplication::primaryScreen()->availableGeometry()
                                                            : QRect(0, 0, 1024, 768);
    if (owner != nullptr && owner->widget() != nullptr) area = owner->windowRect();
    const QRect rect = child ? QRect(topLeft, outerSize)
                             : QRect(area.center() - QPoint(framedSize.width() / 2, framedSize.height() / 2), framedSize);
    if (!attach(outer, client, owner, child ? childId : 0, rect, 0, !child)) {
        menuBar_ = nullptr;
        return false;
    }
    if (!child) setText(template_.caption);

    if (menuBar_ != nullptr) {
        const Handle h = handle();
        for (QAction* top : menuBar_->actions()) {
            if (top->menu() == nullptr) continue;
            for (QAction* a : top->menu()->actions()) {
                if (a->isSeparator()) continue;
                const int itemId = a->data().toInt();
                // Posted: the command reaches the window after the menu has closed and its
                // trigger has returned, so a command that runs a dialog (in whose loop the
                // window may go) never runs under Qt's menu code.
                QObject::connect(a, &QAction::triggered, a, [h, itemId] {
                    gui::post(h, msg::Command, makeWParam(static_cast<std::uint16_t>(itemId), notify::MenuOrAccelerator), 0);
                });
            }
        }
    }

    items_.clear();
    for (const DialogItem& spec : template_.items) {
        std::unique_ptr<Window> control = makeControl(spec.kind);
        if (!control) continue;
        if (!control->create(this, spec.id, units_.toPixels(spec.rect), spec.style)) continue;
        control->setText(spec.text);
        items_.push_back(std::move(control));
    }

    const Handle self = handle();
    {
        HandlerScope scope(this);
        onInitDialog();
    }
    if (!isWindow(self)) return false;
    return true;
}

bool Dialog::createModeless(Window* owner) {
    modal_ = false;
    if (!build(owner)) return false;
    if (template_.style & dialogStyle::Visible) show(true);
    return true;
}

bool Dialog::createChild(Window* parent, int childId, const QPoint& topLeft) {
    modal_ = false;
    if (!build(parent, true, childId, topLeft)) return false;
    if (template_.style & dialogStyle::Visible) show(true);
    return true;
}

int Dialog::doModal(Window* owner) {
    if (!checkGuiThread("Dialog::doModal") || exists()) return -1;
    if (Application::quitPosted()) return -1;
    // The loop below runs inside this object: no deferred delete may free it meanwhile.
    HandlerScope running(this);
    modal_ = true;
    if (!build(owner)) {
        modal_ = false;
        return -1;
    }
    int code = -1;
    detail::ModalSteps steps;
    steps.show = [this] {
        show(true);
        return widget();
    };
    steps.running = [this] { return !ended_ && exists(); };
    steps.loop = [this](QEventLoop* loop) { loop_ = loop; };
    steps.close = [this, &code] {
        code = ended_ ? result_ : -1;
        if (exists()) destroy();
    };
    detail::runModalLoop(owner, steps);
    modal_ = false;
    return code;
}

void Dialog::endDialog(int code) {
    result_ = code;
    ended_ = true;
    if (loop_ != nullptr) loop_->exit(0);
    else if (!modal_ && exists()) hide();
}

void Dialog::windowDestroyed() {
    // Their handlers may be on the stack (a click on a control closed the dialog).
    for (auto& item : items_) item.release()->deleteLater();
    items_.clear();
    menuBar_ = nullptr;
    if (loop_ != nullptr) loop_->exit(-1);
}

Window* Dialog::item(int itemId) const { return child(itemId); }

QRect Dialog::itemRect(int itemId) const {
    for (const DialogItem& spec : template_.items) {
        if (spec.id == itemId) return units_.toPixels(spec.rect);
    }
    return QRect();
}

bool Dialog::fixedFrame() const {
    return !trackingSet_ && !(template_.style & (dialogStyle::Resizable | dialogStyle::Frameless));
}

void Dialog::beforeResize() {
    if (fixedFrame() && widget() != nullptr) {
        widget()->setMinimumSize(0, 0);
        widget()->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }
}

// A dialog without a sizing frame keeps the size the program gives it: the user
// cannot drag it to another.
void Dialog::afterResize() {
    if (fixedFrame() && widget() != nullptr) widget()->setFixedSize(widget()->size());
}

void Dialog::setTrackingSizes(const QSize& minimum, const QSize& maximum) {
    trackingSet_ = true;
    if (QWidget* w = widget()) {
        w->setMinimumSize(minimum);
        w->setMaximumSize(maximum);
    }
}

QAction* Dialog::menuAction(int itemId) const {
    if (menuBar_ == nullptr) return nullptr;
    for (QAction* top : menuBar_->actions()) {
        if (top->menu() == nullptr) continue;
        for (QAction* a : top->menu()->actions()) {
            if (!a->isSeparator() && a->data().toInt() == itemId) return a;
        }
    }
    return nullptr;
}

void Dialog::setMenuItemEnabled(int itemId, bool enabled) {
    if (QAction* a = menuAction(itemId)) a->setEnabled(enabled);
}

void Dialog::minimise() { send(msg::SysCommand, syscmd::Minimise); }
void Dialog::restore() { send(msg::SysCommand, syscmd::Restore); }

void Dialog::onOk() {
    if (modal_) endDialog(id::Ok);
    else hide();
}

void Dialog::onCancel() {
    if (modal_) endDialog(id::Cancel);
    else hide();
}

LResult Dialog::onCommand(int commandId, int code, Handle) {
    if (code != notify::ButtonClicked && code != 1) return 0;
    if (commandId == id::Ok) {
        onOk();
        return 1;
    }
    if (commandId == id::Cancel) {
        onCancel();
        return 1;
    }
    return 0;
}

LResult Dialog::onClose() {
    send(msg::Command, makeWParam(static_cast<std::uint16_t>(id::Cancel), notify::ButtonClicked), 0);
    return 0;
}

LResult Dialog::onSysCommand(std::uint32_t code) {
    // Track the state we are about to set so the window's own state-change event does
    // not report it a second time.
    if ((code & 0xFFF0u) == syscmd::Minimise) minimised_ = true;
    if ((code & 0xFFF0u) == syscmd::Restore) minimised_ = false;
    return Window::onSysCommand(code);
}

void Dialog::closeBox() { send(msg::SysCommand, syscmd::Close); }

void Dialog::stateChanged(bool minimisedNow) {
    if (minimisedNow == minimised_) return;
    send(msg::SysCommand, minimisedNow ? syscmd::Minimise : syscmd::Restore);
    minimised_ = minimisedNow;
}

void Dialog::dialogKey(int qtKey) {
    if (!exists()) return;
    if (qtKey == Qt::Key_Escape) {
        Window* cancel = child(id::Cancel);
        send(msg::Command, makeWParam(static_cast<std::uint16_t>(id::Cancel), notify::ButtonClicked),
             cancel != nullptr ? handleToLParam(cancel->handle()) : 0);
        return;
    }
    // Enter: the focused push button, else the default button, else OK.
    int target = id::Ok;
    Window* focus = focusWindow();
    if (focus != nullptr && focus->parent() == this && dynamic_cast<PushButton*>(focus) != nullptr) {
        target = focus->id();
    } else {
        for (Window* c : children()) {
            if (dynamic_cast<PushButton*>(c) != nullptr && (c->style() & style::DefaultButton)) {
                target = c->id();
                break;
            }
        }
    }
    Window* button = child(target);
    if (button != nullptr && !button->isEnabled()) return;  // a disabled default does nothing
    send(msg::Command, makeWParam(static_cast<std::uint16_t>(target), notify::ButtonClicked),
         button != nullptr ? handleToLParam(button->handle()) : 0);
}

int Dialog::menuHeight() const { return menuBar_ != nullptr ? menuBar_->sizeHint().height() : 0; }

void Dialog::layoutClient() {
    if (menuBar_ != nullptr && widget() != nullptr) menuBar_->setGeometry(0, 0, widget()->width(), menuHeight());
    Window::layoutClient();
}

int Dialog::hitTest(const QPoint& screenPos) const {
    if (!(template_.style & dialogStyle::Frameless)) return hit::Client;
    const int code = borderHitTest(windowRect(), screenPos);
    return code == hit::Nowhere ? hit::Client : code;
}

bool Dialog::onFramePress(const MouseEvent& e) {
    if (!(template_.style & dialogStyle::Frameless) || e.button != Qt::LeftButton) return false;
    QWindow* handleWindow = widget() != nullptr ? widget()->windowHandle() : nullptr;
    if (handleWindow == nullptr) return false;
    const int code = hitTest(e.screenPos);
    if (code == hit::Caption) {
        new FrameDrag(widget(), e.screenPos);
        return true;
    }
    const Qt::Edges edges = edgesForHit(code);
    if (edges) {
        if (widget()->minimumSize() != widget()->maximumSize()) handleWindow->startSystemResize(edges);
        return true;
    }
    return false;
}

void Dialog::onFrameHover(const MouseEvent& e) {
    if (!(template_.style & dialogStyle::Frameless) || widget() == nullptr) return;
    const bool fixed = widget()->minimumSize() == widget()->maximumSize();
    switch (fixed ? hit::Client : hitTest(e.screenPos)) {
        case hit::Left:
        case hit::Right: widget()->setCursor(Qt::SizeHorCursor); break;
        case hit::Top:
        case hit::Bottom: widget()->setCursor(Qt::SizeVerCursor); break;
        case hit::TopLeft:
        case hit::BottomRight: widget()->setCursor(Qt::SizeFDiagCursor); break;
        case hit::TopRight:
        case hit::BottomLeft: widget()->setCursor(Qt::SizeBDiagCursor); break;
        default: widget()->unsetCursor(); break;
    }
}

}  // namespace gui
