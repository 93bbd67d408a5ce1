#include "platform/gui/Controls.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStyleOptionButton>
#include <QStyleOptionSlider>
#include <QStyleOptionTabWidgetFrame>
#include <QStylePainter>
#include <QTabBar>
#include <QWheelEvent>
#include <algorithm>
#include <functional>

#include "platform/gui/Application.h"
#include "platform/gui/Internal.h"

namespace gui {

namespace {

// Our buttons never toggle themselves unless made auto: Qt would flip the state on a
// click or Space. The state is ours (0, 1, indeterminate); Qt's checked flag mirrors "on".
class CheckWidget final : public QPushButton {
public:
    explicit CheckWidget(QWidget* parent) : QPushButton(parent) { setCheckable(true); }
    bool pushLike = true;
    bool autoCheck = false;
    bool threeState = false;
    int state = 0;
    void setState(int s) {
        state = s;
        setChecked(s == 1);
        update();
    }

protected:
    void nextCheckState() override {
        if (!autoCheck) return;
        setState(threeState ? (state + 1) % 3 : (state == 0 ? 1 : 0));
    }
    // The whole window is the button, as in the system, not only the box and caption.
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
    void paintEvent(QPaintEvent* e) override {
        if (pushLike) {
            QPushButton::paintEvent(e);
            return;
        }
        QStylePainter p(this);
        QStyleOptionButton opt;
        opt.initFrom(this);
        opt.text = text();
        if (isDown()) opt.state |= QStyle::State_Sunken;
        opt.state |= state == 2 ? QStyle::State_NoChange : state == 1 ? QStyle::State_On : QStyle::State_Off;
        p.drawControl(QStyle::CE_CheckBox, opt);
    }
};

class RadioWidget final : public QRadioButton {
public:
    explicit RadioWidget(QWidget* parent) : QRadioButton(parent) { setAutoExclusive(false); }

protected:
    void nextCheckState() override {}
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};

class SliderWidget final : public QSlider {
public:
    explicit SliderWidget(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
        setTickPosition(QSlider::NoTicks);
        setTracking(false);
    }
    std::function<void()> released;    // a standard trackbar's end of a mouse move
    std::function<void(int)> wheeled;  // a standard trackbar's wheel notches (up > 0)

protected:
    // The system's keys: Page Up and Home move left, Page Down and End right.
    void keyPressEvent(QKeyEvent* e) override {
        switch (e->key()) {
            case Qt::Key_PageUp:
                triggerAction(SliderPageStepSub);
                break;
            case Qt::Key_PageDown:
                triggerAction(SliderPageStepAdd);
                break;
            case Qt::Key_Home:
                triggerAction(SliderToMinimum);
                break;
            case Qt::Key_End:
                triggerAction(SliderToMaximum);
                break;
            default:
                QSlider::keyPressEvent(e);
                return;
        }
        e->accept();
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        QSlider::mouseReleaseEvent(e);
        if (released && e->button() == Qt::LeftButton) released();
    }
    // The system's wheel: each notch up moves three lines left, each down three right.
    void wheelEvent(QWheelEvent* e) override {
        e->accept();
        const int notches = e->angleDelta().y() / 120;
        if (!wheeled || notches == 0) return;
        {
            const QSignalBlocker quiet(this);  // one LineUp or LineDown, not a thumb move
            setSliderPosition(sliderPosition() - notches * 3 * singleStep());
        }
        wheeled(notches);
    }

public:
    QRect part(QStyle::SubControl which) const {
        QStyleOptionSlider opt;
        initStyleOption(&opt);
        return style()->subControlRect(QStyle::CC_Slider, &opt, which, this);
    }
};

}  // namespace

// ---- ColourState ----------------------------------------------------------------------

void ColourState::capture(QWidget* widget, bool neverGrey) {
    neverGrey_ = neverGrey;
    base_ = widget->palette();
    if (neverGrey) {
        // A page makes dozens of these on the same palette: the never-grey form of the
        // last one is kept (GUI thread only).
        static qint64 lastKey = 0;
        static QPalette lastNeverGrey;
        if (base_.cacheKey() != lastKey || lastKey == 0) {  // 0: none kept yet
            lastKey = base_.cacheKey();
            for (int role = 0; role < QPalette::NColorRoles; ++role) {
                const auto r = static_cast<QPalette::ColorRole>(role);
                if (r == QPalette::NoRole) continue;
                base_.setBrush(QPalette::Disabled, r, base_.brush(QPalette::Active, r));
            }
            lastNeverGrey = base_;
        } else {
            base_ = lastNeverGrey;
        }
        // Set when it first matters (see apply): a palette set costs more than the label.
        pending_ = true;
    }
}

void ColourState::apply(QWidget* widget, const ColourQuery& answer, QPalette::ColorRole textRole,
                        QPalette::ColorRole backgroundRole) {
    // The never-grey palette differs from the widget's own only where it is disabled:
    // until then, with no colours of its own, there is nothing to set.
    if (pending_ && widget->isEnabled() && !answer.text && !answer.background) return;
    pending_ = false;
    QPalette p = base_;
    const QPalette::ColorGroup groups[] = {QPalette::Active, QPalette::Inactive, QPalette::Disabled};
    for (QPalette::ColorGroup g : groups) {
        if (g == QPalette::Disabled && !neverGrey_) continue;
        if (answer.text) p.setColor(g, textRole, *answer.text);
        if (answer.background) p.setColor(g, backgroundRole, *answer.background);
    }
    const bool fill = answer.background.has_value();
    if (widget->autoFillBackground() != fill && backgroundRole == QPalette::Window) widget->setAutoFillBackground(fill);
    // Only on a change: setting a palette schedules another paint.
    if (!(widget->palette() == p)) widget->setPalette(p);
}

// ---- StaticText -----------------------------------------------------------------------

bool StaticText::create(Window* parent, int childId, const QRect& rect, std::uint32_t styleBits) {
    if (!checkGuiThread("StaticText::create") || exists()) return false;
    if (styleBits & style::OwnerDraw) return Window::create(parent, childId, rect, styleBits);
    auto* label = new QLabel(childHost(parent));
    label_ = label;
    Qt::Alignment align = Qt::AlignLeft | Qt::AlignTop;
    if (styleBits & style::CentreText) align = Qt::AlignHCenter | Qt::AlignTop;
    if (styleBits & style::RightText) align = Qt::AlignRight | Qt::AlignTop;
    label->setAlignment(align);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(false);
    if (styleBits & style::ClientEdge) {
        // The two-pixel sunken edge, drawn inside the control's rectangle; a line of
        // text fills what is left, so it is centred there to keep its descenders.
        label->setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
        label->setAlignment((align & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter);
    }
    if (!attach(label, label, parent, childId, rect, styleBits)) return false;
    colours_.capture(label, true);
    if (!Window::text().isEmpty()) label->setText(Window::text());  // a new label is empty
    return true;
}

void StaticText::setText(const QString& text) {
    Window::setText(text);
    if (label_)
        label_->setText(text);
    else if (exists())
        invalidate();
}

void StaticText::setImage(const QImage& image) {
    if (label_) label_->setPixmap(QPixmap::fromImage(image));
}

std::optional<ColourKind> StaticText::colourQueryKind() const {
    return label_ ? std::optional<ColourKind>(ColourKind::Static) : std::nullopt;
}

void StaticText::applyColours(const ColourQuery& answer) {
    if (label_) colours_.apply(label_, answer, QPalette::WindowText, QPalette::Window);
}

// ---- PushButton -----------------------------------------------------------------------

bool PushButton::create(Window* parent, int childId, const QRect& rect, std::uint32_t styleBits) {
    if (!checkGuiThread("PushButton::create") || exists()) return false;
    auto* b = new QPushButton(childHost(parent));
    b->setAutoDefault(false);
    if (!Window::text().isEmpty()) b->setText(Window::text());  // a new button has no text
    if (!attach(b, b, parent, childId, rect, styleBits)) return false;
    const Handle h = handle();
    QObject::connect(b, &QPushButton::clicked, b, [this, h] {
        whileAlive(h, this, [](PushButton* self) { self->notifyParent(notify::ButtonClicked); });
    });
    return true;
}

void PushButton::setText(const QString& text) {
    Window::setText(text);
    if (auto* b = qobject_cast<QPushButton*>(widget())) b->setText(text);
}

// ---- CheckButton ----------------------------------------------------------------------

bool CheckButton::create(Window* parent, int childId, const QRect& rect, std::uint32_t styleBits) {
    if (!checkGuiThread("CheckButton::create") || exists()) return false;
    auto* b = new CheckWidget(childHost(parent));
    b->pushLike = (styleBits & style::PushLike) != 0;
    b->autoCheck = (styleBits & style::AutoCheck) != 0;
    b->threeState = (styleBits & style::ThreeState) != 0;
    b->setAutoDefault(false);
    if (!Window::text().isEmpty()) b->setText(Window::text());  // a new button has no text
    button_ = b;
    if (!attach(b, b, parent, childId, rect, styleBits)) return false;
    const Handle h = handle();
    QObject::connect(b, &QAbstractButton::clicked, b, [this, h] {
        whileAlive(h, this, [](CheckButton* self) { self->notifyParent(notify::ButtonClicked); });
    });
    return true;
}

void CheckButton::setText(const QString& text) {
    Window::setText(text);
    if (button_) button_->setText(text);
}

void CheckButton::setCheck(int state) {
    if (auto* b = dynamic_cast<CheckWidget*>(button_.data())) {
        b->setState(state == 0 ? 0 : (state == Indeterminate && b->threeState) ? Indeterminate : 1);
    }
}

int CheckButton::check() const {
    auto* b = dynamic_cast<CheckWidget*>(button_.data());
    return b != nullptr ? b->state : 0;
}

void CheckButton::onStyleChanged(std::uint32_t, std::uint32_t newStyle) {
    if (auto* b = dynamic_cast<CheckWidget*>(button_.data())) {
        b->pushLike = (newStyle & style::PushLike) != 0;
        b->autoCheck = (newStyle & style::AutoCheck) != 0;
        b->threeState = (newStyle & style::ThreeState) != 0;
        b->update();
    }
}

// ---- RadioButton ----------------------------------------------------------------------

bool RadioButton::create(Window* parent, int childId, const QRect& rect, std::uint32_t styleBits) {
    if (!checkGuiThread("RadioButton::create") || exists()) return false;
    auto* b = new RadioWidget(childHost(parent));
    if (!Window::text().isEmpty()) b->setText(Window::text());  // a new button has no text
    button_ = b;
    if (!attach(b, b, parent, childId, rect, styleBits)) return false;
    const Handle h = handle();
    QObject::connect(b, &QAbstractButton::clicked, b, [this, h] {
        whileAlive(h, this, [](RadioButton* self) { self->notifyParent(notify::ButtonClicked); });
    });
    return true;
}

void RadioButton::setText(const QString& text) {
    Window::setText(text);
    if (button_) button_->setText(text);
}

void RadioButton::setCheck(int state) {
    if (button_) button_->setChecked(state != 0);
}

int RadioButton::check() const { return button_ && button_->isChecked() ? 1 : 0; }

// ---- GroupBox -------------------------------------------------------------------------

bool GroupBox::create(Window* parent, int childId, const QRect& rect, std::uint32_t styleBits) {
    if (!checkGuiThread("GroupBox::create") || exists()) return false;
    auto* g = new QGroupBox(childHost(parent));
    g->setTitle(Window::text());
    g->setFocusPolicy(Qt::NoFocus);
    if (!attach(g, g, parent, childId, rect, styleBits)) return false;
    colours_.capture(g, false);
    return true;
}

void GroupBox::setText(const QString& text) {
    Window::setText(text);
    if (auto* g = qobject_cast<QGroupBox*>(widget())) g->setTitle(text);
}

void GroupBox::applyColours(const ColourQuery& answer) {
    if (widget() != nullptr) colours_.apply(widget(), answer, QPalette::WindowText, QPalette::Window);
}

// ---- Edit -----------------------------------------------------------------------------

bool Edit::create(Window* parent, int childId, const QRect& rect, std::uint32_t styleBits) {
    if (!checkGuiThread("Edit::create") || exists()) return false;
    auto* e = new QLineEdit(childHost(parent));
    edit_ = e;
    e->setFrame((styleBits & (style::ClientEdge | style::Border)) != 0);
    e->setReadOnly((styleBits & style::ReadOnly) != 0);
    if (!Window::text().isEmpty()) e->setText(Window::text());  // a new edit is empty
    if (!attach(e, e, parent, childId, rect, styleBits)) return false;
    colours_.capture(e, false);
    const Handle h = handle();
    QObject::connect(e, &QLineEdit::textEdited, e,
                     [this, h] { whileAlive(h, this, [](Edit* self) { self->notifyParent(notify::EditChange); }); });
    return true;
}

void Edit::setText(const QString& text) {
    Window::setText(text);
    if (edit_) {
        // The same text again (a polled value that did not move) leaves the edit, its
        // cursor and the screen as they are.
        if (edit_->text() != text) edit_->setText(text);
        edit_->setModified(false);
    }
}

QString Edit::text() const { return edit_ ? edit_->text() : Window::text(); }

bool Edit::isModified() const { return edit_ && edit_->isModified(); }

void Edit::setModified(bool modified) {
    if (edit_) edit_->setModified(modified);
}

void Edit::setReadOnly(bool readOnly) { modifyStyle(readOnly ? 0 : style::ReadOnly, readOnly ? style::ReadOnly : 0); }

bool Edit::isReadOnly() const { return edit_ && edit_->isReadOnly(); }

void Edit::setLimit(int maxChars) {
    if (edit_) edit_->setMaxLength(maxChars > 0 ? maxChars : 32767);
}

std::optional<ColourKind> Edit::colourQueryKind() const {
    if (!edit_) return std::nullopt;
    return (edit_->isReadOnly() || !edit_->isEnabled()) ? ColourKind::Static : ColourKind::Edit;
}

void Edit::applyColours(const ColourQuery& answer) {
    if (edit_) colours_.apply(edit_, answer, QPalette::Text, QPalette::Base);
}

void Edit::onStyleChanged(std::uint32_t oldStyle, std::uint32_t newStyle) {
    if (edit_ && ((oldStyle ^ newStyle) & style::ReadOnly)) {
        edit_->setReadOnly((newStyle & style::ReadOnly) != 0);
        edit_->update();
    }
}

// ---- Trackbar -------------------------------------------------------------------------

bool Trackbar::create(Window* parent, int childId, const QRect& rect, std::uint32_t styleBits) {
    if (!checkGuiThread("Trackbar::create") || exists()) return false;
    auto* s = new SliderWidget(childHost(parent));
    // The system's trackbar does not take the focus on a click; only Tab reaches it.
    s->setFocusPolicy(Qt::TabFocus);
    s->setRange(0, 100);
    slider_ = s;
    return attach(s, s, parent, childId, rect, styleBits);
}

void Trackbar::setRange(int minimum, int maximum, bool redraw) {
    if (!slider_) return;
    const QSignalBlocker block(slider_);
    slider_->setRange(minimum, std::max(minimum, maximum));
    if (redraw) slider_->update();
}

int Trackbar::rangeMin() const { return slider_ ? slider_->minimum() : 0; }
int Trackbar::rangeMax() const { return slider_ ? slider_->maximum() : 0; }

void Trackbar::setPosition(int position, bool redraw) {
    if (!slider_) return;
    const QSignalBlocker block(slider_);
    const int before = slider_->value();
    slider_->setValue(position);  // QSlider clamps to the range, as the system does
    if (redraw && slider_->value() != before) slider_->update();
}

int Trackbar::position() const { return slider_ ? slider_->value() : 0; }

void Trackbar::setPageSize(int size) {
    pageSize_ = size;
    if (slider_) slider_->setPageStep(std::max(1, size));
}

int Trackbar::pageSize() const { return pageSize_; }

QRect Trackbar::thumbRect() const {
    auto* s = dynamic_cast<SliderWidget*>(slider_.data());
    return s != nullptr ? s->part(QStyle::SC_SliderHandle) : QRect();
}

QRect Trackbar::channelRect() const {
    auto* s = dynamic_cast<SliderWidget*>(slider_.data());
    return s != nullptr ? s->part(QStyle::SC_SliderGroove) : QRect();
}

LResult Trackbar::notifyScroll(std::uint16_t code) {
    // While the user moves the thumb the widget's value lags its position.
    const int at = slider_ ? slider_->sliderPosition() : 0;
    const auto pos = static_cast<std::uint16_t>(static_cast<std::uint32_t>(at) & 0xFFFFu);
    return notify(msg::HScroll, makeWParam(code, pos), handleToLParam(handle()));
}

// ---- StandardTrackbar -----------------------------------------------------------------

namespace {
std::optional<std::uint16_t> scrollCodeFor(int action) {
    switch (action) {
        case QAbstractSlider::SliderSingleStepAdd:
            return scroll::LineDown;
        case QAbstractSlider::SliderSingleStepSub:
            return scroll::LineUp;
        case QAbstractSlider::SliderPageStepAdd:
            return scroll::PageDown;
        case QAbstractSlider::SliderPageStepSub:
            return scroll::PageUp;
        case QAbstractSlider::SliderToMinimum:
            return scroll::Top;
        case QAbstractSlider::SliderToMaximum:
            return scroll::Bottom;
        case QAbstractSlider::SliderMove:
            return scroll::ThumbTrack;
        default:
            return std::nullopt;
    }
}
}  // namespace

bool StandardTrackbar::create(Window* parent, int childId, const QRect& rect, std::uint32_t styleBits) {
    if (!Trackbar::create(parent, childId, rect, styleBits)) return false;
    auto* s = dynamic_cast<SliderWidget*>(slider());
    if (s == nullptr) return false;
    s->setFocusPolicy(Qt::StrongFocus);
    s->setTracking(true);
    const Handle h = handle();
    QObject::connect(s, &QAbstractSlider::actionTriggered, s, [this, h](int action) {
        const auto code = scrollCodeFor(action);
        if (code) whileAlive(h, this, [&](StandardTrackbar* self) { self->notifyScroll(*code); });
    });
    QObject::connect(s, &QAbstractSlider::sliderReleased, s, [this, h] {
        whileAlive(h, this, [](StandardTrackbar* self) { self->notifyScroll(scroll::ThumbPosition); });
    });
    s->released = [this, h] {
        whileAlive(h, this, [](StandardTrackbar* self) { self->notifyScroll(scroll::EndTrack); });
    };
    s->wheeled = [this, h](int notches) {
        whileAlive(h, this, [notches](StandardTrackbar* self) {
            if (self->notifyScroll(notches > 0 ? scroll::LineUp : scroll::LineDown), self->exists()) {
                self->notifyScroll(scroll::EndTrack);
            }
        });
    };
    return true;
}

void StandardTrackbar::onAfterKeyUp(const KeyEvent& e) {
    if ((e.code >= 33 && e.code <= 40) && !e.autoRepeat) notifyScroll(scroll::EndTrack);
}

// ---- TabBar ---------------------------------------------------------------------------

bool TabBar::create(Window* parent, int childId, const QRect& rect, std::uint32_t styleBits) {
    if (!checkGuiThread("TabBar::create") || exists()) return false;
    auto* t = new QTabBar(childHost(parent));
    t->setDrawBase(true);
    return attachTabs(t, t, parent, childId, rect, styleBits);
}

bool TabBar::attachTabs(QTabBar* t, QWidget* outer, Window* parent, int childId, const QRect& rect,
                        std::uint32_t styleBits) {
    t->setFocusPolicy(Qt::TabFocus);
    t->setExpanding(false);
    tabs_ = t;
    if (!attach(outer, outer, parent, childId, rect, styleBits)) return false;
    if (t != outer) bridgeInnerWidget(t);
    const Handle h = handle();
    QObject::connect(t, &QTabBar::currentChanged, t, [this, h](int) {
        whileAlive(h, this, [](TabBar* self) {
            if (!self->settingSelection_) self->notifyParent(notify::TabSelectionChange);
        });
    });
    return true;
}

int TabBar::insertItem(int index, const QString& text) {
    if (!tabs_) return -1;
    settingSelection_ = true;  // the first tab becomes current; that is not a user change
    const int at = tabs_->insertTab(std::clamp(index, 0, tabs_->count()), text);
    settingSelection_ = false;
    // Inside a tab control the bar's height follows its tabs.
    if (QWidget* outer = widget(); outer != nullptr && outer != tabs_.data()) {
        tabs_->setGeometry(0, 0, outer->width(), tabs_->sizeHint().height());
        outer->update();
    }
    return at;
}

int TabBar::count() const { return tabs_ ? tabs_->count() : 0; }

QRect TabBar::itemRect(int index) const {
    if (!tabs_ || index < 0 || index >= tabs_->count()) return QRect();
    return tabs_->tabRect(index);
}

int TabBar::setCurSel(int index) {
    if (!tabs_ || index < 0 || index >= tabs_->count()) return -1;
    const int previous = tabs_->currentIndex();
    settingSelection_ = true;
    tabs_->setCurrentIndex(index);
    settingSelection_ = false;
    return previous;
}

int TabBar::curSel() const { return tabs_ ? tabs_->currentIndex() : -1; }

QString TabBar::itemText(int index) const { return tabs_ ? tabs_->tabText(index) : QString(); }

// ---- TabControl -----------------------------------------------------------------------

namespace {

// The tab control's window: the bar along the top and the framed body below it.
class TabControlWidget final : public QWidget {
public:
    explicit TabControlWidget(QWidget* parent) : QWidget(parent), bar(new QTabBar(this)) { bar->setDrawBase(false); }
    QTabBar* bar;
    QRect frameRect() const {
        const int top = bar->sizeHint().height();
        return QRect(0, top - 1, width(), std::max(0, height() - top + 1));
    }
    QRect body() const {
        const int margin = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this) + 1;
        return frameRect().adjusted(margin, margin, -margin, -margin);
    }

protected:
    void resizeEvent(QResizeEvent* e) override {
        QWidget::resizeEvent(e);
        bar->setGeometry(0, 0, width(), bar->sizeHint().height());
    }
    void paintEvent(QPaintEvent*) override {
        QStylePainter p(this);
        QStyleOptionTabWidgetFrame opt;
        opt.initFrom(this);
        opt.rect = frameRect();
        opt.shape = QTabBar::RoundedNorth;
        opt.tabBarSize = bar->sizeHint();
        opt.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
        p.drawPrimitive(QStyle::PE_FrameTabWidget, opt);
    }
};

}  // namespace

bool TabControl::create(Window* parent, int childId, const QRect& rect, std::uint32_t styleBits) {
    if (!checkGuiThread("TabControl::create") || exists()) return false;
    auto* w = new TabControlWidget(childHost(parent));
    if (!attachTabs(w->bar, w, parent, childId, rect, styleBits)) return false;
    w->bar->setGeometry(0, 0, w->width(), w->bar->sizeHint().height());
    return true;
}

QRect TabControl::bodyRect() const {
    auto* w = dynamic_cast<TabControlWidget*>(widget());
    return w != nullptr ? w->body() : QRect();
}

}  // namespace gui
