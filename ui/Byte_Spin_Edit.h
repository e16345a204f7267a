#pragma once

#include <QSpinBox>

namespace plotvane {

// A spin edit for one byte of a block record. A typed number outside the range is taken as
// typed and brought into the range when the edit loses the focus or Enter is pressed (300
// becomes 255), instead of being refused keystroke by keystroke.
//
// A stored value above the range (a rotation byte of 7 where the game uses 0 to 3) is shown
// as it is, so that it can be written back unchanged; typing it again keeps it, any other
// number above the range becomes the range's maximum, and stepping down from it goes to the
// maximum.
class TByte_Spin_Edit : public QSpinBox {
    Q_OBJECT

public:
    TByte_Spin_Edit(int range_maximum, QWidget* parent = nullptr);

    // Shows a value read from the image.
    void Show_Stored_Value(int value);

    QValidator::State validate(QString& input, int& position) const override;
    void fixup(QString& input) const override;
    void stepBy(int steps) override;

protected:
    StepEnabled stepEnabled() const override;

private:
    // Whether `number` is one the edit takes as it is.
    bool Is_Kept(int number) const;

    int range_maximum_;
};

} // namespace plotvane
