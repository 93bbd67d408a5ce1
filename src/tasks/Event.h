// A small change record handed to observers: what changed, a value that goes with it
// (the XML-surface page passes its data store) and a flag (0 a user change, 1 a refresh
// of the whole page). All three are fixed at construction.
#pragma once

#include <cstdint>

class IEvent {
public:
    virtual ~IEvent() = default;
    virtual void* GetSource() const = 0;
    virtual void* GetValue() const = 0;
    virtual std::uint32_t GetFlag() const = 0;
};

class CDerivedEvent final : public IEvent {
public:
    CDerivedEvent(void* source, void* value, std::uint32_t flag) : source_(source), value_(value), flag_(flag) {}
    void* GetSource() const override { return source_; }
    void* GetValue() const override { return value_; }
    std::uint32_t GetFlag() const override { return flag_; }

private:
    void* const source_;
    void* const value_;
    const std::uint32_t flag_;
};
