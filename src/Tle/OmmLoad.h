// OMM documents into the store or into rows of arrays, on the one add road:
// each record mapped, checked by the store's rules and added like any other
// element set, one log line for each record refused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string_view>

#include "Store/FileLoad.h"
#include "Tle/OmmText.h"

namespace vx::tle {

// Serialises whole file reads, so two loads never interleave their element
// sets. It does not protect the store, which has its own guard.
std::mutex& cs_readonlytles();

// Reads an OMM document held in memory (padded: kReadPadding readable bytes
// follow it) into the store, counting and reporting every record as a file
// load does (the position of a record is its line, or its number in a JSON
// array). 0; 2 when the document could not be read to its end (what came
// before the fault is stored).
int32_t readommtext(std::string_view doc, omm::Encoding enc, bool padded, store::LoadCounts& counts,
                    const store::SetReporter& report);
// The same into rows of values, as readtlesfrtexttoarrays takes sets.
int32_t readommtexttoarrays(std::string_view doc, omm::Encoding enc, size_t capacity, double* values,
                            int32_t* lineNums, store::LoadCounts& counts, const store::SetReporter& report);
// Reads the OMM document of the open unit (its first headLen bytes already
// read into head) into the store: a regular file is mapped, anything else is
// read whole. Logs the totals line; 0 or 2.
int32_t readommunit(int32_t unit, std::string_view head, omm::Encoding enc, store::LoadCounts& counts,
                    const store::SetReporter& report);

}  // namespace vx::tle
