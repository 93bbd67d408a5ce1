// Relations on real controls in a host window: id lists, each relation kind acting on
// its destinations by the owner's value, the window pass, the frequency messages only
// while the page is visible, and relations that name missing controls or windows.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/gui/GuiTestSupport.h"
#include "surface/XmlControlConainer.h"
#include "surfacepage/Factories.h"
#include "surfacepage/Relation.h"
#include "ui/DisplayControls.h"
#include "ui/InputControls.h"
#include "ui/SliderControl.h"

namespace {

using Relations = std::vector<std::unique_ptr<IRelation>>;

std::unique_ptr<IRelation> MakeRelation(const char* word, const char* owners, const char* destinations,
                                        const std::vector<std::string>& data = {})
{
    std::unique_ptr<IRelation> relation = CRelationFactory::GetInstance().CreateRelation(word);
    EXPECT_NE(relation, nullptr) << word;
    if (relation == nullptr) return nullptr;
    relation->SetOwnerIds(owners);
    if (destinations != nullptr) relation->SetDestinationIds(destinations);
    for (const std::string& text : data) relation->AddData(text);
    return relation;
}

std::vector<std::string> Items(const gui::ComboBox& combo)
{
    std::vector<std::string> out;
    for (int i = 0; i < combo.count(); ++i) out.push_back(combo.itemText(i).value_or(QString()).toStdString());
    return out;
}

// A host page with controls that carry relation ids, as the page's relation-id map.
class RelationHost : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(host.createModeless(nullptr));
        host.show();
    }
    void TearDown() override
    {
        controls.clear();
        host.destroy();
        guitest::settle();
    }

    // A control of class C on the host with relation id `relationId`, its record
    // filled by the given field texts, its window created and its record loaded.
    template <class C>
    C* Make(std::int32_t relationId, const std::map<std::string, std::string>& fields = {})
    {
        auto control = gui::makeWindow<C>(&host, 1000 + static_cast<std::uint32_t>(controls.size()));
        auto record = std::make_unique<CXmlControlConainer>();
        for (const auto& [word, text] : fields) {
            if (word == "gui_description") record->SetDescription(text);
            if (word == "gui_parameter") record->SetParameter(text);
        }
        control->SetElement(std::move(record));
        const int row = static_cast<int>(controls.size());
        EXPECT_TRUE(control->CreateControlWindow(QPoint(10, 10 + 30 * row), 120, 24));
        control->LoadFromElement();
        C* made = control.get();
        byRelation.emplace(relationId, made);
        controls.push_back(gui::WindowPtr<CDerivedControl>(control.release()));
        return made;
    }

    surfacepage::RelationTarget Target()
    {
        return [this](std::int32_t id) -> CDerivedControl* {
            const auto found = byRelation.find(id);
            return found != byRelation.end() ? found->second : nullptr;
        };
    }
    int Apply(std::int32_t owner, std::uint32_t index) { return surfacepage::ApplyRelations(relations, owner, index, Target()); }

    guitest::Spy<gui::Dialog> host{guitest::plainTemplate(QStringLiteral("Host"))};
    std::vector<gui::WindowPtr<CDerivedControl>> controls;
    std::map<std::int32_t, CDerivedControl*> byRelation;
    Relations relations;
};

}  // namespace

TEST(RelationLists, IdListsSplitAtCommasTabsAndLineBreaksAndAccessorsAnswerPastTheEnd)
{
    EXPECT_EQ(CDerivedRelation::ParseIdList("9, 10, 11"), (std::vector<std::int32_t>{9, 10, 11}));
    EXPECT_EQ(CDerivedRelation::ParseIdList("12 13"), (std::vector<std::int32_t>{12}));
    EXPECT_EQ(CDerivedRelation::ParseIdList("\n      5,\n      -6\t7\n    "), (std::vector<std::int32_t>{5, -6, 7}));
    EXPECT_EQ(CDerivedRelation::ParseIdList(" , ,"), (std::vector<std::int32_t>{}));

    CRelationEnableState relation;
    relation.SetOwnerIds("3");
    relation.SetOwnerIds("4, 5");  // lists grow
    EXPECT_EQ(relation.GetOwnerCount(), 3);
    EXPECT_EQ(relation.HasOwner(5), 1);
    EXPECT_EQ(relation.HasOwner(6), 0);
    EXPECT_EQ(relation.HasDestination(3), 0);
    relation.SetDestinationIds("8,\t3");
    EXPECT_EQ(relation.HasDestination(3), 1);
    EXPECT_EQ(relation.GetDestinationCount(), 2);
    EXPECT_EQ(relation.GetDestinationId(1), 3);
    EXPECT_EQ(relation.GetOwnerId(3), -1);
    EXPECT_EQ(relation.GetOwnerId(-1), -1);
    EXPECT_EQ(relation.GetDestinationId(2), -1);
    EXPECT_EQ(relation.GetData(0), nullptr);
    EXPECT_EQ(relation.AddData("1"), 1);
    ASSERT_NE(relation.GetData(0), nullptr);
    EXPECT_EQ(*relation.GetData(0), "1");
    EXPECT_EQ(relation.GetWindow(0), 0u);
    EXPECT_EQ(relation.AddWindow(0), 0);  // a null window is kept but said
    EXPECT_EQ(relation.GetWindowCount(), 1);
    // The base relation and "parameter" do nothing.
    CDerivedRelation plain;
    EXPECT_EQ(plain.Execute(0, nullptr), 0);
    EXPECT_EQ(CRelationParameter().Execute(0, nullptr), 0);
}

TEST_F(RelationHost, EnableAndVisibleStateFollowTheOwnersValueAndAnIndexPastTheDataDoesNothing)
{
    CDerivedLabel* a = Make<CDerivedLabel>(10);
    CDerivedLabel* b = Make<CDerivedLabel>(11);
    CDerivedLabel* shown = Make<CDerivedLabel>(12);
    relations.push_back(MakeRelation("enable_state", "1", "10, 11", {"1", "0"}));
    relations.push_back(MakeRelation("visible_state", "1", "12", {"-1", "0"}));

    EXPECT_EQ(Apply(1, 1), 3);
    EXPECT_EQ(relations[0]->Execute(1, a), 1);
    EXPECT_EQ(relations[1]->Execute(7, shown), 1);
    EXPECT_FALSE(a->isEnabled());
    EXPECT_FALSE(b->isEnabled());
    EXPECT_FALSE(shown->isShown());
    EXPECT_EQ(Apply(1, 0), 3);
    EXPECT_TRUE(a->isEnabled());
    EXPECT_TRUE(b->isEnabled());
    EXPECT_TRUE(shown->isShown()) << "a negative value shows";
    Apply(1, 1);
    // Value 2 and an owner without a stored value lie past the data: nothing changes.
    Apply(1, 2);
    Apply(1, IRelation::kNoIndex);
    EXPECT_FALSE(a->isEnabled());
    EXPECT_FALSE(shown->isShown());
    // Another owner, or no relation id at all, runs none of them.
    EXPECT_EQ(Apply(2, 0), 0);
    EXPECT_EQ(Apply(-1, 0), 0);
    EXPECT_FALSE(a->isEnabled());
}

TEST_F(RelationHost, DescriptionSwapsTheItemListAndRangeKeepsTheEarlierValue)
{
    auto* combo = Make<CDerivedComboBox>(20, {{"gui_description", "Off, 0.032, 0.064"}});
    auto* slider = Make<CDerivedSlider>(21, {{"gui_parameter", "0,10"}});
    slider->SetValue(7);
    combo->SetValue(2);
    relations.push_back(MakeRelation("description", "2", "20",
                                     {"Off, 0.032, 0.064", "Off, 0.064, 0.128", "Off, 0.128, 0.256"}));
    relations.push_back(MakeRelation("range", "2", "21", {"0,5", "0,120", "1, 64"}));

    Apply(2, 1);
    EXPECT_EQ(Items(*combo), (std::vector<std::string>{"Off", "0.064", "0.128"}));
    EXPECT_EQ(combo->GetValue(), 2u) << "the choice survives the new items";
    EXPECT_EQ(combo->GetElement()->GetDescriptionCount(), 3);
    EXPECT_EQ(slider->GetRangeMin(), 0);
    EXPECT_EQ(slider->GetRangeMax(), 120);
    EXPECT_EQ(slider->GetValue(), 7u);
    Apply(2, 2);
    EXPECT_EQ(Items(*combo), (std::vector<std::string>{"Off", "0.128", "0.256"}));
    EXPECT_EQ(slider->GetRangeMin(), 1);
    EXPECT_EQ(slider->GetRangeMax(), 64);
    EXPECT_EQ(slider->GetValue(), 7u);
    // Past the data, or with no destination: the items and range stay, and that is no fault.
    EXPECT_EQ(relations[0]->Execute(3, combo), 1);
    EXPECT_EQ(relations[1]->Execute(3, slider), 1);
    EXPECT_EQ(relations[0]->Execute(0, nullptr), 1);
    EXPECT_EQ(relations[1]->Execute(0, nullptr), 1);
    EXPECT_EQ(Items(*combo), (std::vector<std::string>{"Off", "0.128", "0.256"}));
    EXPECT_EQ(slider->GetRangeMax(), 64);
}

TEST_F(RelationHost, FrequencyAndStopSendToTheVisiblePageAndNothingWithoutDataOrDestination)
{
    Make<CDerivedButton>(30);
    Make<CDerivedButton>(31);
    relations.push_back(MakeRelation("out_freq", "30", "30", {"1", "3", "4"}));
    relations.push_back(MakeRelation("stop_freq", "31", "31", {"1"}));
    relations.push_back(MakeRelation("out_freq", "32", "30", {"1", "3"}));  // one text short
    relations.push_back(MakeRelation("stop_freq", "33", "31"));             // no text

    host.log.clear();
    Apply(30, IRelation::kNoIndex);  // the index is not used
    ASSERT_EQ(host.count(gui::msg::OutputFrequency), 1);
    EXPECT_EQ(host.only(gui::msg::OutputFrequency)[0].w, 1u);
    EXPECT_EQ(host.only(gui::msg::OutputFrequency)[0].l, 0x00030004);
    Apply(31, 0);
    ASSERT_EQ(host.count(gui::msg::StopFrequency), 1);
    EXPECT_EQ(host.only(gui::msg::StopFrequency)[0].w, 1u);
    EXPECT_EQ(host.only(gui::msg::StopFrequency)[0].l, 0);
    Apply(32, 0);
    Apply(33, 0);
    EXPECT_EQ(host.count(gui::msg::OutputFrequency), 1);
    EXPECT_EQ(host.count(gui::msg::StopFrequency), 1);
    // The window pass of a frequency relation has no destination, so no page to tell.
    EXPECT_EQ(relations[0]->Execute(0, nullptr), 1);

    host.hide();
    Apply(30, 0);
    Apply(31, 0);
    EXPECT_EQ(host.count(gui::msg::OutputFrequency), 1);
    EXPECT_EQ(host.count(gui::msg::StopFrequency), 1);
}

TEST_F(RelationHost, WindowRelationsShowAndHideTheirLastWindowAndAGoneWindowIsLeftAlone)
{
    guitest::Spy<gui::Dialog> floating{guitest::plainTemplate(QStringLiteral("Floating"))};
    ASSERT_TRUE(floating.createModeless(&host));
    relations.push_back(MakeRelation("hide_window", "40", nullptr));
    relations.back()->AddWindow(host.handle());
    relations.push_back(MakeRelation("hide_window", "40", nullptr));
    relations.back()->AddWindow(floating.handle());
    relations.push_back(MakeRelation("show_window", "41", nullptr));
    relations.back()->AddWindow(host.handle());
    relations.back()->AddWindow(floating.handle());  // the last one is the one shown

    floating.show();
    EXPECT_EQ(Apply(40, 0), 2) << "the window pass runs once per relation";
    EXPECT_FALSE(host.isShown());
    EXPECT_FALSE(floating.isShown());
    Apply(41, 0);
    EXPECT_TRUE(floating.isShown());
    EXPECT_FALSE(host.isShown());

    // A window destroyed after the relation was read is not acted on.
    floating.destroy();
    EXPECT_EQ(relations[1]->Execute(0, nullptr), 0);
    EXPECT_EQ(relations[2]->Execute(0, nullptr), 0);
    EXPECT_EQ(MakeRelation("show_window", "1", nullptr)->Execute(0, nullptr), 0) << "no window at all";
}

TEST_F(RelationHost, SeveralOwnersEitherActsAndDestinationsWithoutAControlAreSkipped)
{
    CDerivedLabel* target = Make<CDerivedLabel>(50);
    relations.push_back(MakeRelation("enable_state", "12, 13", "99, 50, 98", {"1", "0"}));
    EXPECT_EQ(Apply(12, 1), 1) << "only the destination that names a control runs";
    EXPECT_FALSE(target->isEnabled());
    EXPECT_EQ(Apply(13, 0), 1);
    EXPECT_TRUE(target->isEnabled());
    // A page without a relation-id map finds no destinations.
    EXPECT_EQ(surfacepage::ApplyRelations(relations, 12, 1, nullptr), 0);
    EXPECT_TRUE(target->isEnabled());
    // Relations made from words the factory knows, null entries skipped.
    relations.push_back(nullptr);
    EXPECT_EQ(Apply(12, 1), 1);
}
