// An OMM record as text, between the encodings (CSV, JSON, XML, KVN) and the
// element-set record. A reader of an encoding fills one OmmText per record
// with the values as written (quotes, escapes and unit brackets already
// taken off, nothing converted) and hands it to an OmmSink; the mapping
// (OmmMap) turns it into a checked element set on the one add road. A
// writer takes the values of one element set, already formatted as text
// by the mapping, and writes them in its encoding.
//
// The keywords are held in the order the providers write them in CSV and
// JSON; the XML and KVN writers group them into metadata, mean elements and
// TLE parameters as the message structure wants.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace vx::tle::omm {

// Every keyword the library reads or writes. The first kCsvKeyCount are the
// columns of the providers' CSV and the keys of their JSON, in their order.
enum class Key : uint8_t {
  OBJECT_NAME,
  OBJECT_ID,
  EPOCH,
  MEAN_MOTION,
  ECCENTRICITY,
  INCLINATION,
  RA_OF_ASC_NODE,
  ARG_OF_PERICENTER,
  MEAN_ANOMALY,
  EPHEMERIS_TYPE,
  CLASSIFICATION_TYPE,
  NORAD_CAT_ID,
  ELEMENT_SET_NO,
  REV_AT_EPOCH,
  BSTAR,
  MEAN_MOTION_DOT,
  MEAN_MOTION_DDOT,
  // Written by XML and KVN (metadata), read and checked when present.
  CCSDS_OMM_VERS,
  CREATION_DATE,
  ORIGINATOR,
  CENTER_NAME,
  REF_FRAME,
  TIME_SYSTEM,
  MEAN_ELEMENT_THEORY,
  // Read only: refused in place of MEAN_MOTION, or the coefficients of
  // ephemeris type 4.
  SEMI_MAJOR_AXIS,
  BTERM,
  AGOM,
  kCount
};
inline constexpr size_t kKeyCount = static_cast<size_t>(Key::kCount);
inline constexpr size_t kCsvKeyCount = static_cast<size_t>(Key::MEAN_MOTION_DDOT) + 1;

// The keyword text of a key ("NORAD_CAT_ID").
std::string_view keyName(Key key);
// The key of a keyword text, exact and case-sensitive; false for a keyword
// the library does not know (a reader skips those: "RMS", "DATA_SOURCE",
// "COMMENT", the user-defined parameters, ...).
bool keyOf(std::string_view keyword, Key& key);
// True for the keys whose values are numbers (a JSON writer writes them
// bare, a reader of JSON takes them as a number or as a string).
bool isNumberKey(Key key);

// One record as read. Values are views into the reader's buffer and stay
// valid until the sink returns.
struct OmmText {
  std::array<std::string_view, kKeyCount> value{};
  std::bitset<kKeyCount> present;  // the keyword was given (a null counts as given)
  std::bitset<kKeyCount> isNull;   // given as JSON null (or an XML empty element)
  // Where the record starts, for the reports: the line number (CSV, KVN,
  // XML) or the 1-based record number (JSON).
  int32_t position = 0;
  // A keyword given twice in one record; the first value is kept and the
  // record is refused by the mapping.
  Key duplicate = Key::kCount;

  void clear() { *this = OmmText(); }
  // Sets a known keyword; a second value of the same keyword marks the
  // record as holding a duplicate.
  void set(Key key, std::string_view text, bool null = false) {
    const auto i = static_cast<size_t>(key);
    if (present[i]) {
      if (duplicate == Key::kCount) duplicate = key;
      return;
    }
    present[i] = true;
    isNull[i] = null;
    value[i] = text;
  }
  bool has(Key key) const { return present[static_cast<size_t>(key)] && !isNull[static_cast<size_t>(key)]; }
  std::string_view operator[](Key key) const { return value[static_cast<size_t>(key)]; }
};

// What a reader reports to. record() gets each well-formed record; bad()
// gets a record (or a stretch of the document) the reader cannot read, with
// the position and the reason in the system's words, e.g.
// "record 3: a string where a number belongs in MEAN_MOTION". When a
// document cannot be read on (truncated, not well formed, an entity
// expansion, nesting too deep), the reader calls bad() once and stops: no
// record from the fault on reaches record().
struct OmmSink {
  virtual void record(const OmmText& rec) = 0;
  virtual void bad(int32_t position, std::string_view why) = 0;

 protected:
  ~OmmSink() = default;
};

// The values of one element set for a writer, formatted by the mapping:
// numbers in the shortest form that reads back as the same double, the
// epoch as "YYYY-MM-DDThh:mm:ss.ffffff", OBJECT_ID in the long form. A key
// that is not present is not written (OBJECT_NAME of a set without a name
// is written as an empty value by CSV and JSON, left out by XML and KVN).
struct OmmValues {
  std::array<std::string_view, kKeyCount> value{};
  std::bitset<kKeyCount> present;
  std::string_view operator[](Key key) const { return value[static_cast<size_t>(key)]; }
  bool has(Key key) const { return present[static_cast<size_t>(key)]; }
};

// The encodings.
enum class Encoding : uint8_t { csv, json, xml, kvn };

// ---- Readers: one per encoding, each in its own unit -------------------------
// Each reads a whole document held in memory and reports every record to the
// sink in document order. The result is false when the document could not be
// read to its end (the sink was told why, once); records before the fault
// have been reported. doc need not end in a NUL; a reader that needs padding
// behind the text (the JSON parser does) makes its own padded copy only when
// the caller's buffer does not provide it (see kReadPadding).
inline constexpr size_t kReadPadding = 64;
bool readOmmCsv(std::string_view doc, OmmSink& sink);
bool readOmmKvn(std::string_view doc, OmmSink& sink);
bool readOmmJson(std::string_view doc, OmmSink& sink, bool docIsPadded = false);
bool readOmmXml(std::string_view doc, OmmSink& sink);

// The encoding of a document, from its first bytes (leading blanks and a
// UTF-8 byte-order mark skipped): '[' or '{' JSON, '<' XML, a first line
// starting "CCSDS_OMM_VERS" or "COMMENT" KVN, a first line of comma-separated
// keywords holding "NORAD_CAT_ID" and "EPOCH" CSV. False when it is none of
// them (a two-line file, say).
bool detectOmm(std::string_view head, Encoding& enc);

// ---- Writers ------------------------------------------------------------------
// A writer appends text to out: begin() once (a CSV header row, a JSON "[",
// the XML declaration and the ndm root), record() per set, end() once. A
// writer of a single set (no list) is the same calls with one record; its
// output is a complete document of the encoding.
struct OmmWriter {
  virtual void begin(std::string& out) = 0;
  virtual void record(const OmmValues& values, std::string& out) = 0;
  virtual void end(std::string& out) = 0;
  virtual ~OmmWriter() = default;
};
std::unique_ptr<OmmWriter> makeOmmCsvWriter();
std::unique_ptr<OmmWriter> makeOmmKvnWriter();
std::unique_ptr<OmmWriter> makeOmmJsonWriter();
std::unique_ptr<OmmWriter> makeOmmXmlWriter();

}  // namespace vx::tle::omm
