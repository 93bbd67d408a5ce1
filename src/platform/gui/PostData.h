// Posted messages that carry data (a status text, a result) from any thread.
//
// The payload travels with the message and is owned by the queue: it is freed after
// the handler returns, or when the message is dropped (window gone, program ending),
// so a worker never leaks what it reports and never frees what the GUI still reads.
// The handler finds it through l, valid only while the handler runs:
//
//     if (const auto* text = gui::payloadValue<std::string>(l)) ...
//     auto result = gui::takePayload<Result>(l);  // keeps it beyond the handler
//
// Plain C++ only, so a worker's code needs no Qt header.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>

#include "platform/gui/Messages.h"

namespace gui {

class Payload {
public:
    virtual ~Payload() = default;
};

template <class T>
class PayloadOf final : public Payload {
public:
    explicit PayloadOf(T v) : value(std::move(v)) {}
    T value;
};

// Queues msg with l pointing at the payload. False (payload freed at once) when the
// window is already gone or nothing delivers messages.
bool postData(Handle handle, std::uint32_t msg, WParam w, std::unique_ptr<Payload> data);

template <class T>
bool postValue(Handle handle, std::uint32_t msg, WParam w, T value) {
    return postData(handle, msg, w, std::make_unique<PayloadOf<T>>(std::move(value)));
}

// The payload of the message being handled, or null when l does not carry one of
// type T (GUI thread, inside the handler).
namespace detail {
// The payload of a message being delivered whose l is this one; null otherwise (l is
// then never dereferenced).
Payload* deliveredPayload(LParam l);
// Moves the payload at l out of the message being delivered; null when l is not one.
std::unique_ptr<Payload> takePayload(LParam l);
}  // namespace detail

template <class T>
T* payloadValue(LParam l) {
    auto* p = dynamic_cast<PayloadOf<T>*>(detail::deliveredPayload(l));
    return p != nullptr ? &p->value : nullptr;
}

template <class T>
std::unique_ptr<T> takePayload(LParam l) {
    if (payloadValue<T>(l) == nullptr) return nullptr;
    std::unique_ptr<Payload> p = detail::takePayload(l);
    if (!p) return nullptr;
    return std::make_unique<T>(std::move(static_cast<PayloadOf<T>*>(p.get())->value));
}

}  // namespace gui
