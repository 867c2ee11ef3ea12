// An in-memory spiral section, in CONTROL.INI and in the registry, standing
// in for the platform's profile and registry calls in host tests. It records
// the order in which keys are read and written, and either place can refuse
// writes.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

struct MemoryProfile {
    struct Place {
        std::map<std::string, std::string> values;
        bool writable = true;
        std::vector<std::string> reads;
        std::vector<std::pair<std::string, std::string>> writes;  // the accepted ones
    };
    Place file;
    Place registry;
    bool registryKey = false;  // whether the registry holds the section
};

// The one store that the profile calls use; tests reset it.
MemoryProfile& TestProfile();
