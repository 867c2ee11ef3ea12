#include "tests/unit/memory_profile.h"

#include "effect/profile.h"
#include "framework/int_scan.h"

MemoryProfile& TestProfile() {
    static MemoryProfile profile;
    return profile;
}

int32_t ProfileReadInt(const char* key, int32_t defaultValue) {
    MemoryProfile& profile = TestProfile();
    profile.reads.emplace_back(key);
    auto found = profile.values.find(key);
    int32_t value = 0;
    if (found == profile.values.end()) return defaultValue;
    return ScanInt32(found->second.c_str(), ScanBase::Decimal, &value) ? value : 0;
}

void ProfileWriteString(const char* key, const char* text) {
    MemoryProfile& profile = TestProfile();
    profile.writes.emplace_back(key, text);
    profile.values[key] = text;
}
