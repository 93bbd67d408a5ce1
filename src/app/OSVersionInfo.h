// The operating system's name, edition and architecture, as the About box lists them
// ("OS Type", "OS Edition", "Architecture"). Read once at start-up from the running
// Linux system.
#pragma once

#include <string>

// What the system reports about itself.
struct SystemFacts {
    std::string prettyName;       // "Debian GNU/Linux 12 (bookworm)"
    std::string kernelType;       // "linux"
    std::string kernelVersion;    // "6.1.0-18-amd64"
    std::string cpuArchitecture;  // "x86_64", "arm64", "i386", ...
};

SystemFacts ReadSystemFacts();

class COSVersionInfo {
public:
    COSVersionInfo() = default;
    virtual ~COSVersionInfo() = default;

    // Fills the three texts; 0 when the facts name no system at all, else 1.
    int Query(const SystemFacts& facts);

    const std::string& GetName() const { return name_; }
    const std::string& GetEdition() const { return edition_; }
    const std::string& GetArchitecture() const { return architecture_; }

    // "64bit", "32bit", "IA-64", or empty for an architecture without a text.
    static std::string ArchitectureText(const std::string& cpuArchitecture);

private:
    std::string name_;
    std::string edition_;
    std::string architecture_;
};
