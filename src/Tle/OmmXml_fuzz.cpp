// Fuzz target of the OMM XML reader: any text reads without harm, and a
// message wrapped in an ndm root reads as it does alone.
#include <cstdint>
#include <string>

#include "Tle/OmmFuzzSupport.h"

using namespace vx::tle::omm;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view doc(reinterpret_cast<const char*>(data), size);
  fuzz::Check alone;
  const bool ok = readOmmXml(doc, alone);
  fuzz::require(ok || alone.lastBad, "a failed read ends with its reason");
  // A document that is one omm element and nothing else (no declaration,
  // no comment or blank around it) reads the same inside an ndm root.
  if (ok && doc.rfind("<omm", 0) == 0 && doc.size() >= 6 && doc.substr(doc.size() - 6) == "</omm>") {
    fuzz::Check wrapped;
    const std::string ndm = "<ndm>" + std::string(doc) + "</ndm>";
    // The root adds a level: a message at the nesting limit goes past it.
    constexpr std::string_view kDeep = "XML nested too deep";
    if (readOmmXml(ndm, wrapped))
      fuzz::require(wrapped.seen == alone.seen, "same reports wrapped");
    else
      fuzz::require(wrapped.seen.size() >= kDeep.size() && wrapped.seen.substr(wrapped.seen.size() - kDeep.size()) == kDeep,
                    "wrapped reads");
  }
  return 0;
}
