#include "ui/EditControl.h"

#include <algorithm>
#include <cmath>

#include "data/Mathematics.h"
#include "data/NumberText.h"
#include "data/ParameterDecoder.h"
#include "surface/XmlControlConainer.h"
#include "ui/FrequencyTable.h"

namespace {

constexpr int kKeyEnter = 13;
constexpr int kMaxText = 63;
constexpr int kMaxDecodedText = 15;
// The first lens-actuator surface's frequency edit on word 3 has a "continuous" step.
constexpr std::int32_t kContinuousWord = 3;
constexpr std::uint32_t kFirstContinuousStep = 34;
constexpr std::uint32_t kContinuousPulse = 0x7FFF;

QString Fixed(double value, int decimals) { return QString::fromStdString(numtext::FormatFixed(value, decimals)); }

// The frequency of a step index given as a real number (truncated, saturated).
QString FrequencyText(double index)
{
    return QString::number(frequencysteps::FrequencyAt(numtext::SaturateToInt64(index)));
}

bool StartsTimer(const gui::KeyEvent& e, bool character)
{
    if (e.code == kKeyEnter) return false;
    if (e.keypad && e.code >= 0x60 && e.code <= 0x69) return true;
    if (character) return !e.text.isEmpty() && e.text.at(0).unicode() >= 39;
    return e.code >= 39;
}

}  // namespace

CDerivedEdit::CDerivedEdit(gui::Window* parent, std::uint32_t id) : CDerivedControl(parent, id)
{
    SetKindNumber(kKindEdit);
    SetWindowClass("EDIT");
    SetCreateStyle(gui::style::AutoHScroll | gui::style::ClientEdge);
}

CDerivedEdit::~CDerivedEdit()
{
    if (timerRunning_ && exists()) killTimer(kCommitTimer);
    timerRunning_ = false;
}

QString CDerivedEdit::Format(std::uint32_t value)
{
    current_ = value;
    const CXmlControlConainer* record = GetElement();
    if (const IParameterDecoder* decoder = GetValueTable()) {
        const double d = decoder->Decode(value);
        shown_ = d;
        return QString::fromStdString(numtext::FormatPrintf(decoder->GetFormat(), d)).left(kMaxDecodedText);
    }
    if (record == nullptr) return QString::number(value);

    const double v = value;
    QString text = Fixed(v, 5);
    const bool receives = record->GetFormulaTokenCount(0) > 0;
    const std::string& format = record->GetGuiFormat();
    if (receives && GetReceiveFormula() != nullptr) {
        IMathematics* formula = GetReceiveFormula();
        formula->SetVariable(v);
        const double e = formula->Evaluate();
        if (format == "frequency") {
            text = FrequencyText(e);
        } else if (format == "volt") {
            text = Fixed(e, 2);
        } else {
            text = Fixed(e, 5);
        }
    }
    if (!format.empty()) {
        if (!receives) text = Fixed(v, 5);
        if (format == "binary") {
            // The word holds binary digits written as a decimal number.
            text = QStringLiteral("%1").arg(value, 8, 10, QLatin1Char('0'));
        } else if (format == "hex") {
            text = QString::number(value, 16).toUpper();
        } else if (format == "decimal") {
            text = QString::number(value);
        } else if (format == "frequency") {
            if (record->GetContainerId() == kContinuousWord && value >= kFirstContinuousStep) {
                text = QStringLiteral("cont.");
            } else {
                text = FrequencyText(v);
            }
        } else if (format == "pulse") {
            text = value == kContinuousPulse ? QStringLiteral("cont.") : QString::number(value);
        }
    }
    return text.left(kMaxText);
}

int CDerivedEdit::SetValue(std::uint32_t value)
{
    text_ = Format(value);
    // A refresh (a poll shows the stored duty every tick) leaves the text alone while
    // the user has changed it since it was last shown, by any key or a paste: Enter,
    // focus loss or the typing pause takes it, and then the field shows again.
    if (exists() && !userChanged_) setText(text_);
    return 1;
}

std::uint32_t CDerivedEdit::GetValue() const
{
    if (std::isnan(current_)) return 0;
    // Half away from zero, as a person rounds (2.5 is 3). The top of the range stops
    // one short of 0xFFFFFFFF, which the store and its commands read as "no value": a
    // huge typed number would otherwise be shown but never stored.
    return std::min(numtext::SaturateToUInt32(std::round(current_)), kLargestValue);
}

int CDerivedEdit::Synchronize(CDerivedControl* other)
{
    if (other == this) return 1;
    SetValue(other != nullptr ? other->GetValue() : GetValue());
    return 1;
}

int CDerivedEdit::SetWarning(double threshold, gui::ColourRef colour)
{
    if (threshold >= 0.0) {
        warningOn_ = true;
        threshold_ = threshold;
        warningColour_ = colour;
    } else {
        warningOn_ = false;
        threshold_ = -1.0;
        warningColour_ = 0;
    }
    return 1;
}

int CDerivedEdit::ApplyWarningColour(gui::ColourQuery& answer) const
{
    if (warningOn_) answer.text = gui::toQColor(shown_ > threshold_ ? warningColour_ : gui::ColourRef{0});
    return 1;
}

void CDerivedEdit::Take(const char* why, bool enter)
{
    Trace(why);
    if (timerRunning_ && exists()) killTimer(kCommitTimer);
    committed_ = true;
    timerRunning_ = false;
    userChanged_ = false;
    Commit(enter);
}

void CDerivedEdit::Commit(bool enter)
{
    if (!exists()) return;
    const QString typed = text();
    // Nothing typed (or typed back to what was shown): the stored value stays as it is,
    // so a field showing "cont." or a rounded decimal does not drift on a click. Enter
    // still sends it again, unparsed.
    if (typed == text_) {
        if (enter) NotifyParent();
        return;
    }
    const std::string utf8 = typed.toStdString();
    double number = 0;
    hexInput_ = typed.contains(QStringLiteral("0x"));
    if (hexInput_) {
        number = static_cast<double>(numtext::ParseLeadingInteger(utf8, 16));
    } else {
        number = numtext::ParseLeadingDouble(utf8);
    }
    const IParameterDecoder* decoder = GetValueTable();
    current_ = decoder == nullptr || hexInput_ ? number : decoder->Encode(number);
    // A frequency field shows the frequency of the step its word holds: a typed
    // frequency is stored as its step of the table (the nearest one), as the slider
    // beside it stores it.
    const CXmlControlConainer* record = GetElement();
    if (decoder == nullptr && record != nullptr && record->GetGuiFormat() == "frequency" &&
        record->GetFormulaTokenCount(0) == 0) {
        current_ = frequencysteps::NearestIndex(number);
    }
    // The field shows what is reported (and stored), not what was typed.
    SetValue(GetValue());
    NotifyParent();
}

void CDerivedEdit::Typed(const gui::KeyEvent& e)
{
    (void)e;
    if (!exists() || !isModified()) return;
    if (timerRunning_) killTimer(kCommitTimer);
    setTimer(kCommitTimer, kCommitDelayMs);
    committed_ = false;
    timerRunning_ = true;
}

bool CDerivedEdit::onKeyDown(const gui::KeyEvent& e)
{
    if (e.code != kKeyEnter) return false;
    Take("CDerivedEdit: Edit (enter-key push) hooked\n", true);
    return true;
}

bool CDerivedEdit::onChar(const gui::KeyEvent& e)
{
    // Enter has no character effect (no beep).
    return e.code == kKeyEnter;
}

void CDerivedEdit::onAfterKeyDown(const gui::KeyEvent& e)
{
    if (StartsTimer(e, true)) Typed(e);
}

void CDerivedEdit::onAfterKeyUp(const gui::KeyEvent& e)
{
    if (StartsTimer(e, false)) Typed(e);
}

void CDerivedEdit::onKillFocus(Qt::FocusReason) { Take("CDerivedEdit: Edit (focus lost) hooked\n", false); }

void CDerivedEdit::onTimer(int timerId)
{
    if (timerId != kCommitTimer) return;
    killTimer(kCommitTimer);
    committed_ = true;
    timerRunning_ = false;
    userChanged_ = false;
    Commit(false);
}

bool CDerivedEdit::onNotify(std::uint32_t msg, gui::WParam w, gui::LParam)
{
    // The user changed the text (typed, deleted or pasted): the program's own setText
    // reports nothing.
    if (msg == gui::msg::Command && gui::hiWord(w) == gui::notify::EditChange) userChanged_ = true;
    return false;
}
