// The control of one layout entry, created and decorated through the scaffold.
#include "pages/scaffold/PlacedControlFactory.h"

#include "data/ParameterDecoder.h"
#include "pages/scaffold/PageScaffold.h"
#include "ui/DisplayControls.h"
#include "ui/EditControl.h"
#include "ui/InputControls.h"
#include "ui/SliderControl.h"
#include "ui/SpeedWindows.h"

namespace pages {

namespace {

constexpr gui::ColourRef kWarningColour = 0x0000FF;

QString Text(const std::string& s) { return QString::fromUtf8(s.c_str()); }

CDerivedControl* Make(CDerivedDialog& page, const PlacedControl& placed, const ControlPlacement& where) {
    const QString caption = Text(placed.caption);
    switch (placed.cls) {
        case ControlClass::Label:
            return ConcreteCtrl<CDerivedLabel>(page, where, [&](CDerivedLabel& c) { c.setText(caption); });
        case ControlClass::Button:
            return ConcreteCtrl<CDerivedButton>(page, where, [&](CDerivedButton& c) { c.setText(caption); });
        case ControlClass::Radio:
            return ConcreteCtrl<CDerivedRadioButton>(page, where,
                                                     [&](CDerivedRadioButton& c) { c.SetCaption(caption); });
        case ControlClass::Check:
            return ConcreteCtrl<CDerivedCheckButton>(page, where, [&](CDerivedCheckButton& c) {
                if (placed.plainCheck) c.modifyStyle(gui::style::PushLike, 0);
                c.SetCaptions(Text(placed.checkedCaption), caption);
                c.SetValue(0);
            });
        case ControlClass::Combo:
            return ConcreteCtrl<CDerivedComboBox>(page, where, [&](CDerivedComboBox& c) {
                for (const std::string& item : placed.items) c.addString(Text(item));
                c.SetValue(0);
            });
        case ControlClass::Tab: {
            CDerivedControl* made = ConcreteCtrl<CDerivedTab>(page, where, [&](CDerivedTab& c) {
                int i = 0;
                for (const std::string& item : placed.items) c.insertItem(i++, Text(item));
                c.SetValue(0);
            });
            if (made != nullptr) made->lowerBelowSiblings();  // the pages' controls sit over its body
            return made;
        }
        case ControlClass::Slider:
            return ConcreteCtrl<CDerivedSlider>(page, where, [&](CDerivedSlider& c) {
                c.SetRange(placed.sliderMin, placed.sliderMax);
                if (placed.sliderStart) c.SetValue(static_cast<std::uint32_t>(*placed.sliderStart));
            });
        case ControlClass::Edit:
            return ConcreteCtrl<CDerivedEdit>(page, where, [&](CDerivedEdit& c) {
                if (!placed.edit) return;
                if (placed.edit->converts) c.SetValueTable(MakeValueDecoder(*placed.edit));
                if (placed.edit->readOnly) c.modifyStyle(0, gui::style::ReadOnly);
                if (placed.edit->warnAbove) c.SetWarning(*placed.edit->warnAbove, kWarningColour);
            });
        case ControlClass::Frame:
            return ConcreteCtrl<CDerivedFrame>(page, where, [&](CDerivedFrame& c) { c.setText(caption); });
        case ControlClass::ImageLabel:
            return ConcreteCtrl<CDerivedImageLabel>(
                page, where, [&](CDerivedImageLabel& c) { c.SetLampColours(placed.onColour, placed.offColour); });
        case ControlClass::ColourLabel:
            return ConcreteCtrl<CDerivedColorLabel>(page, where, [&](CDerivedColorLabel& c) {
                for (const ColourStop& stop : placed.gradient) c.AddColorStop(stop.colour, stop.percent);
                c.CreateRegions();
                c.RenderGradient();
            });
        case ControlClass::TachometerPanel:
        case ControlClass::GraphPanel:
            break;
    }
    return nullptr;
}

}  // namespace

std::unique_ptr<IParameterDecoder> MakeValueDecoder(const EditFormat& f) {
    auto record = std::make_unique<ParameterRecord>();
    record->kind = f.decoder;
    record->a = f.a;
    record->b = f.b;
    record->format = f.format;
    record->table = f.table;
    return std::make_unique<CDerivedParameterDecoder>(std::move(record));
}

CDerivedControl* CreatePlacedControl(CDerivedDialog& page, const PlacedControl& placed, gui::Window* parent) {
    ControlPlacement where;
    where.key = placed.key;
    where.parent = parent;
    where.rect = QRect(placed.rect.x, placed.rect.y, placed.rect.width, placed.rect.height);
    where.lowestBit = placed.lsb;
    where.bitCount = placed.bitCount;
    // Captions are bound to nothing; the lamps, value controls and the tab to their word.
    where.bound = placed.index < 100 && placed.cls != ControlClass::Frame && placed.cls != ControlClass::Label;
    // A control made on one of the page's speed panels joins that panel in the page's AddControl.
    return Make(page, placed, where);
}

}  // namespace pages
