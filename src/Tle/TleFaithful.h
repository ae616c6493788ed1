// Whether the text written for an element set reads back as that element
// set. The two-line form has fixed columns (five characters for the
// satellite number, two digits for the year, one-digit exponents for the
// coefficients); the CSV line uses commas, slashes and quotes as delimiters
// and squeezes the blanks out of its texts. Some sets the adds accept do not
// survive one form or the other, and a save must not drop them silently.
//
// "Reads back as the set" means, to the precision the form prints:
//  - two lines: satellite number, classification, name, epoch, ephemeris
//    type, element set number, the six elements, revolution number, and the
//    three coefficients that the lines carry for the set's ephemeris type.
//    The CSV-only values and the coefficient slots the type does not use are
//    not part of this form, as maneuver cards are not part of either.
//  - CSV: every value of the line exactly, and auxCoef3 of a type 6 set, which
//    has no column.
// A coefficient below 1e-10 in magnitude written as zero is rounding, not a
// loss; one of 1e9 or more written as zero is a loss.
//
// Both checks log nothing and take no lock, so they may run inside a walk
// that holds the store.
#pragma once

#include <string_view>

#include "Tle/TleTypes.h"

namespace vx::tle {

// Empty when line1 and line2 (kLineLen characters each, as tle2lines wrote
// them for rec) read back as rec; otherwise why not, in at most 64
// characters.
std::string_view tlelinesloss(const Tlerecord& rec, const char* line1, const char* line2);

// The same for the CSV line (kLineLen characters) tle2csv wrote for rec.
std::string_view tlecsvloss(const Tlerecord& rec, const char* csvLine);

}  // namespace vx::tle
