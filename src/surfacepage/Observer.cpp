#include "surfacepage/Observer.h"

#include "platform/gui/Window.h"
#include "ui/DerivedControl.h"

CDerivedObserver::CDerivedObserver(CDerivedControl* control)
    : control_(control), window_(control != nullptr ? control->handle() : 0)
{
}

int CDerivedObserver::Update(const IEvent* event)
{
    if (event == nullptr || control_ == nullptr) return 0;
    // A control destroyed under the page may already be freed: only its
    // handle can tell, so it is looked up before the pointer is used.
    if (window_ != 0 && gui::Window::fromHandle(window_) == nullptr) return 0;
    return control_->Update(event);
}

int CDerivedSubject::Attach(IObserver* observer)
{
    const std::size_t before = observers_.size();
    observers_.push_back(observer);
    return observers_.size() > before ? 1 : 0;
}

int CDerivedSubject::NotifyAll(const IEvent* event) { return Notify(event, 0); }

int CDerivedSubject::Notify(const IEvent* event, int kind)
{
    if (observers_.empty()) return 0;
    // Observers may not be attached while a notification runs, but a copy
    // keeps the walk sound if a handler ever does.
    const std::vector<IObserver*> observers = observers_;
    for (std::size_t i = 0; i < observers.size(); ++i) {
        if (kind == kSkipFirst && i == 0) continue;
        if (kind == kSkipSecond && i == 1) continue;
        if (observers[i] != nullptr) observers[i]->Update(event);
    }
    return 1;
}
