#include "base/int_scan.h"

namespace {

bool IsScanSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 99;
}

}  // namespace

bool ScanInt32(const char* text, ScanBase base, int32_t* value) {
    if (text == nullptr) return false;
    const char* p = text;
    while (IsScanSpace(*p)) ++p;

    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = (*p == '-');
        ++p;
    }

    int radix = 10;
    if (base == ScanBase::Auto && p[0] == '0') {
        if ((p[1] == 'x' || p[1] == 'X') && DigitValue(p[2]) < 16) {
            radix = 16;
            p += 2;
        } else {
            radix = 8;  // the leading zero is itself an octal digit
        }
    }

    // Accumulate the magnitude, holding it just above the 32-bit range once it
    // gets there, so that any number of digits is safe.
    constexpr int64_t kCap = int64_t{1} << 32;
    int64_t magnitude = 0;
    bool anyDigit = false;
    for (;; ++p) {
        int digit = DigitValue(*p);
        if (digit >= radix) break;
        anyDigit = true;
        magnitude = magnitude * radix + digit;
        if (magnitude > kCap) magnitude = kCap;
    }
    if (!anyDigit) return false;

    int64_t signedValue = negative ? -magnitude : magnitude;
    if (signedValue > INT32_MAX) signedValue = INT32_MAX;
    if (signedValue < INT32_MIN) signedValue = INT32_MIN;
    *value = static_cast<int32_t>(signedValue);
    return true;
}
