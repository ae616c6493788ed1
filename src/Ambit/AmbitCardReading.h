// The environment file: a few cards that choose the geopotential set, the
// sidereal-time set and the earth shape, and the writer that saves the
// current choice as such a file.
//
//   *** Geopotential Model ***        "*" in column 1: comment
//   BCONST=WGS-72                     or GEOCONST=..., any set name
//   *** FK Model ***
//   FKCONST=FK5                       FK4 (or 4) chooses FK4, anything else FK5
//   OBLATEEARTH                       or SPHERICALEARTH
//
// Keywords are prefixes of the upper-cased line starting in column 1; a
// keyword after a blank is not one. A card's value is the text after its
// first "=", left-adjusted; a card without "=" has an empty value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vx::ambit {

// Lines are read into buffers of this many characters: a longer line is cut,
// a shorter one blank padded.
inline constexpr size_t kCardLen = 512;

// File units: the file a host names, and the file being written.
inline constexpr int32_t kEnvInputUnit = 3;
inline constexpr int32_t kEnvOutputUnit = 8;

// Card classes.
enum AmbitCard : int32_t {
  kGeoCard = 1,        // "GEOCONST" or "BCONST"
  kFkCard = 2,         // "FKCONST"
  kOblateCard = 3,     // "OBLATEEARTH"
  kSphericalCard = 4,  // "SPHERICALEARTH"
  kOtherCard = 100,    // anything else
};

// Class of an upper-cased line. Changes nothing.
int32_t classifyambitcard(std::string_view upperLine);
// Class of an upper-cased line; an earth-shape card also takes effect here,
// so a reader has nothing more to do for it.
int32_t ambitcardtype(std::string_view upperLine);

// Index of the geopotential set a geopotential card (as written) chooses, or
// 0 when its value is "SPECTR" exactly and the current set stays. An
// unknown name chooses WGS-72 (72).
int32_t geocardchoice(std::string_view line);
// Index of the sidereal-time set an FK card (as written) chooses: 4 for the
// value "FK4" or "4" in any case, 5 for anything else, an empty value
// included.
int32_t fkcardchoice(std::string_view line);

// Carries out one line of an environment file (at most kCardLen characters
// are looked at): comments, blank lines and unknown cards do nothing.
void applyambitcard(std::string_view line);

// Reads the cards of an open unit from its start, in order. 0, also when a
// read error ends the file early (the cards before it stay in effect); 2 for
// a unit on an implicit "fort.n" file or one that cannot be rewound.
int32_t readambitfrfileunit(int32_t unit);
// Opens the named file on the input unit and reads it; the code of fileopen
// when it cannot be opened (logged as an "EnvLoadFile:" line).
int32_t readambitfrfile(std::string_view name);

// The file name a host passed (kCardLen characters) is left-adjusted, the
// load is logged and the file read; see readambitfrfile.
int32_t loadambitfile(std::string_view name);

// Writes the current choice to the named file (left-adjusted first): save
// mode 0 creates or replaces it, any other value appends. 0, the code of
// fileopen, or 2 when a line cannot be written or the file cannot be closed
// cleanly.
int32_t saveambitfile(std::string_view name, int32_t saveMode);

}  // namespace vx::ambit
