// Observers and subjects keep the controls of an XML-surface page that share
// one data-store word in step: every control is wrapped in an observer, and
// the observers of one `container_id` hang on one subject, which hands each a
// change event.
//
// The page owns both; a subject borrows its observers, an observer borrows
// its control. An observer also remembers its control's window handle, so an
// event that arrives after the control's window was destroyed (its object
// may be gone) reaches nothing. GUI thread only.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/gui/Messages.h"

class CDerivedControl;
class IEvent;

class IObserver {
public:
    virtual ~IObserver() = default;
    // Hands the event to the observed control; 0 for a null event.
    virtual int Update(const IEvent* event) = 0;
};

class CDerivedObserver final : public IObserver {
public:
    explicit CDerivedObserver(CDerivedControl* control);

    // The control's Update(event) and its result; 0 for a null event, a null
    // control or a control whose window is gone.
    int Update(const IEvent* event) override;
    CDerivedControl* GetControl() const { return control_; }

private:
    CDerivedControl* control_;
    gui::Handle window_ = 0;  // 0 when the control had no window when observed
};

class ISubject {
public:
    // Notify kinds that leave one observer out.
    static constexpr int kSkipFirst = 10;
    static constexpr int kSkipSecond = 11;

    virtual ~ISubject() = default;
    // Appends; 1 when the list grew.
    virtual int Attach(IObserver* observer) = 0;
    // Update(event) on every observer in attach order (null entries skipped);
    // 0 when there are none, else 1.
    virtual int NotifyAll(const IEvent* event) = 0;
    // As NotifyAll, but kind 10 leaves out the first observer and kind 11 the
    // second.
    virtual int Notify(const IEvent* event, int kind) = 0;
};

class CDerivedSubject final : public ISubject {
public:
    int Attach(IObserver* observer) override;
    int NotifyAll(const IEvent* event) override;
    int Notify(const IEvent* event, int kind) override;
    int GetObserverCount() const { return static_cast<int>(observers_.size()); }

private:
    std::vector<IObserver*> observers_;
};
