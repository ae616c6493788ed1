// Text into the state-vector record: the card classifier and the 1P/2P card
// reader.
#include "Kinem/KinemCardReading.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "Kinem/KinemColumns.h"
#include "Kinem/KinemLines.h"
#include "Platform/kernix/core/Format.h"
#include "Services/kernix.h"

namespace vx::kinem {

namespace msg {
constexpr std::string_view kInvalid1P = "Lines2Kinem: Invalid 1P card set.";
constexpr std::string_view kInvalid2P = "Lines2Kinem: Invalid 2P card set.";
constexpr std::string_view kLine1Prefix = "Lines2Kinem: Line1 = '";
constexpr std::string_view kClassifyPrefix = "Lines2Kinem: Unknown Kinem's classify level '";
constexpr std::string_view kQuoteSuffix = "'.";
constexpr std::string_view kErrorReading1P = "Lines2Kinem: Error reading 1P: ";
constexpr std::string_view kErrorReading2P = "Lines2Kinem: Error reading 2P: ";
}  // namespace msg

namespace {

// Keywords that begin a card in column 1, by class. They are prefixes:
// "VECFILE" is a "VECFIL" card, "ELTFILE" an "ELTFIL" card.
struct Keyword {
  std::string_view word;
  int32_t cardClass;
};
constexpr Keyword kKeywords[] = {
    {"POS_VEL_ECI_STATE", kCardOpxState},
    {"RUN_OPTION_DC_ONLY", kCardOpxDcOnly},
    {"VECFIL", kCardFile},
    {"VECTORFILE", kCardFile},
    {"ELTFIL", kCardFile},
    {"ELSETFILE", kCardFile},
    {"SATFIL", kCardFile},
    {"OPXVECFILE", kCardOpxVecFile},
    {"OPXCTRLFILE", kCardOpxCtrlFile},
    {"VX_DMA_ON", kCardDma},
};

bool knownClass(char c) { return c == ' ' || c == 'C' || c == 'S' || c == 'U'; }

// Copies the columns c of line into a text field, which keeps its blanks
// where the line is shorter.
template <size_t N>
void readText(std::string_view line, Cols c, std::array<char, N>& field) {
  const std::string_view text = colText(line, c);
  std::memcpy(field.data(), text.data(), std::min(text.size(), N));
}

bool read1P(std::string_view l1, Kinemrecord& rec) {
  for (size_t i = 0; i < 3; ++i)
    if (!fmt::readReal(colText(l1, card1p::kPos[i]), card1p::kDecimals, rec.pos[i])) return false;
  for (size_t i = 0; i < 3; ++i)
    if (!fmt::readReal(colText(l1, card1p::kVel[i]), card1p::kDecimals, rec.vel[i])) return false;
  return true;
}

// Every field of the 2P card but the satellite number, which the caller
// converts from its alpha-5 text.
bool read2P(std::string_view l2, Kinemrecord& rec) {
  readText(l2, card2p::kIntlDes, rec.intlDes);
  readText(l2, card2p::kEpochDtg, rec.epochDtg);
  if (!fmt::readInt(colText(l2, card2p::kEpochRevRead), rec.epochRev)) return false;
  if (!fmt::readInt(colText(l2, card2p::kElsetNumRead), rec.elsetNum)) return false;
  for (size_t i = 0; i < 3; ++i)
    if (!fmt::readReal(colText(l2, card2p::kTerms[i]), 0, rec.*card2p::kTermMembers[i])) return false;
  readText(l2, card2p::kCoordSys, rec.coordSys);
  return true;
}

}  // namespace

// ---- Classification ----------------------------------------------------------

int32_t kinemcardtype(std::string_view line) {
  if (colText(line, card1p::kMark) == card1p::kMarkText) return kCard1P;
  if (colText(line, card2p::kMark) == card2p::kMarkText) return kCard2P;
  for (const Keyword& k : kKeywords)
    if (line.starts_with(k.word)) return k.cardClass;
  return kCardOther;
}

// ---- Card reader ---------------------------------------------------------------

int32_t lines2kinem(std::string_view line1, std::string_view line2, Kinemrecord& rec) {
  rec.reset();
  // Cards are 512-character lines; nothing past that is part of them, and
  // the quoted lines below then always fit their log line.
  line1 = line1.substr(0, std::min(line1.size(), kLineLen));
  line2 = line2.substr(0, std::min(line2.size(), kLineLen));

  if (kinemcardtype(line1) != kCard1P) {
    tracelogerror(msg::kInvalid1P);
    return 2;
  }
  if (kinemcardtype(line2) != kCard2P) {
    tracelogerror(msg::kInvalid2P);
    return 2;
  }
  const char cls = colChar(line1, card1p::kSecClass);
  if (!knownClass(cls)) {
    LongLogLine().text(msg::kLine1Prefix).text(line1).text(msg::kQuoteSuffix).error();
    LogLine().text(msg::kClassifyPrefix).text(std::string_view(&cls, 1)).text(msg::kQuoteSuffix).error();
    return 2;
  }
  rec.secClass = cls;
  if (!read1P(line1, rec)) {
    LongLogLine().text(msg::kErrorReading1P).text(line1).error();
    return 2;
  }
  if (!read2P(line2, rec)) {
    LongLogLine().text(msg::kErrorReading2P).text(line2).error();
    return 2;
  }
  rec.satNum = alpha5tonum(colText(line2, card2p::kSatNum));
  return validatekinemvalues(rec);
}

}  // namespace vx::kinem
