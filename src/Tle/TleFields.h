// Field access to element sets: single fields by index, the GP, GP2 and SP
// field sets, the classifier-driven parse shared by the array and GP
// exports, and the key lookup by satellite number.
#pragma once

#include <cstdint>
#include <string_view>
#include <tuple>

#include "Tle/TleCardReading.h"
#include "Tle/TleTree.h"
#include "Tle/TleTypes.h"

namespace vx::tle {

inline constexpr size_t kFieldTextLen = 512;
// The members every field set has, in the order of the SP set.
struct SetFields {
  int32_t satNum = 0;
  char secClass = ' ';
  ShortName satName{' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
  int32_t epochYr = 0;
  double epochDays = 0;
  int32_t elsetNum = 0;
  double incli = 0, raNode = 0, eccen = 0, argPer = 0, mnAnomaly = 0, mnMotion = 0;
  int32_t revNum = 0;
};

// The GP2 set. For ephemeris type 4 the drag term is auxCoef2 and the second
// derivative auxCoef1; GP is GP2 with both derivatives 0.
struct GpFields : SetFields {
  double dragTerm = 0;
  int32_t ephType = 0;
  double nDotO2 = 0;
  double secondDeriv = 0;
};

// The SP set (ephemeris type 6): the three coefficients in line order.
struct SpFields : SetFields {
  double auxCoef2 = 0, auxCoef3 = 0, auxCoef1 = 0;
};

// Which exported function a shared routine works for; it picks the routine
// name of the messages.
enum class FieldSet { kGP, kGP2, kSP };


// ---- Argument orders -----------------------------------------------------------
// The members of a field set in the argument order of the exported functions
// that take or hand out the set. The orders differ from function to function,
// so they are spelled out here; the member table's tests check that each
// names every member of its set once (the update orders all but the key).

// TleGetAllFieldsGP/GP2 and TleAddSatFrFieldsGP/GP2 (GP takes the first 15).
inline constexpr auto kGpOrder =
    std::make_tuple(&GpFields::satNum, &GpFields::secClass, &GpFields::satName, &GpFields::epochYr,
                    &GpFields::epochDays, &GpFields::dragTerm, &GpFields::ephType, &GpFields::elsetNum,
                    &GpFields::incli, &GpFields::raNode, &GpFields::eccen, &GpFields::argPer, &GpFields::mnAnomaly,
                    &GpFields::mnMotion, &GpFields::revNum, &GpFields::nDotO2, &GpFields::secondDeriv);
// TleParseGP, TleGPFieldsToLines, TleGPFieldsToCsv: the coefficients in line
// order right after the epoch.
inline constexpr auto kGpLineOrder =
    std::make_tuple(&GpFields::satNum, &GpFields::secClass, &GpFields::satName, &GpFields::epochYr,
                    &GpFields::epochDays, &GpFields::nDotO2, &GpFields::secondDeriv, &GpFields::dragTerm,
                    &GpFields::ephType, &GpFields::elsetNum, &GpFields::incli, &GpFields::raNode, &GpFields::eccen,
                    &GpFields::argPer, &GpFields::mnAnomaly, &GpFields::mnMotion, &GpFields::revNum);
// TleUpdateSatFrFieldsGP/GP2: without the members of the key.
inline constexpr auto kGpUpdateOrder =
    std::make_tuple(&GpFields::secClass, &GpFields::satName, &GpFields::dragTerm, &GpFields::elsetNum,
                    &GpFields::incli, &GpFields::raNode, &GpFields::eccen, &GpFields::argPer, &GpFields::mnAnomaly,
                    &GpFields::mnMotion, &GpFields::revNum, &GpFields::nDotO2, &GpFields::secondDeriv);
// Every SP function.
inline constexpr auto kSpOrder =
    std::make_tuple(&SpFields::satNum, &SpFields::secClass, &SpFields::satName, &SpFields::epochYr,
                    &SpFields::epochDays, &SpFields::auxCoef2, &SpFields::auxCoef3, &SpFields::auxCoef1,
                    &SpFields::elsetNum, &SpFields::incli, &SpFields::raNode, &SpFields::eccen, &SpFields::argPer,
                    &SpFields::mnAnomaly, &SpFields::mnMotion, &SpFields::revNum);
// TleUpdateSatFrFieldsSP: without the members of the key.
inline constexpr auto kSpUpdateOrder =
    std::make_tuple(&SpFields::secClass, &SpFields::satName, &SpFields::auxCoef2, &SpFields::auxCoef3,
                    &SpFields::auxCoef1, &SpFields::elsetNum, &SpFields::incli, &SpFields::raNode, &SpFields::eccen,
                    &SpFields::argPer, &SpFields::mnAnomaly, &SpFields::mnMotion, &SpFields::revNum);

// ---- Single fields ---------------------------------------------------------
// Writes field idx of the stored element set into value (kFieldTextLen
// characters, left-adjusted, blank padded); 0, or 2 when the key is not
// loaded (logged).
int32_t getfield(int64_t satKey, int32_t idx, char* value);
// Changes field idx of the stored element set to the value text; 0 or 2.
int32_t setfield(int64_t satKey, int32_t idx, std::string_view value);

// ---- Field sets --------------------------------------------------------------
// The GP2 / SP fields of a record (epoch year as stored).
GpFields gpfieldsof(const Tlerecord& rec);
SpFields spfieldsof(const Tlerecord& rec);
// The fields of a stored element set, epoch year widened by fixyr; 0, or 2
// when the key is not loaded (logged under the name of `set`).
int32_t getgpfields(int64_t satKey, FieldSet set, GpFields& out);
int32_t getspfields(int64_t satKey, SpFields& out);
// Replaces the changeable fields of a stored element set (all but satNum,
// the epoch and ephType); `set` kGP leaves both derivatives as stored.
// 0 or 2.
int32_t updatesatfrfieldsgp(int64_t satKey, FieldSet set, const GpFields& f);
int32_t updatesatfrfieldssp(int64_t satKey, const SpFields& f);

// Builds and validates a record from a field set; 0, or 2 with satNum -1.
// gpfieldstotle takes the name as given, spfieldstotle left-adjusts it.
int32_t gpfieldstotle(const GpFields& f, Tlerecord& rec);
int32_t spfieldstotle(const SpFields& f, Tlerecord& rec);
// gpfieldstotle with the name left-adjusted first, as the line and CSV
// conversions take it.
int32_t gpfieldstotleadjusted(GpFields f, Tlerecord& rec);
// Builds from a field set and stores: the key of addtletomem, or -1 when the
// fields do not make a valid element set (nothing stored).
int64_t addsatfrfieldsgp2(const GpFields& f);
int64_t addsatfrfieldssp(const SpFields& f);

// Two TLE lines (validated) when the classifier sees a line 1 and a line 2,
// otherwise line 1 as a CSV line (unvalidated); 0 or 2.
int32_t parselinesorcsv(std::string_view line1, std::string_view line2, Tlerecord& rec);


// Key of the first loaded element set of a satellite, or -1 (logged).
int64_t getsatkey(int32_t satNum);
// Key of the loaded element set of a satellite with the latest epoch (the
// larger key among equal epochs), or -1 (logged).
int64_t getlatestsatkey(int32_t satNum);

// Logs "<head><satKey> in the TLE binary tree." for a key that is not loaded.
void logmissing(std::string_view head, int64_t satKey);

// Changes the record stored under satKey with change(Tlerecord&), false when
// it refuses (and has logged why), and checks the result; read, change, check
// and write are one step under the store's writer side, so a change made by
// another thread in between cannot be lost. missingHead names the routine in
// the message for a key that is not loaded.
template <class F>
int32_t changestored(int64_t satKey, std::string_view missingHead, F&& change) {
  const int32_t status = tlemodifyrec(satKey, [&](Tlerecord& rec) -> int32_t {
    if (!change(rec)) return 2;
    return validatetlevalues(rec);
  });
  if (status == -1) {
    logmissing(missingHead, satKey);
    return 2;
  }
  return status;
}

}  // namespace vx::tle
