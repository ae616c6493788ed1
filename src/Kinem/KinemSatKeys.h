// Adding a state vector from its cards, and the key of a satellite number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "Platform/kernix/core/Text.h"

namespace vx::kinem {

// Adds one state vector from its 1P and 2P cards (512 characters each): the
// new satKey, 0 for a reported duplicate, -1 when the cards do not parse or
// the store refuses the vector (the reason is logged).
int64_t addsatfrlines(std::string_view line1, std::string_view line2);
// Key of the first loaded vector of a satellite, or -1 (logged).
int64_t getsatkey(int32_t satNum);
// Key of the loaded vector of a satellite with the latest epoch (the larger
// key among equal epochs), or -1 (logged).
int64_t getlatestsatkey(int32_t satNum);

}  // namespace vx::kinem
