// Exported functions of the state-vector library.
#include "Services/Boundary.h"
#include "Services/kernix.h"
#include "veltrix/kinem.h"

extern "C" {

VX_API int32_t KinemInit(void) { return 0; }

VX_API void KinemGetInfo(char infoStr[128]) {
  vx::guardedvoid("KinemGetInfo", [&] { vx::getsoftwareinfo("Kinem", infoStr, 128); });
}

}  // extern "C"
