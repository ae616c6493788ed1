// Column layout of the two TLE lines, written once as data in the 1-based
// inclusive columns of the format. Columns.h turns a column into an offset.
//
//          1         2         3         4         5         6
// 123456789012345678901234567890123456789012345678901234567890123456789
// 1 NNNNNC AAAAAAAA YYDDD.DDDDDDDD +.NNNNNNNN +NNNNN-N +NNNNN-N T EEEEK
// 2 NNNNN III.IIII RRR.RRRR EEEEEEE PPP.PPPP MMM.MMMM NN.NNNNNNNNRRRRRK
#pragma once

#include <string_view>

#include "Platform/kernix/core/Columns.h"

namespace vx::tle {

namespace line1 {
inline constexpr Cols kLineNo{1, 2};
inline constexpr Cols kSatNum{3, 7};
inline constexpr int kSecClass = 8;
inline constexpr Cols kSatName{10, 17};
inline constexpr Cols kEpochYr{19, 20};
inline constexpr Cols kEpochWholeDay{21, 23};
inline constexpr int kEpochPoint = 24;
inline constexpr Cols kEpochFraction{24, 32};
inline constexpr Cols kEpochDays{21, 32};
inline constexpr Cols kEpochText{19, 32};
inline constexpr Cols kCoef1{34, 43};
inline constexpr Cols kCoef2Mant{45, 50};
inline constexpr Cols kCoef2Exp{51, 52};
inline constexpr Cols kCoef3Mant{54, 59};
inline constexpr Cols kCoef3Exp{60, 61};
inline constexpr int kEphType = 63;
inline constexpr Cols kElsetNum{65, 68};
}  // namespace line1

namespace line2 {
inline constexpr Cols kLineNo{1, 2};
inline constexpr Cols kSatNum{3, 7};
inline constexpr Cols kIncli{9, 16};
inline constexpr int kIncliPoint = 12;
inline constexpr Cols kRaNode{18, 25};
inline constexpr int kRaNodePoint = 21;
inline constexpr Cols kEccen{27, 33};
inline constexpr Cols kArgPer{35, 42};
inline constexpr Cols kMnAnomaly{44, 51};
inline constexpr Cols kMnMotion{53, 63};
inline constexpr int kMnMotionPoint = 55;
inline constexpr Cols kRevNum{64, 68};
}  // namespace line2

// Columns the checksum of a line covers.
inline constexpr Cols kChecksummed{1, 68};

}  // namespace vx::tle
