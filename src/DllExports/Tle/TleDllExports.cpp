// Exported functions of the TLE library: each converts its arguments, calls
// one routine and converts the results back.
#include <cstring>

#include "DllExports/Tle/TleDllVarsUtils.h"
#include "Services/Boundary.h"
#include "Services/kernix.h"
#include "Tle/TleCardReading.h"
#include "Tle/TleTree.h"
#include "veltrix/tle.h"

using namespace vx;
using namespace vx::tle;

extern "C" {

VX_API void GetCheckSums(const char line1[512], const char line2[512], int32_t* chkSum1, int32_t* chkSum2,
                         int32_t* errCode) {
  guardedvoid("GetCheckSums", [&] {
    int32_t s1 = 0, s2 = 0, err = 0;
    HostText<kLineLen> l1(line1);
    cksum(l1.view(), 1, 68, s1, err);
    if (err == 0) {
      HostText<kLineLen> l2(line2);
      cksum(l2.view(), 1, 68, s2, err);
    }
    if (chkSum1) *chkSum1 = s1;
    if (chkSum2) *chkSum2 = s2;
    if (errCode) *errCode = err;
  });
}

VX_API int32_t TleCsvToLines(const char csvLine[512], int32_t newSatno, char line1[512], char line2[512]) {
  return guarded("TleCsvToLines", int32_t{2}, [&] {
    strtochararr({}, line1, kLineLen);
    strtochararr({}, line2, kLineLen);
    HostText<kLineLen> csv(csvLine);
    char o1[kLineLen], o2[kLineLen];
    const int32_t status = csv2lines(csv.view(), newSatno, o1, o2);
    if (status == 0) {
      strtochararr({o1, kLineLen}, line1, kLineLen);
      strtochararr({o2, kLineLen}, line2, kLineLen);
    }
    return status;
  });
}

VX_API int32_t TleLinesToCsv(const char line1[512], const char line2[512], char csvLine[512]) {
  return guarded("TleLinesToCsv", int32_t{2}, [&] {
    strtochararr({}, csvLine, kLineLen);
    HostText<kLineLen> l1(line1), l2(line2);
    char csv[kLineLen];
    const int32_t status = lines2csv(l1.view(), l2.view(), csv);
    if (status == 0) strtochararr({csv, kLineLen}, csvLine, kLineLen);
    return status;
  });
}

}  // extern "C"
