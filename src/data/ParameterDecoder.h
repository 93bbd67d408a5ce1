// Scaling between a raw register or data-store value and the number a
// control shows, by parameter kind.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

// How a value control converts its number. Made by the page and handed to
// a decoder, which owns it from then on.
struct ParameterRecord {
    enum Kind : std::int32_t {
        kIdentity = 0,     // x
        kPercent = 1,      // x / A * 100
        kInvPercent = 2,   // (A - x) / A * 100
        kMultiply = 3,     // x * A
        kDivide = 4,       // x / A
        kRatio = 5,        // x * A / B
        kTable = 6,        // table[trunc(x)]
    };

    std::int32_t kind = kIdentity;
    double a = 0.0;
    double b = 0.0;
    std::vector<std::int32_t> table;  // kind 6: the shown value of each raw index
    std::string format = "%d";        // printf format of the shown value, e.g. "%#.2lf"
    std::int32_t reserved = 0;        // carried for the pages; not read here
};

class IParameterDecoder {
public:
    virtual ~IParameterDecoder() = default;

    // Takes ownership of the record. 0 for none (the decoder then keeps no
    // record), else 1.
    virtual int SetParameter(std::unique_ptr<ParameterRecord> record) = 0;
    // Raw value to shown value.
    virtual double Decode(double raw) const = 0;
    // Shown value to raw value.
    virtual double Encode(double shown) const = 0;
    // The record's format; empty without a record.
    virtual const std::string& GetFormat() const = 0;
};

class CDerivedParameterDecoder final : public IParameterDecoder {
public:
    CDerivedParameterDecoder() = default;
    explicit CDerivedParameterDecoder(std::unique_ptr<ParameterRecord> record);
    ~CDerivedParameterDecoder() override;

    int SetParameter(std::unique_ptr<ParameterRecord> record) override;
    // Without a record, or for an unknown kind, both give 0. A scale of 0
    // (A or B, where it divides) gives 0 instead of an infinity. A table's Encode
    // gives the smallest index showing the value; a value above (below) every entry
    // the smallest index of the largest (smallest) entry; any other value 0.
    double Decode(double raw) const override;
    double Encode(double shown) const override;
    const std::string& GetFormat() const override;

    // The shown value of a raw one, printed with the record's format in the
    // C locale; an integer format such as "%d" gets the value saturated.
    std::string FormatDecoded(double raw) const;

private:
    std::unique_ptr<ParameterRecord> record_;
    std::map<std::int32_t, std::int32_t> table_;  // kind 6: raw index -> shown value
};
