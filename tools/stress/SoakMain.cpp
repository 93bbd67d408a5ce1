// tamsiro-soak SECONDS [SEED] [PERCENT]: runs the soak (see Soak.h) headless in a folder
// of its own, prints its figures and exits 0 when every check held.
#include <QByteArray>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "platform/gui/Application.h"
#include "stress/Soak.h"

int main(int argc, char** argv) {
    if (argc < 2 || argc > 4) {
        std::fputs("usage: tamsiro-soak SECONDS [SEED] [PERCENT]\n", stderr);
        return 2;
    }
    stress::SoakOptions o;
    o.duration = std::chrono::milliseconds(static_cast<long long>(std::atof(argv[1]) * 1000));
    if (argc > 2) o.seed = static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 0));
    if (argc > 3) o.faultPercent = std::atoi(argv[3]);
    if (o.duration.count() <= 0 || o.faultPercent < 0 || o.faultPercent > 100) {
        std::fputs("tamsiro-soak: SECONDS above 0, PERCENT 0 to 100\n", stderr);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
    gui::Application application(argc, argv);
    o.dir = std::filesystem::temp_directory_path() / ("tamsiro-soak-" + std::to_string(::getpid()));
    std::filesystem::create_directories(o.dir);
    const stress::SoakFigures f = stress::RunSoak(o);
    std::filesystem::remove_all(o.dir);
    std::printf("seed %u, %d %% of replies\n%s", o.seed, o.faultPercent, f.Summary().c_str());
    return f.Passed() ? 0 : 1;
}
