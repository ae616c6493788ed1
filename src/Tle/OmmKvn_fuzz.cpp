// Fuzz target of the OMM KVN reader: any document reads without harm, and
// the messages read, written again by the KVN writer, read back to the same
// values (those a KVN line can carry unchanged).
#include <cstdint>
#include <string>
#include <vector>

#include "Tle/OmmFuzzSupport.h"

using namespace vx::tle::omm;
using fuzz::require;

namespace {

using Set = fuzz::Copy<kKeyCount>::Set;

// A value a KVN line gives back as written: no control characters (the
// writer keeps values to their line) and no closing bracket at the end
// (a reader takes that for a unit).
bool carried(const std::string& t) {
  for (const char c : t)
    if (static_cast<unsigned char>(c) < 0x20) return false;
  return t.size() < 200 && (t.empty() || t.back() != ']');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<char> doc(data, data + size);
  fuzz::Copy<kKeyCount> first;
  readOmmKvn({doc.data(), doc.size()}, first);
  std::vector<Set> sent;
  for (const auto& s : first.sets) {
    bool keep = true;
    for (const auto& t : s) keep = keep && carried(t);
    if (keep) sent.push_back(s);
  }
  const std::string out = fuzz::writeAll(*makeOmmKvnWriter(), sent);
  fuzz::Copy<kKeyCount> again;
  readOmmKvn(out, again);
  require(again.bads == 0 && again.sets.size() == sent.size(), "every message back");
  for (size_t n = 0; n < sent.size(); ++n) {
    const Set& a = sent[n];
    const Set& b = again.sets[n];
    auto at = [](const Set& s, Key k) -> const std::string& { return s[static_cast<size_t>(k)]; };
    for (size_t i = 0; i < kKeyCount; ++i) {
      const auto k = static_cast<Key>(i);
      // Not written: SEMI_MAJOR_AXIS; BSTAR and MEAN_MOTION_DDOT give way
      // to BTERM and AGOM; the version is always the writer's own.
      if (k == Key::SEMI_MAJOR_AXIS || k == Key::CCSDS_OMM_VERS) continue;
      if (k == Key::BSTAR && !at(a, Key::BTERM).empty()) continue;
      if (k == Key::MEAN_MOTION_DDOT && !at(a, Key::AGOM).empty()) continue;
      if (a[i].empty()) continue;  // absent, or a default of the metadata
      require(a[i] == b[i], "the same values");
    }
  }
  return 0;
}
