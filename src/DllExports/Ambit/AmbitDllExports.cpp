// The exported functions of ambit: each converts its arguments, calls one
// routine of the Ambit modules and converts the result.
#include "veltrix/ambit.h"

#include <array>
#include <cstdint>

#include "Ambit/AmbitCardReading.h"
#include "Ambit/AmbitProcessing.h"
#include "Ambit/AmbitTypes.h"
#include "Services/Boundary.h"
#include "Services/kernix.h"

namespace {

constexpr size_t kInfoLen = 128;
constexpr size_t kFileNameLen = 512;
constexpr size_t kGeoStrLen = 6;

}  // namespace

namespace amb = vx::ambit;

extern "C" {

VX_API int32_t EnvInit(void) { return VX_OK; }

VX_API void EnvGetInfo(char infoStr[128]) {
  vx::guardedvoid("EnvGetInfo", [&] { vx::getsoftwareinfo("Ambit", infoStr, kInfoLen); });
}

VX_API int32_t EnvLoadFile(const char envFile[512]) {
  return vx::guarded("EnvLoadFile", int32_t{VX_FAIL}, [&] {
    std::array<char, kFileNameLen> name;
    vx::chararrtostr(envFile, name.size(), name.data());
    return amb::loadambitfile({name.data(), name.size()});
  });
}

VX_API int32_t EnvSaveFile(const char envFile[512], int32_t saveMode) {
  return vx::guarded("EnvSaveFile", int32_t{VX_FAIL}, [&] {
    std::array<char, kFileNameLen> name;
    vx::chararrtostr(envFile, name.size(), name.data());
    return amb::saveambitfile({name.data(), name.size()}, saveMode);
  });
}

VX_API int32_t EnvGetGeoIdx(void) {
  return vx::guarded("EnvGetGeoIdx", int32_t{72}, [] { return amb::getenvgeo(); });
}

VX_API void EnvSetGeoIdx(int32_t geoIdx) {
  vx::guardedvoid("EnvSetGeoIdx", [&] {
    if (amb::isvalidgeoidx(geoIdx)) amb::setenvgeo(geoIdx);
  });
}

VX_API void EnvGetGeoStr(char geoStr[6]) {
  vx::guardedvoid("EnvGetGeoStr", [&] { vx::strtochararr(amb::getgeostr(amb::getenvgeo()).substr(0, kGeoStrLen), geoStr, kGeoStrLen); });
}

VX_API void EnvSetGeoStr(const char geoStr[6]) {
  vx::guardedvoid("EnvSetGeoStr", [&] {
    std::array<char, kGeoStrLen> name;
    vx::chararrtostr(geoStr, name.size(), name.data());
    const std::string_view text(name.data(), name.size());
    if (amb::isvalidgeostr(text)) amb::setenvgeo(amb::geostr2idx(text));
  });
}

VX_API double EnvGetGeoConst(int32_t geoConstIdx) {
  return vx::guarded("EnvGetGeoConst", 0.0, [&] { return amb::geoconstbyindex(amb::genvgeo(), geoConstIdx); });
}

VX_API int32_t EnvGetFkIdx(void) {
  return vx::guarded("EnvGetFkIdx", int32_t{5}, [] { return amb::getenvfk(); });
}

VX_API void EnvSetFkIdx(int32_t fkIdx) {
  vx::guardedvoid("EnvSetFkIdx", [&] {
    if (amb::isvalidfkidx(fkIdx)) amb::setenvfk(fkIdx);
  });
}

VX_API double EnvGetFkConst(int32_t fkConstIdx) {
  return vx::guarded("EnvGetFkConst", 0.0, [&] { return amb::fkconstbyindex(amb::genvfk(), fkConstIdx); });
}

VX_API int64_t EnvGetFkPtr(void) {
  return vx::guarded("EnvGetFkPtr", int64_t{0},
                     [] { return static_cast<int64_t>(reinterpret_cast<intptr_t>(&amb::genvfk())); });
}

VX_API int32_t EnvGetEarthShape(void) {
  return vx::guarded("EnvGetEarthShape", int32_t{1}, [] { return amb::isusingoblateearth(); });
}

VX_API void EnvSetEarthShape(int32_t earthShape) {
  vx::guardedvoid("EnvSetEarthShape", [&] { amb::setearthshape(earthShape); });
}

}  // extern "C"
