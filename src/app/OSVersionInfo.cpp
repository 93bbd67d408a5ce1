#include "app/OSVersionInfo.h"

#include <QString>
#include <QSysInfo>
#include <sys/utsname.h>

SystemFacts ReadSystemFacts() {
    SystemFacts f;
    struct utsname u {};
    if (::uname(&u) == 0) {
        f.sysname = u.sysname;
        f.release = u.release;
        f.machine = u.machine;
    }
    // os-release's PRETTY_NAME; Qt falls back to the kernel's name when there is none.
    const std::string pretty = QSysInfo::prettyProductName().toStdString();
    if (pretty != "Unknown" && !pretty.empty()) f.prettyName = pretty;
    return f;
}

std::string COSVersionInfo::ArchitectureText(const std::string& machine) {
    static const char* const k64[] = {"x86_64", "amd64", "aarch64", "arm64", "riscv64", "ppc64", "ppc64le",
                                      "s390x", "mips64", "sparc64", "loongarch64"};
    static const char* const k32[] = {"i386", "i486", "i586", "i686", "armv6l", "armv7l", "arm", "riscv32",
                                      "ppc", "mips", "sparc"};
    for (const char* m : k64)
        if (machine == m) return "64bit";
    for (const char* m : k32)
        if (machine == m) return "32bit";
    if (machine == "ia64") return "IA-64";
    return {};
}

int COSVersionInfo::Query(const SystemFacts& facts) {
    if (facts.sysname.empty() && facts.prettyName.empty()) return 0;
    name_ = !facts.prettyName.empty() ? facts.prettyName : facts.sysname;
    edition_ = facts.sysname;
    if (!facts.release.empty()) edition_ += (edition_.empty() ? "" : " ") + facts.release;
    const std::string size = ArchitectureText(facts.machine);
    architecture_ = facts.machine;
    if (!size.empty()) architecture_ = architecture_.empty() ? size : architecture_ + " (" + size + ")";
    return 1;
}
