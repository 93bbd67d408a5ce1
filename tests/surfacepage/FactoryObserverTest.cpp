// The factories' words and widths, and observers and subjects: order, skipping, and an
// observer whose control's window is gone.
#include <gtest/gtest.h>

#include <string>
#include <typeinfo>
#include <vector>

#include "platform/gui/GuiTestSupport.h"
#include "surfacepage/Factories.h"
#include "surfacepage/Observer.h"
#include "tasks/Event.h"
#include "ui/DerivedControl.h"
#include "ui/DisplayControls.h"
#include "ui/EditControl.h"
#include "ui/InputControls.h"
#include "ui/SliderControl.h"

namespace {

template <class T>
bool Is(const CDerivedControl* control) { return dynamic_cast<const T*>(control) != nullptr; }

// Records the order in which observers are updated.
class OrderObserver final : public IObserver {
public:
    OrderObserver(std::vector<int>& log, int name) : log_(log), name_(name) {}
    int Update(const IEvent* event) override
    {
        if (event == nullptr) return 0;
        log_.push_back(name_);
        return 1;
    }

private:
    std::vector<int>& log_;
    int name_;
};

}  // namespace

TEST(Factories, EveryControlWordMakesItsClassAndOtherWordsMakeNothing)
{
    struct Word { const char* word; int code; bool (*isItsClass)(const CDerivedControl*); };
    const Word words[] = {
        {"label", 1, Is<CDerivedLabel>},        {"button", 2, Is<CDerivedButton>},
        {"check", 3, Is<CDerivedCheckButton>},  {"radio", 4, Is<CDerivedRadioButton>},
        {"combobox", 5, Is<CDerivedComboBox>},  {"edit", 6, Is<CDerivedEdit>},
        {"slider", 7, Is<CDerivedSlider>},      {"tab", 8, Is<CDerivedTab>},
        {"frame", 9, Is<CDerivedFrame>},        {"image", 10, Is<CDerivedImageLabel>},
        {"gradation", 11, Is<CDerivedColorLabel>},
    };
    const CControlFactory& factory = CControlFactory::GetInstance();
    EXPECT_EQ(&factory, &CControlFactory::GetInstance());
    for (const Word& w : words) {
        EXPECT_EQ(factory.CodeOf(w.word), w.code) << w.word;
        std::unique_ptr<CDerivedControl> control = factory.CreateControl(nullptr, w.word, 1007);
        ASSERT_NE(control, nullptr) << w.word;
        EXPECT_TRUE(w.isItsClass(control.get())) << w.word << " made " << typeid(*control).name();
        EXPECT_EQ(control->GetWindowId(), 1007u) << w.word;
    }
    for (const char* unknown : {"Label", "LABEL", "", "label ", "slider2", "gpio"}) {
        EXPECT_EQ(factory.CodeOf(unknown), 0) << '"' << unknown << '"';
        EXPECT_EQ(factory.CreateControl(nullptr, unknown, 1000), nullptr) << '"' << unknown << '"';
    }

    const CRegisterDataFactory& registers = CRegisterDataFactory::GetInstance();
    for (const std::int32_t width : {8, 16, 32, 64}) {
        std::unique_ptr<IRegisterData> r = registers.CreateRegisterData(width);
        ASSERT_NE(r, nullptr) << width;
        EXPECT_EQ(r->GetBitWidth(), static_cast<std::uint32_t>(width));
        EXPECT_EQ(r->GetByteCount(), static_cast<std::uint32_t>(width / 8));
    }
    for (const std::int32_t width : {24, 0, -1, -8, 7, 128}) EXPECT_EQ(registers.CreateRegisterData(width), nullptr) << width;

    const CRelationFactory& relations = CRelationFactory::GetInstance();
    const std::pair<const char*, int> relationWords[] = {
        {"description", 1}, {"parameter", 2},   {"range", 3},     {"enable_state", 4}, {"visible_state", 5},
        {"show_window", 6}, {"hide_window", 7}, {"out_freq", 8},  {"stop_freq", 21},
    };
    for (const auto& [word, code] : relationWords) {
        EXPECT_EQ(relations.CodeOf(word), code) << word;
        EXPECT_NE(relations.CreateRelation(word), nullptr) << word;
    }
    EXPECT_NE(dynamic_cast<CRelationFreq*>(relations.CreateRelation("out_freq").get()), nullptr);
    EXPECT_NE(dynamic_cast<CRelationStop*>(relations.CreateRelation("stop_freq").get()), nullptr);
    EXPECT_NE(dynamic_cast<CRelationVisibility*>(relations.CreateRelation("visible_state").get()), nullptr);
    for (const char* unknown : {"", "Enable_state", "enable", "freq"})
        EXPECT_EQ(relations.CreateRelation(unknown), nullptr) << '"' << unknown << '"';
}

TEST(Subjects, NotifyUpdatesInAttachOrderSkippingTheChosenObserverAndNullEntries)
{
    std::vector<int> log;
    OrderObserver first(log, 1), second(log, 2), third(log, 3);
    CDerivedEvent event(nullptr, nullptr, 1);

    CDerivedSubject empty;
    EXPECT_EQ(empty.NotifyAll(&event), 0);
    EXPECT_EQ(empty.Notify(&event, ISubject::kSkipFirst), 0);

    CDerivedSubject subject;
    EXPECT_EQ(subject.Attach(&first), 1);
    EXPECT_EQ(subject.Attach(nullptr), 1);
    EXPECT_EQ(subject.Attach(&second), 1);
    EXPECT_EQ(subject.Attach(&third), 1);
    EXPECT_EQ(subject.NotifyAll(&event), 1);
    EXPECT_EQ(log, (std::vector<int>{1, 2, 3}));

    // Kind 11 leaves out the second entry, kind 10 the first; other kinds leave none out.
    CDerivedSubject three;
    three.Attach(&first);
    three.Attach(&second);
    three.Attach(&third);
    log.clear();
    EXPECT_EQ(three.Notify(&event, ISubject::kSkipSecond), 1);
    EXPECT_EQ(log, (std::vector<int>{1, 3}));
    log.clear();
    three.Notify(&event, ISubject::kSkipFirst);
    EXPECT_EQ(log, (std::vector<int>{2, 3}));
    log.clear();
    three.Notify(&event, 0);
    EXPECT_EQ(log, (std::vector<int>{1, 2, 3}));
}

namespace {

// A control that counts the events it is given.
class CountingControl final : public CDerivedControl, public gui::StaticText {
public:
    CountingControl(gui::Window* parent, std::uint32_t id) : CDerivedControl(parent, id)
    {
        SetKindNumber(kKindLabel);
        SetWindowClass("STATIC");
    }
    int Update(const IEvent* event) override
    {
        if (event == nullptr) return 0;
        flags.push_back(event->GetFlag());
        return 7;
    }
    std::vector<std::uint32_t> flags;
};

}  // namespace

TEST(Observers, AnObserverHandsTheEventToItsControlUntilTheControlsWindowIsGone)
{
    guitest::Spy<gui::Dialog> host{guitest::plainTemplate(QStringLiteral("Host"))};
    ASSERT_TRUE(host.createModeless(nullptr));
    auto control = gui::makeWindow<CountingControl>(&host, 1000);
    ASSERT_TRUE(control->CreateControlWindow(QPoint(5, 5), 40, 20));
    CountingControl* seen = control.get();

    CDerivedObserver observer(seen);
    EXPECT_EQ(observer.GetControl(), seen);
    CDerivedEvent refresh(seen, nullptr, 1);
    EXPECT_EQ(observer.Update(nullptr), 0);
    EXPECT_EQ(observer.Update(&refresh), 7) << "the control's own result";
    EXPECT_EQ(seen->flags, (std::vector<std::uint32_t>{1}));
    EXPECT_EQ(CDerivedObserver(nullptr).Update(&refresh), 0);

    // The control goes (its page destroyed it); the observer must not reach it.
    control.reset();
    guitest::settle();
    EXPECT_EQ(observer.Update(&refresh), 0);
    host.destroy();
    guitest::settle();
}
