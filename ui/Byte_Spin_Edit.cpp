#include "ui/Byte_Spin_Edit.h"

#include <algorithm>
#include <optional>

namespace plotvane {

namespace {

// A whole number of a few digits, with an optional minus sign: what a player types as a value.
std::optional<int> Typed_Number(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed.size() > 6) {
        return std::nullopt;
    }
    bool ok = false;
    const int number = trimmed.toInt(&ok);
    return ok ? std::optional<int>(number) : std::nullopt;
}

} // namespace

TByte_Spin_Edit::TByte_Spin_Edit(int range_maximum, QWidget* parent)
    : QSpinBox(parent), range_maximum_(range_maximum)
{
    setRange(0, range_maximum);
    // A text that is no whole number reads as the minimum, 0, not as the value before.
    setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
}

void TByte_Spin_Edit::Show_Stored_Value(int value)
{
    setMaximum(std::max(value, range_maximum_));
    setValue(value);
}

bool TByte_Spin_Edit::Is_Kept(int number) const
{
    return number >= minimum() && (number <= range_maximum_ || number == maximum());
}

QValidator::State TByte_Spin_Edit::validate(QString& input, int& position) const
{
    const std::optional<int> number = Typed_Number(input);
    if (number && !Is_Kept(*number)) {
        return QValidator::Intermediate;
    }
    return QSpinBox::validate(input, position);
}

void TByte_Spin_Edit::fixup(QString& input) const
{
    const std::optional<int> number = Typed_Number(input);
    if (number && !Is_Kept(*number)) {
        input = QString::number(std::clamp(*number, minimum(), range_maximum_));
        return;
    }
    QSpinBox::fixup(input);
}

void TByte_Spin_Edit::stepBy(int steps)
{
    setValue(std::clamp(value() + steps, minimum(), range_maximum_));
    selectAll();
}

QAbstractSpinBox::StepEnabled TByte_Spin_Edit::stepEnabled() const
{
    StepEnabled enabled = StepNone;
    if (value() > minimum()) {
        enabled |= StepDownEnabled;
    }
    if (value() < range_maximum_) {
        enabled |= StepUpEnabled;
    }
    return enabled;
}

} // namespace plotvane
