// Small controls and a small page for the page framework's tests: each control pairs
// the control base with a window of the layer, as the real controls do, and the page
// builds itself from an XML surface and sends every change as a GUI command.
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
#include "tasks/GuiCommand.h"
#include "tasks/TaskListener.h"
#include "tasks/TaskWord.h"
#include "ui/DerivedControl.h"
#include "ui/AppServices.h"
#include "ui/DerivedDialog.h"

namespace uitest {

// A check button that toggles on a click inside it and reports the change.
class TestCheck final : public CDerivedControl, public gui::CheckButton {
public:
    TestCheck(gui::Window* parent, std::uint32_t id) : CDerivedControl(parent, id)
    {
        SetKindNumber(kKindCheckButton);
        SetWindowClass("BUTTON");
        SetCreateStyle(gui::style::PushLike);
    }
    int SetValue(std::uint32_t value) override
    {
        value_ = value;
        ++shown;
        if (exists()) setCheck(value != 0 ? 1 : 0);
        return 1;
    }
    std::uint32_t GetValue() const override { return value_; }
    int Synchronize(CDerivedControl* other) override
    {
        if (other == this) return 0;
        SetValue(other != nullptr ? other->GetValue() : GetValue());
        return 1;
    }
    int shown = 0;
    std::function<void()> afterNotify;  // runs after NotifyParent returned

protected:
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

public:
    int notified = 0;

private:
    std::uint32_t value_ = 0;
};

// A label that shows its value as a decimal number.
class TestLabel final : public CDerivedControl, public gui::StaticText {
public:
    TestLabel(gui::Window* parent, std::uint32_t id) : CDerivedControl(parent, id)
    {
        SetKindNumber(kKindLabel);
        SetWindowClass("STATIC");
    }
    int SetValue(std::uint32_t value) override
    {
        value_ = value;
        ++shown;
        if (exists()) setText(QString::number(value));
        return 1;
    }
    std::uint32_t GetValue() const override { return value_; }
    int shown = 0;

private:
    std::uint32_t value_ = 0;
};

// A slider that keeps the value it was given (its range is not the point here).
class TestSlider final : public CDerivedControl, public gui::Trackbar {
public:
    TestSlider(gui::Window* parent, std::uint32_t id) : CDerivedControl(parent, id)
    {
        SetKindNumber(kKindSlider);
        SetWindowClass("msctls_trackbar32");
        SetCreateStyle(gui::style::NoTicks);
    }
    int SetValue(std::uint32_t value) override
    {
        value_ = value;
        ++shown;
        return 1;
    }
    std::uint32_t GetValue() const override { return value_; }
    int shown = 0;

private:
    std::uint32_t value_ = 0;
};

// A queue that records what it was told.
class RecordingQueue final : public ITaskListener {
public:
    struct Added {
        std::uint32_t word;
        std::vector<std::uint8_t> record;
    };
    std::vector<std::string> calls;
    std::vector<Added> added;
    platform::Handle window = 0;
    IDataContainer* store = nullptr;
    CRG1Micon* link = nullptr;

    int SetNotifyWindow(platform::Handle w) override
    {
        calls.push_back("window");
        window = w;
        return 1;
    }
    int SetDataContainer(IDataContainer* s) override
    {
        calls.push_back("store");
        store = s;
        return 1;
    }
    int SetMicon(CRG1Micon* l) override
    {
        calls.push_back("link");
        link = l;
        return 1;
    }
    int AddTask(std::uint32_t word, const void* record, std::uint32_t size) override
    {
        const auto* bytes = static_cast<const std::uint8_t*>(record);
        added.push_back({word, std::vector<std::uint8_t>(bytes, bytes + size)});
        return 1;
    }
    int StopAll() override
    {
        calls.push_back("stop");
        return 1;
    }
};

// A page built from an XML surface: a change is stored and sent with a GUI command
// (a "gpio" target drives its port), then every control on the same data word is
// told, as the surface page's observers do.
class SurfacePage : public CDerivedDialog {
public:
    explicit SurfacePage(std::string surface = {}) : surface_(std::move(surface)) {}

    struct Change {
        std::int32_t word;
        CDerivedControl* control;
    };
    std::vector<Change> changes;
    std::vector<std::string> calls;  // ResetData/ReloadSurface/RestoreDeviceData order
    std::function<void()> duringChange;

    bool onInitDialog() override
    {
        if (!CDerivedDialog::onInitDialog()) return false;
        if (!surface_.empty()) Build();
        return true;
    }

    int OnControlChanged(std::int32_t word, CDerivedControl* control) override
    {
        changes.push_back({word, control});
        if (duringChange) duringChange();
        if (IsDestroyed()) return 1;
        const CXmlControlConainer* record = control->GetElement();
        if (record == nullptr) return 1;
        const ControlBinding binding = control->GetBinding();
        const std::uint32_t value = control->GetValue();

        std::uint32_t taskWord = 0;
        const void* taskRecord = nullptr;
        std::uint32_t size = 0;
        if (GetTaskKind(record->GetDeviceTarget()) == kTaskGpio) {
            if (GpioRecord* port = ChannelSetting(record->GetDeviceNumber())) {
                port->port.line = static_cast<std::uint32_t>(record->GetDeviceNumber());
                port->port.direction = static_cast<std::uint32_t>(record->GetIoType()) & 1u;
                port->port.level = value & 1u;
                port->port.reserved = 0;
                port->port.send = 1;
                taskWord = 0x02000000;
                taskRecord = port;
                size = sizeof *port;
            }
        }
        CSingleCommand* command = CreateCommand(static_cast<std::uint32_t>(binding.word));
        command->SetRegister(GetDataContainer(), static_cast<std::uint32_t>(binding.word), value);
        command->SetTask(taskWord, taskRecord, size);
        if (binding.IsField()) command->SetBitField(binding.lowestBit, binding.bitCount);
        ExecuteCommand(GetTaskQueue(), command);
        DeleteCommand(command);

        CDerivedEvent event(control, GetDataContainer(), 0);
        for (const auto& [key, other] : Controls()) {
            if (other->GetBinding().word == binding.word) other->Update(&event);
        }
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
    T* control(std::uint32_t key) const
    {
        return dynamic_cast<T*>(FindControlByKey(key));
    }

private:
    void Build()
    {
        CDerivedParser parser;
        if (parser.ParseResource(surface_.data(), surface_.size(), nullptr, "page") != 1) return;
        const CDerivedXmlElement* root = parser.GetRoot();
        const CDerivedXmlElement* block = root != nullptr ? root->FindElement("controls") : nullptr;
        if (block == nullptr) return;
        surface::ControlsBlockDecl decl = surface::ReadControlsBlock(*block);
        for (surface::ControlDecl& c : decl.controls) {
            std::unique_ptr<CDerivedControl> made;
            const auto id = static_cast<std::uint32_t>(c.id);
            const std::string& type = c.record->GetGuiType();
            if (type == "check") made = std::make_unique<TestCheck>(this, id);
            else if (type == "label") made = std::make_unique<TestLabel>(this, id);
            else if (type == "slider") made = std::make_unique<TestSlider>(this, id);
            else continue;
            const auto [x, y] = c.record->GetPosition();
            const auto [w, h] = c.record->GetSize();
            made->SetElement(std::move(c.record));
            made->CreateControlWindow(QPoint(x, y), w, h);
            made->SetFont(GetPageFont());
            made->LoadFromElement();
            CDerivedControl* added = AddControl(id, std::move(made));
            if (added == nullptr) continue;
            const ControlBinding binding = added->GetBinding();
            if (binding.IsBound() && GetDataContainer() != nullptr) added->SetValue(binding.Read(*GetDataContainer()));
        }
    }

    std::string surface_;
};

// Two check buttons and a label on data word 7, bit 0, and a label on word 8; the first
// check drives port 31 as an output.
inline const char* const kTwoChecksSurface = R"(<?xml version="1.0" encoding="Shift_JIS"?>
<Tamsiro_Device>
  <controls parent="standard">
    <control>
      <software><gui_type>check</gui_type><gui_pos>10, 10</gui_pos><gui_size>80, 24</gui_size></software>
      <hardware><device_target>gpio</device_target><device_number>31</device_number>
                <device_io_type>output</device_io_type></hardware>
      <data><container_id>7</container_id><lsbbit>0</lsbbit><bitlength>1</bitlength></data>
    </control>
    <control>
      <software><gui_type>check</gui_type><gui_pos>10, 40</gui_pos><gui_size>80, 24</gui_size></software>
      <data><container_id>7</container_id><lsbbit>0</lsbbit><bitlength>1</bitlength></data>
    </control>
    <control>
      <software><gui_type>label</gui_type><gui_pos>100, 10</gui_pos><gui_size>60, 20</gui_size></software>
      <data><container_id>7</container_id></data>
    </control>
    <control>
      <software><gui_type>label</gui_type><gui_pos>100, 40</gui_pos><gui_size>60, 20</gui_size></software>
      <data><container_id>8</container_id></data>
    </control>
  </controls>
</Tamsiro_Device>
)";

// Fills the services a page borrows for the life of a test and empties them after.
class ScopedServices {
public:
    ScopedServices(IDataContainer* data, ITaskListener* tasks, CRG1Micon* board = nullptr)
    {
        appServices() = AppServices{data, tasks, board};
    }
    ~ScopedServices() { appServices() = AppServices{}; }
    ScopedServices(const ScopedServices&) = delete;
    ScopedServices& operator=(const ScopedServices&) = delete;
};

}  // namespace uitest
