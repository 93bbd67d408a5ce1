#include "ui/DerivedControl.h"

#include <algorithm>
#include <climits>

#include "data/DataContainer.h"
#include "data/Mathematics.h"
#include "data/ParameterDecoder.h"
#include "platform/core/Debug.h"
#include "platform/gui/Drawing.h"
#include "surface/XmlControlConainer.h"
#include "tasks/Event.h"
#include "ui/FrequencyTable.h"

namespace {

// The first lens-actuator device, whose surface has two controls with display rules of
// their own.
constexpr std::int32_t kFirstLensBlock = 0x400;
// Its two labels that show a nibble inverted, and its two frequency sliders that show
// the index of their frequency step.
constexpr std::uint32_t kInvertedNibbleIds[] = {1078, 1080};
constexpr std::uint32_t kFrequencySliderIds[] = {1027, 1054};

bool Contains(const std::uint32_t (&ids)[2], std::uint32_t id) { return id == ids[0] || id == ids[1]; }

bool FieldFits(std::int64_t lowestBit, std::int64_t bitCount)
{
    return lowestBit >= 0 && bitCount >= 0 && lowestBit <= 31 && bitCount <= 32 && lowestBit + bitCount <= 32;
}

}  // namespace

std::uint32_t ControlBinding::Read(const IDataContainer& store) const
{
    return IsField() ? store.GetBits(word, static_cast<int>(lowestBit), static_cast<int>(bitCount))
                     : store.GetValue(word);
}

std::uint32_t ControlBinding::Of(std::uint32_t value) const
{
    if (!IsField()) return value;
    if (lowestBit >= 32) return 0;
    const std::uint32_t field = value >> lowestBit;
    return bitCount >= 32 ? field : field & ((1u << bitCount) - 1u);
}

CDerivedControl::CDerivedControl(gui::Window* parent, std::uint32_t id)
    : parentWindow_(parent), parentHandle_(parent != nullptr ? parent->handle() : 0), windowId_(id)
{
}

CDerivedControl::~CDerivedControl()
{
    // The window goes first, while everything its handlers may read is still here.
    if (exists()) destroy();
    decoder_.reset();
    element_.reset();
    sendFormula_.reset();
    receiveFormula_.reset();
}

bool CDerivedControl::SetValueTable(std::unique_ptr<IParameterDecoder> decoder)
{
    decoder_ = std::move(decoder);
    return decoder_ != nullptr;
}

bool CDerivedControl::SetRegister(std::int32_t word, std::uint32_t profileWord)
{
    if (word < kNoWord || word >= kWordCount) {
        platform::debugOutf("CDerivedControl %u: data word %d refused (outside the block)\n", windowId_, word);
        return false;
    }
    dataWord_ = word;
    profileWord_ = profileWord;
    return word != kNoWord;
}

bool CDerivedControl::SetRegisterEx(std::int32_t word, std::uint32_t parameter, std::uint32_t profileWord)
{
    if (word < kNoWord || word >= kWordCount) {
        platform::debugOutf("CDerivedControl %u: data word %d refused (outside the block)\n", windowId_, word);
        return false;
    }
    dataWord_ = word;
    registerParam_ = parameter;
    profileWord_ = profileWord;
    return word != kNoWord;
}

int CDerivedControl::SetBitField(std::uint32_t lowestBit, std::uint32_t bitCount)
{
    if (!FieldFits(lowestBit, bitCount)) {
        platform::debugOutf("CDerivedControl %u: bit field %u+%u refused (outside the word)\n", windowId_,
                            lowestBit, bitCount);
        return 0;
    }
    lowestBit_ = lowestBit;
    bitCount_ = bitCount;
    return 1;
}

ControlBinding CDerivedControl::GetBinding() const
{
    std::int64_t word = dataWord_;
    std::int64_t lowestBit = lowestBit_;
    std::int64_t bitCount = bitCount_;
    if (element_ != nullptr) {
        word = element_->GetContainerId();
        lowestBit = element_->GetLsbBit();
        bitCount = element_->GetBitLength();
        // No length, or no lowest bit: the whole word.
        if (bitCount == 0 || lowestBit == -1) {
            lowestBit = 0;
            bitCount = 0;
        }
    }
    if (word < 0 || word >= kWordCount) return {};
    if (bitCount != 0 && !FieldFits(lowestBit, bitCount)) return {};
    ControlBinding b;
    b.word = static_cast<std::int32_t>(word);
    b.lowestBit = static_cast<std::uint32_t>(bitCount != 0 ? lowestBit : 0);
    b.bitCount = static_cast<std::uint32_t>(bitCount);
    return b;
}

bool CDerivedControl::CreateControlWindow(const QPoint& position, int width, int height)
{
    if (exists() || parentWindow_ == nullptr || !parentWindow_->exists()) return false;
    if (windowId_ > static_cast<std::uint32_t>(INT_MAX)) return false;
    const QRect rect(position, QSize(std::max(0, width), std::max(0, height)));
    const std::uint32_t styleBits = createStyle_ | gui::style::Visible | gui::style::TabStop;
    if (!create(parentWindow_, static_cast<int>(windowId_), rect, styleBits)) return false;
    parentHandle_ = parentWindow_->handle();
    return true;
}

bool CDerivedControl::SetElement(std::unique_ptr<CXmlControlConainer> element)
{
    // The formulas always belong to the record that is bound now.
    sendFormula_.reset();
    receiveFormula_.reset();
    element_ = std::move(element);
    if (element_ == nullptr) return false;
    if (element_->GetRadioGroup() != 0) createStyle_ |= gui::style::Group;
    if (element_->GetFormulaTokenCount(1) > 0) {
        auto formula = std::make_unique<CDerivedMathematics>();
        formula->Parse(CDerivedMathematics::kSendList, element_.get());
        sendFormula_ = std::move(formula);
    }
    if (element_->GetFormulaTokenCount(0) > 0) {
        auto formula = std::make_unique<CDerivedMathematics>();
        formula->Parse(CDerivedMathematics::kReceiveList, element_.get());
        receiveFormula_ = std::move(formula);
    }
    return true;
}

int CDerivedControl::SetFont(const gui::Font& font)
{
    setFont(font);
    return 1;
}

int CDerivedControl::SetValue(std::uint32_t) { return 1; }

std::uint32_t CDerivedControl::GetValue() const { return 1; }

std::uint32_t CDerivedControl::DisplayValue(std::uint32_t stored, std::int32_t selectedBlock) const
{
    if (selectedBlock != kFirstLensBlock) return stored;
    if (kindNumber_ == kKindLabel && Contains(kInvertedNibbleIds, windowId_)) {
        return (stored & 0xF0u) | (~stored & 0x0Fu);
    }
    if (kindNumber_ == kKindSlider && Contains(kFrequencySliderIds, windowId_)) {
        if (const auto index = frequencysteps::IndexOf(stored)) return *index;
    }
    return stored;
}

// Skips an event this control caused itself unless the event asks for a full refresh:
// the control already shows what it wrote. Reads its binding from the store the event
// names and shows it. A control bound to nothing, or a store with no block selected
// (whose reads give 0xFFFFFFFF), leaves the control as it is.
int CDerivedControl::Update(const IEvent* event)
{
    if (event == nullptr) return 0;
    const bool fromSelf = event->GetSource() == static_cast<const void*>(this);
    if (fromSelf && event->GetFlag() == 0) return 1;
    const auto* store = static_cast<const IDataContainer*>(event->GetValue());
    if (store == nullptr) return 1;
    const ControlBinding binding = GetBinding();
    if (!binding.IsBound()) return 1;
    const std::int32_t block = store->GetSelectedId();
    if (block == -1) return 1;
    SetValue(DisplayValue(binding.Read(*store), block));
    return 1;
}

int CDerivedControl::Synchronize(CDerivedControl* other) { return other != this ? 1 : 0; }

int CDerivedControl::NotifyParent()
{
    const gui::Handle target = exists() && parent() != nullptr ? parent()->handle() : parentHandle_;
    // -1 travels as all bits set and comes back as -1 when the page narrows it.
    gui::send(target, gui::msg::ControlChanged, static_cast<gui::WParam>(static_cast<std::intptr_t>(dataWord_)),
              reinterpret_cast<gui::LParam>(this));
    return 1;
}

int CDerivedControl::LoadFromElement() { return 0; }

int CDerivedControl::ReloadFromElement() { return 0; }

void CDerivedControl::Trace(const char*) {}
