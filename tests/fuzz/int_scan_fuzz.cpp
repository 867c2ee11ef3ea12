// Integer scanning against the C library's strtoll, which skips the same
// white space and takes the same signs and prefixes: in both bases any text
// gives strtoll's number clamped to 32 bits, or no number (and the value left
// alone) exactly when strtoll converts nothing.
#include <cstdlib>
#include <string>

#include "base/int_scan.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzReader input(data, size);
    const std::string text = input.RestAsText();

    for (const ScanBase base : {ScanBase::Decimal, ScanBase::Auto}) {
        char* end = nullptr;
        const long long wide = std::strtoll(text.c_str(), &end, base == ScanBase::Decimal ? 10 : 0);
        const int32_t expected = wide > INT32_MAX ? INT32_MAX
                                 : wide < INT32_MIN ? INT32_MIN
                                                    : static_cast<int32_t>(wide);
        constexpr int32_t kUntouched = 0x5EED;
        int32_t value = kUntouched;
        const bool found = ScanInt32(text.c_str(), base, &value);
        FUZZ_CHECK(found == (end != text.c_str()));
        FUZZ_CHECK(value == (found ? expected : kUntouched));
    }
    return 0;
}
