// Text into the state-vector record: the card classifier and the 1P/2P
// card reader.
#pragma once

#include <cstdint>
#include <string_view>

#include "Kinem/KinemTypes.h"

namespace vx::kinem {

// Classes of an input line (kinemcardtype), tested in the order of the
// comments: the first that fits wins.
enum KinemCardClass : int32_t {
  kCard1P = 2,               // columns 78-80 "B1P"
  kCard2P = 4,               // columns 79-80 "2P"
  kCardOpxState = 6,         // begins "POS_VEL_ECI_STATE"
  kCardOpxDcOnly = 8,        // begins "RUN_OPTION_DC_ONLY"
  kCardFile = 3,             // begins "VECFIL", "VECTORFILE", "ELTFIL", "ELSETFILE" or "SATFIL"
  kCardOpxVecFile = 5,       // begins "OPXVECFILE"
  kCardOpxCtrlFile = 7,      // begins "OPXCTRLFILE"
  kCardDma = 9,              // begins "VX_DMA_ON"
  kCardOther = 100,
};
int32_t kinemcardtype(std::string_view line);

// Parses the 1P and 2P cards (kLineLen each) into rec, which the caller
// passes in its default state; 0, or 2 with the reason logged.
[[nodiscard]] int32_t lines2kinem(std::string_view line1, std::string_view line2, Kinemrecord& rec);

}  // namespace vx::kinem
