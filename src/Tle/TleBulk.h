// Many element sets in the array form at once: the arrays of a list of keys,
// and chosen array elements of every loaded element set as columns.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vx::tle {

// Row i of arrays (kTleArrLen values) gets the array of satKeys[i], zeros
// when the key is not loaded; found[i] (when found is not null) 1 or 0. The
// number of keys found; the misses are logged once, with the first of them.
int32_t dataToArrays(int32_t count, const int64_t* satKeys, double* arrays, int32_t* found);
// Width of a designator (satName) in the text columns.
inline constexpr size_t kDesignatorWidth = 8;
// Row i of designators (8 characters a row) and names (nameWidth a row, the
// object name cut and blank padded) for satKeys[i], blanks when the key is
// not loaded; either may be null; longest (may be null) the length of the
// longest object name found. As dataToArrays otherwise.
int32_t textColumns(int32_t count, const int64_t* satKeys, char* designators, char* names, size_t nameWidth,
                    int32_t* found, int32_t* longest);
// The keys of the loaded element sets in ascending order, up to capacity, and
// for each the nElems array elements elems[j] (1-based) in column j of
// columns (capacity values per column). total gets the number loaded; the
// result is the number written.
int32_t getLoadedColumns(size_t capacity, size_t nElems, const int32_t* elems, int64_t* satKeys, double* columns,
                         int32_t& total);

}  // namespace vx::tle
