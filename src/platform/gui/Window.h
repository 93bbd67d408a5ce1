// Windows and messages.
//
// A Window is a C++ object of ours, separate from the Qt widget that shows it: the
// widget is held by QPointer and Qt never deletes a Window. A created window has a
// 64-bit handle from platform::HandleRegistry that is never reused.
//
// - send(handle, msg, w, l) runs the window's windowProc at once (GUI thread only) and
//   returns its result; 0 for a dead or null handle.
// - post(handle, msg, w, l) works from any thread, never blocks, and is dropped when
//   the window is gone by the time the GUI thread delivers it.
//
// windowProc is the message procedure: subclasses handle what they want and hand the
// rest to defaultProc, which turns the standard messages into the virtual hooks below
// (onCommand, onTimer, onClose, ...). Input and painting reach the window through
// hooks that return "consumed": a consumed event skips the widget's own processing.
#pragma once

#include <QFont>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "platform/gui/Messages.h"

class QPainter;
class QTimer;
class QEvent;

namespace gui {

class Region;
class Font;
class Dialog;

namespace detail {
void bringForward(QWidget* topLevel, bool raiseItself);
}

// Window style bits (our own layout). The common bits sit in the high half, the
// per-class bits in the low half.
namespace style {
inline constexpr std::uint32_t Visible = 1u << 28;
inline constexpr std::uint32_t Disabled = 1u << 27;
inline constexpr std::uint32_t Border = 1u << 23;
inline constexpr std::uint32_t VScroll = 1u << 21;
inline constexpr std::uint32_t Group = 1u << 17;
inline constexpr std::uint32_t TabStop = 1u << 16;
inline constexpr std::uint32_t ClientEdge = 1u << 15;  // sunken frame
// static text
inline constexpr std::uint32_t OwnerDraw = 1u << 0;  // painted by onPaint only
inline constexpr std::uint32_t CentreText = 1u << 1;
inline constexpr std::uint32_t RightText = 1u << 2;
// buttons
inline constexpr std::uint32_t PushLike = 1u << 3;       // check button drawn as a push button
inline constexpr std::uint32_t AutoCheck = 1u << 12;     // check button toggles itself on a click
inline constexpr std::uint32_t ThreeState = 1u << 13;    // with AutoCheck: off -> on -> indeterminate
inline constexpr std::uint32_t DefaultButton = 1u << 4;  // Enter gives its id
// edit
inline constexpr std::uint32_t ReadOnly = 1u << 5;
inline constexpr std::uint32_t AutoHScroll = 1u << 6;
inline constexpr std::uint32_t WantsAllKeys = 1u << 7;  // Enter/Esc go to the control
// list view
inline constexpr std::uint32_t GridLines = 1u << 8;
inline constexpr std::uint32_t FullRowSelect = 1u << 9;
// trackbar
inline constexpr std::uint32_t NoTicks = 1u << 10;
// tab bar
inline constexpr std::uint32_t HotTrack = 1u << 11;
}  // namespace style

// Filled by a parent that answers a colour query for one of its controls.
struct ColourQuery {
    std::optional<QColor> text;
    std::optional<QColor> background;
};

// Which query a control asks: an editable edit, or static text (read-only or
// disabled edits, labels, group boxes).
enum class ColourKind { Edit, Static };

struct MouseEvent {
    QPoint pos;        // client coordinates of the window that receives it
    QPoint screenPos;  // screen coordinates
    Qt::MouseButton button = Qt::NoButton;
    Qt::MouseButtons buttons;
    Qt::KeyboardModifiers modifiers;
};

struct KeyEvent {
    int key = 0;   // Qt::Key
    int code = 0;  // the system's key number (see systemKeyCode)
    QString text;  // the character(s) the key produced, if any
    Qt::KeyboardModifiers modifiers;
    bool keypad = false;
    bool autoRepeat = false;
};

// The system's key numbers for the keys the program tests: Backspace 8, Tab 9,
// Enter 13, Escape 27, Space 32, Page Up 33 ... Down 40, Delete 46, digits 48-57,
// letters 65-90, keypad digits 0x60-0x69, F1 0x70 ...; 0 for anything else.
int systemKeyCode(int qtKey, bool keypad);

// What a dialog's preTranslate sees before the target window does.
struct InputEvent {
    enum Kind { MouseDown, MouseUp, MouseMove, Wheel, KeyDown, KeyUp } kind = MouseMove;
    MouseEvent mouse;
    KeyEvent key;
    int wheelDelta = 0;
};

class Window {
public:
    Window();
    // Destroys the window when it still exists, but by then the derived classes are
    // gone and never see Destroy (a debug line says so): delete created windows
    // through deleteLater() or WindowPtr instead.
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // ---- identity ---------------------------------------------------------------------
    Handle handle() const { return handle_; }
    bool exists() const { return handle_ != 0; }
    int id() const { return id_; }
    Window* parent() const { return parent_; }
    const std::vector<Window*>& children() const { return children_; }
    Window* child(int id) const;  // direct child with that id, or null
    QWidget* widget() const { return widget_.data(); }
    QWidget* clientWidget() const { return client_.data(); }
    Window* topLevel();                        // this window, or the top of its parent chain
    static Window* fromHandle(Handle handle);  // GUI thread; null when dead
    // The window whose widget (or an inner part of it) has the keyboard focus.
    static Window* focusWindow();
    static Window* fromWidget(const QWidget* widget);

    // ---- creation ---------------------------------------------------------------------
    // A plain child window painted by onPaint; the typed controls override this with
    // their own widget. rect is in the parent's client coordinates.
    virtual bool create(Window* parent, int id, const QRect& rect, std::uint32_t styleBits = style::Visible);
    // Sends Destroy to this window (everything still alive), then destroys its
    // children and owned windows the same way, then frees the handle and the widget.
    void destroy();
    // Destroys the window now, while the whole object is alive, and deletes the object
    // (made with new; the layer owns it from here) once no handler of it or of its
    // child windows is on the stack: from the event loop, never inside the caller.
    void deleteLater();
    bool isDeletePending() const;

    // ---- messages ---------------------------------------------------------------------
    LResult send(std::uint32_t msg, WParam w = 0, LParam l = 0);
    bool post(std::uint32_t msg, WParam w = 0, LParam l = 0) const;
    virtual LResult windowProc(std::uint32_t msg, WParam w, LParam l);
    // Every message sent or posted to the window passes here first, with its w; false
    // drops it (then windowProc does not see it and a send gives 0). A window that must
    // finish pending work before any handler of its own runs does it here. The default
    // passes all.
    virtual bool beforeMessage(std::uint32_t msg, WParam w) {
        (void)msg;
        (void)w;
        return true;
    }
    // A press, a key or a wheel turn on this window, on a window it owns, or on one further
    // down the owner chain (a window owned by one it owns), before the target's dialog or
    // the target sees it. The layer asks every window up the target's owner chain, nearest
    // first. A window whose owned windows must not act before its own pending work is done
    // finishes that work here. The default does nothing.
    virtual void beforeOwnedInput(const InputEvent& event) { (void)event; }
    virtual LResult defaultProc(std::uint32_t msg, WParam w, LParam l);

    // ---- visibility and state ---------------------------------------------------------
    // Shows or hides the window; sends ShowWindow first when the state changes.
    // Returns whether it was shown before.
    bool show(bool visible = true);
    bool hide() { return show(false); }
    bool isShown() const;    // its own flag
    bool isVisible() const;  // shown and every parent shown
    // Returns whether the window was disabled before.
    bool setEnabled(bool enabled);
    bool isEnabled() const;
    virtual void setText(const QString& text);
    virtual QString text() const { return text_; }
    void setFont(const QFont& font);
    void setFont(const Font& font);
    QFont font() const;
    std::uint32_t style() const { return style_; }
    void modifyStyle(std::uint32_t remove, std::uint32_t add);

    // ---- geometry ---------------------------------------------------------------------
    QRect clientRect() const;  // (0, 0, width, height) of the client area
    QRect windowRect() const;  // screen coordinates, frame included
    QRect rectInParent() const;
    // A child's rect is in its parent's client coordinates; a top-level window's is
    // its frame rectangle on the screen, moved wholly onto the screen (wholeOnScreen),
    // as it is again when the window is shown.
    void moveWindow(const QRect& rect);
    void setClientSize(const QSize& size);
    QPoint clientToScreen(const QPoint& p) const;
    QPoint screenToClient(const QPoint& p) const;
    QSize naturalSize() const;

    // ---- painting ---------------------------------------------------------------------
    void invalidate();  // repaint soon
    void updateNow();   // repaint before returning

    // ---- timers -----------------------------------------------------------------------
    // Timer messages (w = timerId) arrive on the GUI thread until killTimer or destroy.
    bool setTimer(int timerId, int intervalMs);
    bool killTimer(int timerId);
    bool hasTimer(int timerId) const;

    // ---- focus, parents, z-order, shape -------------------------------------------------
    void setFocus();
    bool hasFocus() const;
    // Makes the window's top-level window the active one (raised, keyboard focus).
    void activate();
    void setParent(Window* newParent);  // null makes it a top-level window
    void setRegion(const Region& region);
    void clearRegion();
    void setMouseTransparent(bool transparent);
    void lowerBelowSiblings();
    // A top-level window is raised with the windows it owns kept above it (as activate).
    void raiseAboveSiblings();
    void setWantsAllKeys(bool wants);
    virtual bool wantsAllKeys() const;

    // ---- mouse capture ------------------------------------------------------------------
    // While captured, every mouse event of the program reaches this window's hooks (in
    // its client coordinates), wherever the pointer is. Destroying the window releases it.
    void setCapture();
    void releaseCapture();
    bool hasCapture() const;
    static Window* captureWindow();

protected:
    // Where a control's widget is made for the parent window: made there at once, it
    // is spared becoming a top-level window first and then a child again (what Qt
    // does on a later reparenting costs as much as the rest of a label). Null
    // without a parent.
    static QWidget* childHost(Window* parent);
    // Used by create() overrides: registers the window, parents the widget, places it,
    // and runs Create and Size synchronously before the first show.
    // topLevel makes a window of its own (owned by parent when there is one); otherwise
    // the widget becomes a child of the parent's client area.
    bool attach(QWidget* outer, QWidget* client, Window* parent, int id, const QRect& rect, std::uint32_t styleBits,
                bool topLevel = false);

    // Hooks. The mouse, key and wheel hooks return true when they consumed the event.
    virtual void onCreate() {}
    virtual void onDestroy() {}
    virtual void onSize(int width, int height) {
        (void)width;
        (void)height;
    }
    virtual void onTimer(int timerId) { (void)timerId; }
    virtual LResult onCommand(int id, int code, Handle from);
    virtual LResult onSysCommand(std::uint32_t code);
    virtual LResult onClose();  // default: destroy
    virtual bool onPaint(QPainter& painter) {
        (void)painter;
        return false;
    }
    virtual bool onMouseDown(const MouseEvent& e) {
        (void)e;
        return false;
    }
    virtual bool onMouseUp(const MouseEvent& e) {
        (void)e;
        return false;
    }
    virtual bool onMouseMove(const MouseEvent& e) {
        (void)e;
        return false;
    }
    virtual bool onDoubleClick(const MouseEvent& e) {
        (void)e;
        return false;
    }
    virtual bool onWheel(int delta, const MouseEvent& e) {
        (void)delta;
        (void)e;
        return false;
    }
    virtual bool onKeyDown(const KeyEvent& e) {
        (void)e;
        return false;
    }
    virtual bool onKeyUp(const KeyEvent& e) {
        (void)e;
        return false;
    }
    virtual bool onChar(const KeyEvent& e) {
        (void)e;
        return false;
    }
    // After the widget's own handling of a key it did not consume (an edit has inserted
    // the character by then). Not called for consumed keys or dialog keys.
    virtual void onAfterKeyDown(const KeyEvent& e) { (void)e; }
    virtual void onAfterKeyUp(const KeyEvent& e) { (void)e; }
    // A control's own notification (Command or HScroll to its parent) reaches the
    // control first; true keeps it from the parent.
    virtual bool onNotify(std::uint32_t msg, WParam w, LParam l) {
        (void)msg;
        (void)w;
        (void)l;
        return false;
    }
    // The colour query of a child control before it paints; true when answered.
    virtual bool onColourQuery(Window& control, ColourKind kind, ColourQuery& answer) {
        (void)control;
        (void)kind;
        (void)answer;
        return false;
    }
    virtual void onSetFocus() {}
    virtual void onKillFocus(Qt::FocusReason reason) { (void)reason; }
    // Top-level frameless windows: a press the hooks did not consume on the window
    // itself (not on a control). Dialog uses it for its hit test.
    virtual bool onFramePress(const MouseEvent& e) {
        (void)e;
        return false;
    }
    virtual void onFrameHover(const MouseEvent& e) { (void)e; }

    // Controls: the colour query to ask the parent before painting (none: no query),
    // and how to apply the answer. Called with an empty query when nobody answered.
    virtual std::optional<ColourKind> colourQueryKind() const { return std::nullopt; }
    virtual void applyColours(const ColourQuery& answer) { (void)answer; }
    // Controls: whether the widget's own mouse/key/wheel handling is switched off.
    virtual bool blocksNativeInput() const { return false; }
    // Lets a control adjust the rectangle it is given (a combo box keeps its field
    // height: the system's combo rectangle also covers the drop-down list).
    virtual QRect adjustRect(const QRect& rect) const { return rect; }
    // Gives the widget its font (setFont); a control may do it more cheaply.
    virtual void applyFont(QWidget& widget, const QFont& font);
    // Windows with a menu bar above the client area report its height.
    virtual int menuHeight() const { return 0; }
    // Around a programmatic resize of a top-level window (a fixed-size dialog lifts
    // and restores its limits).
    virtual void beforeResize() {}
    virtual void afterResize() {}
    // Places the client area (and a menu bar) inside the outer widget.
    virtual void layoutClient();
    // Adds the event bridge to an inner widget of a control (for example a list
    // view's viewport) so its input reaches the hooks too.
    void bridgeInnerWidget(QWidget* inner);
    // Controls: a style change to apply to the widget.
    virtual void onStyleChanged(std::uint32_t oldStyle, std::uint32_t newStyle) {
        (void)oldStyle;
        (void)newStyle;
    }
    // Sends msg to the parent (0 without one).
    LResult sendToParent(std::uint32_t msg, WParam w, LParam l);
    // A notification: to onNotify first, then (unless it kept it) to the parent.
    LResult notify(std::uint32_t msg, WParam w, LParam l);
    // Notifies Command(id | code << 16, this handle).
    LResult notifyParent(std::uint16_t code);

private:
    friend class EventBridge;
    friend class HostWidget;
    friend class Dialog;
    friend class HandlerScope;
    friend void reapDeferredDeletes(bool all);
    friend void detail::bringForward(QWidget* topLevel, bool raiseItself);
    bool handleEvent(QObject* object, QEvent* event);
    // The event types handleEvent acts on; every other one passes it untouched.
    static bool hooksSee(int eventType);
    bool dispatchKey(QObject* object, QEvent* event);
    static bool deliverKeyToWidget(QObject* object, QEvent* event);
    void runColourQuery();
    void paintHost(QWidget* host);
    void sendSizeIfChanged();
    void detachChild(Window* child);
    // Asks this window's top-level window and its owners, nearest first, before the input
    // goes on (beforeOwnedInput); false when a hook destroyed this window.
    bool askOwnersBeforeInput(const InputEvent& event);
    void cancelNativePress(QObject* object);
    // Stacking (WindowState.cpp). The top-level windows this one owns directly: owned by it
    // or by one of its controls.
    void collectOwned(std::vector<Window*>& out) const;
    void collectOwnedInOrder(std::vector<Window*>& out) const;  // as last brought forward
    // Raises the shown ones above it, each followed by its own, in the order they were
    // last brought forward.
    void restackOwned();
    // The window's top-level widget was shown (its Show event, before it is mapped).
    void shownAsTopLevel();
    // Maps again the owned windows that were mapped before this, their owner, was.
    void remapOwnedShownEarly();
    virtual void windowDestroyed() {}  // after the handle is gone (Dialog ends its loop)

    const std::uint64_t serial_;  // never reused; keys the handler depth
    Handle handle_ = 0;
    int id_ = 0;
    Window* parent_ = nullptr;
    std::vector<Window*> children_;
    QPointer<QWidget> widget_;
    QPointer<QWidget> client_;
    std::vector<QPointer<QWidget>> innerWidgets_;  // bridged inner widgets of a control
    QString text_;
    std::uint32_t style_ = 0;
    bool wantsAllKeys_ = false;
    bool destroying_ = false;
    QSize lastSize_{-1, -1};
    std::uint64_t broughtForward_ = 0;  // when last brought forward; orders owned windows
    bool mappedBeforeOwner_ = false;    // an owned window shown while its owner was hidden
    std::map<int, std::unique_ptr<QTimer>> timers_;
};

// Deletes through Window::deleteLater, so a window held by std::unique_ptr is destroyed
// whole and freed only once none of its handlers runs.
struct DeferredDelete {
    void operator()(Window* window) const;
};
template <class T>
using WindowPtr = std::unique_ptr<T, DeferredDelete>;
template <class T, class... Args>
WindowPtr<T> makeWindow(Args&&... args) {
    return WindowPtr<T>(new T(std::forward<Args>(args)...));
}
// Hands a window held by a plain std::unique_ptr to the deferred delete.
template <class T>
void deleteLater(std::unique_ptr<T> window) {
    if (window) window.release()->deleteLater();
}

// Free forms of the message calls.
LResult send(Handle handle, std::uint32_t msg, WParam w = 0, LParam l = 0);
inline bool post(Handle handle, std::uint32_t msg, WParam w = 0, LParam l = 0) {
    return platform::post(handle, msg, w, l);
}
bool isWindow(Handle handle);  // GUI thread
// The available area of the screen holding rect's centre (else the primary screen);
// empty with no screen. GUI thread.
QRect availableScreenArea(const QRect& rect);
// rect moved, not resized, to lie wholly on the available area of the screen holding
// its centre (else the primary screen); one larger than the area keeps its top left
// corner on it. GUI thread.
QRect wholeOnScreen(const QRect& rect);
// A live top-level window whose text is title (for the single-instance check); 0 if none.
Handle findTopLevel(const QString& title);

}  // namespace gui
