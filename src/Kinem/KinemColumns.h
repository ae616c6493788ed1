// Column layout of the two cards of a state vector, written once as data in
// the 1-based inclusive columns of the format. Columns.h turns a column into an
// offset.
//
//          1         2         3         4         5         6         7         8
// 12345678901234567890123456789012345678901234567890123456789012345678901234567890
// XXXXXXX.XXXXYYYYYYY.YYYYZZZZZZZ.ZZZZUUUUUUUU.UUUUVVVVVVVV.VVVVWWWWWWWW.WWWW CB1P
// NNNNN IIIIIIIIDDDDDDDDDDDDDDDDD RRRRRR EEEEBBBBBBBBBBAAAAAAAAAATTTTTTTTTTSSSSS2P
//
// 1P: position X, Y, Z (km) and velocity X, Y, Z (m/s) with four decimals,
//     classification C, card mark "B1P".
// 2P: satellite number N (alpha-5), designator I, epoch D, revolution R,
//     element set E, the ballistic, radiation-pressure and thrust terms B, A,
//     T (each with its own point), coordinate system S, card mark "2P".
#pragma once

#include <cstddef>
#include <string_view>

#include "Platform/kernix/core/Columns.h"

#include "Kinem/KinemTypes.h"

namespace vx::kinem {

// Columns of a card that carry data; the rest of a 512-character line is
// blank.
inline constexpr int kCardCols = 80;

namespace card1p {
inline constexpr Cols kPos[3] = {{1, 12}, {13, 24}, {25, 36}};
inline constexpr Cols kVel[3] = {{37, 49}, {50, 62}, {63, 75}};
// Decimals written, and implied when a field holds no point.
inline constexpr int kDecimals = 4;
inline constexpr int kSecClass = 77;
inline constexpr Cols kMark{78, 80};
inline constexpr std::string_view kMarkText = "B1P";
}  // namespace card1p

namespace card2p {
inline constexpr Cols kSatNum{1, 5};
inline constexpr Cols kIntlDes{7, 14};
inline constexpr Cols kEpochDtg{15, 31};
// Read over the wider span, written right-aligned in the narrower one with
// a blank before it.
inline constexpr Cols kEpochRevRead{32, 38};
inline constexpr Cols kEpochRev{33, 38};
inline constexpr Cols kElsetNumRead{39, 43};
inline constexpr Cols kElsetNum{40, 43};
// The three terms and the record members they hold, in this order.
inline constexpr Cols kTerms[3] = {{44, 53}, {54, 63}, {64, 73}};
inline constexpr double Kinemrecord::*kTermMembers[3] = {&Kinemrecord::bTerm, &Kinemrecord::agom,
                                                         &Kinemrecord::thrustAcc};
inline constexpr Cols kCoordSys{74, 78};
inline constexpr Cols kMark{79, 80};
inline constexpr std::string_view kMarkText = "2P";
}  // namespace card2p

}  // namespace vx::kinem
