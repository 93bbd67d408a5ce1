// The control of one layout entry, created and decorated through the scaffold.
#include "pages/stepper/PlacedControlFactory.h"

#include <memory>

#include "data/ParameterDecoder.h"
#include "pages/scaffold/PageScaffold.h"
#include "ui/DisplayControls.h"
#include "ui/EditControl.h"
#include "ui/InputControls.h"
#include "ui/SliderControl.h"

namespace pages::stepper {

namespace {

constexpr gui::ColourRef kWarningColour = 0x0000FF;

std::unique_ptr<IParameterDecoder> MakeDecoder(const EditFormat& f) {
    auto record = std::make_unique<ParameterRecord>();
    record->kind = f.decoder;
    record->a = f.a;
    record->b = f.b;
    record->format = f.format;
    for (int i = 0; f.table != nullptr && i < f.tableSize; ++i) record->table.push_back(f.table[i]);
    return std::make_unique<CDerivedParameterDecoder>(std::move(record));
}

}  // namespace

CDerivedControl* CreatePlacedControl(CDerivedDialog& page, const PlacedControl& placed, gui::Window* parent) {
    pages::ControlPlacement where;
    where.key = placed.key;
    where.parent = parent;
    where.rect = QRect(placed.rect.x, placed.rect.y, placed.rect.width, placed.rect.height);
    where.lowestBit = placed.lsb;
    where.bitCount = placed.bitCount;
    // Captions are bound to nothing; the lamps, value controls and the tab to their word.
    where.bound = placed.index < 100 && placed.cls != ControlClass::Frame && placed.cls != ControlClass::Label;
    const QString caption = QString::fromUtf8(placed.caption.c_str());

    switch (placed.cls) {
        case ControlClass::Label:
            return pages::ConcreteCtrl<CDerivedLabel>(page, where, [&](CDerivedLabel& c) { c.setText(caption); });
        case ControlClass::Button:
            return pages::ConcreteCtrl<CDerivedButton>(page, where, [&](CDerivedButton& c) { c.setText(caption); });
        case ControlClass::Check:
            return pages::ConcreteCtrl<CDerivedCheckButton>(page, where, [&](CDerivedCheckButton& c) {
                if (placed.plainCheck) c.modifyStyle(gui::style::PushLike, 0);
                c.SetCaptions(QString::fromUtf8(placed.checkedCaption.c_str()), caption);
                c.SetValue(0);
            });
        case ControlClass::Combo:
            return pages::ConcreteCtrl<CDerivedComboBox>(page, where, [&](CDerivedComboBox& c) {
                for (const std::string& item : placed.items) c.addString(QString::fromUtf8(item.c_str()));
                c.SetValue(0);
            });
        case ControlClass::Tab: {
            CDerivedControl* made = pages::ConcreteCtrl<CDerivedTab>(page, where, [&](CDerivedTab& c) {
                int i = 0;
                for (const std::string& item : placed.items) c.insertItem(i++, QString::fromUtf8(item.c_str()));
                c.SetValue(0);
            });
            if (made != nullptr) made->lowerBelowSiblings();  // the pages' controls sit over its body
            return made;
        }
        case ControlClass::Slider:
            return pages::ConcreteCtrl<CDerivedSlider>(page, where, [&](CDerivedSlider& c) {
                c.SetRange(placed.sliderMin, placed.sliderMax);
            });
        case ControlClass::Edit:
            return pages::ConcreteCtrl<CDerivedEdit>(page, where, [&](CDerivedEdit& c) {
                if (!placed.edit) return;
                c.SetValueTable(MakeDecoder(*placed.edit));
                if (placed.edit->readOnly) c.modifyStyle(0, gui::style::ReadOnly);
                if (placed.edit->warnAbove) c.SetWarning(*placed.edit->warnAbove, kWarningColour);
            });
        case ControlClass::Frame:
            return pages::ConcreteCtrl<CDerivedFrame>(page, where, [&](CDerivedFrame& c) { c.setText(caption); });
        case ControlClass::ImageLabel:
            return pages::ConcreteCtrl<CDerivedImageLabel>(page, where, [&](CDerivedImageLabel& c) {
                c.SetLampColours(placed.onColour, placed.offColour);
            });
        case ControlClass::TachometerPanel:
        case ControlClass::GraphPanel:
            break;
    }
    return nullptr;
}

}  // namespace pages::stepper
