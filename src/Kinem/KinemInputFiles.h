// State-vector input files: two passes over a file (file cards, the files
// of the outside orbit-determination system and the DMA card first, then
// the file's own 1P/2P card sets), maneuver cards handed to the vector they
// follow, the totals line; and the save file.
#pragma once

#include <cstdint>
#include <string_view>

#include "Store/FileLoad.h"

namespace vx::kinem {

// Loads a state-vector input file into the store (the exported
// KinemLoadFile after its argument conversion); 0, 2, or the error code of
// fileopen. A thread that is loading a file (a log callback called during
// the load) is refused with 2. counts (optional) receives the numbers of the
// totals line, as far as the load got; report (optional) is told of every
// card set read.
int32_t readkinemsfrfile(std::string_view name, store::LoadCounts* counts = nullptr,
                         const store::SetReporter& report = {});
// Both passes over an open unit; path is the name of the file it reads (a
// "RUN_OPTION_DC_ONLY" card takes its satellite number from it).
int32_t readkinemsfrfileunit(int32_t unit, std::string_view path, store::LoadCounts* counts = nullptr,
                             const store::SetReporter& report = {});
// Reads the card sets of one open unit into the store, adding to the
// counts; status 0, or 2 when reading was refused, memory ran out, the
// vector file reader failed, or controls could not be stored.
void readonlykinems(std::string_view path, int32_t unit, store::LoadCounts& counts, int32_t& status,
                    const store::SetReporter& report = {});
// The same over the lines of a text in memory (no file cards, no DMA card;
// a card that begins the outside system's vector or controls ends it): 0,
// or 2 when memory ran out.
int32_t readkinemsfrtext(std::string_view text, store::LoadCounts& counts, const store::SetReporter& report = {});

// Writes every stored vector to the open unit in ascending key order as its
// 1P and 2P cards (each cut to 80 characters, trailing blanks removed). A
// vector whose cards would not read back as itself is not written; each one
// is logged with its key and the reason once the walk is over.
using KinemWriteReport = store::WriteReport;
KinemWriteReport kinemwritelines(int32_t unit);

// Saves the store to a file (the exported KinemSaveFile after its argument
// conversion): three empty lines, the header line, then kinemwritelines.
// saveMode 0 creates or replaces the file, other values append. 0; the error
// code of fileopen; 2 when a line cannot be written or the file cannot be
// closed cleanly (one log line with the system's reason), or when a vector
// could not be written faithfully (one log line for each).
int32_t savekinemfile(std::string_view name, int32_t saveMode);

}  // namespace vx::kinem
