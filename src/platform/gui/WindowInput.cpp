// Input routing: the owner gate of modal runs, key numbers, mouse capture, and the
// bridge from Qt's input events to a window's hooks.
#include "platform/gui/Window.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QWheelEvent>
#include <QWidget>
#include <QSocketNotifier>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <deque>
#include <mutex>
#include <unordered_map>

#include <sys/eventfd.h>
#include <unistd.h>

#include "platform/core/Debug.h"
#include "platform/core/Handles.h"
#include "platform/gui/Application.h"
#include "platform/gui/Dialog.h"
#include "platform/gui/Drawing.h"
#include "platform/gui/Internal.h"
#include "platform/gui/PostData.h"

namespace gui {

// ---- user input blocked by a modal dialog ---------------------------------------------

namespace {

// Guarded: an owner destroyed while its dialog runs must not block a later widget
// that happens to get its address.
struct BlockedOwner {
    std::uint64_t block;  // which OwnerInputBlock made the entry
    QPointer<QWidget> owner;
};
std::vector<BlockedOwner>& blockedOwners() {
    static std::vector<BlockedOwner> owners;
    return owners;
}
std::uint64_t g_nextBlock = 1;

// The mouse, wheel and key events: what the hooks see of the user's input.
bool isMouseOrKey(int type) {
    switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
            return true;
        default:
            return false;
    }
}

bool isUserInput(QEvent::Type type) {
    if (isMouseOrKey(type)) return true;
    switch (type) {
        case QEvent::ShortcutOverride:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::Close:
            return true;
        default:
            return false;
    }
}

// Drops the user's input to a window whose modal dialog runs, as a disabled owner
// would, without greying its controls or disabling its other owned windows (which
// Qt's window modality would block too).
class OwnerInputFilter final : public QObject {
public:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (blockedOwners().empty() || !event->spontaneous() || !isUserInput(event->type())) return false;
        if (!object->isWidgetType()) return false;
        QWidget* top = static_cast<QWidget*>(object)->window();
        const auto& owners = blockedOwners();
        if (std::none_of(owners.begin(), owners.end(), [top](const BlockedOwner& o) { return o.owner.data() == top; })) {
            return false;
        }
        if (event->type() == QEvent::Close) event->ignore();
        return true;
    }
};

}  // namespace

detail::OwnerInputBlock::OwnerInputBlock(QWidget* ownerTopLevel) {
    if (ownerTopLevel == nullptr || QCoreApplication::instance() == nullptr) return;
    static OwnerInputFilter* filter = [] {
        auto* f = new OwnerInputFilter;  // lives as long as the program
        QCoreApplication::instance()->installEventFilter(f);
        return f;
    }();
    (void)filter;
    block_ = g_nextBlock++;
    blockedOwners().push_back(BlockedOwner{block_, ownerTopLevel});
}

detail::OwnerInputBlock::~OwnerInputBlock() {
    auto& owners = blockedOwners();
    owners.erase(std::remove_if(owners.begin(), owners.end(), [this](const BlockedOwner& o) { return o.block == block_; }),
                 owners.end());
}

// ---- key numbers ------------------------------------------------------------------------

int systemKeyCode(int key, bool keypad) {
    if (keypad && key >= Qt::Key_0 && key <= Qt::Key_9) return 0x60 + (key - Qt::Key_0);
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return 48 + (key - Qt::Key_0);
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return 65 + (key - Qt::Key_A);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return 0x70 + (key - Qt::Key_F1);
    switch (key) {
        case Qt::Key_Backspace: return 8;
        case Qt::Key_Tab:
        case Qt::Key_Backtab: return 9;
        case Qt::Key_Return:
        case Qt::Key_Enter: return 13;
        case Qt::Key_Shift: return 16;
        case Qt::Key_Control: return 17;
        case Qt::Key_Alt: return 18;
        case Qt::Key_Escape: return 27;
        case Qt::Key_Space: return 32;
        case Qt::Key_PageUp: return 33;
        case Qt::Key_PageDown: return 34;
        case Qt::Key_End: return 35;
        case Qt::Key_Home: return 36;
        case Qt::Key_Left: return 37;
        case Qt::Key_Up: return 38;
        case Qt::Key_Right: return 39;
        case Qt::Key_Down: return 40;
        case Qt::Key_Insert: return 45;
        case Qt::Key_Delete: return 46;
        case Qt::Key_Asterisk: return keypad ? 0x6A : 0;
        case Qt::Key_Plus: return keypad ? 0x6B : 0xBB;
        case Qt::Key_Minus: return keypad ? 0x6D : 0xBD;
        case Qt::Key_Period: return keypad ? 0x6E : 0xBE;
        case Qt::Key_Slash: return keypad ? 0x6F : 0xBF;
        case Qt::Key_Comma: return 0xBC;
        default: return 0;
    }
}

namespace {
Handle g_capture = 0;  // GUI thread only
}  // namespace

void Window::setCapture() {
    if (!widget_ || !checkGuiThread("Window::setCapture")) return;
    if (Window* old = captureWindow(); old != nullptr && old != this) old->releaseCapture();
    g_capture = handle_;
    widget_->grabMouse();
}

void Window::releaseCapture() {
    if (g_capture == 0 || g_capture != handle_) return;
    g_capture = 0;
    if (widget_) widget_->releaseMouse();
}

bool Window::hasCapture() const { return exists() && g_capture == handle_; }

Window* Window::captureWindow() { return fromHandle(g_capture); }

// ---- events ---------------------------------------------------------------------------

namespace {

MouseEvent toMouseEvent(const QWidget* client, const QSinglePointEvent* e) {
    MouseEvent m;
    m.screenPos = e->globalPosition().toPoint();
    m.pos = client != nullptr ? client->mapFromGlobal(m.screenPos) : e->position().toPoint();
    m.button = e->button();
    m.buttons = e->buttons();
    m.modifiers = e->modifiers();
    return m;
}

KeyEvent toKeyEvent(const QKeyEvent* e) {
    KeyEvent k;
    k.key = e->key();
    k.keypad = e->modifiers().testFlag(Qt::KeypadModifier);
    k.code = systemKeyCode(k.key, k.keypad);
    k.text = e->text();
    k.modifiers = e->modifiers();
    k.autoRepeat = e->isAutoRepeat();
    return k;
}

bool isDialogKey(int key) { return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape; }

}  // namespace

namespace {

// A press that no widget takes travels up to the parents (Qt hands each a copy) and
// passes the filter for each: the first is enough.
bool firstSightOfPress(const QEvent* event, const QWidget* topLevel) {
    static quint64 lastTime = 0;
    static QPointF lastPos;
    static const QWidget* lastTop = nullptr;
    const auto* press = static_cast<const QMouseEvent*>(event);
    if (press->timestamp() == lastTime && press->globalPosition() == lastPos && topLevel == lastTop) return false;
    lastTime = press->timestamp();
    lastPos = press->globalPosition();
    lastTop = topLevel;
    return true;
}

// A press anywhere in a top-level window (a control, its menu bar, a widget of Qt's own
// inside a control) brings the window forward: what it owns goes back above it. A window
// manager raises the window at the press; without one nothing else would.
class PressFilter final : public QObject {
public:
    bool eventFilter(QObject* object, QEvent* event) override {
        const QEvent::Type type = event->type();
        if ((type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick) || !object->isWidgetType())
            return false;
        QWidget* top = static_cast<QWidget*>(object)->window();
        if (firstSightOfPress(event, top)) detail::bringForward(top, false);
        return false;
    }
};

}  // namespace

void detail::watchPresses() {
    if (QCoreApplication::instance() == nullptr) return;
    static PressFilter* filter = [] {
        auto* f = new PressFilter;  // lives as long as the program
        QCoreApplication::instance()->installEventFilter(f);
        return f;
    }();
    (void)filter;
}

bool Window::hooksSee(int eventType) {
    if (isMouseOrKey(eventType)) return true;
    switch (eventType) {
        case QEvent::Resize:
        case QEvent::Paint:
        case QEvent::FocusIn:
        case QEvent::FocusOut:
        case QEvent::Show:            // of a top-level window: stacking
        case QEvent::WindowActivate:  // likewise
            return true;
        default:
            return false;
    }
}

bool Window::askOwnersBeforeInput(const InputEvent& event) {
    const Handle self = handle_;
    Window* w = topLevel();
    while (w != nullptr) {
        const Handle at = w->handle_;
        w->beforeOwnedInput(event);
        if (!isWindow(self)) return false;
        // An owner its own hook destroyed has no owner chain left to ask.
        if (!isWindow(at)) break;
        w = w->parent_ != nullptr ? w->parent_->topLevel() : nullptr;
    }
    return true;
}

bool Window::handleEvent(QObject* object, QEvent* event) {
    const Handle self = handle_;
    // Only input asks the dialog first; a paint or resize needs no search for it.
    const auto ownDialog = [this] { return dynamic_cast<Dialog*>(topLevel()); };
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove: {
            // A disabled window takes no clicks: neither its hooks nor its dialog see them.
            if (event->type() != QEvent::MouseMove && widget_ != nullptr && !widget_->isEnabled()) return true;
            const MouseEvent m = toMouseEvent(client_, static_cast<QMouseEvent*>(event));
            InputEvent in;
            in.mouse = m;
            bool consumed = false;
            switch (event->type()) {
                case QEvent::MouseButtonPress:
                    in.kind = InputEvent::MouseDown;
                    break;
                case QEvent::MouseButtonRelease:
                    in.kind = InputEvent::MouseUp;
                    break;
                case QEvent::MouseButtonDblClick:
                    in.kind = InputEvent::MouseDown;
                    break;
                default:
                    in.kind = InputEvent::MouseMove;
                    break;
            }
            if (in.kind == InputEvent::MouseDown && !askOwnersBeforeInput(in)) return true;
            if (Dialog* dialog = ownDialog(); dialog != nullptr && dialog->preTranslate(*this, in)) {
                if (isWindow(self)) cancelNativePress(object);
                return true;
            }
            if (!isWindow(self)) return true;
            switch (event->type()) {
                case QEvent::MouseButtonPress:
                    consumed = onMouseDown(m);
                    break;
                case QEvent::MouseButtonRelease:
                    consumed = onMouseUp(m);
                    break;
                case QEvent::MouseButtonDblClick:
                    consumed = onDoubleClick(m);
                    break;
                default:
                    consumed = onMouseMove(m);
                    break;
            }
            if (!isWindow(self)) return true;  // destroyed by its own hook
            if (consumed) {
                cancelNativePress(object);
                return true;
            }
            const bool onFrame = (object == widget_.data() || object == client_.data()) && widget_->isWindow();
            if (onFrame && event->type() == QEvent::MouseButtonPress && onFramePress(m)) return true;
            if (onFrame && event->type() == QEvent::MouseMove) onFrameHover(m);
            if (!isWindow(self) || blocksNativeInput()) return true;
            if (event->type() == QEvent::MouseMove) {
                // A move belongs to the window under the pointer only: a widget that
                // ignores it must not pass it on to the parent window as a move of its own.
                object->event(event);
                event->accept();
                return true;
            }
            return false;
        }
        case QEvent::Wheel: {
            auto* we = static_cast<QWheelEvent*>(event);
            const MouseEvent m = toMouseEvent(client_, we);
            InputEvent in;
            in.kind = InputEvent::Wheel;
            in.mouse = m;
            in.wheelDelta = we->angleDelta().y();
            if (!askOwnersBeforeInput(in)) return true;
            if (Dialog* dialog = ownDialog(); dialog != nullptr && dialog->preTranslate(*this, in)) return true;
            if (!isWindow(self)) return true;
            if (onWheel(in.wheelDelta, m)) return true;
            return isWindow(self) ? blocksNativeInput() : true;
        }
        case QEvent::KeyPress:
            return dispatchKey(object, event);
        case QEvent::KeyRelease: {
            const KeyEvent k = toKeyEvent(static_cast<QKeyEvent*>(event));
            InputEvent in;
            in.kind = InputEvent::KeyUp;
            in.key = k;
            if (Dialog* dialog = ownDialog(); dialog != nullptr && dialog->preTranslate(*this, in)) return true;
            if (!isWindow(self)) return true;
            if (onKeyUp(k)) return true;
            if (!isWindow(self) || blocksNativeInput()) return true;
            deliverKeyToWidget(object, event);
            if (isWindow(self)) onAfterKeyUp(k);
            return true;
        }
        case QEvent::Resize:
            if (object == client_.data()) sendSizeIfChanged();
            if (object == widget_.data() && client_ != widget_) layoutClient();
            return false;
        case QEvent::Paint:
            if (object == widget_.data()) runColourQuery();
            return false;
        case QEvent::Show:
            if (object == widget_.data() && widget_->isWindow()) shownAsTopLevel();
            return false;
        case QEvent::WindowActivate:
            if (object == widget_.data() && widget_->isWindow()) detail::bringForward(widget_, false);
            return false;
        case QEvent::FocusIn:
            if (object == widget_.data()) onSetFocus();
            return false;
        case QEvent::FocusOut:
            if (object == widget_.data()) onKillFocus(static_cast<QFocusEvent*>(event)->reason());
            return false;
        default:
            return false;
    }
}

// A press or release that a hook consumed must not leave the widget half-clicked: a
// button that saw the press but not the release would stay drawn pressed.
void Window::cancelNativePress(QObject* object) {
    if (auto* b = qobject_cast<QAbstractButton*>(object); b != nullptr && b->isDown()) {
        b->setDown(false);
        b->update();
    }
    if (auto* s = qobject_cast<QAbstractSlider*>(object); s != nullptr && s->isSliderDown()) s->setSliderDown(false);
}

bool Window::deliverKeyToWidget(QObject* object, QEvent* event) {
    // The widget handles the key here and now; a key it ignores must not travel up
    // Qt's parent chain to the dialog: the system gives keys to the focus window only.
    object->event(event);
    event->accept();  // accepted and handled: Qt stops here
    return true;
}

bool Window::dispatchKey(QObject* object, QEvent* event) {
    auto* ke = static_cast<QKeyEvent*>(event);
    const Handle self = handle_;
    const KeyEvent k = toKeyEvent(ke);
    Dialog* dialog = dynamic_cast<Dialog*>(topLevel());
    InputEvent in;
    in.kind = InputEvent::KeyDown;
    in.key = k;
    if (!askOwnersBeforeInput(in)) return true;
    if (dialog != nullptr && dialog->preTranslate(*this, in)) return true;
    if (!isWindow(self)) return true;
    if (isDialogKey(k.key) && dialog != nullptr && !wantsAllKeys()) {
        dialog->dialogKey(k.key);
        return true;
    }
    if (onKeyDown(k)) return true;
    if (!isWindow(self)) return true;
    if (!k.text.isEmpty() && onChar(k)) return true;
    if (!isWindow(self)) return true;
    const bool tab = k.key == Qt::Key_Tab || k.key == Qt::Key_Backtab;
    // A control that wants every key keeps Tab: focus does not move. Otherwise Tab
    // moves the focus even from a control without input handling of its own.
    if (wantsAllKeys() && tab) return true;
    if (blocksNativeInput() && !tab) return true;
    deliverKeyToWidget(object, event);
    if (isWindow(self)) onAfterKeyDown(k);
    return true;
}

}  // namespace gui
