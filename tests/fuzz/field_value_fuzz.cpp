// An Options field's text against any range: no number changes nothing, a
// number within the range applies as scanned, one outside it is corrected to
// the bound it passed.
//
// Input: the minimum and the maximum (int32 each), then the text.
#include <string>

#include "effect/field_value.h"
#include "base/int_scan.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzReader input(data, size);
    const int32_t minimum = input.I32();
    const int32_t maximum = input.I32();
    const std::string text = input.RestAsText();

    int32_t number = 0;
    const bool found = ScanInt32(text.c_str(), ScanBase::Decimal, &number);
    const FieldDecision decision = DecideFieldValue(text.c_str(), minimum, maximum);
    switch (decision.action) {
        case FieldAction::Ignore:
            FUZZ_CHECK(!found);
            break;
        case FieldAction::Apply:
            FUZZ_CHECK(found && decision.value == number && minimum <= number && number <= maximum);
            break;
        case FieldAction::Correct:
            FUZZ_CHECK(found && ((number > maximum && decision.value == maximum) ||
                                 (number < minimum && decision.value == minimum)));
            break;
        default:
            FUZZ_CHECK(!"an action outside the enumeration");
    }
    return 0;
}
