// Keyword texts of the OMM keys.
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

}  // namespace vx::tle::omm
