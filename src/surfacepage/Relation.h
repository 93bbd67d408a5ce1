// Relations between the controls of an XML-surface page.
//
// When an owner control changes, each relation that lists the owner's
// `relation_id` acts on its destination controls, or on a window, choosing
// what to do by the owner's stored value (the index). Relations are read from
// a surface's `relationlist`, made by CRelationFactory, owned by the page and
// applied after every change and refresh.
//
// A relation keeps windows by handle, never by pointer: a window that is gone
// by the time the relation runs is simply not acted on. Destination controls
// are borrowed for the duration of one Execute.
//
// Data-driven relations treat an index past their data, and a call without a
// destination (the window pass), as "nothing to do" and return 1. GUI thread
// only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gui/Messages.h"

class CDerivedControl;

class IRelation {
public:
    // The index of an owner that has no stored value: past every data list.
    static constexpr std::uint32_t kNoIndex = 0xFFFFFFFFu;

    virtual ~IRelation() = default;
    // Append the ids of a list ("9, 10, 11"); 1.
    virtual int SetOwnerIds(std::string_view text) = 0;
    virtual int SetDestinationIds(std::string_view text) = 0;
    // Appends one `datalist` text; 1 when the list grew.
    virtual int AddData(std::string_view text) = 0;
    // Appends a window and makes it the last window; whether it is not null.
    virtual int AddWindow(gui::Handle window) = 0;
    virtual int GetOwnerCount() const = 0;
    virtual int GetDestinationCount() const = 0;
    // The i-th id; -1 outside the list.
    virtual std::int32_t GetOwnerId(int index) const = 0;
    virtual std::int32_t GetDestinationId(int index) const = 0;
    // The i-th window; 0 outside the list.
    virtual gui::Handle GetWindow(int index) const = 0;
    // The i-th text; null outside the list.
    virtual const std::string* GetData(int index) const = 0;
    virtual int GetDataCount() const = 0;
    virtual int GetWindowCount() const = 0;
    // Acts on `destination` (null for the window pass) for the owner's value.
    virtual int Execute(std::uint32_t index, CDerivedControl* destination) = 0;
    virtual int HasOwner(std::int32_t id) const = 0;
    virtual int HasDestination(std::int32_t id) const = 0;
};

// The lists every relation keeps. Its own Execute does nothing and returns 0.
class CDerivedRelation : public IRelation {
public:
    int SetOwnerIds(std::string_view text) override;
    int SetDestinationIds(std::string_view text) override;
    int AddData(std::string_view text) override;
    int AddWindow(gui::Handle window) override;
    int GetOwnerCount() const override { return ownerCount_; }
    int GetDestinationCount() const override { return destinationCount_; }
    std::int32_t GetOwnerId(int index) const override;
    std::int32_t GetDestinationId(int index) const override;
    gui::Handle GetWindow(int index) const override;
    const std::string* GetData(int index) const override;
    int GetDataCount() const override { return static_cast<int>(data_.size()); }
    int GetWindowCount() const override { return static_cast<int>(windows_.size()); }
    int Execute(std::uint32_t index, CDerivedControl* destination) override;
    int HasOwner(std::int32_t id) const override;
    int HasDestination(std::int32_t id) const override;

    // An id list: ids are separated by commas, tabs or line breaks; each item
    // is read as its leading decimal integer ("12 13" is one item, 12); empty
    // items are skipped.
    static std::vector<std::int32_t> ParseIdList(std::string_view text);

protected:
    // The data text for an owner value; null past the end of the list.
    const std::string* DataFor(std::uint32_t index) const;
    gui::Handle LastWindow() const { return lastWindow_; }

private:
    std::vector<std::int32_t> ownerIds_;
    std::vector<std::int32_t> destinationIds_;
    std::vector<std::string> data_;
    std::vector<gui::Handle> windows_;
    gui::Handle lastWindow_ = 0;
    int ownerCount_ = 0;
    int destinationCount_ = 0;
};

// "description": data[index] becomes the destination's `gui_description`;
// the destination reloads its items and keeps its value.
class CRelationDescription final : public CDerivedRelation {
public:
    int Execute(std::uint32_t index, CDerivedControl* destination) override;
};

// "parameter": nothing.
class CRelationParameter final : public CDerivedRelation {};

// "range": data[index] becomes the destination's `gui_parameter` (minimum and
// maximum); the destination keeps the value it showed before.
class CRelationRange final : public CDerivedRelation {
public:
    int Execute(std::uint32_t index, CDerivedControl* destination) override;
};

// "enable_state": enables the destination when data[index] is non-zero,
// disables it when zero.
class CRelationEnableState final : public CDerivedRelation {
public:
    int Execute(std::uint32_t index, CDerivedControl* destination) override;
};

// "visible_state": shows the destination when data[index] is non-zero
// (negative values too), hides it when zero.
class CRelationVisibility final : public CDerivedRelation {
public:
    int Execute(std::uint32_t index, CDerivedControl* destination) override;
};

// "show_window": shows the last window. 0 when there is none or it is gone.
class CRelationShowWindow final : public CDerivedRelation {
public:
    int Execute(std::uint32_t index, CDerivedControl* destination) override;
};

// "hide_window": hides the last window. 0 when there is none or it is gone.
class CRelationHideWindow final : public CDerivedRelation {
public:
    int Execute(std::uint32_t index, CDerivedControl* destination) override;
};

// "out_freq": sends OutputFrequency (0x81F4) to the destination's parent
// while that window is visible: w = data[0], l = data[1] << 16 | data[2]
// (each held to 16 bits). Fewer than three data texts send nothing.
class CRelationFreq final : public CDerivedRelation {
public:
    int Execute(std::uint32_t index, CDerivedControl* destination) override;
};

// "stop_freq": sends StopFrequency (0x81F5) with w = data[0] to the
// destination's parent while that window is visible. No data sends nothing.
class CRelationStop final : public CDerivedRelation {
public:
    int Execute(std::uint32_t index, CDerivedControl* destination) override;
};

namespace surfacepage {

// The control that carries a relation id (the page's relation-id map), or
// null when none does.
using RelationTarget = std::function<CDerivedControl*(std::int32_t relationId)>;

// Applies the relations of an owner: for every relation, in list order, that
// lists `ownerId` among its owners, Execute(index, control) for each
// destination id in order that names a control (others are skipped), then
// Execute(index, null) once when the relation has a window. An owner id of -1
// owns nothing. Returns the number of Execute calls.
int ApplyRelations(const std::vector<std::unique_ptr<IRelation>>& relations, std::int32_t ownerId,
                   std::uint32_t index, const RelationTarget& target);

}  // namespace surfacepage
