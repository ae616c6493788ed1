// Exported field, field-set and array functions of the TLE library, and the
// stateless conversions between fields, arrays, lines and CSV. Each converts
// its arguments, calls one routine of TleFields or TleArray and converts the
// results back.
#include <algorithm>
#include <cstring>
#include <tuple>
#include <utility>

#include "Services/Boundary.h"
#include "Services/kernix.h"
#include "Tle/TleArray.h"
#include "Tle/TleCardReading.h"
#include "Tle/TleFields.h"
#include "Tle/TleTree.h"
#include "veltrix/tle.h"

using namespace vx;
using namespace vx::tle;

namespace {

// The members of a field set move between the host's arguments and the set
// one by one, in the argument order TleFields gives for each function.

template <class T>
void take(T& member, T value) {
  member = value;
}
// A host name array of 8 as 8 blank-padded characters.
void take(ShortName& name, const char* host) { chararrtostr(host, name.size(), name.data()); }

template <class T>
void put(T* out, const T& value) {
  if (out != nullptr) *out = value;
}
void put(char* out, const ShortName& name) {
  if (out != nullptr) strtochararr({name.data(), name.size()}, out, name.size());
}

// The set of the host's arguments, taken in the order of Order; members
// after the last argument keep their defaults.
template <const auto& Order, class Set, class... A>
Set fromhost(A... args) {
  Set set;
  [&]<size_t... I>(std::index_sequence<I...>) {
    (take(set.*std::get<I>(Order), args), ...);
  }(std::index_sequence_for<A...>{});
  return set;
}

// Hands the set out through the host's pointers in the order of Order;
// null pointers are passed over.
template <const auto& Order, class Set, class... P>
void tohost(const Set& set, P*... outs) {
  const auto ptrs = std::make_tuple(outs...);
  [&]<size_t... I>(std::index_sequence<I...>) {
    (put(std::get<I>(ptrs), set.*std::get<I>(Order)), ...);
  }(std::index_sequence_for<P...>{});
}

// A host array of 64 doubles; zeros for a missing one.
TleArray hostarray(const double* tleArr) {
  TleArray arr{};
  if (tleArr != nullptr) std::copy(tleArr, tleArr + kTleArrLen, arr.begin());
  return arr;
}

void putarray(const TleArray& arr, double* tleArr) {
  if (tleArr != nullptr) std::copy(arr.begin(), arr.end(), tleArr);
}

void puttext(const char* text, char* out, size_t n) { strtochararr({text, n}, out, n); }

// The two lines of a record into the host buffers when line 1 was written.
void putlines(const Tlerecord& rec, char* line1, char* line2) {
  char o1[kLineLen], o2[kLineLen];
  tle2lines(rec, o1, o2);
  if (isblankornull(std::string_view(o1, kLineLen))) return;
  puttext(o1, line1, kLineLen);
  puttext(o2, line2, kLineLen);
}

void putcsv(const Tlerecord& rec, char* csvLine) {
  char csv[kLineLen];
  tle2csv(rec, csv);
  if (!isblankornull(std::string_view(csv, kLineLen))) puttext(csv, csvLine, kLineLen);
}

}  // namespace

extern "C" {

// ---- Single fields -------------------------------------------------------------

VX_API int32_t TleGetField(int64_t satKey, int32_t fieldIdx, char valueStr[512]) {
  return guarded("TleGetField", int32_t{2}, [&] {
    strtochararr({}, valueStr, kFieldTextLen);
    char value[kFieldTextLen];
    const int32_t status = getfield(satKey, fieldIdx, value);
    puttext(value, valueStr, kFieldTextLen);
    return status;
  });
}

VX_API int32_t TleSetField(int64_t satKey, int32_t fieldIdx, const char valueStr[512]) {
  return guarded("TleSetField", int32_t{2}, [&] {
    HostText<kFieldTextLen> value(valueStr);
    return setfield(satKey, fieldIdx, value.view());
  });
}

// ---- Field sets ------------------------------------------------------------------

VX_API int32_t TleGetAllFieldsGP(int64_t satKey, int32_t* satNum, char* secClass, char satName[8], int32_t* epochYr,
                                 double* epochDays, double* bStar, int32_t* ephType, int32_t* elsetNum, double* incli,
                                 double* raNode, double* eccen, double* argPer, double* mnAnomaly, double* mnMotion,
                                 int32_t* revNum) {
  return guarded("TleGetAllFieldsGP", int32_t{2}, [&] {
    GpFields f;
    const int32_t status = getgpfields(satKey, FieldSet::kGP, f);
    tohost<kGpOrder>(f, satNum, secClass, satName, epochYr, epochDays, bStar, ephType, elsetNum, incli, raNode, eccen,
                     argPer, mnAnomaly, mnMotion, revNum);
    return status;
  });
}

VX_API int32_t TleGetAllFieldsGP2(int64_t satKey, int32_t* satNum, char* secClass, char satName[8], int32_t* epochYr,
                                  double* epochDays, double* bStar, int32_t* ephType, int32_t* elsetNum, double* incli,
                                  double* raNode, double* eccen, double* argPer, double* mnAnomaly, double* mnMotion,
                                  int32_t* revNum, double* nDotO2, double* n2DotO6) {
  return guarded("TleGetAllFieldsGP2", int32_t{2}, [&] {
    GpFields f;
    const int32_t status = getgpfields(satKey, FieldSet::kGP2, f);
    tohost<kGpOrder>(f, satNum, secClass, satName, epochYr, epochDays, bStar, ephType, elsetNum, incli, raNode, eccen,
                     argPer, mnAnomaly, mnMotion, revNum, nDotO2, n2DotO6);
    return status;
  });
}

VX_API int32_t TleGetAllFieldsSP(int64_t satKey, int32_t* satNum, char* secClass, char satName[8], int32_t* epochYr,
                                 double* epochDays, double* auxCoef2, double* auxCoef3, double* auxCoef1,
                                 int32_t* elsetNum, double* incli, double* raNode, double* eccen, double* argPer,
                                 double* mnAnomaly, double* mnMotion, int32_t* revNum) {
  return guarded("TleGetAllFieldsSP", int32_t{2}, [&] {
    SpFields f;
    const int32_t status = getspfields(satKey, f);
    tohost<kSpOrder>(f, satNum, secClass, satName, epochYr, epochDays, auxCoef2, auxCoef3, auxCoef1, elsetNum, incli,
                     raNode, eccen, argPer, mnAnomaly, mnMotion, revNum);
    return status;
  });
}

VX_API int32_t TleUpdateSatFrFieldsGP(int64_t satKey, char secClass, const char satName[8], double bStar,
                                      int32_t elsetNum, double incli, double raNode, double eccen, double argPer,
                                      double mnAnomaly, double mnMotion, int32_t revNum) {
  return guarded("TleUpdateSatFrFieldsGP", int32_t{2}, [&] {
    const auto f = fromhost<kGpUpdateOrder, GpFields>(secClass, satName, bStar, elsetNum, incli, raNode, eccen, argPer,
                                                      mnAnomaly, mnMotion, revNum);
    return updatesatfrfieldsgp(satKey, FieldSet::kGP, f);
  });
}

VX_API int32_t TleUpdateSatFrFieldsGP2(int64_t satKey, char secClass, const char satName[8], double bStar,
                                       int32_t elsetNum, double incli, double raNode, double eccen, double argPer,
                                       double mnAnomaly, double mnMotion, int32_t revNum, double nDotO2,
                                       double n2DotO6) {
  return guarded("TleUpdateSatFrFieldsGP2", int32_t{2}, [&] {
    const auto f = fromhost<kGpUpdateOrder, GpFields>(secClass, satName, bStar, elsetNum, incli, raNode, eccen, argPer,
                                                      mnAnomaly, mnMotion, revNum, nDotO2, n2DotO6);
    return updatesatfrfieldsgp(satKey, FieldSet::kGP2, f);
  });
}

VX_API int32_t TleUpdateSatFrFieldsSP(int64_t satKey, char secClass, const char satName[8], double auxCoef2,
                                      double auxCoef3, double auxCoef1, int32_t elsetNum, double incli, double raNode,
                                      double eccen, double argPer, double mnAnomaly, double mnMotion, int32_t revNum) {
  return guarded("TleUpdateSatFrFieldsSP", int32_t{2}, [&] {
    const auto f = fromhost<kSpUpdateOrder, SpFields>(secClass, satName, auxCoef2, auxCoef3, auxCoef1, elsetNum, incli,
                                                      raNode, eccen, argPer, mnAnomaly, mnMotion, revNum);
    return updatesatfrfieldssp(satKey, f);
  });
}

VX_API int64_t TleAddSatFrFieldsGP(int32_t satNum, char secClass, const char satName[8], int32_t epochYr,
                                   double epochDays, double bStar, int32_t ephType, int32_t elsetNum, double incli,
                                   double raNode, double eccen, double argPer, double mnAnomaly, double mnMotion,
                                   int32_t revNum) {
  return guarded("TleAddSatFrFieldsGP", int64_t{-1}, [&] {
    return addsatfrfieldsgp2(fromhost<kGpOrder, GpFields>(satNum, secClass, satName, epochYr, epochDays, bStar, ephType,
                                                          elsetNum, incli, raNode, eccen, argPer, mnAnomaly, mnMotion,
                                                          revNum));
  });
}

VX_API int64_t TleAddSatFrFieldsGP2(int32_t satNum, char secClass, const char satName[8], int32_t epochYr,
                                    double epochDays, double bStar, int32_t ephType, int32_t elsetNum, double incli,
                                    double raNode, double eccen, double argPer, double mnAnomaly, double mnMotion,
                                    int32_t revNum, double nDotO2, double n2DotO6) {
  return guarded("TleAddSatFrFieldsGP2", int64_t{-1}, [&] {
    return addsatfrfieldsgp2(fromhost<kGpOrder, GpFields>(satNum, secClass, satName, epochYr, epochDays, bStar, ephType,
                                                          elsetNum, incli, raNode, eccen, argPer, mnAnomaly, mnMotion,
                                                          revNum, nDotO2, n2DotO6));
  });
}

VX_API void TleAddSatFrFieldsGP2ML(int32_t satNum, char secClass, const char satName[8], int32_t epochYr,
                                   double epochDays, double bStar, int32_t ephType, int32_t elsetNum, double incli,
                                   double raNode, double eccen, double argPer, double mnAnomaly, double mnMotion,
                                   int32_t revNum, double nDotO2, double n2DotO6, int64_t* satKey) {
  const int64_t key = TleAddSatFrFieldsGP2(satNum, secClass, satName, epochYr, epochDays, bStar, ephType, elsetNum,
                                           incli, raNode, eccen, argPer, mnAnomaly, mnMotion, revNum, nDotO2, n2DotO6);
  put(satKey, key);
}

VX_API int64_t TleAddSatFrFieldsSP(int32_t satNum, char secClass, const char satName[8], int32_t epochYr,
                                   double epochDays, double auxCoef2, double auxCoef3, double auxCoef1,
                                   int32_t elsetNum, double incli, double raNode, double eccen, double argPer,
                                   double mnAnomaly, double mnMotion, int32_t revNum) {
  return guarded("TleAddSatFrFieldsSP", int64_t{-1}, [&] {
    return addsatfrfieldssp(fromhost<kSpOrder, SpFields>(satNum, secClass, satName, epochYr, epochDays, auxCoef2,
                                                         auxCoef3, auxCoef1, elsetNum, incli, raNode, eccen, argPer,
                                                         mnAnomaly, mnMotion, revNum));
  });
}

VX_API void TleAddSatFrFieldsSPML(int32_t satNum, char secClass, const char satName[8], int32_t epochYr,
                                  double epochDays, double auxCoef2, double auxCoef3, double auxCoef1, int32_t elsetNum,
                                  double incli, double raNode, double eccen, double argPer, double mnAnomaly,
                                  double mnMotion, int32_t revNum, int64_t* satKey) {
  const int64_t key = TleAddSatFrFieldsSP(satNum, secClass, satName, epochYr, epochDays, auxCoef2, auxCoef3, auxCoef1,
                                          elsetNum, incli, raNode, eccen, argPer, mnAnomaly, mnMotion, revNum);
  put(satKey, key);
}

// ---- Arrays ----------------------------------------------------------------------------

VX_API int32_t TleDataToArray(int64_t satKey, double tleArr[64], char tleText[512]) {
  return guarded("TleDataToArray", int32_t{2}, [&] {
    strtochararr({}, tleText, kTleTextLen);
    TleArray arr;
    char text[kTleTextLen];
    const int32_t status = datatoarray(satKey, arr, text);
    if (status == 0) {
      putarray(arr, tleArr);
      puttext(text, tleText, kTleTextLen);
    }
    return status;
  });
}

VX_API int32_t TleGetArrayLayout(int32_t capacity, int32_t* elements, char* names, int32_t* isInteger) {
  return guarded("TleGetArrayLayout", int32_t{-1}, [&]() -> int32_t {
    if (capacity < 0 || (capacity > 0 && (elements == nullptr || names == nullptr || isInteger == nullptr))) {
      tracelognumbered("TleGetArrayLayout: Invalid capacity or no buffer, capacity ", capacity, 11, ".");
      return -1;
    }
    return arrayLayout(static_cast<size_t>(capacity), elements, names, isInteger);
  });
}

VX_API int32_t TleUpdateSatFrArray(int64_t satKey, const double tleArr[64], const char tleText[512]) {
  return guarded("TleUpdateSatFrArray", int32_t{2}, [&] {
    HostText<kTleTextLen> text(tleText);
    return updatesatfrarray(satKey, hostarray(tleArr), text.view());
  });
}

VX_API int64_t TleAddSatFrArray(const double tleArr[64], const char tleText[512]) {
  return guarded("TleAddSatFrArray", int64_t{-1}, [&] {
    HostText<kTleTextLen> text(tleText);
    return addsatfrarray(hostarray(tleArr), text.view());
  });
}

VX_API void TleAddSatFrArrayML(const double tleArr[64], const char tleText[512], int64_t* satKey) {
  const int64_t key = TleAddSatFrArray(tleArr, tleText);
  put(satKey, key);
}

VX_API int32_t TleLinesToArray(const char line1[512], const char line2[512], double tleArr[64], char tleText[512]) {
  return guarded("TleLinesToArray", int32_t{2}, [&] {
    strtochararr({}, tleText, kTleTextLen);
    HostText<kLineLen> l1(line1), l2(line2);
    Tlerecord rec;
    const int32_t status = parselinesorcsv(l1.view(), l2.view(), rec);
    if (status == 0) {
      TleArray arr;
      char text[kTleTextLen];
      tle2array(rec, arr, text);
      putarray(arr, tleArr);
      puttext(text, tleText, kTleTextLen);
    }
    return status;
  });
}

// ---- Parsing into fields ---------------------------------------------------------------

VX_API int32_t TleParseGP(const char line1[512], const char line2[512], int32_t* satNum, char* secClass,
                          char satName[8], int32_t* epochYr, double* epochDays, double* nDotO2, double* n2DotO6,
                          double* bStar, int32_t* ephType, int32_t* elsetNum, double* incli, double* raNode,
                          double* eccen, double* argPer, double* mnAnomaly, double* mnMotion, int32_t* revNum) {
  return guarded("TleParseGP", int32_t{2}, [&] {
    HostText<kLineLen> l1(line1), l2(line2);
    Tlerecord rec;
    const int32_t status = parselinesorcsv(l1.view(), l2.view(), rec);
    const GpFields f = status == 0 ? gpfieldsof(rec) : GpFields{};
    tohost<kGpLineOrder>(f, satNum, secClass, satName, epochYr, epochDays, nDotO2, n2DotO6, bStar, ephType, elsetNum,
                         incli, raNode, eccen, argPer, mnAnomaly, mnMotion, revNum);
    return status;
  });
}

VX_API int32_t TleParseSP(const char line1[512], const char line2[512], int32_t* satNum, char* secClass,
                          char satName[8], int32_t* epochYr, double* epochDays, double* auxCoef2, double* auxCoef3,
                          double* auxCoef1, int32_t* elsetNum, double* incli, double* raNode, double* eccen,
                          double* argPer, double* mnAnomaly, double* mnMotion, int32_t* revNum) {
  return guarded("TleParseSP", int32_t{2}, [&] {
    HostText<kLineLen> l1(line1), l2(line2);
    Tlerecord rec;
    const int32_t status = lines2tle(l1.view(), l2.view(), rec);
    const SpFields f = status == 0 ? spfieldsof(rec) : SpFields{};
    tohost<kSpOrder>(f, satNum, secClass, satName, epochYr, epochDays, auxCoef2, auxCoef3, auxCoef1, elsetNum, incli,
                     raNode, eccen, argPer, mnAnomaly, mnMotion, revNum);
    return status;
  });
}

// ---- Conversions without a result: blank outputs tell of a failure ------------------------

VX_API void TleGPFieldsToLines(int32_t satNum, char secClass, const char satName[8], int32_t epochYr, double epochDays,
                               double nDotO2, double n2DotO6, double bStar, int32_t ephType, int32_t elsetNum,
                               double incli, double raNode, double eccen, double argPer, double mnAnomaly,
                               double mnMotion, int32_t revNum, char line1[512], char line2[512]) {
  guardedvoid("TleGPFieldsToLines", [&] {
    strtochararr({}, line1, kLineLen);
    strtochararr({}, line2, kLineLen);
    const auto f = fromhost<kGpLineOrder, GpFields>(satNum, secClass, satName, epochYr, epochDays, nDotO2, n2DotO6,
                                                    bStar, ephType, elsetNum, incli, raNode, eccen, argPer, mnAnomaly,
                                                    mnMotion, revNum);
    Tlerecord rec;
    if (gpfieldstotleadjusted(f, rec) == 0) putlines(rec, line1, line2);
  });
}

VX_API void TleGPFieldsToCsv(int32_t satNum, char secClass, const char satName[8], int32_t epochYr, double epochDays,
                             double nDotO2, double n2DotO6, double bStar, int32_t ephType, int32_t elsetNum,
                             double incli, double raNode, double eccen, double argPer, double mnAnomaly,
                             double mnMotion, int32_t revNum, char csvLine[512]) {
  guardedvoid("TleGPFieldsToCsv", [&] {
    strtochararr({}, csvLine, kLineLen);
    const auto f = fromhost<kGpLineOrder, GpFields>(satNum, secClass, satName, epochYr, epochDays, nDotO2, n2DotO6,
                                                    bStar, ephType, elsetNum, incli, raNode, eccen, argPer, mnAnomaly,
                                                    mnMotion, revNum);
    Tlerecord rec;
    if (gpfieldstotleadjusted(f, rec) == 0) putcsv(rec, csvLine);
  });
}

VX_API void TleSPFieldsToLines(int32_t satNum, char secClass, const char satName[8], int32_t epochYr, double epochDays,
                               double auxCoef2, double auxCoef3, double auxCoef1, int32_t elsetNum, double incli,
                               double raNode, double eccen, double argPer, double mnAnomaly, double mnMotion,
                               int32_t revNum, char line1[512], char line2[512]) {
  guardedvoid("TleSPFieldsToLines", [&] {
    strtochararr({}, line1, kLineLen);
    strtochararr({}, line2, kLineLen);
    // The SP set's name is left-adjusted as the record is built.
    const auto f = fromhost<kSpOrder, SpFields>(satNum, secClass, satName, epochYr, epochDays, auxCoef2, auxCoef3,
                                                auxCoef1, elsetNum, incli, raNode, eccen, argPer, mnAnomaly, mnMotion,
                                                revNum);
    Tlerecord rec;
    if (spfieldstotle(f, rec) == 0) putlines(rec, line1, line2);
  });
}

VX_API void TleGPArrayToLines(const double tleArr[64], const char tleText[512], char line1[512], char line2[512]) {
  guardedvoid("TleGPArrayToLines", [&] {
    strtochararr({}, line1, kLineLen);
    strtochararr({}, line2, kLineLen);
    HostText<kTleTextLen> text(tleText);
    Tlerecord rec;
    array2tle(hostarray(tleArr), text.view(), rec);
    putlines(rec, line1, line2);
  });
}

VX_API void TleGPArrayToCsv(const double tleArr[64], const char tleText[512], char csvLine[512]) {
  guardedvoid("TleGPArrayToCsv", [&] {
    strtochararr({}, csvLine, kLineLen);
    HostText<kTleTextLen> text(tleText);
    Tlerecord rec;
    array2tle(hostarray(tleArr), text.view(), rec);
    putcsv(rec, csvLine);
  });
}

}  // extern "C"
