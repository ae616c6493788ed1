// Text out of the state-vector record (the 1P/2P card writer) and the value
// checks every path into the store runs.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Kinem/KinemTypes.h"

namespace vx::kinem {

inline constexpr size_t kLineLen = 512;

// Writes the 1P and 2P cards of rec into line1/line2 (kLineLen each, blank
// filled first). A failed write leaves line1 blank (logged).
void kinem2lines(const Kinemrecord& rec, char* line1, char* line2);
// Checks rec; 0 or 2, one log line per failed check. rec is not changed.
int32_t validatekinemvalues(const Kinemrecord& rec);

}  // namespace vx::kinem
