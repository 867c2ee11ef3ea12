#include "tests/unit/memory_profile.h"

#include "effect/profile.h"
#include "effect/profile_text.h"

MemoryProfile& TestProfile() {
    static MemoryProfile profile;
    return profile;
}

namespace {
MemoryProfile::Place& PlaceOf(ProfilePlace place) {
    return place == ProfilePlace::Registry ? TestProfile().registry : TestProfile().file;
}
}  // namespace

bool ProfileInRegistry() { return TestProfile().registryKey; }

int32_t ProfileReadInt(ProfilePlace place, const char* key, int32_t defaultValue) {
    MemoryProfile::Place& store = PlaceOf(place);
    store.reads.emplace_back(key);
    if (place == ProfilePlace::Registry && !TestProfile().registryKey) return defaultValue;
    auto found = store.values.find(key);
    return found == store.values.end() ? defaultValue
                                       : ProfileIntFromText(found->second.c_str(), defaultValue);
}

bool ProfileWriteString(ProfilePlace place, const char* key, const char* text) {
    MemoryProfile::Place& store = PlaceOf(place);
    if (!store.writable) return false;
    if (place == ProfilePlace::Registry) TestProfile().registryKey = true;
    store.writes.emplace_back(key, text);
    store.values[key] = text;
    return true;
}
