// Small controls and a small page for the page framework's tests.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "data/DataContainer.h"
#include "platform/gui/Controls.h"
#include "surface/XmlControlConainer.h"
#include "tasks/Event.h"
#include "tasks/RecordingQueue.h"
#include "tasks/TaskListener.h"
#include "ui/AppServices.h"
#include "ui/DerivedControl.h"
#include "ui/DerivedDialog.h"

// Failing checks print texts as text.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace uitest {

// A control that keeps the value it is given and counts how often it was shown.
template <class Widget>
class TestControl : public CDerivedControl, public Widget {
public:
    TestControl(gui::Window* parent, std::uint32_t id, std::uint32_t kind, const char* windowClass,
                std::uint32_t style = 0)
        : CDerivedControl(parent, id) {
        SetKindNumber(kind);
        SetWindowClass(windowClass);
        SetCreateStyle(style);
    }
    int SetValue(std::uint32_t value) override {
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

// A slider that keeps the value it was given.
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
    int Synchronize(CDerivedControl* other) override {
        if (other == this) return 0;
        SetValue(other != nullptr ? other->GetValue() : GetValue());
        return 1;
    }
    int notified = 0;
    std::function<void()> afterNotify;  // runs after NotifyParent returned

protected:
    void display() override { setCheck(value_ != 0 ? 1 : 0); }
    bool onMouseUp(const gui::MouseEvent& e) override {
        if (!clientRect().contains(e.pos)) return true;
        SetValue(value_ == 0 ? 1 : 0);
        NotifyParent();
        ++notified;
        if (afterNotify) afterNotify();
        return true;
    }
};

using ::RecordingQueue;

// A page that records the changes its controls report; with two checks: checks 1000 and
// 1001 on bit 0 of word 7, labels 1002 on word 7 and 1003 on word 8, bound by records.
class SurfacePage : public CDerivedDialog {
public:
    explicit SurfacePage(bool twoChecks = false) : twoChecks_(twoChecks) {}

    struct Change {
        std::int32_t word;
        CDerivedControl* control;
    };
    std::vector<Change> changes;
    std::vector<std::string> calls;  // reloads, restores
    std::function<void()> duringChange;

    bool onInitDialog() override { return CDerivedDialog::onInitDialog() && Build(); }

    int OnControlChanged(std::int32_t word, CDerivedControl* control) override {
        changes.push_back({word, control});
        if (duringChange) duringChange();
        return 1;
    }

    int ReloadSurface() override {
        calls.push_back("reload");
        return 1;
    }
    gui::LResult RestoreDeviceData() override {
        calls.push_back("restore-device");
        return CDerivedDialog::RestoreDeviceData();
    }

    template <class T>
    T* control(std::uint32_t key) const {
        return dynamic_cast<T*>(FindControlByKey(key));
    }
    void SetTachometer(std::unique_ptr<gui::Window> w) { firstTachometer_ = std::move(w); }
    gui::Window* Tachometer() const { return firstTachometer_.get(); }
    void SetSecondTachometer(std::unique_ptr<gui::Window> w) { secondTachometer_ = std::move(w); }
    gui::Window* SecondTachometer() const { return secondTachometer_.get(); }
    void SetGraph(std::unique_ptr<gui::Window> w) { graphWindow_ = std::move(w); }
    void AddSecond(std::uint32_t key, CDerivedControl* c) { secondControls_[key] = c; }
    void RemoveSecond(std::uint32_t key) { secondControls_.erase(key); }

    // The page's hooks, counted.
    int endRuns = 0;
    std::vector<std::pair<int, std::uint32_t>> storedChanges;
    void EndRuns() override { ++endRuns; }
    int retired = 0;  // RetireOwnedWindows calls
    void RetireOwnedWindows() override { ++retired; }
    void ReactToStoredChange(int kind, std::uint32_t value, CDerivedControl*) override {
        storedChanges.emplace_back(kind, value);
    }
    using CDerivedDialog::MakeGraphPanel;
    using CDerivedDialog::MakeTachometerPanel;
    using CDerivedDialog::NextSpeedSample;
    using CDerivedDialog::PanelOrPage;
    using CDerivedDialog::SetPollingKind;
    using CDerivedDialog::SetRecordSwitch;
    using CDerivedDialog::SetStatusPolling;
    using CDerivedDialog::ShowPanelControls;
    using CDerivedDialog::ShowSpeedSample;
    using CDerivedDialog::SpeedPanel;
    using CDerivedDialog::SpeedSample;
    using CDerivedDialog::SpeedSampleX;
    using CDerivedDialog::SwitchRecord;

private:
    bool Build() {
        for (std::uint32_t i = 0; twoChecks_ && i < 4; ++i) {
            std::unique_ptr<CDerivedControl> made;
            if (i < 2)
                made = std::make_unique<TestCheck>(this, 1000 + i);
            else
                made = std::make_unique<TestLabel>(this, 1000 + i);
            auto r = std::make_unique<CXmlControlConainer>();
            r->SetContainerId(i < 3 ? "7" : "8");
            if (i < 2) {
                r->SetLsbBit("0");
                r->SetBitLength("1");
            }
            made->SetElement(std::move(r));
            made->CreateControlWindow(QPoint(10 + 90 * static_cast<int>(i / 2), 10 + 30 * static_cast<int>(i % 2)), 80,
                                      24);
            CDerivedControl* added = AddControl(1000 + i, std::move(made));
            if (added != nullptr && GetDataContainer() != nullptr)
                added->SetValue(added->GetBinding().Read(*GetDataContainer()));
        }
        return true;
    }

    bool twoChecks_;
};

inline constexpr bool kTwoChecksSurface = true;

// Fills the services a page borrows for the life of a test and empties them after.
struct ScopedServices {
    ScopedServices(IDataContainer* data, ITaskListener* tasks, CRG1Micon* board = nullptr) {
        AppServices s;
        s.data = data;
        s.tasks = tasks;
        s.board = board;
        appServices() = s;
    }
    ~ScopedServices() { appServices() = AppServices{}; }
};

}  // namespace uitest
