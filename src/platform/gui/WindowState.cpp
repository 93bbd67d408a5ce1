// A window's state and shape: visibility, enabling, text and fonts, style, geometry
// (client and screen rectangles, frames), painting, window timers, focus, reparenting
// and regions.
#include "platform/gui/Window.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <algorithm>

#include "platform/gui/Application.h"
#include "platform/gui/Drawing.h"
#include "platform/gui/Internal.h"

namespace gui {

// ---- visibility and state -------------------------------------------------------------

bool Window::show(bool visible) {
    if (!exists() || !checkGuiThread("Window::show")) return false;
    const bool was = isShown();
    if (was != visible) {
        const Handle self = handle_;
        send(msg::ShowWindow, visible ? 1 : 0, 0);
        if (!isWindow(self)) return was;
    }
    if (visible) {
        style_ |= style::Visible;
        if (widget_->isWindow() && widget_->isMinimized())
            widget_->showNormal();
        else
            widget_->show();
        // Once shown, the frame the window system adds counts too.
        const QRect frame = widget_->frameGeometry();
        if (widget_->isWindow() && wholeOnScreen(frame) != frame) widget_->move(wholeOnScreen(frame).topLeft());
    } else {
        style_ &= ~style::Visible;
        widget_->hide();
    }
    return was;
}

bool Window::isShown() const { return widget_ && !widget_->isHidden(); }

bool Window::isVisible() const { return widget_ && widget_->isVisible(); }

bool Window::setEnabled(bool enabled) {
    if (!exists() || !checkGuiThread("Window::setEnabled")) return false;
    const bool wasDisabled = widget_->testAttribute(Qt::WA_Disabled);
    widget_->setEnabled(enabled);
    if (enabled)
        style_ &= ~style::Disabled;
    else
        style_ |= style::Disabled;
    if (wasDisabled == enabled) send(msg::Enable, enabled ? 1 : 0, 0);
    return wasDisabled;
}

bool Window::isEnabled() const { return widget_ && widget_->isEnabled(); }

void Window::setText(const QString& text) {
    text_ = text;
    if (widget_ && widget_->isWindow()) widget_->setWindowTitle(text);
}

void Window::setFont(const QFont& font) {
    if (widget_ && checkGuiThread("Window::setFont")) applyFont(*widget_, font);
}

void Window::applyFont(QWidget& widget, const QFont& font) { widget.setFont(font); }

void Window::setFont(const Font& font) { setFont(font.qfont()); }

QFont Window::font() const { return widget_ ? widget_->font() : QApplication::font(); }

void Window::modifyStyle(std::uint32_t remove, std::uint32_t add) {
    const std::uint32_t old = style_;
    style_ = (style_ & ~remove) | add;
    if ((old ^ style_) & style::WantsAllKeys) wantsAllKeys_ = (style_ & style::WantsAllKeys) != 0;
    if (widget_ && ((old ^ style_) & style::Disabled)) widget_->setEnabled((style_ & style::Disabled) == 0);
    if (old != style_) onStyleChanged(old, style_);
}

void Window::setWantsAllKeys(bool wants) { wantsAllKeys_ = wants; }

bool Window::wantsAllKeys() const { return wantsAllKeys_; }

// ---- geometry -------------------------------------------------------------------------

QRect Window::clientRect() const { return client_ ? QRect(QPoint(0, 0), client_->size()) : QRect(); }

namespace {

bool hasCaption(const QWidget* w) {
    const Qt::WindowFlags flags = w->windowFlags();
    const Qt::WindowFlags type = flags & Qt::WindowType_Mask;
    return !(flags & Qt::FramelessWindowHint) && (type == Qt::Window || type == Qt::Dialog);
}

QMargins frameMargins(const QWidget* w) {
    const QRect f = w->frameGeometry();
    const QRect g = w->geometry();
    return QMargins(g.left() - f.left(), g.top() - f.top(), f.right() - g.right(), f.bottom() - g.bottom());
}

// A window manager frames a window only once it is mapped, so a page placing its speed
// windows before it shows would see no caption and put the graph over its bottom.
// Until then a captioned window is given the frame of one already framed.
QRect frameOf(const QWidget* w) {
    const QMargins own = frameMargins(w);
    if (!own.isNull() || !hasCaption(w)) return w->frameGeometry();
    for (const QWidget* other : QApplication::topLevelWidgets()) {
        if (other == w || !other->isVisible() || !hasCaption(other)) continue;
        const QMargins m = frameMargins(other);
        // Until it is framed, the window's position is where its frame will go.
        if (!m.isNull()) return QRect(w->geometry().topLeft(), w->geometry().size().grownBy(m));
    }
    return w->frameGeometry();
}

}  // namespace

QSize frameExtra(const QWidget* topLevel) {
    return topLevel != nullptr ? frameOf(topLevel).size() - topLevel->geometry().size() : QSize();
}

QRect Window::windowRect() const {
    if (!widget_) return QRect();
    if (widget_->isWindow()) return frameOf(widget_);
    return QRect(widget_->mapToGlobal(QPoint(0, 0)), widget_->size());
}

QRect Window::rectInParent() const {
    if (!widget_) return QRect();
    return widget_->isWindow() ? frameOf(widget_) : widget_->geometry();
}

QRect availableScreenArea(const QRect& rect) {
    const QScreen* screen = QGuiApplication::screenAt(rect.center());
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->availableGeometry() : QRect();
}

QRect wholeOnScreen(const QRect& rect) {
    const QRect area = availableScreenArea(rect);
    if (area.isEmpty()) return rect;
    // Right and bottom first, so a window larger than the area keeps its top left corner on it.
    const int x = std::max(area.left(), std::min(rect.left(), area.left() + area.width() - rect.width()));
    const int y = std::max(area.top(), std::min(rect.top(), area.top() + area.height() - rect.height()));
    return QRect(QPoint(x, y), rect.size());
}

void Window::moveWindow(const QRect& rect) {
    if (!widget_ || !checkGuiThread("Window::moveWindow")) return;
    if (widget_->isWindow()) {
        const QSize frame = frameExtra(widget_);
        widget_->move(wholeOnScreen(rect).topLeft());
        beforeResize();
        widget_->resize(std::max(0, rect.width() - frame.width()), std::max(0, rect.height() - frame.height()));
        afterResize();
    } else {
        widget_->setGeometry(adjustRect(rect));
    }
    layoutClient();
    // The system reports the new size at once, shown or not; Qt would wait for a show.
    sendSizeIfChanged();
}

void Window::setClientSize(const QSize& size) {
    if (!widget_ || !checkGuiThread("Window::setClientSize")) return;
    if (widget_->isWindow()) beforeResize();
    widget_->resize(size.width(), size.height() + (client_ != widget_ ? menuHeight() : 0));
    if (widget_->isWindow()) afterResize();
    layoutClient();
    sendSizeIfChanged();
}

void Window::layoutClient() {
    if (!widget_ || !client_ || client_ == widget_) return;
    const int mh = menuHeight();
    client_->setGeometry(0, mh, widget_->width(), std::max(0, widget_->height() - mh));
}

QPoint Window::clientToScreen(const QPoint& p) const { return client_ ? client_->mapToGlobal(p) : p; }

QPoint Window::screenToClient(const QPoint& p) const { return client_ ? client_->mapFromGlobal(p) : p; }

QSize Window::naturalSize() const { return widget_ ? widget_->sizeHint() : QSize(); }

void Window::sendSizeIfChanged() {
    if (!client_) return;
    const QSize s = client_->size();
    if (s == lastSize_) return;
    lastSize_ = s;
    send(msg::Size, 0,
         makeLParam(static_cast<std::uint16_t>(std::clamp(s.width(), 0, 0xFFFF)),
                    static_cast<std::uint16_t>(std::clamp(s.height(), 0, 0xFFFF))));
}

// ---- painting -------------------------------------------------------------------------

void Window::invalidate() {
    if (client_) client_->update();
    if (widget_ && widget_ != client_) widget_->update();
}

void Window::updateNow() {
    if (client_ && checkGuiThread("Window::updateNow")) client_->repaint();
}

void Window::paintHost(QWidget* host) {
    QPainter painter(host);
    onPaint(painter);
}

void Window::runColourQuery() {
    const std::optional<ColourKind> kind = colourQueryKind();
    if (!kind) return;
    ColourQuery answer;
    const Handle self = handle_;
    bool answered = false;
    if (parent_ != nullptr) {
        HandlerScope scope(parent_);
        answered = parent_->onColourQuery(*this, *kind, answer);
    }
    if (!isWindow(self)) return;
    applyColours(answered ? answer : ColourQuery{});
}

// ---- timers ---------------------------------------------------------------------------

bool Window::setTimer(int timerId, int intervalMs) {
    if (!exists() || !checkGuiThread("Window::setTimer")) return false;
    auto& timer = timers_[timerId];
    if (!timer) {
        timer = std::make_unique<QTimer>();
        const Handle self = handle_;
        QObject::connect(timer.get(), &QTimer::timeout, [self, timerId] { detail::timerTick(self, timerId); });
    }
    timer->start(std::clamp(intervalMs, 1, INT_MAX));
    return true;
}

bool Window::killTimer(int timerId) {
    if (!checkGuiThread("Window::killTimer")) return false;
    const auto it = timers_.find(timerId);
    if (it == timers_.end()) return false;
    it->second->stop();
    it->second.release()->deleteLater();
    timers_.erase(it);
    return true;
}

bool Window::hasTimer(int timerId) const { return timers_.count(timerId) != 0; }

// ---- focus, parents, shape ------------------------------------------------------------

void Window::setFocus() {
    if (widget_ && checkGuiThread("Window::setFocus")) widget_->setFocus(Qt::OtherFocusReason);
}

bool Window::hasFocus() const { return exists() && focusWindow() == this; }

void Window::setParent(Window* newParent) {
    if (!exists() || newParent == this || !checkGuiThread("Window::setParent")) return;
    if (newParent != nullptr && !newParent->exists()) return;
    if (parent_ != nullptr) parent_->detachChild(this);
    parent_ = newParent;
    if (newParent != nullptr) newParent->children_.push_back(this);
    const bool wasShown = isShown();
    const QRect geometry = widget_->geometry();
    if (widget_->windowFlags().testFlag(Qt::Window)) {
        widget_->setParent(newParent != nullptr ? newParent->widget_->window() : nullptr, widget_->windowFlags());
    } else {
        widget_->setParent(newParent != nullptr ? newParent->client_.data() : nullptr);
        widget_->setGeometry(geometry);
    }
    if (wasShown) widget_->show();  // reparenting hides a widget
}

void Window::activate() {
    if (QWidget* w = widget()) {
        QWidget* top = w->window();
        detail::bringForward(top, true);
        top->activateWindow();
    }
}

void Window::setRegion(const Region& region) {
    if (widget_) widget_->setMask(region.qregion());
}

void Window::clearRegion() {
    if (widget_) widget_->clearMask();
}

void Window::setMouseTransparent(bool transparent) {
    if (widget_) widget_->setAttribute(Qt::WA_TransparentForMouseEvents, transparent);
}

void Window::lowerBelowSiblings() {
    if (widget_) widget_->lower();
}

void Window::raiseAboveSiblings() {
    if (!widget_) return;
    if (widget_->isWindow())
        detail::bringForward(widget_, true);
    else
        widget_->raise();
}

// ---- stacking of owned windows ----------------------------------------------------------

namespace {

detail::StackObserver& stackObserver() {
    static detail::StackObserver observer;
    return observer;
}

std::uint64_t g_lastForward = 0;
bool g_restacking = false;

bool onScreen(const QWidget* w) { return w != nullptr && w->isVisible() && !w->isMinimized(); }

void raiseTopLevel(QWidget* w) {
    if (stackObserver()) stackObserver()(w, detail::StackRequest::Raise);
    // The offscreen platform keeps no stacking order and warns at every raise.
    static const bool stacks = QGuiApplication::platformName() != QLatin1String("offscreen");
    if (stacks) w->raise();
}

// Whether window is top or lies below it through parents and owners.
bool within(const Window* window, const Window* top) {
    for (const Window* w = window; w != nullptr; w = w->parent()) {
        if (w == top) return true;
    }
    return false;
}

}  // namespace

void detail::setStackObserver(StackObserver observer) { stackObserver() = std::move(observer); }

void detail::bringForward(QWidget* topLevel, bool raiseItself) {
    if (topLevel == nullptr || !topLevel->isWindow() || g_restacking || !checkGuiThread("bringForward")) return;
    // A raise makes no event of ours, but a platform might: no second pass inside this one.
    g_restacking = true;
    Window* window = Window::fromWidget(topLevel);
    if (window != nullptr) window->broughtForward_ = ++g_lastForward;
    if (raiseItself && onScreen(topLevel)) raiseTopLevel(topLevel);
    if (window != nullptr) {
        window->restackOwned();
        // A modal dialog stays above everything of its owner chain, whatever it owns.
        for (const auto& [owner, dialog] : runningModalDialogs()) {
            if (dialog == nullptr || dialog == topLevel || !onScreen(dialog)) continue;
            if (!within(Window::fromHandle(owner), window)) continue;
            raiseTopLevel(dialog);
            if (Window* d = Window::fromWidget(dialog)) d->restackOwned();
        }
    }
    g_restacking = false;
}

void Window::collectOwned(std::vector<Window*>& out) const {
    for (Window* c : children_) {
        if (!c->widget_) continue;
        if (c->widget_->isWindow())
            out.push_back(c);
        else
            c->collectOwned(out);
    }
}

void Window::collectOwnedInOrder(std::vector<Window*>& out) const {
    collectOwned(out);
    std::stable_sort(out.begin(), out.end(),
                     [](const Window* a, const Window* b) { return a->broughtForward_ < b->broughtForward_; });
}

void Window::restackOwned() {
    std::vector<Window*> owned;
    collectOwnedInOrder(owned);
    for (Window* w : owned) {
        if (onScreen(w->widget_)) raiseTopLevel(w->widget_);
        // A hidden window's own shown windows still belong above its owner.
        w->restackOwned();
    }
}

void Window::shownAsTopLevel() {
    QWidget* owner = widget_->parentWidget() != nullptr ? widget_->parentWidget()->window() : nullptr;
    if (owner != nullptr) {
        // Qt marks it transient for the owner, but a window manager keeps it above the owner
        // only if it manages the owner when it maps the window (openbox never looks again):
        // remapOwnedShownEarly maps it again once the owner is mapped.
        mappedBeforeOwner_ = !owner->isVisible();
    }
    detail::bringForward(widget_, owner != nullptr);
    std::vector<Window*> owned;
    collectOwned(owned);
    if (std::none_of(owned.begin(), owned.end(), [](const Window* w) { return w->mappedBeforeOwner_; })) return;
    // This window is mapped once its Show event returns.
    const Handle self = handle_;
    QMetaObject::invokeMethod(
        widget_.data(),
        [self] {
            if (Window* w = fromHandle(self)) w->remapOwnedShownEarly();
        },
        Qt::QueuedConnection);
}

void Window::remapOwnedShownEarly() {
    if (!onScreen(widget_)) return;  // hidden again meanwhile: its next show comes here again
    // In their order: each is brought forward again as it is mapped.
    std::vector<Window*> owned;
    collectOwnedInOrder(owned);
    const Handle self = handle_;
    for (Window* w : owned) {
        if (!w->mappedBeforeOwner_ || !onScreen(w->widget_)) continue;
        w->mappedBeforeOwner_ = false;
        if (stackObserver()) stackObserver()(w->widget_, detail::StackRequest::Remap);
        const QPointer<QWidget> widget = w->widget_;
        widget->hide();
        if (widget) widget->show();  // its Show brings it forward again
        if (!isWindow(self)) return;
    }
    detail::bringForward(widget_, false);
}

}  // namespace gui
