// Host-facing functions of kernix: thin shells over the services.
#include <cstring>

#include "Platform/kernix/KernixInternal.h"
#include "Services/Boundary.h"
#include "Services/kernix.h"
#include "veltrix/kernix.h"

using namespace vx;

extern "C" {

VX_API int32_t KernixInit(void) { return 0; }

VX_API void KernixGetInfo(char info[128]) {
  guardedvoid("KernixGetInfo", [&] { getsoftwareinfo("Kernix", info, 128); });
}

VX_API int32_t KernixOpenLogFile(const char fileName[512]) {
  return guarded("KernixOpenLogFile", int32_t{2}, [&] {
    char name[512];
    chararrtostr(fileName, sizeof name, name);
    return openlogfile(std::string_view(name, sizeof name));
  });
}

VX_API int32_t KernixCloseLogFile(void) { return closelogfile(); }

VX_API void KernixGetLastErrMsg(char msg[128]) { strtochararr(lasterrmsg(), msg, 128); }

VX_API void KernixGetLastInfoMsg(char msg[128]) { strtochararr(lastinfomsg(), msg, 128); }

VX_API void KernixSetLogCallback(KernixLogFn fn, void* user) { setlogcallback(fn, user); }

VX_API void KernixSetElsetKeyMode(int32_t mode) { elsetkeymodeset(mode); }
VX_API int32_t KernixGetElsetKeyMode(void) { return elsetkeymodeget(); }
VX_API void KernixSetAllKeyMode(int32_t mode) { allkeymodeset(mode); }
VX_API int32_t KernixGetAllKeyMode(void) { return allkeymodeget(); }
VX_API void KernixResetAllKeyMode(void) { resetallkeymode(); }
VX_API void KernixSetDupKeyMode(int32_t mode) { dupkeymodeset(mode); }
VX_API int32_t KernixGetDupKeyMode(void) { return dupkeymodeget(); }

}  // extern "C"
