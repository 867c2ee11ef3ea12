#include "effect/profile_text.h"

#include "base/int_scan.h"

int32_t ProfileIntFromText(const char* text, int32_t defaultValue) {
    if (text == nullptr) return defaultValue;
    const char* p = text;
    while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n' || *p == '\v' || *p == '\f') ++p;
    if (*p == '\0') return defaultValue;
    int32_t value = 0;
    return ScanInt32(p, ScanBase::Decimal, &value) ? value : 0;
}
