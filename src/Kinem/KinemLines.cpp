// Placeholder until the card writer and the value checks land.
#include "Kinem/KinemLines.h"

#include <cstring>

namespace vx::kinem {

void kinem2lines(const Kinemrecord&, char* line1, char* line2) {
  std::memset(line1, ' ', kLineLen);
  std::memset(line2, ' ', kLineLen);
}

int32_t validatekinemvalues(const Kinemrecord&) { return 0; }

}  // namespace vx::kinem
