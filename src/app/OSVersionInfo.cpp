#include "app/OSVersionInfo.h"

#include <QString>
#include <QSysInfo>

SystemFacts ReadSystemFacts() {
    SystemFacts f;
    f.prettyName = QSysInfo::prettyProductName().toStdString();
    f.kernelType = QSysInfo::kernelType().toStdString();
    f.kernelVersion = QSysInfo::kernelVersion().toStdString();
    f.cpuArchitecture = QSysInfo::currentCpuArchitecture().toStdString();
    return f;
}

std::string COSVersionInfo::ArchitectureText(const std::string& cpu) {
    if (cpu == "x86_64" || cpu == "arm64" || cpu == "riscv64" || cpu == "power64" || cpu == "s390x" ||
        cpu == "mips64" || cpu == "sparcv9") {
        return "64bit";
    }
    if (cpu == "i386" || cpu == "arm" || cpu == "riscv32" || cpu == "power" || cpu == "mips" || cpu == "sparc") {
        return "32bit";
    }
    if (cpu == "ia64") return "IA-64";
    return {};
}

int COSVersionInfo::Query(const SystemFacts& facts) {
    if (facts.prettyName.empty() && facts.kernelType.empty()) return 0;
    name_ = facts.prettyName;
    edition_ = facts.kernelType;
    if (!facts.kernelVersion.empty()) edition_ += (edition_.empty() ? "" : " ") + facts.kernelVersion;
    architecture_ = ArchitectureText(facts.cpuArchitecture);
    return 1;
}
