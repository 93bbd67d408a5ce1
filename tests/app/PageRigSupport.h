// Helpers for the device pages' tests: frames written in hex and compared whole, a
// change as a control reports it, the main window over the simulator with a model's
// page opened through it, and the page chosen by keys in the program's own loop.
#pragma once

#include <QByteArray>
#include <QDir>
#include <algorithm>

#include "AppTestSupport.h"
#include "ui/AppServices.h"
#include "ui/DerivedDialog.h"
#include "ui/Graph.h"
#include "ui/SpeedWindows.h"

namespace apptest {

inline std::string ModelName(std::uint32_t key) {
    for (const auto& e : devicetable::FullList())
        if (devicetable::Key(e.code) == key) return e.name;
    return {};
}

// A frame written as its bytes in hex, "43 00 02", and back.
inline Bytes F(const char* hex) {
    const QByteArray bytes = QByteArray::fromHex(hex);
    return Bytes(bytes.begin(), bytes.end());
}
inline std::string Hex(const Bytes& b) {
    return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size()))
        .toHex(' ')
        .toStdString();
}

// Compares whole frame lists, naming the first frame that differs.
inline void ExpectFrames(const std::vector<Bytes>& got, const std::vector<Bytes>& want) {
    for (std::size_t i = 0; i < std::min(got.size(), want.size()); ++i)
        EXPECT_EQ(Hex(got[i]), Hex(want[i])) << "frame " << i;
    EXPECT_EQ(got.size(), want.size());
}

// What the board's defaults write to ports 21-33 ('8' 3): all outputs, 21 high, the chip
// enable (31, [5] bit 5) low.
inline const Bytes kDefaultHighPorts = F("38 03 FF 01 38 00 03 00 00 3B");

// The chip enable the board is left with by `frames`: port 31's level ("high", "low") in
// the last '8' 3 frame after the last frame of the board's defaults; "unsent" when none
// follows them, "no defaults" when they are not there.
inline std::string ChipEnableAfterDefaults(const std::vector<Bytes>& frames) {
    const auto defaults = std::find(frames.rbegin(), frames.rend(), kDefaultHighPorts);
    if (defaults == frames.rend()) return "no defaults";
    std::string level = "unsent";
    for (auto f = defaults.base(); f != frames.end(); ++f)
        if (f->size() == kDefaultHighPorts.size() && (*f)[0] == '8' && (*f)[1] == 3)
            level = ((*f)[5] & 0x20) != 0 ? "high" : "low";
    return level;
}

// A change as a control reports it: the new value shown, then the parent told.
template <class Page>
void Change(Page& page, std::uint32_t kind, std::uint32_t index, std::uint32_t value) {
    auto* c = page.FindControl(kind, index);
    ASSERT_NE(c, nullptr) << kind;
    c->SetValue(value);
    c->NotifyParent();
}

// The main window over the simulator with the real page selector; timers run in real
// time once the board is set up.
template <class Page>
struct PageRig {
    PageRig() : rig(sim.path()) {
        appServices().data = &rig.data;
        appServices().tasks = &rig.tasks;
        appServices().board = &rig.board;
    }
    ~PageRig() {
        rig.window.reset();
        guitest::settle();  // the page goes (with its timers) while the clocks still live
        appServices() = AppServices{};
    }
    // The main window, connected, its board set up (sleeps still on the manual clock).
    bool Start() {
        if (started) return true;
        started = rig.Open() && guitest::waitFor([&] { return rig.window->count(gui::msg::TaskData) >= 2; }, 5000);
        rig.tasks.WaitIdle(5000);
        return started;
    }
    // Chooses the model and presses OK: the page, shown (no events have run since).
    Page* Open(std::uint32_t key) {
        if (!Start()) return nullptr;
        static platform::SystemClock systemClock;
        // Once: a second scope made over the first would put the manual clock back when
        // the first goes, and the board's pacing would wait for ever.
        if (!real) real = std::make_unique<platform::ScopedClock>(systemClock);
        Settle();
        sim.sim.clearFrames();
        Dialogs boxes;
        boxes.answerBox(gui::id::No);  // a firmware question, where the model has one
        if (!rig.ChooseDriverNamed(ModelName(key)) || !rig.OkEnabled()) return nullptr;
        Settle();
        rig.Command(gui::id::Ok);
        auto* page = dynamic_cast<Page*>(rig.window->CurrentPage());
        return page != nullptr && page->isShown() ? page : nullptr;
    }
    // The page with its polling switches (those it has of `polling`) off, and the frames
    // its opening sent (no events have run yet, so no status poll has come); what the
    // switches sent is taken.
    Page* OpenQuiet(std::uint32_t key, std::vector<Bytes>* opening, std::initializer_list<std::uint32_t> polling) {
        Page* page = Open(key);
        if (page == nullptr) return nullptr;
        rig.tasks.WaitIdle(5000);
        if (opening != nullptr) *opening = sim.Frames();
        for (std::uint32_t kind : polling) {
            if (page->FindControl(kind, 0) != nullptr) Change(*page, kind, 0, 0);
        }
        Take();
        return page;
    }
    // The queue idle and the events handled, the page's board set-up (which waits for
    // the defaults queued for it) done.
    void Settle() {
        rig.tasks.WaitIdle(5000);
        guitest::settle();
        auto* page = dynamic_cast<CDerivedDialog*>(rig.window ? rig.window->CurrentPage() : nullptr);
        if (page != nullptr && page->BoardSetUpPending())
            guitest::waitFor([&] { return !page->BoardSetUpPending(); }, 5000);
        // Also when the set-up ran in the events above: what it queued is done too.
        rig.tasks.WaitIdle(5000);
        guitest::settle();
    }
    std::vector<Bytes> Take() {
        Settle();
        auto frames = sim.Frames();
        sim.sim.clearFrames();
        return frames;
    }

    SimLink sim;
    Rig rig;
    bool started = false;
    std::unique_ptr<platform::ScopedClock> real;
};

// The page and its panels, for someone to look at.
template <class Page>
void SaveScreenshots(Page& page, const QString& name) {
    QDir().mkpath(TAMSIRO_SCREENSHOT_DIR);
    guitest::settle();
    EXPECT_TRUE(page.widget()->grab().save(QString(TAMSIRO_SCREENSHOT_DIR "/%1.png").arg(name)));
    if (auto* panel = page.TachometerPanel()) {
        EXPECT_TRUE(panel->widget()->grab().save(QString(TAMSIRO_SCREENSHOT_DIR "/%1_tachometer.png").arg(name)));
    }
    if (auto* graph = page.GraphPanel()) {
        EXPECT_TRUE(graph->widget()->grab().save(QString(TAMSIRO_SCREENSHOT_DIR "/%1_graph.png").arg(name)));
    }
}

// In the program's own loop, once connected: the motor type and then the model chosen
// with the arrow keys in the two lists, and a click on OK; the page that opens.
template <class Page>
Page* ChooseByKeys(CQuillfenDlg& w, int motorType, const std::string& name) {
    if (!guitest::waitFor([&] { return w.text().contains("USB Connected"); }, 5000)) return nullptr;
    guitest::settle();
    auto* motorTypes = w.itemAs<gui::ComboBox>(mainwin::kMotorTypeList);
    guitest::focusForKeys(*motorTypes);
    for (int i = 0; i < motorType; ++i) guitest::userKey(*motorTypes, Qt::Key_Down);
    EXPECT_EQ(motorTypes->curSel(), motorType);
    auto* drivers = w.itemAs<gui::ComboBox>(mainwin::kDriverList);
    const auto current = [&] { return drivers->itemText(drivers->curSel()).value_or(QString()).toStdString(); };
    guitest::focusForKeys(*drivers);
    for (int i = 0; i < 10 && current() != name; ++i) guitest::userKey(*drivers, Qt::Key_Down);
    EXPECT_EQ(current(), name);
    if (!guitest::waitFor([&] { return w.item(gui::id::Ok)->isEnabled(); }, 5000)) return nullptr;
    guitest::userClick(*w.item(gui::id::Ok));
    return dynamic_cast<Page*>(w.CurrentPage());
}

}  // namespace apptest
