// Dialogs from templates in dialog units, modal and modeless, with menus.
//
// A dialog unit is a quarter of the dialog font's average character width across and
// an eighth of its height down, so a layout keeps its proportions with its font. The
// system's dialog faces ("Arial", "MS Shell Dlg") are drawn with Liberation Sans, which
// has Arial's metrics, so layouts come out the size they were designed at.
//
// Keys: Enter gives Command(OK) (or the focused push button's id, or the default
// button's), Esc gives Command(Cancel), unless the control with the focus wants all
// keys. OK and Cancel end a modal dialog and hide a modeless one. The close box sends
// SysCommand(Close), whose default sends Close, whose default sends Command(Cancel).
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

#include "platform/gui/Window.h"

class QAction;
class QEventLoop;
class QMenuBar;

namespace gui {

enum class ControlKind { Static, Icon, PushButton, CheckBox, RadioButton, GroupBox, Edit, ComboBox, Trackbar,
                         TabBar, ListView, Custom, StandardTrackbar, TabControl };

// One control of a template; rect is in dialog units. Custom items create nothing:
// the dialog's code puts its own window at itemRect(id).
struct DialogItem {
    ControlKind kind = ControlKind::Static;
    int id = -1;
    QString text;
    QRect rect;
    std::uint32_t style = style::Visible;
};

struct MenuItem {
    int id = 0;
    QString text;
    bool separator = false;
    static MenuItem line() { return MenuItem{0, QString(), true}; }
};

struct MenuPopup {
    QString title;
    std::vector<MenuItem> items;
};

struct MenuSpec {
    std::vector<MenuPopup> popups;
};

namespace dialogStyle {
inline constexpr std::uint32_t Caption = 1u << 0;
inline constexpr std::uint32_t SystemMenu = 1u << 1;
inline constexpr std::uint32_t MinimiseBox = 1u << 2;
inline constexpr std::uint32_t MaximiseBox = 1u << 3;
inline constexpr std::uint32_t Resizable = 1u << 4;
inline constexpr std::uint32_t Frameless = 1u << 5;   // no frame; moved and sized by hitTest
inline constexpr std::uint32_t ToolWindow = 1u << 6;  // no taskbar entry
inline constexpr std::uint32_t Visible = 1u << 7;     // a modeless dialog shows itself on creation
}  // namespace dialogStyle

struct DialogTemplate {
    QString caption;
    QSize size;  // client size in dialog units
    QString fontFace = QStringLiteral("MS Shell Dlg");
    int pointSize = 8;
    std::uint32_t style = dialogStyle::Caption | dialogStyle::SystemMenu;
    std::optional<MenuSpec> menu;
    std::vector<DialogItem> items;
};

// Dialog base units of a font: the average width of the 52 letters (rounded as the
// system rounds it) and the font's height, in pixels.
struct DialogUnits {
    int baseX = 0;
    int baseY = 0;
    int toPixelsX(int dlu) const;
    int toPixelsY(int dlu) const;
    QPoint toPixels(const QPoint& p) const { return QPoint(toPixelsX(p.x()), toPixelsY(p.y())); }
    QSize toPixels(const QSize& s) const { return QSize(toPixelsX(s.width()), toPixelsY(s.height())); }
    // Each edge is converted, so neighbouring rectangles still meet.
    QRect toPixels(const QRect& r) const;
};

// The font of a template: face resolved, size in points at 96 dots per inch.
QFont dialogFont(const QString& face, int pointSize);
DialogUnits dialogUnitsFor(const QFont& font);

// The system's hit test of a frameless window's border: 10 x 10 corner squares and
// 10-pixel edge bands inside r (left/top inclusive, right/bottom exclusive).
// Returns hit::Nowhere for points inside the border or outside r.
int borderHitTest(const QRect& r, const QPoint& p, int band = 10);

class Dialog : public virtual Window {
public:
    explicit Dialog(DialogTemplate t = {});
    ~Dialog() override;

    const DialogTemplate& dialogTemplate() const { return template_; }
    DialogUnits units() const { return units_; }

    // Creates the window and its controls, runs onInitDialog, and shows the dialog
    // when its template says Visible. owner may be null (a top-level window).
    bool createModeless(Window* owner = nullptr);
    // The template as a child window of parent (a pane of another dialog): its top
    // left corner at topLeft in the parent's client pixels, its own font and units,
    // no caption, frame or menu. Its controls notify it; Enter and Esc go to the
    // top-level dialog. Shown when its template says Visible.
    bool createChild(Window* parent, int id, const QPoint& topLeft);
    // Runs the dialog in a nested event loop until endDialog; the window is destroyed
    // before it returns. Returns the end code, or -1 when the loop was ended otherwise.
    // The owner's window takes no user input meanwhile; no other window is blocked.
    int doModal(Window* owner = nullptr);
    void endDialog(int code);
    bool isModal() const { return modal_; }
    bool isRunningModal() const { return loop_ != nullptr; }

    // Controls of the template by id, and the pixel rectangle of any item.
    Window* item(int id) const;
    template <class T>
    T* itemAs(int id) const {
        return dynamic_cast<T*>(item(id));
    }
    QRect itemRect(int id) const;

    // Smallest and largest outer size of the window (the tracking sizes).
    void setTrackingSizes(const QSize& minimum, const QSize& maximum);
    QAction* menuAction(int id) const;
    void setMenuItemEnabled(int id, bool enabled);

    // Sends SysCommand(Minimise) / SysCommand(Restore) (default: do it).
    void minimise();
    void restore();

    // ---- hooks ------------------------------------------------------------------------
    virtual bool onInitDialog() { return true; }
    virtual void onOk();      // modal: endDialog(OK); modeless: hide
    virtual void onCancel();  // modal: endDialog(Cancel); modeless: hide
    // Frameless windows: what part of the window a screen point is on (hit:: codes).
    virtual int hitTest(const QPoint& screenPos) const;
    // Sees input for any window of the dialog before that window does; true swallows it.
    virtual bool preTranslate(Window& target, const InputEvent& event) {
        (void)target;
        (void)event;
        return false;
    }

    // Enter or Esc that reached the dialog (called by the layer's key handling).
    void dialogKey(int qtKey);

protected:
    LResult onCommand(int id, int code, Handle from) override;
    LResult onClose() override;  // default: Command(Cancel)
    LResult onSysCommand(std::uint32_t code) override;
    int menuHeight() const override;
    void layoutClient() override;
    void beforeResize() override;
    void afterResize() override;
    bool onFramePress(const MouseEvent& e) override;
    void onFrameHover(const MouseEvent& e) override;

private:
    class DialogWidget;
    friend class DialogWidget;
    void windowDestroyed() override;
    bool fixedFrame() const;
    bool build(Window* owner, bool child = false, int childId = 0, const QPoint& topLeft = QPoint());
    void closeBox();
    void stateChanged(bool minimisedNow);

    DialogTemplate template_;
    DialogUnits units_;
    QFont font_;
    std::vector<std::unique_ptr<Window>> items_;
    QMenuBar* menuBar_ = nullptr;  // owned by the dialog widget
    bool modal_ = false;
    bool ended_ = false;
    int result_ = -1;
    QEventLoop* loop_ = nullptr;
    bool minimised_ = false;
    bool trackingSet_ = false;  // explicit tracking sizes replace the fixed size
};

}  // namespace gui
