// The page selector: makes and deletes the one device page the main window shows at a
// time, and owns every device's control profile (128 words, one per control slot of
// the page, that tell the page which controls exist and how they start).
#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <map>
#include <memory>

namespace gui {
class Dialog;
class Window;
}  // namespace gui

constexpr std::size_t kProfileSlots = 128;
using ControlProfile = std::array<std::uint16_t, kProfileSlots>;

// Which page class shows a device.
enum class PageClass { None, Stepper, StepperDual, DC, BLDC, Lens };
PageClass PageClassFor(std::uint32_t kind, std::uint32_t index);

class ISelector {
public:
    virtual ~ISelector() = default;
    // Deletes the current page, then makes the page of the device (hidden, top-level,
    // owned by the selector) and returns it; null when the device has no page.
    virtual gui::Dialog* GetDialogPointer(gui::Window* owner, std::uint32_t kind, std::uint32_t index,
                                          const QString& name) = 0;
    // Destroys and deletes the current page: 1, or 0 when there was none.
    virtual int DeleteDialogPointer() = 0;
};

class CDialogSelector : public ISelector {
public:
    CDialogSelector();
    ~CDialogSelector() override;
    CDialogSelector(const CDialogSelector&) = delete;
    CDialogSelector& operator=(const CDialogSelector&) = delete;

    gui::Dialog* GetDialogPointer(gui::Window* owner, std::uint32_t kind, std::uint32_t index,
                                  const QString& name) override;
    int DeleteDialogPointer() override;

    // The profile of a device key, or null when the key has none. Pages borrow it for
    // as long as the selector lives.
    const ControlProfile* Profile(std::uint32_t key) const;
    std::size_t ProfileCount() const { return profiles_.size(); }

private:
    void BuildProfiles();
    // The one place where page classes are constructed: null when the key has no
    // profile or the class has no page yet.
    std::unique_ptr<gui::Dialog> ConcreteProfile(PageClass pageClass, gui::Window* owner, std::uint32_t kind,
                                                 std::uint32_t index, const QString& name);

    std::unique_ptr<gui::Dialog> page_;
    std::map<std::uint32_t, std::unique_ptr<ControlProfile>> profiles_;
};
