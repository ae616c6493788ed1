// Text out of the state-vector record (the 1P/2P card writer) and the value
// checks every path into the store runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "Kinem/KinemTypes.h"

namespace vx::kinem {

inline constexpr size_t kLineLen = 512;

// Writes the 1P and 2P cards of rec into line1/line2 (kLineLen each, blank
// filled first). A value that does not fit its columns is written as
// asterisks (which no reader takes); writing itself cannot fail, so line1
// never comes back blank.
void kinem2lines(const Kinemrecord& rec, char* line1, char* line2);
// Checks rec; 0 or 2, one log line per failed check. rec is not changed.
[[nodiscard]] int32_t validatekinemvalues(const Kinemrecord& rec);

// Whether the cards written for a vector read back as that vector. Some
// vectors in the store do not fit the cards (a position of 1e7 km or more,
// or -1e6 km or less; a satellite number beyond the five alpha-5
// characters; a term too wide for its ten columns), and some that fit would
// be refused by the value checks when read back (a vector that came in
// without them); a save must not drop either kind silently.
// "Reads back as the vector" means, to the precision the cards print:
// position and velocity to their four decimals, the three terms to the last
// digit their ten columns show, classification, satellite number,
// designator, revolution, element set number and coordinate system exactly,
// and the epoch text right-adjusted. Covariance, controls and maneuver cards
// are never part of the cards. A term below the last digit its columns show
// that is written as zero is rounding, not a loss.
//
// Empty when line1 and line2 (kLineLen characters each, as kinem2lines wrote
// them for rec) read back as rec; otherwise why not, in at most 64
// characters. Logs nothing and takes no lock, so it may run inside a walk
// that holds the store.
std::string_view kinemlinesloss(const Kinemrecord& rec, const char* line1, const char* line2);

}  // namespace vx::kinem
