// An in-memory CONTROL.INI section standing in for the platform's profile
// calls in host tests. It records the order in which keys are read and
// written.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

struct MemoryProfile {
    std::map<std::string, std::string> values;
    std::vector<std::string> reads;
    std::vector<std::pair<std::string, std::string>> writes;
};

// The one store that ProfileReadInt and ProfileWriteString use; tests reset it.
MemoryProfile& TestProfile();
