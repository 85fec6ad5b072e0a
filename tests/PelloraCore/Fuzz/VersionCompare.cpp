// Version texts from a check-in answer or an update's Info.plist. Input: up to three versions,
// one per line.
#include <string>
#include <vector>

#include "Fuzz/FuzzTarget.h"
#include "PelloraCore/AppVersion.h"
#include "PelloraCore/Checkin.h"

PELLORA_FUZZ_TARGET(VersionCompare) {
    using namespace pellora;
    using AppVersion::Ordering;
    auto versions = fuzz::pieces(input);
    versions.resize(3);
    const auto compare = [](std::string_view a, std::string_view b) { return int(AppVersion::compare(a, b)); };
    // A total order on what parses: reflexive, antisymmetric, transitive, and the same as
    // comparing the parts with missing ones as 0.
    for (const auto a : versions) {
        FUZZ_CHECK(compare(a, a) == 0);
        for (const auto b : versions) {
            FUZZ_CHECK(compare(a, b) == -compare(b, a));
            FUZZ_CHECK(AppVersion::isNewer(a, b) == (compare(a, b) == 1));
            auto left = AppVersion::parts(a), right = AppVersion::parts(b);
            const auto length = std::max(left.size(), right.size());
            left.resize(length);
            right.resize(length);
            FUZZ_CHECK(compare(a, b) == (left < right ? -1 : left > right ? 1 : 0));
            FUZZ_CHECK(Checkin::meetsMinimum(a, std::string(b)) == (b.empty() || compare(a, b) >= 0));
            for (const auto c : versions)
                if (compare(a, b) <= 0 && compare(b, c) <= 0)
                    FUZZ_CHECK(compare(a, c) <= 0);
        }
    }
}
