// KVN reader of OMM messages: "KEY = VALUE" lines, one or many messages a
// document, each message starting at its CCSDS_OMM_VERS line. Comments and
// blank lines are skipped, units in brackets behind a value dropped, and
// keywords the library does not know (user-defined parameters, block
// markers, MESSAGE_ID, ...) passed over. Values are views into the document.
#include <string>

#include "Tle/OmmText.h"

namespace vx::tle::omm {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr size_t kMaxLine = 254;

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmed(std::string_view t) {
  size_t b = 0, e = t.size();
  while (b < e && isBlank(t[b])) ++b;
  while (e > b && isBlank(t[e - 1])) --e;
  return t.substr(b, e - b);
}

bool isKeyword(std::string_view t) {
  if (t.empty()) return false;
  for (const char c : t)
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_')) return false;
  return true;
}

bool isComment(std::string_view t) {
  return t.starts_with("COMMENT") && (t.size() == 7 || t[7] == ' ' || t[7] == '\t');
}

// A block marker line such as META_START or DATA_STOP.
bool isMarker(std::string_view t) { return isKeyword(t) && (t.ends_with("_START") || t.ends_with("_STOP")); }

// The value without a unit in brackets at its end ("15.5 [rev/day]").
std::string_view withoutUnits(std::string_view v) {
  if (!v.ends_with(']')) return v;
  const size_t open = v.rfind('[');
  return open == std::string_view::npos ? v : trimmed(v.substr(0, open));
}

class KvnReader {
 public:
  explicit KvnReader(OmmSink& sink) : sink_(sink) {}

  void run(std::string_view doc) {
    size_t pos = doc.starts_with(kBom) ? kBom.size() : 0;
    int32_t line = 0;
    while (pos < doc.size()) {
      ++line;
      size_t end = doc.find('\n', pos);
      if (end == std::string_view::npos) end = doc.size();
      std::string_view raw = doc.substr(pos, end - pos);
      pos = end + 1;
      if (raw.ends_with('\r')) raw.remove_suffix(1);
      if (raw.size() > kMaxLine) {
        refuse(line, "line " + std::to_string(line) + " is longer than " + std::to_string(kMaxLine) + " characters");
        continue;
      }
      const std::string_view t = trimmed(raw);
      if (t.empty() || isComment(t)) continue;
      const size_t eq = t.find('=');
      if (eq == std::string_view::npos) {
        if (!isMarker(t)) refuse(line, "line " + std::to_string(line) + " is not a KEY = VALUE line");
        continue;
      }
      const std::string_view keyword = trimmed(t.substr(0, eq));
      if (!isKeyword(keyword)) {
        refuse(line, "line " + std::to_string(line) + " is not a KEY = VALUE line");
        continue;
      }
      if (keyword == "CCSDS_OMM_VERS") {
        flush();
        open(line);
      } else if (!open_) {
        open(line);
      }
      Key key;
      if (!keyOf(keyword, key)) continue;
      // Only numbers carry units; a name may end in brackets ("NOAA 1 [-]").
      const std::string_view text = trimmed(t.substr(eq + 1));
      const std::string_view value = isNumberKey(key) ? withoutUnits(text) : text;
      rec_.set(key, value, value.empty());
    }
    flush();
  }

 private:
  void open(int32_t line) {
    rec_.clear();
    rec_.position = line;
    open_ = true;
    refused_ = false;
  }

  // The message holding this line is refused; the first reason is told.
  void refuse(int32_t line, std::string why) {
    if (!open_) open(line);
    if (refused_) return;
    refused_ = true;
    why_ = std::move(why);
  }

  void flush() {
    if (!open_) return;
    open_ = false;
    if (refused_)
      sink_.bad(rec_.position, why_);
    else
      sink_.record(rec_);
  }

  OmmSink& sink_;
  OmmText rec_;
  bool open_ = false;
  bool refused_ = false;
  std::string why_;
};

}  // namespace

bool readOmmKvn(std::string_view doc, OmmSink& sink) {
  KvnReader(sink).run(doc);
  return true;
}

}  // namespace vx::tle::omm
