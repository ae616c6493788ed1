// Keyword texts of the OMM keys, and the encoding of a document.
#include "Tle/OmmText.h"

namespace vx::tle::omm {
namespace {

struct KeyRow {
  std::string_view name;
  bool isNumber;
};
constexpr std::array<KeyRow, kKeyCount> kKeys = {{
    {"OBJECT_NAME", false},
    {"OBJECT_ID", false},
    {"EPOCH", false},
    {"MEAN_MOTION", true},
    {"ECCENTRICITY", true},
    {"INCLINATION", true},
    {"RA_OF_ASC_NODE", true},
    {"ARG_OF_PERICENTER", true},
    {"MEAN_ANOMALY", true},
    {"EPHEMERIS_TYPE", true},
    {"CLASSIFICATION_TYPE", false},
    {"NORAD_CAT_ID", true},
    {"ELEMENT_SET_NO", true},
    {"REV_AT_EPOCH", true},
    {"BSTAR", true},
    {"MEAN_MOTION_DOT", true},
    {"MEAN_MOTION_DDOT", true},
    {"CCSDS_OMM_VERS", false},
    {"CREATION_DATE", false},
    {"ORIGINATOR", false},
    {"CENTER_NAME", false},
    {"REF_FRAME", false},
    {"TIME_SYSTEM", false},
    {"MEAN_ELEMENT_THEORY", false},
    {"SEMI_MAJOR_AXIS", true},
    {"BTERM", true},
    {"AGOM", true},
}};

}  // namespace

std::string_view keyName(Key key) { return kKeys[static_cast<size_t>(key)].name; }

bool isNumberKey(Key key) { return kKeys[static_cast<size_t>(key)].isNumber; }

bool keyOf(std::string_view keyword, Key& key) {
  for (size_t i = 0; i < kKeyCount; ++i)
    if (kKeys[i].name == keyword) {
      key = static_cast<Key>(i);
      return true;
    }
  return false;
}

bool detectOmm(std::string_view head, Encoding& enc) {
  if (head.starts_with("\xEF\xBB\xBF")) head.remove_prefix(3);
  const size_t first = head.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return false;
  head.remove_prefix(first);
  if (head[0] == '[' || head[0] == '{') {
    enc = Encoding::json;
    return true;
  }
  if (head[0] == '<') {
    enc = Encoding::xml;
    return true;
  }
  std::string_view line = head.substr(0, head.find('\n'));
  if (line.starts_with("CCSDS_OMM_VERS") || line.starts_with("COMMENT")) {
    enc = Encoding::kvn;
    return true;
  }
  // A CSV header: comma-separated keywords, perhaps quoted.
  bool satNum = false, epoch = false;
  while (!line.empty()) {
    const size_t comma = line.find(',');
    std::string_view word = line.substr(0, comma);
    line = comma == std::string_view::npos ? std::string_view() : line.substr(comma + 1);
    const size_t b = word.find_first_not_of(" \t\r\"");
    const size_t e = word.find_last_not_of(" \t\r\"");
    word = b == std::string_view::npos ? std::string_view() : word.substr(b, e + 1 - b);
    satNum = satNum || word == "NORAD_CAT_ID";
    epoch = epoch || word == "EPOCH";
  }
  if (!satNum || !epoch) return false;
  enc = Encoding::csv;
  return true;
}

}  // namespace vx::tle::omm
