#include "surfacepage/Relation.h"

#include <algorithm>

#include "platform/gui/Window.h"
#include "surface/SurfaceText.h"
#include "surface/XmlControlConainer.h"
#include "ui/DerivedControl.h"

namespace {

std::int32_t ValueOf(const std::string& text) { return surfacetext::ParseNumber(text); }

template <typename T>
const T* At(const std::vector<T>& list, int index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= list.size()) return nullptr;
    return &list[static_cast<std::size_t>(index)];
}

}  // namespace

std::vector<std::int32_t> CDerivedRelation::ParseIdList(std::string_view text)
{
    // The item splitter of captions keeps "12 13" as one item; its leading
    // number is the id.
    std::vector<std::int32_t> ids;
    for (const std::string& item : surfacetext::ParseItemList(text)) {
        if (item.empty()) continue;
        ids.push_back(surfacetext::ParseNumber(item));
    }
    return ids;
}

int CDerivedRelation::SetOwnerIds(std::string_view text)
{
    const std::vector<std::int32_t> ids = ParseIdList(text);
    ownerIds_.insert(ownerIds_.end(), ids.begin(), ids.end());
    ownerCount_ = static_cast<int>(ownerIds_.size());
    return 1;
}

int CDerivedRelation::SetDestinationIds(std::string_view text)
{
    const std::vector<std::int32_t> ids = ParseIdList(text);
    destinationIds_.insert(destinationIds_.end(), ids.begin(), ids.end());
    destinationCount_ = static_cast<int>(destinationIds_.size());
    return 1;
}

int CDerivedRelation::AddData(std::string_view text)
{
    data_.emplace_back(text);
    return 1;
}

int CDerivedRelation::AddWindow(gui::Handle window)
{
    windows_.push_back(window);
    lastWindow_ = window;
    return window != 0 ? 1 : 0;
}

std::int32_t CDerivedRelation::GetOwnerId(int index) const
{
    const std::int32_t* id = At(ownerIds_, index);
    return id != nullptr ? *id : -1;
}

std::int32_t CDerivedRelation::GetDestinationId(int index) const
{
    const std::int32_t* id = At(destinationIds_, index);
    return id != nullptr ? *id : -1;
}

gui::Handle CDerivedRelation::GetWindow(int index) const
{
    const gui::Handle* window = At(windows_, index);
    return window != nullptr ? *window : 0;
}

const std::string* CDerivedRelation::GetData(int index) const { return At(data_, index); }

int CDerivedRelation::Execute(std::uint32_t, CDerivedControl*) { return 0; }

int CDerivedRelation::HasOwner(std::int32_t id) const
{
    return std::find(ownerIds_.begin(), ownerIds_.end(), id) != ownerIds_.end() ? 1 : 0;
}

int CDerivedRelation::HasDestination(std::int32_t id) const
{
    return std::find(destinationIds_.begin(), destinationIds_.end(), id) != destinationIds_.end() ? 1 : 0;
}

const std::string* CDerivedRelation::DataFor(std::uint32_t index) const
{
    return index < data_.size() ? &data_[index] : nullptr;
}

int CRelationDescription::Execute(std::uint32_t index, CDerivedControl* destination)
{
    const std::string* text = DataFor(index);
    if (destination == nullptr || text == nullptr) return 1;
    CXmlControlConainer* record = destination->GetElement();
    if (record == nullptr) return 1;
    record->SetDescription(*text);
    destination->ReloadFromElement();
    return 1;
}

int CRelationRange::Execute(std::uint32_t index, CDerivedControl* destination)
{
    const std::string* text = DataFor(index);
    if (destination == nullptr || text == nullptr) return 1;
    CXmlControlConainer* record = destination->GetElement();
    if (record == nullptr) return 1;
    const std::uint32_t earlier = destination->GetValue();
    record->SetParameter(*text);
    destination->ReloadFromElement();
    destination->SetValue(earlier);
    return 1;
}

int CRelationEnableState::Execute(std::uint32_t index, CDerivedControl* destination)
{
    const std::string* text = DataFor(index);
    if (destination == nullptr || text == nullptr) return 1;
    destination->setEnabled(ValueOf(*text) != 0);
    return 1;
}

int CRelationVisibility::Execute(std::uint32_t index, CDerivedControl* destination)
{
    const std::string* text = DataFor(index);
    if (destination == nullptr || text == nullptr) return 1;
    destination->show(ValueOf(*text) != 0);
    return 1;
}

int CRelationShowWindow::Execute(std::uint32_t, CDerivedControl*)
{
    gui::Window* window = gui::Window::fromHandle(LastWindow());
    if (window == nullptr) return 0;
    return window->show(true) ? 1 : 0;
}

int CRelationHideWindow::Execute(std::uint32_t, CDerivedControl*)
{
    gui::Window* window = gui::Window::fromHandle(LastWindow());
    if (window == nullptr) return 0;
    return window->show(false) ? 1 : 0;
}

namespace {

// The window the frequency relations talk to: the destination's parent, and
// only while it is visible.
gui::Window* VisibleParentOf(CDerivedControl* destination)
{
    if (destination == nullptr) return nullptr;
    gui::Window* parent = destination->GetParentWindow();
    if (parent == nullptr || !parent->exists() || !parent->isVisible()) return nullptr;
    return parent;
}

}  // namespace

int CRelationFreq::Execute(std::uint32_t, CDerivedControl* destination)
{
    const std::string* pair = GetData(0);
    const std::string* frequencyWord = GetData(1);
    const std::string* countWord = GetData(2);
    if (pair == nullptr || frequencyWord == nullptr || countWord == nullptr) return 1;
    gui::Window* parent = VisibleParentOf(destination);
    if (parent == nullptr) return 1;
    const auto high = static_cast<std::uint32_t>(ValueOf(*frequencyWord)) & 0xFFFFu;
    const auto low = static_cast<std::uint32_t>(ValueOf(*countWord)) & 0xFFFFu;
    parent->send(gui::msg::OutputFrequency, static_cast<gui::WParam>(static_cast<std::uint32_t>(ValueOf(*pair))),
                 static_cast<gui::LParam>(high << 16 | low));
    return 1;
}

int CRelationStop::Execute(std::uint32_t, CDerivedControl* destination)
{
    const std::string* pair = GetData(0);
    if (pair == nullptr) return 1;
    gui::Window* parent = VisibleParentOf(destination);
    if (parent == nullptr) return 1;
    parent->send(gui::msg::StopFrequency, static_cast<gui::WParam>(static_cast<std::uint32_t>(ValueOf(*pair))), 0);
    return 1;
}

namespace surfacepage {

int ApplyRelations(const std::vector<std::unique_ptr<IRelation>>& relations, std::int32_t ownerId,
                   std::uint32_t index, const RelationTarget& target)
{
    if (ownerId == -1) return 0;
    int calls = 0;
    for (const std::unique_ptr<IRelation>& relation : relations) {
        if (relation == nullptr || relation->HasOwner(ownerId) == 0) continue;
        for (int i = 0; i < relation->GetDestinationCount(); ++i) {
            CDerivedControl* control = target ? target(relation->GetDestinationId(i)) : nullptr;
            if (control == nullptr) continue;
            relation->Execute(index, control);
            ++calls;
        }
        if (relation->GetWindowCount() > 0) {
            relation->Execute(index, nullptr);
            ++calls;
        }
    }
    return calls;
}

}  // namespace surfacepage
