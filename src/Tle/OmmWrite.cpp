// Writers of OMM documents in the four encodings, laid out as the providers
// write them: CSV and JSON with the keys in the providers' column order, XML
// and KVN grouped into header, metadata, mean elements and TLE parameters.
#include <algorithm>
#include <array>

#include "Tle/OmmText.h"

namespace vx::tle::omm {
namespace {

// The mandatory metadata an XML or KVN message carries, with the values
// written when the set gives none.
struct Default {
  Key key;
  std::string_view value;
};
constexpr std::array<Default, 4> kMetadataDefaults = {{
    {Key::CENTER_NAME, "EARTH"},
    {Key::REF_FRAME, "TEME"},
    {Key::TIME_SYSTEM, "UTC"},
    {Key::MEAN_ELEMENT_THEORY, "SGP4"},
}};

constexpr std::array<Key, 7> kMeanElements = {Key::EPOCH,          Key::MEAN_MOTION,       Key::ECCENTRICITY,
                                              Key::INCLINATION,    Key::RA_OF_ASC_NODE,    Key::ARG_OF_PERICENTER,
                                              Key::MEAN_ANOMALY};

// The TLE parameters in message order. BTERM takes the place of BSTAR and
// AGOM the place of MEAN_MOTION_DDOT when the set has them (ephemeris type 4).
template <typename Put>
void tleParameters(const OmmValues& v, Put&& put) {
  for (const Key k : {Key::EPHEMERIS_TYPE, Key::CLASSIFICATION_TYPE, Key::NORAD_CAT_ID, Key::ELEMENT_SET_NO,
                      Key::REV_AT_EPOCH})
    put(k);
  put(v.has(Key::BTERM) ? Key::BTERM : Key::BSTAR);
  put(Key::MEAN_MOTION_DOT);
  put(v.has(Key::AGOM) ? Key::AGOM : Key::MEAN_MOTION_DDOT);
}

// The metadata in message order: the set's value, or the default of a
// mandatory keyword.
template <typename Put>
void metadata(const OmmValues& v, Put&& put) {
  put(Key::OBJECT_NAME, v[Key::OBJECT_NAME], v.has(Key::OBJECT_NAME));
  put(Key::OBJECT_ID, v[Key::OBJECT_ID], v.has(Key::OBJECT_ID));
  for (const Default& d : kMetadataDefaults) put(d.key, v.has(d.key) ? v[d.key] : d.value, true);
}

// ---- CSV ---------------------------------------------------------------------

// Appends t with each character for which special(c) holds replaced by
// what escape(c, out) appends; runs of plain characters go in one append.
template <typename Special, typename Escape>
void appendEscaped(std::string_view t, std::string& out, Special special, Escape escape) {
  size_t run = 0;
  for (size_t i = 0; i < t.size(); ++i) {
    if (!special(t[i])) continue;
    out.append(t.data() + run, i - run);
    escape(t[i], out);
    run = i + 1;
  }
  out.append(t.data() + run, t.size() - run);
}

bool isLineBreak(char c) { return c == '\n' || c == '\r'; }

void csvValue(std::string_view t, std::string& out) {
  auto needsQuotes = [](char c) { return c == ',' || c == '"' || isLineBreak(c); };
  if (std::none_of(t.begin(), t.end(), needsQuotes)) {
    out += t;
    return;
  }
  out += '"';
  appendEscaped(
      t, out, [](char c) { return c == '"'; }, [](char, std::string& o) { o += "\"\""; });
  out += '"';
}

class CsvWriter final : public OmmWriter {
 public:
  void begin(std::string& out) override {
    for (size_t i = 0; i < kCsvKeyCount; ++i) {
      if (i) out += ',';
      out += keyName(static_cast<Key>(i));
    }
    out += '\n';
  }
  void record(const OmmValues& values, std::string& out) override {
    for (size_t i = 0; i < kCsvKeyCount; ++i) {
      if (i) out += ',';
      const auto k = static_cast<Key>(i);
      if (values.has(k)) csvValue(values[k], out);
    }
    out += '\n';
  }
  void end(std::string&) override {}
};

// ---- JSON --------------------------------------------------------------------

// True for a text that is a number as JSON writes one.
bool isJsonNumber(std::string_view t) {
  size_t i = 0;
  const size_t n = t.size();
  auto digits = [&] {
    const size_t from = i;
    while (i < n && t[i] >= '0' && t[i] <= '9') ++i;
    return i > from;
  };
  if (i < n && t[i] == '-') ++i;
  if (i < n && t[i] == '0')
    ++i;
  else if (!digits())
    return false;
  if (i < n && t[i] == '.') {
    ++i;
    if (!digits()) return false;
  }
  if (i < n && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    if (i < n && (t[i] == '+' || t[i] == '-')) ++i;
    if (!digits()) return false;
  }
  return i == n;
}

void jsonString(std::string_view t, std::string& out) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += '"';
  appendEscaped(
      t, out, [](char c) { return c == '"' || c == '\\' || static_cast<unsigned char>(c) < 0x20; },
      [](char c, std::string& o) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20) {
          o += "\\u00";
          o += kHex[u >> 4];
          o += kHex[u & 15];
        } else {
          o += '\\';
          o += c;
        }
      });
  out += '"';
}

class JsonWriter final : public OmmWriter {
 public:
  void begin(std::string& out) override {
    out += '[';
    first_ = true;
  }
  void record(const OmmValues& values, std::string& out) override {
    if (!first_) out += ",\n";
    first_ = false;
    out += '{';
    bool firstKey = true;
    auto put = [&](Key k) {
      if (!firstKey) out += ',';
      firstKey = false;
      out += '"';
      out += keyName(k);
      out += "\":";
      const std::string_view t = values.has(k) ? values[k] : std::string_view();
      // A number the mapping did not write in JSON's form goes as a string,
      // which the readers take as well.
      if (isNumberKey(k) && isJsonNumber(t))
        out += t;
      else
        jsonString(t, out);
    };
    put(Key::OBJECT_NAME);
    for (size_t i = 1; i < kCsvKeyCount; ++i)
      if (values.has(static_cast<Key>(i))) put(static_cast<Key>(i));
    for (const Key k : {Key::BTERM, Key::AGOM})
      if (values.has(k)) put(k);
    out += '}';
  }
  void end(std::string& out) override { out += "]\n"; }

 private:
  bool first_ = true;
};

// ---- XML ---------------------------------------------------------------------

void xmlText(std::string_view t, std::string& out) {
  appendEscaped(
      t, out, [](char c) { return c == '&' || c == '<' || c == '>' || c == '"'; },
      [](char c, std::string& o) {
        switch (c) {
          case '&': o += "&amp;"; break;
          case '<': o += "&lt;"; break;
          case '>': o += "&gt;"; break;
          default: o += "&quot;";
        }
      });
}

void xmlElement(Key k, std::string_view t, std::string& out) {
  out += '<';
  out += keyName(k);
  if (t.empty()) {
    out += "/>";
    return;
  }
  out += '>';
  xmlText(t, out);
  out += "</";
  out += keyName(k);
  out += '>';
}

class XmlWriter final : public OmmWriter {
 public:
  void begin(std::string& out) override {
    out +=
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<ndm xmlns:xsi=\"https://www.w3.org/2001/XMLSchema-instance\" "
        "xsi:noNamespaceSchemaLocation=\"https://sanaregistry.org/r/ndmxml/ndmxml-1.0-master.xsd\">\n";
  }
  void record(const OmmValues& v, std::string& out) override {
    out += "<omm id=\"CCSDS_OMM_VERS\" version=\"2.0\">\n<header>";
    // The header elements are mandatory; empty when the set gives none.
    xmlElement(Key::CREATION_DATE, v[Key::CREATION_DATE], out);
    xmlElement(Key::ORIGINATOR, v[Key::ORIGINATOR], out);
    out += "</header><body><segment><metadata>";
    metadata(v, [&](Key k, std::string_view t, bool given) {
      if (given) xmlElement(k, t, out);
    });
    out += "</metadata><data><meanElements>";
    auto put = [&](Key k) {
      if (v.has(k)) xmlElement(k, v[k], out);
    };
    for (const Key k : kMeanElements) put(k);
    out += "</meanElements><tleParameters>";
    tleParameters(v, put);
    out += "</tleParameters></data></segment></body></omm>\n";
  }
  void end(std::string& out) override { out += "</ndm>\n"; }
};

// ---- KVN ---------------------------------------------------------------------

class KvnWriter final : public OmmWriter {
 public:
  void begin(std::string&) override { first_ = true; }
  void record(const OmmValues& v, std::string& out) override {
    if (!first_) out += '\n';
    first_ = false;
    auto line = [&](Key k, std::string_view t) {
      out += keyName(k);
      out += " = ";
      // A value keeps to its line.
      appendEscaped(t, out, isLineBreak, [](char, std::string& o) { o += ' '; });
      out += '\n';
    };
    line(Key::CCSDS_OMM_VERS, "2.0");
    auto put = [&](Key k) {
      if (v.has(k)) line(k, v[k]);
    };
    put(Key::CREATION_DATE);
    put(Key::ORIGINATOR);
    metadata(v, [&](Key k, std::string_view t, bool given) {
      if (given) line(k, t);
    });
    for (const Key k : kMeanElements) put(k);
    tleParameters(v, put);
  }
  void end(std::string&) override {}

 private:
  bool first_ = true;
};

}  // namespace

std::unique_ptr<OmmWriter> makeOmmCsvWriter() { return std::make_unique<CsvWriter>(); }
std::unique_ptr<OmmWriter> makeOmmKvnWriter() { return std::make_unique<KvnWriter>(); }
std::unique_ptr<OmmWriter> makeOmmJsonWriter() { return std::make_unique<JsonWriter>(); }
std::unique_ptr<OmmWriter> makeOmmXmlWriter() { return std::make_unique<XmlWriter>(); }

}  // namespace vx::tle::omm
