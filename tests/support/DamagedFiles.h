// Damaged files as they come from the wild (cut downloads, converted line
// ends, junk around the file, wrong offsets, broken chains and object
// streams, odd page trees), each made by a builder: the matrix every reader
// of damaged files in this program is tested against.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace quillet::testing {

struct Damage {
    std::string name;
    std::function<std::string(const TempDir&)> make;
    // The pages the file holds: expected when neither peer opens the file
    // (both need a trailer dictionary, which a cut file may have lost).
    int pages = 3;
    // Whether the peers' count is the right one: pdfinfo takes a plausible
    // /Count of the root at its word, even when there are fewer pages.
    bool peersCount = true;
};

void PrintTo(const Damage& damage, std::ostream* out);

// Every kind, three pages unless the kind says otherwise. Some builders run
// qpdf (into files of the given folder).
std::vector<Damage> damagedFiles();

}  // namespace quillet::testing
