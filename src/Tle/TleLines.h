// Text out of the TLE record (the two-line and CSV writers), the value
// checks, and the record comparison and sort text the store orders by.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Tle/TleTypes.h"

namespace vx::tle {

inline constexpr size_t kLineLen = 512;

// Writes the two lines of rec into line1/line2 (kLineLen each, blank filled
// first). A value that does not fit its columns is written as asterisks.
void tle2lines(const Tlerecord& rec, char* line1, char* line2);
// Writes the CSV line of rec into csvLine (kLineLen, blank filled first); a
// failed write leaves it blank.
void tle2csv(const Tlerecord& rec, char* csvLine);
// Checks and normalises rec in place; 0 or 2.
[[nodiscard]] int32_t validatetlevalues(Tlerecord& rec);
// Splits value into the five-digit mantissa and one-digit exponent of the
// coefficient fields of line 1; false (outputs unchanged) when it cannot.
bool gettlerawformat(double value, double& mantissa, int32_t& exponent);

// Record comparison of the store: satellite number, element set number,
// epoch year, then the epoch day and the six orbital elements by neqr.
bool equal(const Tlerecord& a, const Tlerecord& b);
// Sort text of key enumeration orders 0 and 1: "(I9.9, I1, F16.9)" of the
// satellite number, ephemeris type and epoch in ds50, blank filled to 32.
void fieldstostr(const Tlerecord& rec, char text[32]);

}  // namespace vx::tle
