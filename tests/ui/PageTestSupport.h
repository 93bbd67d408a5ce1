// Small controls and a small page for the page framework's tests: each control pairs
// the control base with a window of the layer, as the real controls do, and the page
// builds itself from an XML surface.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "data/DataContainer.h"
#include "platform/gui/Controls.h"
#include "surface/SurfaceReader.h"
#include "surface/XmlParser.h"
#include "tasks/Event.h"
#include "tasks/RecordingQueue.h"
#include "tasks/TaskListener.h"
#include "ui/AppServices.h"
#include "ui/DerivedControl.h"
#include "ui/DerivedDialog.h"

namespace uitest {

// A control on a window of the layer that keeps the value it is given and counts how
// often it was shown.
template <class Widget>
class TestControl : public CDerivedControl, public Widget {
public:
    TestControl(gui::Window* parent, std::uint32_t id, std::uint32_t kind, const char* windowClass,
                std::uint32_t style = 0)
        : CDerivedControl(parent, id)
    {
        SetKindNumber(kind);
        SetWindowClass(windowClass);
        SetCreateStyle(style);
    }
    int SetValue(std::uint32_t value) override
    {
        value_ = value;
        ++shown;
        if (this->exists()) display();
        return 1;
    }
    std::uint32_t GetValue() const override { return value_; }
    int shown = 0;

protected:
    virtual void display() {}
    std::uint32_t value_ = 0;
};

// A label that shows its value as a decimal number.
class TestLabel final : public TestControl<gui::StaticText> {
public:
    TestLabel(gui::Window* parent, std::uint32_t id) : TestControl(parent, id, kKindLabel, "STATIC") {}

protected:
    void display() override { setText(QString::number(value_)); }
};

// A slider that keeps the value it was given (its range is not the point here).
class TestSlider final : public TestControl<gui::Trackbar> {
public:
    TestSlider(gui::Window* parent, std::uint32_t id)
        : TestControl(parent, id, kKindSlider, "msctls_trackbar32", gui::style::NoTicks) {}
};

// A check button that toggles on a click inside it and reports the change.
class TestCheck final : public TestControl<gui::CheckButton> {
public:
    TestCheck(gui::Window* parent, std::uint32_t id)
        : TestControl(parent, id, kKindCheckButton, "BUTTON", gui::style::PushLike) {}
    int Synchronize(CDerivedControl* other) override
    {
        if (other == this) return 0;
        SetValue(other != nullptr ? other->GetValue() : GetValue());
        return 1;
    }
    int notified = 0;
    std::function<void()> afterNotify;  // runs after NotifyParent returned

protected:
    void display() override { setCheck(value_ != 0 ? 1 : 0); }
    bool onMouseUp(const gui::MouseEvent& e) override
    {
        if (!clientRect().contains(e.pos)) return true;
        SetValue(value_ == 0 ? 1 : 0);
        NotifyParent();
        // Still alive whatever the page did meanwhile: touch the control again.
        ++notified;
        if (afterNotify) afterNotify();
        return true;
    }
};

// A queue that records what it was told.
using ::RecordingQueue;

// A page built from an XML surface that records the changes its controls report.
class SurfacePage : public CDerivedDialog {
public:
    explicit SurfacePage(std::string surface = {}) : surface_(std::move(surface)) {}

    struct Change { std::int32_t word; CDerivedControl* control; };
    std::vector<Change> changes;
    std::vector<std::string> calls;  // ReloadSurface/RestoreDeviceData in order
    std::function<void()> duringChange;

    bool onInitDialog() override { return CDerivedDialog::onInitDialog() && Build(); }

    int OnControlChanged(std::int32_t word, CDerivedControl* control) override
    {
        changes.push_back({word, control});
        if (duringChange) duringChange();
        return 1;
    }

    int ReloadSurface() override
    {
        calls.push_back("reload");
        return 1;
    }
    gui::LResult RestoreDeviceData() override
    {
        calls.push_back("restore-device");
        return CDerivedDialog::RestoreDeviceData();
    }

    template <class T>
    T* control(std::uint32_t key) const { return dynamic_cast<T*>(FindControlByKey(key)); }
    // A speed window, and a control in the second map, given by the test.
    void SetTachometer(std::unique_ptr<gui::Window> w) { firstTachometer_ = std::move(w); }
    gui::Window* Tachometer() const { return firstTachometer_.get(); }
    void SetSecondTachometer(std::unique_ptr<gui::Window> w) { secondTachometer_ = std::move(w); }
    gui::Window* SecondTachometer() const { return secondTachometer_.get(); }
    void SetGraph(std::unique_ptr<gui::Window> w) { graphWindow_ = std::move(w); }
    void AddSecond(std::uint32_t key, CDerivedControl* c) { secondControls_[key] = c; }
    void RemoveSecond(std::uint32_t key) { secondControls_.erase(key); }

private:
    bool Build()
    {
        CDerivedParser parser;
        if (surface_.empty() || parser.ParseResource(surface_.data(), surface_.size(), nullptr, "s") != 1) return true;
        surface::ControlsBlockDecl decl = surface::ReadControlsBlock(*parser.GetRoot()->FindElement("controls"));
        for (surface::ControlDecl& c : decl.controls) {
            std::unique_ptr<CDerivedControl> made;
            const auto id = static_cast<std::uint32_t>(c.id);
            const std::string& type = c.record->GetGuiType();
            if (type == "check") made = std::make_unique<TestCheck>(this, id);
            else if (type == "label") made = std::make_unique<TestLabel>(this, id);
            else continue;
            const auto [x, y] = c.record->GetPosition();
            const auto [w, h] = c.record->GetSize();
            made->SetElement(std::move(c.record));
            made->CreateControlWindow(QPoint(x, y), w, h);
            made->SetFont(GetPageFont());
            made->LoadFromElement();
            CDerivedControl* added = AddControl(id, std::move(made));
            if (added == nullptr || !added->GetBinding().IsBound() || GetDataContainer() == nullptr) continue;
            added->SetValue(added->GetBinding().Read(*GetDataContainer()));
        }
        return true;
    }

    std::string surface_;
};

// Two check buttons and a label on data word 7, bit 0, and a label on word 8.
inline const char* const kTwoChecksSurface = R"(<?xml version="1.0" encoding="Shift_JIS"?>
<Tamsiro_Device>
  <controls parent="standard">
    <control>
      <software><gui_type>check</gui_type><gui_pos>10, 10</gui_pos><gui_size>80, 24</gui_size></software>
      <hardware><device_target>gpio</device_target><device_number>31</device_number>
                <device_io_type>output</device_io_type></hardware>
      <data><container_id>7</container_id><lsbbit>0</lsbbit><bitlength>1</bitlength></data>
    </control>
    <control><software><gui_type>check</gui_type><gui_pos>10, 40</gui_pos><gui_size>80, 24</gui_size></software>
      <data><container_id>7</container_id><lsbbit>0</lsbbit><bitlength>1</bitlength></data></control>
    <control><software><gui_type>label</gui_type><gui_pos>100, 10</gui_pos><gui_size>60, 20</gui_size></software>
      <data><container_id>7</container_id></data></control>
    <control><software><gui_type>label</gui_type><gui_pos>100, 40</gui_pos><gui_size>60, 20</gui_size></software>
      <data><container_id>8</container_id></data></control>
  </controls>
</Tamsiro_Device>
)";

// Fills the services a page borrows for the life of a test and empties them after.
struct ScopedServices {
    ScopedServices(IDataContainer* data, ITaskListener* tasks, CRG1Micon* board = nullptr)
    {
        AppServices s;
        s.data = data;
        s.tasks = tasks;
        s.board = board;
        appServices() = s;
    }
    ~ScopedServices() { appServices() = AppServices{}; }
};

}  // namespace uitest
