// Work shared by several exported functions of the TLE library.
#pragma once

#include <cstdint>
#include <string_view>

#include "Platform/kernix/core/Text.h"

namespace vx::tle {

// Adds one element set from two lines (or a CSV line as line 1).
int64_t addsatfrlines(std::string_view line1, std::string_view line2);

}  // namespace vx::tle
