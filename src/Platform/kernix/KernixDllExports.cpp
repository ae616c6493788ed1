// Host-facing functions of kernix: thin shells over the services.
#include <cstring>

#include "Platform/kernix/KernixInternal.h"
#include "Services/Boundary.h"
#include "Services/kernix.h"
#include "veltrix/kernix.h"

using namespace vx;

extern "C" {

VX_API int32_t KernixInit(void) { return VX_OK; }

VX_API void KernixGetInfo(char info[128]) {
  guardedvoid("KernixGetInfo", [&] { getsoftwareinfo("Kernix", info, 128); });
}

VX_API int32_t KernixOpenLogFile(const char fileName[512]) {
  return guarded("KernixOpenLogFile", int32_t{VX_FAIL}, [&] {
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

VX_API int32_t KernixGetLastOpenErr(void) { return lastopenerr(); }
VX_API void KernixClearLastOpenErr(void) { clearlastopenerr(); }

}  // extern "C"
