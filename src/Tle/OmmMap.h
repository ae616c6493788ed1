// Between an OMM record and the element-set record: the providers'
// convention for the keywords, the epoch forms, the designator forms and
// the coefficient slots of the ephemeris types.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "Tle/OmmText.h"
#include "Tle/TleTypes.h"

namespace vx::tle::omm {

// Fills rec (reset first) from one OMM record. False when the record cannot
// be an element set, with the reason in why (e.g. "no MEAN_MOTION", "a text
// where a number belongs in ECCENTRICITY: 'abc'"). The values are not yet
// checked by the store's rules; validatetlevalues does that on the add.
[[nodiscard]] bool ommtorecord(const OmmText& in, Tlerecord& rec, std::string& why);

// Reads an OMM epoch, calendar ("2026-07-14T21:45:20.933856") or
// day-of-year ("2007-064T10:34:41.4264"), the time, the fraction and a
// trailing "Z" optional, to the microsecond (further digits rounded), as the
// record's year and fractional day of the year. False when it is neither.
[[nodiscard]] bool readommepoch(std::string_view text, int32_t& year, double& days);
// Writes an epoch as "YYYY-MM-DDThh:mm:ss.ffffff" (26 characters) into out.
void writeommepoch(int32_t year, double days, char out[26]);

// OBJECT_ID to the record's short designator: "1998-067A" -> "98067A", for
// every launch year; any other text of up to 8 characters as it stands.
[[nodiscard]] bool objectidtoname(std::string_view id, ShortName& name);
// The record's designator in the long form: "98067A" -> "1998-067A" (two-
// digit years from 57 are of the 1900s); any other name trimmed as it is.
// out holds at least 12 characters; the length written is returned.
size_t nametoobjectid(const ShortName& name, char* out);

// The values of one element set as an OMM writer takes them, the texts
// held in the object itself (reused from set to set without allocation).
class OmmFormatted {
 public:
  // Formats rec. forCsv: the CSV columns are fixed, so the coefficients of
  // ephemeris type 4 travel in the BSTAR and MEAN_MOTION_DDOT columns (a
  // reader of a type-4 record without BTERM and AGOM takes them from there);
  // the other encodings write BTERM and AGOM. creationDate is written as
  // CREATION_DATE (XML and KVN headers).
  void format(const Tlerecord& rec, bool forCsv, std::string_view creationDate);
  const OmmValues& values() const { return values_; }

 private:
  void put(Key key, std::string_view text);
  void putNum(Key key, double value);
  void putInt(Key key, int64_t value);
  OmmValues values_;
  std::array<char, 1024> buf_{};
  size_t used_ = 0;
};

// CREATION_DATE of documents written now: the time of the call in UTC, or
// the SOURCE_DATE_EPOCH of the environment when it is set (reproducible
// output), as "YYYY-MM-DDThh:mm:ss".
std::string ommcreationdate();

}  // namespace vx::tle::omm
