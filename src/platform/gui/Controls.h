// The system's controls as typed windows over Qt widgets.
//
// Each control notifies its parent the way the system does: buttons with
// Command(id | ButtonClicked << 16, handle), a combo box with ComboSelectionChange, an
// edit with EditChange, a tab bar or tab control with TabSelectionChange; a Trackbar
// sends HScroll only when its owner calls notifyScroll, because it has no input
// handling of its own, while a StandardTrackbar reports the user's moves itself.
// Every notification reaches the control's onNotify before the parent.
// Check and radio buttons never change their own state unless made with
// style::AutoCheck (and style::ThreeState): a click only notifies, and the page sets
// the state.
//
// The controls derive virtually from Window so a program class can combine a control
// with a base class of its own that is also a Window (a diamond with one Window).
#pragma once

#include <QAbstractButton>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QSlider>
#include <QTabBar>
#include <QTableWidget>
#include <QPointer>
#include <optional>
#include <vector>

#include "platform/gui/Colour.h"
#include "platform/gui/Window.h"


namespace gui {

// Keeps the palette a control was created with and lays a parent's colour answer over
// it, so an unanswered query returns the control to its own colours.
class ColourState {
public:
    void capture(QWidget* widget, bool neverGrey);
    // Called before each paint.
    void apply(QWidget* widget, const ColourQuery& answer, QPalette::ColorRole textRole,
               QPalette::ColorRole backgroundRole);

private:
    QPalette base_;
    bool neverGrey_ = false;
    bool pending_ = false;  // base_ not yet set on the widget
};

// Static text. Never greys when disabled. With style::OwnerDraw it is a plain window
// painted by onPaint. Asks its parent ColourStatic before painting.
class StaticText : public virtual Window {
public:
    bool create(Window* parent, int id, const QRect& rect, std::uint32_t styleBits = style::Visible) override;
    void setText(const QString& text) override;
    void setImage(const QImage& image);  // an icon or picture instead of text

protected:
    std::optional<ColourKind> colourQueryKind() const override;
    void applyColours(const ColourQuery& answer) override;

private:
    QPointer<QLabel> label_;
    ColourState colours_;
};

class PushButton : public virtual Window {
public:
    bool create(Window* parent, int id, const QRect& rect, std::uint32_t styleBits = style::Visible) override;
    void setText(const QString& text) override;
    bool isDefault() const { return (style() & style::DefaultButton) != 0; }
};

// Check button, drawn as a push button (style::PushLike) or as a check box; the look
// can change with modifyStyle. Without style::AutoCheck the state changes only
// through setCheck; with it a click toggles the state before the parent hears of it,
// and with style::ThreeState as well it cycles off -> on -> indeterminate -> off.
class CheckButton : public virtual Window {
public:
    static constexpr int Indeterminate = 2;
    bool create(Window* parent, int id, const QRect& rect,
                std::uint32_t styleBits = style::Visible | style::PushLike) override;
    void setText(const QString& text) override;
    // 0 off, Indeterminate (three-state buttons only), anything else on.
    void setCheck(int state);
    int check() const;  // 0, 1 or Indeterminate
    bool isPushLike() const { return (style() & style::PushLike) != 0; }

protected:
    void onStyleChanged(std::uint32_t oldStyle, std::uint32_t newStyle) override;

private:
    QPointer<QAbstractButton> button_;
};

// Radio button; not exclusive with its siblings (the page groups them).
class RadioButton : public virtual Window {
public:
    bool create(Window* parent, int id, const QRect& rect, std::uint32_t styleBits = style::Visible) override;
    void setText(const QString& text) override;
    void setCheck(int state);
    int check() const;

private:
    QPointer<QAbstractButton> button_;
};

class GroupBox : public virtual Window {
public:
    bool create(Window* parent, int id, const QRect& rect, std::uint32_t styleBits = style::Visible) override;
    void setText(const QString& text) override;

protected:
    std::optional<ColourKind> colourQueryKind() const override { return ColourKind::Static; }
    void applyColours(const ColourQuery& answer) override;

private:
    ColourState colours_;
};

// Single-line edit. Asks its parent the Edit colour query (Static when read-only or
// disabled) before painting; style::WantsAllKeys keeps Enter and Esc in the edit.
class Edit : public virtual Window {
public:
    bool create(Window* parent, int id, const QRect& rect,
                std::uint32_t styleBits = style::Visible | style::AutoHScroll | style::ClientEdge) override;
    void setText(const QString& text) override;  // clears the modified flag
    QString text() const override;
    bool isModified() const;
    void setModified(bool modified);
    void setReadOnly(bool readOnly);
    bool isReadOnly() const;
    void setLimit(int maxChars);
    QLineEdit* lineEdit() const { return edit_; }

protected:
    std::optional<ColourKind> colourQueryKind() const override;
    void applyColours(const ColourQuery& answer) override;
    void onStyleChanged(std::uint32_t oldStyle, std::uint32_t newStyle) override;

private:
    QPointer<QLineEdit> edit_;
    ColourState colours_;
};

// Drop-down list combo box. Its window is as tall as the field whatever height it
// is given (the system's height includes the list). A wheel turned over it while it does
// not have the focus neither focuses it nor changes it.
class ComboBox : public virtual Window {
public:
    bool create(Window* parent, int id, const QRect& rect, std::uint32_t styleBits = style::Visible) override;
    int addString(const QString& text);                  // index of the new item, -1 on failure
    int insertString(int index, const QString& text);    // -1 appends; -1 for a bad index
    int deleteString(int index);                         // items left, -1 for a bad index
    void resetContent();
    int count() const;
    int setCurSel(int index);  // the index, or -1 (selection cleared) when out of range
    int curSel() const;        // -1 when nothing is selected
    std::optional<QString> itemText(int index) const;
    QComboBox* comboBox() const { return combo_; }

protected:
    QRect adjustRect(const QRect& rect) const override;
    void applyFont(QWidget& widget, const QFont& font) override;
    // The wheel changes the selection only while the box has the focus.
    bool onWheel(int delta, const MouseEvent& e) override;

private:
    QPointer<QComboBox> combo_;
};

// Horizontal trackbar without input handling of its own: clicks, keys and the wheel
// only reach the hooks, and the owner moves the thumb and calls notifyScroll.
class Trackbar : public virtual Window {
public:
    bool create(Window* parent, int id, const QRect& rect,
                std::uint32_t styleBits = style::Visible | style::NoTicks) override;
    void setRange(int minimum, int maximum, bool redraw = true);
    int rangeMin() const;
    int rangeMax() const;
    void setPosition(int position, bool redraw = true);  // clamped to the range
    int position() const;
    void setPageSize(int size);
    int pageSize() const;
    // Client rectangles of the thumb and of the channel it runs in.
    virtual QRect thumbRect() const;
    virtual QRect channelRect() const;
    // Notifies HScroll(code | position << 16, this handle).
    LResult notifyScroll(std::uint16_t code);

protected:
    bool blocksNativeInput() const override { return true; }
    QSlider* slider() const { return slider_; }

private:
    QPointer<QSlider> slider_;
    int pageSize_ = 1;
};

// The system's own trackbar: takes the focus on a click, and mouse, keys and wheel move
// the thumb, each move notified as HScroll with the position it moved to (LineUp and
// LineDown for arrows and for the wheel, three lines a notch, PageUp and PageDown for
// Page keys and clicks beside the thumb, Top and Bottom for Home and End, ThumbTrack
// while dragging, ThumbPosition where a drag ends), then EndTrack when the key or
// button is released (at once for the wheel).
class StandardTrackbar : public Trackbar {
public:
    bool create(Window* parent, int id, const QRect& rect,
                std::uint32_t styleBits = style::Visible | style::NoTicks | style::TabStop) override;

protected:
    bool blocksNativeInput() const override { return false; }
    void onAfterKeyUp(const KeyEvent& e) override;
};

class TabBar : public virtual Window {
public:
    bool create(Window* parent, int id, const QRect& rect, std::uint32_t styleBits = style::Visible) override;
    int insertItem(int index, const QString& text);  // the new tab's index, -1 on failure
    int count() const;
    QRect itemRect(int index) const;  // client coordinates; empty for a bad index
    int setCurSel(int index);         // previous selection, -1 for a bad index
    int curSel() const;
    QString itemText(int index) const;

protected:
    // The wheel does nothing to tabs (the parent shows a tab's controls only on a click).
    bool onWheel(int, const MouseEvent&) override { return true; }
    // Registers a tab bar inside outer (the bar itself for a plain tab bar).
    bool attachTabs(QTabBar* tabs, QWidget* outer, Window* parent, int id, const QRect& rect,
                    std::uint32_t styleBits);

private:
    QPointer<QTabBar> tabs_;
    bool settingSelection_ = false;
};

// A tab control: the row of tabs over its body, a framed display area. The tabs do
// not own pages: the parent shows and hides its own controls on TabSelectionChange;
// children of the tab control are drawn over the body.
class TabControl : public TabBar {
public:
    bool create(Window* parent, int id, const QRect& rect, std::uint32_t styleBits = style::Visible) override;
    // The display area inside the frame, in the tab control's client coordinates.
    QRect bodyRect() const;
};

// Report-style list view: columns of text.
class ListView : public virtual Window {
public:
    bool create(Window* parent, int id, const QRect& rect,
                std::uint32_t styleBits = style::Visible | style::Border) override;
    int insertColumn(int index, const QString& title, int widthPx);  // -1 on failure
    int columnCount() const;
    int insertItem(int index, const QString& text);  // index past the end appends; row or -1
    bool setItemText(int row, int column, const QString& text);
    QString itemText(int row, int column) const;  // empty for a bad cell
    int itemCount() const;
    bool deleteItem(int row);
    void deleteAllItems();
    bool selectItem(int row);  // -1 clears the selection
    int selectedItem() const;
    bool ensureVisible(int row);
    QTableWidget* table() const { return table_; }

protected:
    void onStyleChanged(std::uint32_t oldStyle, std::uint32_t newStyle) override;

private:
    QPointer<QTableWidget> table_;
};

// A tooltip for one tool window of its owner: shown after the initial delay when the
// owner relays a mouse move over the tool, or at once by popup(); hidden after the
// pop-up time, by pop(), or when the mouse leaves the tool.
class Tooltip : public virtual Window {
public:
    bool create(Window* owner, int id, const QRect& rect, std::uint32_t styleBits = 0) override;
    bool create(Window* owner) { return create(owner, 0, QRect(), 0); }
    void setTool(Window* tool, const QString& text);
    void setText(const QString& text) override;
    void setColours(ColourRef background, ColourRef text);
    void setDelays(int initialMs, int popupMs);
    void relayMouseMove(const QPoint& screenPos);
    void popup();
    void pop();
    bool isPoppedUp() const { return isShown(); }

protected:
    void onTimer(int timerId) override;

private:
    void showAt(const QPoint& screenPos);
    Handle tool_ = 0;
    int initialMs_ = 500;
    int popupMs_ = 5000;
    QPoint lastPos_;
};

}  // namespace gui
