// The base of every custom control on a device page.
//
// A control is a child window bound to one word of the device data store, optionally to
// a bit field of that word, and on the XML-surface page to the record of its <control>
// element. It carries a value decoder and two formulas, shows the values given to it,
// re-reads its word when an observer tells it the store changed, and reports every user
// change to its parent with ControlChanged (0x8100).
//
// A concrete control derives from this class and from the matching window of the
// window layer, which both derive virtually from gui::Window, so the pair share one
// window:
//
//     class CDerivedSlider : public CDerivedControl, public gui::Trackbar { ... };
//
// CreateControlWindow then creates the layer's widget for that class. Controls live on
// the GUI thread only.
#pragma once

#include <QPoint>
#include <cstdint>
#include <memory>

#include "platform/gui/Window.h"

class CXmlControlConainer;
class IDataContainer;
class IEvent;
class IMathematics;
class IParameterDecoder;

namespace gui {
class Font;
}

// Where a control's value lives in the selected data-store block. Only ever made with a
// word inside the block and a field inside the word.
struct ControlBinding {
    std::int32_t word = -1;       // 0..255; -1 when the control is bound to nothing
    std::uint32_t lowestBit = 0;  // with bitCount: the field
    std::uint32_t bitCount = 0;   // 0 = the whole word

    bool IsBound() const { return word >= 0; }
    bool IsField() const { return bitCount != 0; }
    // The bound value: the field moved down to bit 0, or the whole word.
    std::uint32_t Read(const IDataContainer& store) const;
    // The bound part of a word held elsewhere: the field's bits, or the whole word.
    std::uint32_t Of(std::uint32_t value) const;
};

class CDerivedControl : public virtual gui::Window {
public:
    // The class of control (GetControlKind).
    enum KindNumber : std::uint32_t {
        kKindUnset = 0,
        kKindLabel = 1,  // label, colour label, image label, frame
        kKindButton = 2,
        kKindCheckButton = 3,
        kKindRadioButton = 4,
        kKindEdit = 5,
        kKindComboBox = 6,
        kKindSlider = 7,
        kKindTab = 8,
    };

    static constexpr std::int32_t kNoWord = -1;
    // Words of a data-store block; a data word outside 0..kWordCount-1 is refused.
    static constexpr std::int32_t kWordCount = 256;

    // The window is created later (CreateControlWindow) as a child of `parent`.
    CDerivedControl(gui::Window* parent, std::uint32_t id);
    // Destroys the window if it is still there, then deletes the value decoder, the
    // record and the two formulas.
    ~CDerivedControl() override;

    CDerivedControl(const CDerivedControl&) = delete;
    CDerivedControl& operator=(const CDerivedControl&) = delete;

    // ---- binding ------------------------------------------------------------------
    // Takes ownership; true when a decoder was given.
    bool SetValueTable(std::unique_ptr<IParameterDecoder> decoder);
    IParameterDecoder* GetValueTable() const { return decoder_.get(); }
    // The data word (-1 = none) and the control-profile word. False for -1 and for a
    // word outside the block, which is refused (nothing changes).
    bool SetRegister(std::int32_t word, std::uint32_t profileWord);
    bool SetRegisterEx(std::int32_t word, std::uint32_t parameter, std::uint32_t profileWord);
    // A field of the data word (count 0 = the whole word). 1; 0 for a field that does not
    // lie inside bits 0..31, which is refused (nothing changes).
    int SetBitField(std::uint32_t lowestBit, std::uint32_t bitCount);
    std::int32_t GetRegisterAddress() const { return dataWord_; }
    std::uint32_t GetRegisterParam() const { return registerParam_; }
    std::uint32_t GetBitPosition() const { return lowestBit_; }
    std::uint32_t GetBitCount() const { return bitCount_; }
    std::uint32_t GetProfileWord() const { return profileWord_; }
    std::uint32_t GetWindowId() const { return windowId_; }
    gui::Window* GetParentWindow() const { return parentWindow_; }
    IMathematics* GetSendFormula() const { return sendFormula_.get(); }
    IMathematics* GetReceiveFormula() const { return receiveFormula_.get(); }
    // The store binding that Update and a restore use: the record's `container_id`,
    // `lsbbit` and `bitlength` when a record is bound, else the data word and bit field.
    // Unbound when there is no word or the word or field would reach outside the block.
    ControlBinding GetBinding() const;

    // Creates the window at (x, y) in the parent's client coordinates with the style
    // of the class (plus visible and tab stop). False when it exists already, the parent
    // has no window, or the id does not fit a window id.
    bool CreateControlWindow(const QPoint& position, int width, int height);
    // The style bits CreateControlWindow uses (the class's, plus Group from the record).
    std::uint32_t GetCreateStyle() const { return createStyle_; }
    const char* GetWindowClass() const { return windowClass_; }

    // ---- the control family -----------------------------------------------------------
    // Binds (and owns) the record. With a record: a non-zero `radio_group` adds the
    // Group style, and the formulas are made from its `algorithm_s` (send) and
    // `algorithm_r` (receive) tokens (a list without tokens leaves that formula null).
    // With null only the record is cleared. True when a record was given.
    virtual bool SetElement(std::unique_ptr<CXmlControlConainer> element);
    virtual CXmlControlConainer* GetElement() const { return element_.get(); }
    virtual std::uint32_t GetControlKind() const { return kindNumber_; }
    virtual int SetFont(const gui::Font& font);
    // Shows a stored value. The base shows nothing: 1.
    virtual int SetValue(std::uint32_t value);
    // The control's value in stored units. The base: 1.
    virtual std::uint32_t GetValue() const;
    // Refreshes from the data store an event names (see the .cpp). 0 for a null event.
    virtual int Update(const IEvent* event);
    // The base only says whether `other` is another control.
    virtual int Synchronize(CDerivedControl* other);
    // Sends (does not post) ControlChanged to the parent: w = the data word (-1 when
    // none), l = this control (as CDerivedControl*). The parent's handler has run when
    // it returns. 1.
    virtual int NotifyParent();
    // Captions, items or ranges from the record. The base: nothing, 0.
    virtual int LoadFromElement();
    virtual int ReloadFromElement();
    // A diagnostic hook; does nothing.
    virtual void Trace(const char* text);

    // Every key goes to the control: Enter and Esc do not reach the dialog, Tab does not
    // move the focus.
    bool wantsAllKeys() const override { return true; }

    // The value Update shows for a stored value: the two display rules of the first
    // lens-actuator surface (block 0x400) applied by kind and window id.
    std::uint32_t DisplayValue(std::uint32_t stored, std::int32_t selectedBlock) const;

protected:
    // Set by each class in its constructor.
    void SetKindNumber(std::uint32_t kind) { kindNumber_ = kind; }
    void SetWindowClass(const char* name) { windowClass_ = name; }
    void SetCreateStyle(std::uint32_t styleBits) { createStyle_ = styleBits; }

private:
    std::unique_ptr<CXmlControlConainer> element_;
    std::int32_t dataWord_ = kNoWord;
    std::uint32_t registerParam_ = 0;
    std::uint32_t lowestBit_ = 0;
    std::uint32_t bitCount_ = 0;
    std::uint32_t profileWord_ = 0;
    std::unique_ptr<IParameterDecoder> decoder_;
    std::unique_ptr<IMathematics> sendFormula_;
    std::unique_ptr<IMathematics> receiveFormula_;
    gui::Window* parentWindow_;
    gui::Handle parentHandle_ = 0;  // where ControlChanged goes; a dead handle drops it
    std::uint32_t windowId_;
    const char* windowClass_ = "";
    std::uint32_t createStyle_ = 0;
    std::uint32_t kindNumber_ = kKindUnset;
};
