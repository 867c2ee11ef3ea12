// What the text of one of the Options page's number fields asks for: the
// decision the settings sheet and the web page's fields both make.
//
// The page reads at most nine characters of a field after every change. A
// number is taken from the start of the text as "%d" would take it; what
// follows it is ignored. A text that starts with no number at all (nothing,
// letters, a lone sign, blanks) leaves the setting as it was.
#pragma once

#include <cstdint>

enum class FieldAction {
    Ignore,   // no number: nothing changes
    Apply,    // the number is within the row's range: apply it
    Correct,  // out of range: write the nearest bound into the field
};

struct FieldDecision {
    FieldAction action;
    int32_t value;  // the number to apply, or the bound to write
};

FieldDecision DecideFieldValue(const char* text, int32_t minimum, int32_t maximum);
