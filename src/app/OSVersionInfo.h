// The operating system's name, release and architecture, as the About box lists them
// ("OS Type", "OS Edition", "Architecture"). Read once at start-up from the running
// Linux system (uname, and the distribution's own name where it has one).
#pragma once

#include <string>

// What the system reports about itself.
struct SystemFacts {
    std::string prettyName;  // the distribution, "Debian GNU/Linux 12 (bookworm)"; may be empty
    std::string sysname;     // uname: "Linux"
    std::string release;     // uname: "6.1.0-18-amd64"
    std::string machine;     // uname: "x86_64", "aarch64", "i686", ...
};

// Empty uname fields when the call fails.
SystemFacts ReadSystemFacts();

class COSVersionInfo {
public:
    COSVersionInfo() = default;
    virtual ~COSVersionInfo() = default;

    // Fills the three texts; 0 (and nothing filled) when the facts name no system.
    int Query(const SystemFacts& facts);

    // The distribution's name, else the kernel's.
    const std::string& GetName() const { return name_; }
    // The kernel and its release.
    const std::string& GetEdition() const { return edition_; }
    // The machine and its word size: "x86_64 (64bit)".
    const std::string& GetArchitecture() const { return architecture_; }

    // "64bit", "32bit", "IA-64", or empty for a machine without a known word size.
    static std::string ArchitectureText(const std::string& machine);

private:
    std::string name_;
    std::string edition_;
    std::string architecture_;
};
