// Host-facing pieces of kernix that only its exported functions call.
#pragma once

#include <cstdint>
#include <string_view>

#include "veltrix/kernix.h"

namespace vx {
int32_t openlogfile(std::string_view name);
int32_t closelogfile();
void setlogcallback(KernixLogFn fn, void* user);
// The calling thread's latest failed fileopen code since the last clear.
int32_t lastopenerr();
void clearlastopenerr();
}  // namespace vx
