// The array form of element sets: 64 numbers and a 512-character text, to
// and from records and stored element sets, and from a CSV line.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "Tle/TleTypes.h"

namespace vx::tle {

inline constexpr size_t kTleArrLen = 64;
inline constexpr size_t kTleTextLen = 512;

using TleArray = std::array<double, kTleArrLen>;

// Characters of a column name in arrayLayout (blank padded, no NUL).
inline constexpr size_t kColumnNameLen = 16;

// True for the element numbers of the array, 1 to kTleArrLen.
constexpr bool isArrayElement(int32_t n) { return n >= 1 && n <= static_cast<int32_t>(kTleArrLen); }

// ---- Array form ----------------------------------------------------------------
// Array and text of a record (the array zeroed and the text blanked first).
void tle2array(const Tlerecord& rec, TleArray& arr, char* text);
// The numbers of tle2array only, without the text.
void tle2arrayvalues(const Tlerecord& rec, TleArray& arr);
// Record from an array and a text (kTleTextLen), from the default record;
// not validated.
void array2tle(const TleArray& arr, std::string_view text, Tlerecord& rec);
// array2tle, then the store's add: the key, or -1.
int64_t addsatfrarray(const TleArray& arr, std::string_view text);
// The stored element set as array and text; 0, or 2 (logged, arr untouched,
// text blank) when the key is not loaded.
int32_t datatoarray(int64_t satKey, TleArray& arr, char* text);
// Replaces a stored element set by the one of an array and text, keeping the
// stored satNum, epoch and ephType (and maneuver cards); 0 or 2.
int32_t updatesatfrarray(int64_t satKey, const TleArray& arr, std::string_view text);
// CSV line to array and text, unvalidated; the text is blanked first, both
// are filled only when the parse succeeds. Status of the CSV parser.
int32_t csv2tlearray(std::string_view csvLine, TleArray& arr, char* text);


// The named columns of the array, in element order: for the first capacity
// of them, element number, name (kColumnNameLen characters each, one after
// the other) and whether it holds an integer; each output may be null. The
// number of named columns.
int32_t arrayLayout(size_t capacity, int32_t* elements, char* names, int32_t* isInteger);

}  // namespace vx::tle
