// The one road of an element set into the store, for the exported adds and
// the file loader alike: classify once, parse and check once, and hand the
// checked record to the store, which makes its key (from the fields in tree
// mode, from its DMA object in DMA mode) and takes it over without a copy.
#pragma once

#include <cstdint>
#include <string_view>

#include "Tle/TleTypes.h"

namespace vx::tle {

// Whether a line 1 (of class kCardLine1) can name an element set: a
// satellite number, an epoch and an ephemeris type a key can be made of.
// One log line when not. No key is made.
[[nodiscard]] bool tleline1usable(std::string_view line1);

// What became of one element set.
struct TleAdded {
  int64_t key = -1;     // as of the store's add: > 0, 0 duplicate, -1 failure
  bool parsed = false;  // the text read (whatever the store made of it)
};

// Heads of the messages for a line cut short, naming the routine that
// refuses it ("AddSatFrLines: ", "ReadOnlyTLEs: ").
struct ShortLineHeads {
  std::string_view line1;
  std::string_view line2;
};

// The parse and checks of addtlefrpair, without the store: true when rec
// holds the checked element set (else one log line says why).
[[nodiscard]] bool readtlefrpair(std::string_view line1, std::string_view line2, const ShortLineHeads& heads,
                                 Tlerecord& rec);
// The parse and checks of addtlefrcsv, without the store: 0 when rec holds
// the checked element set, 1 parsed but refused by the checks, 2 not parsed
// (one log line each time).
[[nodiscard]] int32_t readtlefrcsv(std::string_view line, Tlerecord& rec);
// A line pair whose line 1 is of class kCardLine1 and usable: refused when
// line 2 is a line 2 but one of the two ends before its last field needs
// (col 61 of line 1, col 63 of line 2), else parsed, checked and stored.
[[nodiscard]] TleAdded addtlefrpair(std::string_view line1, std::string_view line2, const ShortLineHeads& heads);
// A CSV element set: parsed, checked and stored.
[[nodiscard]] TleAdded addtlefrcsv(std::string_view line);
// Two lines, or a CSV line as line 1 (the exported adds after their argument
// conversion): the key of the store's add, or -1 (logged).
int64_t addtlefrlines(std::string_view line1, std::string_view line2);

}  // namespace vx::tle
