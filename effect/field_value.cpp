#include "effect/field_value.h"

#include "base/int_scan.h"

FieldDecision DecideFieldValue(const char* text, int32_t minimum, int32_t maximum) {
    int32_t value = 0;
    if (!ScanInt32(text, ScanBase::Decimal, &value)) return {FieldAction::Ignore, 0};
    if (value > maximum) return {FieldAction::Correct, maximum};
    if (value < minimum) return {FieldAction::Correct, minimum};
    return {FieldAction::Apply, value};
}
