// Text in: the line classifier, the two-line and CSV parsers, the key of a
// line 1, and the input-file reader.
#pragma once

#include <cstdint>
#include <string_view>

#include "Store/FileLoad.h"
#include "Tle/TleTypes.h"

namespace vx::tle {

// Line classes of tlecardtype.
enum CardType : int32_t {
  kCardLine1 = 1,
  kCardLine2 = 2,
  kCardFile = 3,
  kCardCsv = 4,
  kCardDma = 5,
  kCardOther = 100,
};

// Keywords that begin a file card in column 1 (as prefixes: "VECFILE"
// is a "VECFIL" card), and the keyword of the DMA card.
inline constexpr std::string_view kFileCardKeywords[] = {"VECFIL", "VECTORFILE", "ELTFIL", "ELSETFILE", "SATFIL"};
inline constexpr std::string_view kDmaCardKeyword = "VX_DMA_ON";

int32_t tlecardtype(std::string_view line);
bool iscsvtle(std::string_view line);

// Key of an element set from the text of its line 1, without parsing the
// record; -1 (and one log line) for an unusable line.
[[nodiscard]] int64_t line1tosatkey(std::string_view line1);
// The checks of line1tosatkey that need no key: the satellite number, or -1
// (and one log line) when the line names no satellite, epoch or ephemeris
// type.
[[nodiscard]] int32_t line1keycheck(std::string_view line1);

// Parses two lines (or a CSV line given as line 1) into rec; 0 when parsed
// and valid, 2 otherwise. A CSV line is handed back unvalidated.
[[nodiscard]] int32_t lines2tle(std::string_view line1, std::string_view line2, Tlerecord& rec);
// Parses one CSV line into rec, unvalidated; 0 or 2.
// lines2tle for a line 1 already known to be no CSV line.
[[nodiscard]] int32_t parsetlepair(std::string_view line1, std::string_view line2, Tlerecord& rec);
[[nodiscard]] int32_t csvline2tle(std::string_view line, Tlerecord& rec);

// mantissa * 10^exponent. The parser does not take this road: it reads a
// mantissa and its exponent as one decimal (fmt::readRealScaled), since the
// mantissa read alone is already rounded.
double gettlevalue(double mantissa, int32_t exponent);

// Loads a TLE input file into the store (the exported TleLoadFile after its
// argument conversion); 0, 2, or the error code of fileopen. A thread that
// is loading a file (a log callback called during the load) is refused
// with 2. counts (optional) receives the numbers of the totals line, as far
// as the load got; report (optional) is told of every element set read.
using store::LoadCounts;
int32_t readtlesfrfile(std::string_view name, LoadCounts* counts = nullptr, const store::SetReporter& report = {});
int32_t readtlesfrfileunit(int32_t unit, LoadCounts* counts = nullptr, const store::SetReporter& report = {});
// Reads the element sets of one open unit into the store, adding to the
// counts; status 0, or 2 when reading was refused or memory ran out.
void readonlytles(int32_t unit, LoadCounts& counts, int32_t& status, const store::SetReporter& report = {});
// The same over the lines of a text in memory (no file cards, no DMA card):
// 0, or 2 when memory ran out.
int32_t readtlesfrtext(std::string_view text, LoadCounts& counts, const store::SetReporter& report = {});
// The same parse and checks over a text in memory, without the store: each
// set taken goes to the next row of values (kTleArrLen numbers per row, as
// tle2arrayvalues gives them) and lineNums (may be null) gets the line it
// begins on, for the first capacity sets taken; the others are only counted
// (counts.loaded every set taken, counts.bad every set refused, each logged
// and reported). Maneuver cards are passed over. 0, or 2 when memory ran out.
int32_t readtlesfrtexttoarrays(std::string_view text, size_t capacity, double* values, int32_t* lineNums,
                               LoadCounts& counts, const store::SetReporter& report = {});

// Saves the store to a file (the exported TleSaveFile after its argument
// conversion): save mode 0 creates or replaces the file, other values
// append; save form 0 writes line pairs, other CSV lines. 0; the error code
// of fileopen; 2 when a line cannot be written or the file cannot be closed
// cleanly (one log line with the system's reason), or when an element set
// could not be written faithfully (one log line for each).
int32_t savetlefile(std::string_view name, int32_t saveMode, int32_t saveForm);

}  // namespace vx::tle
