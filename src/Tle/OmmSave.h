// Element sets out of the store in every form the library writes: line
// pairs, CSV lines, three lines (a name line first) and OMM in its four
// encodings; into a file or into text in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "Store/FileLoad.h"

namespace vx::tle {

// The forms; the numbers are those of the exported saves.
enum SaveForm : int32_t {
  kFormLines = 0,
  kFormCsv = 1,
  kFormThreeLines = 2,
  kFormOmmCsv = 3,
  kFormOmmJson = 4,
  kFormOmmXml = 5,
  kFormOmmKvn = 6,
};
inline bool isSaveForm(int32_t form) { return form >= kFormLines && form <= kFormOmmKvn; }
// An OMM document of one of these encodings cannot be appended to.
inline bool isWholeDocumentForm(int32_t form) {
  return form == kFormOmmCsv || form == kFormOmmJson || form == kFormOmmXml;
}

// Writes every element set to the open unit in ascending key order in form
// (see WriteReport in TleTree.h for what is not written and how it is
// reported).
store::WriteReport tlewriteform(int32_t unit, int32_t form);

// The element sets of keys (all of the store in ascending key order when
// keys is null) as text in form, appended to out. A key that holds no
// element set, and an element set that would not read back as itself, is
// left out with one log line each (caller names the routine); the number
// left out is returned.
int32_t tlewritetext(const int64_t* keys, size_t keyCount, int32_t form, std::string& out, std::string_view caller);

}  // namespace vx::tle
