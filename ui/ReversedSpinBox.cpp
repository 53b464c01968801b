#include "ReversedSpinBox.h"

namespace lumvaris::ui {

ReversedSpinBox::ReversedSpinBox(QWidget* parent) : QSpinBox(parent) {}

void ReversedSpinBox::stepBy(int steps) {
    QSpinBox::stepBy(-steps);
}

QAbstractSpinBox::StepEnabled ReversedSpinBox::stepEnabled() const {
    // The arrow that would lower the value is the up arrow here, and the other way round.
    const StepEnabled normal = QSpinBox::stepEnabled();
    StepEnabled swapped = StepNone;
    if (normal & StepUpEnabled) {
        swapped |= StepDownEnabled;
    }
    if (normal & StepDownEnabled) {
        swapped |= StepUpEnabled;
    }
    return swapped;
}

}  // namespace lumvaris::ui
