// Exported field, field-set and array functions of the TLE library, and the
// stateless conversions between fields, arrays, lines and CSV. Each converts
// its arguments, calls one routine of TleFieldVarsUtils and converts the
// results back.
#include <algorithm>
#include <cstring>

#include "DllExports/Tle/TleDllVarsUtils.h"
#include "DllExports/Tle/TleFieldVarsUtils.h"
#include "Services/Boundary.h"
#include "Services/kernix.h"
#include "Tle/TleCardReading.h"
#include "Tle/TleTree.h"
#include "veltrix/tle.h"

using namespace vx;
using namespace vx::tle;

namespace {

template <class T>
void put(T* out, T value) {
  if (out != nullptr) *out = value;
}

// A host name array of 8 as 8 blank-padded characters; left-adjusted when
// asked.
std::array<char, kNameLen> hostname(const char* satName, bool adjust) {
  std::array<char, kNameLen> name;
  chararrtostr(satName, name.size(), name.data());
  if (adjust) leftadjust(name.data(), name.size());
  return name;
}

void putname(const std::array<char, kNameLen>& name, char* satName) {
  strtochararr({name.data(), name.size()}, satName, name.size());
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

GpFields gpfields(int32_t satNum, char secClass, std::array<char, kNameLen> name, int32_t epochYr, double epochDays,
                  double drag, int32_t ephType, int32_t elsetNum, double incli, double raNode, double eccen,
                  double argPer, double mnAnomaly, double mnMotion, int32_t revNum, double nDotO2, double secondDeriv) {
  GpFields f;
  f.satNum = satNum;
  f.secClass = secClass;
  f.satName = name;
  f.epochYr = epochYr;
  f.epochDays = epochDays;
  f.dragTerm = drag;
  f.ephType = ephType;
  f.elsetNum = elsetNum;
  f.incli = incli;
  f.raNode = raNode;
  f.eccen = eccen;
  f.argPer = argPer;
  f.mnAnomaly = mnAnomaly;
  f.mnMotion = mnMotion;
  f.revNum = revNum;
  f.nDotO2 = nDotO2;
  f.secondDeriv = secondDeriv;
  return f;
}

SpFields spfields(int32_t satNum, char secClass, std::array<char, kNameLen> name, int32_t epochYr, double epochDays,
                  double auxCoef2, double auxCoef3, double auxCoef1, int32_t elsetNum, double incli, double raNode,
                  double eccen, double argPer, double mnAnomaly, double mnMotion, int32_t revNum) {
  SpFields f;
  f.satNum = satNum;
  f.secClass = secClass;
  f.satName = name;
  f.epochYr = epochYr;
  f.epochDays = epochDays;
  f.auxCoef2 = auxCoef2;
  f.auxCoef3 = auxCoef3;
  f.auxCoef1 = auxCoef1;
  f.elsetNum = elsetNum;
  f.incli = incli;
  f.raNode = raNode;
  f.eccen = eccen;
  f.argPer = argPer;
  f.mnAnomaly = mnAnomaly;
  f.mnMotion = mnMotion;
  f.revNum = revNum;
  return f;
}

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

namespace {

// Hands a GP field set out through the host's pointers; the derivatives
// only where the host asked for them (GP2 and the parse).
void putgp(const GpFields& f, int32_t* satNum, char* secClass, char* satName, int32_t* epochYr, double* epochDays,
           double* bStar, int32_t* ephType, int32_t* elsetNum, double* incli, double* raNode, double* eccen,
           double* argPer, double* mnAnomaly, double* mnMotion, int32_t* revNum, double* nDotO2, double* n2DotO6) {
  put(satNum, f.satNum);
  put(secClass, f.secClass);
  putname(f.satName, satName);
  put(epochYr, f.epochYr);
  put(epochDays, f.epochDays);
  put(bStar, f.dragTerm);
  put(ephType, f.ephType);
  put(elsetNum, f.elsetNum);
  put(incli, f.incli);
  put(raNode, f.raNode);
  put(eccen, f.eccen);
  put(argPer, f.argPer);
  put(mnAnomaly, f.mnAnomaly);
  put(mnMotion, f.mnMotion);
  put(revNum, f.revNum);
  if (nDotO2) put(nDotO2, f.nDotO2);
  if (n2DotO6) put(n2DotO6, f.secondDeriv);
}

void putsp(const SpFields& f, int32_t* satNum, char* secClass, char* satName, int32_t* epochYr, double* epochDays,
           double* auxCoef2, double* auxCoef3, double* auxCoef1, int32_t* elsetNum, double* incli, double* raNode,
           double* eccen, double* argPer, double* mnAnomaly, double* mnMotion, int32_t* revNum) {
  put(satNum, f.satNum);
  put(secClass, f.secClass);
  putname(f.satName, satName);
  put(epochYr, f.epochYr);
  put(epochDays, f.epochDays);
  put(auxCoef2, f.auxCoef2);
  put(auxCoef3, f.auxCoef3);
  put(auxCoef1, f.auxCoef1);
  put(elsetNum, f.elsetNum);
  put(incli, f.incli);
  put(raNode, f.raNode);
  put(eccen, f.eccen);
  put(argPer, f.argPer);
  put(mnAnomaly, f.mnAnomaly);
  put(mnMotion, f.mnMotion);
  put(revNum, f.revNum);
}

// The GP and GP2 field sets share every field but the two derivatives,
// which only GP2 hands out.
int32_t getallgp(std::string_view routine, FieldSet set, int64_t satKey, int32_t* satNum, char* secClass,
                 char* satName, int32_t* epochYr, double* epochDays, double* bStar, int32_t* ephType,
                 int32_t* elsetNum, double* incli, double* raNode, double* eccen, double* argPer, double* mnAnomaly,
                 double* mnMotion, int32_t* revNum, double* nDotO2, double* n2DotO6) {
  return guarded(routine, int32_t{2}, [&] {
    GpFields f;
    const int32_t status = getgpfields(satKey, set, f);
    putgp(f, satNum, secClass, satName, epochYr, epochDays, bStar, ephType, elsetNum, incli, raNode, eccen, argPer,
          mnAnomaly, mnMotion, revNum, set == FieldSet::kGP2 ? nDotO2 : nullptr,
          set == FieldSet::kGP2 ? n2DotO6 : nullptr);
    return status;
  });
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
  return getallgp("TleGetAllFieldsGP", FieldSet::kGP, satKey, satNum, secClass, satName, epochYr, epochDays, bStar,
                  ephType, elsetNum, incli, raNode, eccen, argPer, mnAnomaly, mnMotion, revNum, nullptr, nullptr);
}

VX_API int32_t TleGetAllFieldsGP2(int64_t satKey, int32_t* satNum, char* secClass, char satName[8], int32_t* epochYr,
                                  double* epochDays, double* bStar, int32_t* ephType, int32_t* elsetNum, double* incli,
                                  double* raNode, double* eccen, double* argPer, double* mnAnomaly, double* mnMotion,
                                  int32_t* revNum, double* nDotO2, double* n2DotO6) {
  return getallgp("TleGetAllFieldsGP2", FieldSet::kGP2, satKey, satNum, secClass, satName, epochYr, epochDays, bStar,
                  ephType, elsetNum, incli, raNode, eccen, argPer, mnAnomaly, mnMotion, revNum, nDotO2, n2DotO6);
}

VX_API int32_t TleGetAllFieldsSP(int64_t satKey, int32_t* satNum, char* secClass, char satName[8], int32_t* epochYr,
                                 double* epochDays, double* auxCoef2, double* auxCoef3, double* auxCoef1,
                                 int32_t* elsetNum, double* incli, double* raNode, double* eccen, double* argPer,
                                 double* mnAnomaly, double* mnMotion, int32_t* revNum) {
  return guarded("TleGetAllFieldsSP", int32_t{2}, [&] {
    SpFields f;
    const int32_t status = getspfields(satKey, f);
    putsp(f, satNum, secClass, satName, epochYr, epochDays, auxCoef2, auxCoef3, auxCoef1, elsetNum, incli, raNode,
          eccen, argPer, mnAnomaly, mnMotion, revNum);
    return status;
  });
}

VX_API int32_t TleUpdateSatFrFieldsGP(int64_t satKey, char secClass, const char satName[8], double bStar,
                                      int32_t elsetNum, double incli, double raNode, double eccen, double argPer,
                                      double mnAnomaly, double mnMotion, int32_t revNum) {
  return guarded("TleUpdateSatFrFieldsGP", int32_t{2}, [&] {
    const GpFields f = gpfields(0, secClass, hostname(satName, false), 0, 0, bStar, 0, elsetNum, incli, raNode, eccen,
                                argPer, mnAnomaly, mnMotion, revNum, 0, 0);
    return updatesatfrfieldsgp(satKey, FieldSet::kGP, f);
  });
}

VX_API int32_t TleUpdateSatFrFieldsGP2(int64_t satKey, char secClass, const char satName[8], double bStar,
                                       int32_t elsetNum, double incli, double raNode, double eccen, double argPer,
                                       double mnAnomaly, double mnMotion, int32_t revNum, double nDotO2,
                                       double n2DotO6) {
  return guarded("TleUpdateSatFrFieldsGP2", int32_t{2}, [&] {
    const GpFields f = gpfields(0, secClass, hostname(satName, false), 0, 0, bStar, 0, elsetNum, incli, raNode, eccen,
                                argPer, mnAnomaly, mnMotion, revNum, nDotO2, n2DotO6);
    return updatesatfrfieldsgp(satKey, FieldSet::kGP2, f);
  });
}

VX_API int32_t TleUpdateSatFrFieldsSP(int64_t satKey, char secClass, const char satName[8], double auxCoef2,
                                      double auxCoef3, double auxCoef1, int32_t elsetNum, double incli, double raNode,
                                      double eccen, double argPer, double mnAnomaly, double mnMotion, int32_t revNum) {
  return guarded("TleUpdateSatFrFieldsSP", int32_t{2}, [&] {
    const SpFields f = spfields(0, secClass, hostname(satName, false), 0, 0, auxCoef2, auxCoef3, auxCoef1, elsetNum,
                                incli, raNode, eccen, argPer, mnAnomaly, mnMotion, revNum);
    return updatesatfrfieldssp(satKey, f);
  });
}

VX_API int64_t TleAddSatFrFieldsGP(int32_t satNum, char secClass, const char satName[8], int32_t epochYr,
                                   double epochDays, double bStar, int32_t ephType, int32_t elsetNum, double incli,
                                   double raNode, double eccen, double argPer, double mnAnomaly, double mnMotion,
                                   int32_t revNum) {
  return guarded("TleAddSatFrFieldsGP", int64_t{-1}, [&] {
    return addsatfrfieldsgp2(gpfields(satNum, secClass, hostname(satName, false), epochYr, epochDays, bStar, ephType,
                                      elsetNum, incli, raNode, eccen, argPer, mnAnomaly, mnMotion, revNum, 0, 0));
  });
}

VX_API int64_t TleAddSatFrFieldsGP2(int32_t satNum, char secClass, const char satName[8], int32_t epochYr,
                                    double epochDays, double bStar, int32_t ephType, int32_t elsetNum, double incli,
                                    double raNode, double eccen, double argPer, double mnAnomaly, double mnMotion,
                                    int32_t revNum, double nDotO2, double n2DotO6) {
  return guarded("TleAddSatFrFieldsGP2", int64_t{-1}, [&] {
    return addsatfrfieldsgp2(gpfields(satNum, secClass, hostname(satName, false), epochYr, epochDays, bStar, ephType,
                                      elsetNum, incli, raNode, eccen, argPer, mnAnomaly, mnMotion, revNum, nDotO2,
                                      n2DotO6));
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
    return addsatfrfieldssp(spfields(satNum, secClass, hostname(satName, false), epochYr, epochDays, auxCoef2, auxCoef3,
                                     auxCoef1, elsetNum, incli, raNode, eccen, argPer, mnAnomaly, mnMotion, revNum));
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
    putgp(f, satNum, secClass, satName, epochYr, epochDays, bStar, ephType, elsetNum, incli, raNode, eccen, argPer,
          mnAnomaly, mnMotion, revNum, nDotO2, n2DotO6);
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
    putsp(f, satNum, secClass, satName, epochYr, epochDays, auxCoef2, auxCoef3, auxCoef1, elsetNum, incli, raNode,
          eccen, argPer, mnAnomaly, mnMotion, revNum);
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
    Tlerecord rec;
    if (gpfieldstotle(gpfields(satNum, secClass, hostname(satName, true), epochYr, epochDays, bStar, ephType, elsetNum,
                               incli, raNode, eccen, argPer, mnAnomaly, mnMotion, revNum, nDotO2, n2DotO6),
                      rec) == 0)
      putlines(rec, line1, line2);
  });
}

VX_API void TleGPFieldsToCsv(int32_t satNum, char secClass, const char satName[8], int32_t epochYr, double epochDays,
                             double nDotO2, double n2DotO6, double bStar, int32_t ephType, int32_t elsetNum,
                             double incli, double raNode, double eccen, double argPer, double mnAnomaly,
                             double mnMotion, int32_t revNum, char csvLine[512]) {
  guardedvoid("TleGPFieldsToCsv", [&] {
    strtochararr({}, csvLine, kLineLen);
    Tlerecord rec;
    if (gpfieldstotle(gpfields(satNum, secClass, hostname(satName, true), epochYr, epochDays, bStar, ephType, elsetNum,
                               incli, raNode, eccen, argPer, mnAnomaly, mnMotion, revNum, nDotO2, n2DotO6),
                      rec) == 0)
      putcsv(rec, csvLine);
  });
}

VX_API void TleSPFieldsToLines(int32_t satNum, char secClass, const char satName[8], int32_t epochYr, double epochDays,
                               double auxCoef2, double auxCoef3, double auxCoef1, int32_t elsetNum, double incli,
                               double raNode, double eccen, double argPer, double mnAnomaly, double mnMotion,
                               int32_t revNum, char line1[512], char line2[512]) {
  guardedvoid("TleSPFieldsToLines", [&] {
    strtochararr({}, line1, kLineLen);
    strtochararr({}, line2, kLineLen);
    Tlerecord rec;
    if (spfieldstotle(spfields(satNum, secClass, hostname(satName, true), epochYr, epochDays, auxCoef2, auxCoef3,
                               auxCoef1, elsetNum, incli, raNode, eccen, argPer, mnAnomaly, mnMotion, revNum),
                      rec) == 0)
      putlines(rec, line1, line2);
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
