#pragma once
// What one fuzz run found: how many inputs it fed, counts of what it saw on
// the way (so that a run that never reaches the interesting paths shows),
// and the first broken rule, if any.

#include <cstdint>
#include <map>
#include <string>

struct FuzzReport {
    std::uint64_t inputs = 0;
    std::map<std::string, std::uint64_t> seen;
    /// Empty while every rule held.
    std::string failure;

    bool failed() const { return !failure.empty(); }
    /// Records the first failure only; later ones are its consequences.
    void fail(const std::string& what) {
        if (failure.empty()) {
            failure = what + " (input " + std::to_string(inputs) + ")";
        }
    }
    void count(const std::string& what, std::uint64_t by = 1) { seen[what] += by; }
    std::uint64_t times(const std::string& what) const {
        const auto found = seen.find(what);
        return found == seen.end() ? 0 : found->second;
    }
};
