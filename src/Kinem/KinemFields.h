// Field access and the array form of state vectors: single fields by index,
// the twelve fields of a vector as one set, the array of 155 values with its
// 512-character text, and the records they build.
//
// The twelve fields (position, velocity, classification, satellite number,
// designator, epoch, revolution, element set number, the three terms and
// the coordinate system) travel inside a Kinemrecord: a record built from
// fields starts from the defaults and carries them in its own members.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <tuple>

#include "Kinem/KinemTypes.h"

namespace vx::kinem {

inline constexpr size_t kFieldTextLen = 512;
// Elements of the array form this library reads and writes (1 to 155); a
// host may pass a longer array, whose other elements are left alone.
inline constexpr size_t kVecArrLen = 155;
inline constexpr size_t kVecTextLen = 512;

using VecArr = std::span<double, kVecArrLen>;
using ConstVecArr = std::span<const double, kVecArrLen>;


// ---- Argument orders -----------------------------------------------------------
// The record members in the argument order of the exported functions that
// take or hand out the twelve fields.

// KinemGetAllFields, KinemParse, KinemAddSatFrFields(ML), KinemFieldsToLines.
inline constexpr auto kFieldOrder = std::make_tuple(
    &Kinemrecord::pos, &Kinemrecord::vel, &Kinemrecord::secClass, &Kinemrecord::satNum, &Kinemrecord::intlDes,
    &Kinemrecord::epochDtg, &Kinemrecord::epochRev, &Kinemrecord::elsetNum, &Kinemrecord::bTerm, &Kinemrecord::agom,
    &Kinemrecord::thrustAcc, &Kinemrecord::coordSys);
// KinemUpdateSatFrFields: without the satellite number and the epoch, which
// make the key.
inline constexpr auto kUpdateOrder =
    std::make_tuple(&Kinemrecord::pos, &Kinemrecord::vel, &Kinemrecord::secClass, &Kinemrecord::intlDes,
                    &Kinemrecord::epochRev, &Kinemrecord::elsetNum, &Kinemrecord::bTerm, &Kinemrecord::agom,
                    &Kinemrecord::thrustAcc, &Kinemrecord::coordSys);

// ---- Single fields ---------------------------------------------------------
// Writes field idx of the stored vector into value (kFieldTextLen
// characters, left-adjusted, blank padded; blank for 8 and any index outside
// 1-17); 0, or 2 when the key is not loaded (logged).
int32_t getfield(int64_t satKey, int32_t idx, char* value);
// Changes field idx of the stored vector to the value text (kFieldTextLen
// characters); 0 or 2. The key fields (9 and 11) give 0 and change nothing.
int32_t setfield(int64_t satKey, int32_t idx, std::string_view value);

// ---- The twelve fields -------------------------------------------------------
// The cleared form of the twelve: zeros and blanks (classification blank).
Kinemrecord clearedfields();
// The twelve fields of the stored vector into out (no optional parts); 0, or
// 2 with out cleared when the key is not loaded (logged).
int32_t getallfields(int64_t satKey, Kinemrecord& out);
// Gives the stored vector the twelve fields of `fields` except the key
// fields (satellite number and epoch); everything else stays as stored. 0 or
// 2.
int32_t updatesatfrfields(int64_t satKey, const Kinemrecord& fields);
// Checks rec, a default record given the twelve field values; 0, or 2 with
// satNum set to -1 as the mark of an invalid record.
int32_t kinemfieldstorec(Kinemrecord& rec);
// True for a record that carries the mark of an invalid one.
inline bool ismarkedinvalid(const Kinemrecord& rec) { return rec.satNum == -1; }
// kinemfieldstorec, then the store's add: the key, or -1 when the fields do
// not make a valid vector (nothing stored).
int64_t addsatfrfields(Kinemrecord& rec);

// ---- Array form ----------------------------------------------------------------
// Writes the elements of rec into arr (only those the form lists: controls
// and covariance only when rec has them) and fills text (kVecTextLen).
void kinem2array(const Kinemrecord& rec, VecArr arr, char* text);
// Record from an array and a text (kVecTextLen), from the default record;
// not validated. Elements 72-89 and 101-155 are read only when element 71
// is 1.
void array2kinem(ConstVecArr arr, std::string_view text, Kinemrecord& rec);
// array2kinem, then the store's add: the key, or -1.
int64_t addsatfrarray(ConstVecArr arr, std::string_view text);
// The stored vector into arr and text; 0, or 2 (logged, arr untouched, text
// blank) when the key is not loaded.
int32_t datatoarray(int64_t satKey, VecArr arr, char* text);
// Replaces the stored vector by the one of an array and text, keeping the
// stored satellite number and epoch; 0 or 2.
int32_t updatesatfrarray(int64_t satKey, ConstVecArr arr, std::string_view text);

}  // namespace vx::kinem
