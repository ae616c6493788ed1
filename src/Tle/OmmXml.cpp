// OMM XML reader on expat: an ndm root holding omm messages, or a single
// omm root. Inside a message the element name is the keyword and its text
// the value; the structure around them (header, body, segment, metadata,
// data, meanElements, tleParameters) is walked through, anything else is
// skipped with all it holds. The parser streams, so every message before a
// fault in the document has been reported when the fault is met.
#include <expat.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "Tle/OmmText.h"

namespace vx::tle::omm {
namespace {

// Deeper than any message goes; a document nested further is refused
// rather than walked.
constexpr int kMaxDepth = 256;

bool isStructure(std::string_view name) {
  return name == "header" || name == "body" || name == "segment" || name == "metadata" || name == "data" ||
         name == "meanElements" || name == "tleParameters";
}

constexpr std::string_view kBlanks = " \t\r\n";

class Reader {
 public:
  Reader(XML_Parser parser, OmmSink& sink) : parser_(parser), sink_(sink) {
    text_.reserve(4096);
    values_.reserve(kKeyCount + 1);
  }

  // Why the parser was stopped from inside a handler; empty when it was not.
  const std::string& stopped() const { return stopped_; }
  int32_t stoppedAt() const { return stoppedAt_; }

  // After a stop the parser may still deliver the event it was in; those
  // are dropped, so nothing from the fault on is reported.
  void start(std::string_view name, const XML_Char** attrs) {
    if (!stopped_.empty()) return;
    if (++depth_ > kMaxDepth) return stop("XML nested too deep");
    if (skip_ > 0) {
      ++skip_;
      return;
    }
    if (depth_ == 1) {
      if (name == "omm") return beginRecord(attrs);
      if (name != "ndm") return stop("an XML document that is not OMM (its root is neither ndm nor omm)");
      return;
    }
    if (!inRecord_) {
      if (name == "omm" && depth_ == 2)
        beginRecord(attrs);
      else
        skip_ = 1;  // another kind of message
      return;
    }
    if (inValue_) {
      refuse(std::string("an element inside ") + std::string(keyName(key_)));
      skip_ = 1;
      return;
    }
    Key key;
    if (keyOf(name, key)) {
      inValue_ = true;
      key_ = key;
      valueStart_ = text_.size();
    } else if (!isStructure(name)) {
      skip_ = 1;  // COMMENT, userDefinedParameters, keywords not read
    }
  }

  void end() {
    if (!stopped_.empty()) return;
    --depth_;
    if (skip_ > 0) {
      --skip_;
      return;
    }
    if (inValue_) {
      inValue_ = false;
      values_.push_back({key_, valueStart_, text_.size() - valueStart_});
      return;
    }
    if (inRecord_ && depth_ == recordDepth_) endRecord();
  }

  void text(std::string_view s) {
    if (inValue_ && skip_ == 0 && stopped_.empty()) text_.append(s);
  }

  void stop(std::string why) {
    if (!stopped_.empty()) return;
    stopped_ = std::move(why);
    stoppedAt_ = static_cast<int32_t>(XML_GetCurrentLineNumber(parser_));
    XML_StopParser(parser_, XML_FALSE);
  }

 private:
  struct Value {
    Key key;
    size_t offset, length;
  };

  void beginRecord(const XML_Char** attrs) {
    inRecord_ = true;
    recordDepth_ = depth_ - 1;
    position_ = static_cast<int32_t>(XML_GetCurrentLineNumber(parser_));
    text_.clear();
    values_.clear();
    why_.clear();
    for (size_t i = 0; attrs[i] != nullptr; i += 2) {
      if (std::strcmp(attrs[i], "version") != 0) continue;
      const std::string_view version = attrs[i + 1];
      if (version != "2.0" && version != "3.0")
        refuse("OMM version " + std::string(version) + " (versions 2.0 and 3.0 are read)");
      values_.push_back({Key::CCSDS_OMM_VERS, text_.size(), version.size()});
      text_.append(version);
    }
  }

  // The views are made only now: the text buffer may have moved while the
  // message was read.
  void endRecord() {
    inRecord_ = false;
    if (!why_.empty()) {
      sink_.bad(position_, why_);
      return;
    }
    rec_.clear();
    rec_.position = position_;
    for (const auto& v : values_) {
      std::string_view s(text_.data() + v.offset, v.length);
      const auto first = s.find_first_not_of(kBlanks);
      s = first == std::string_view::npos ? std::string_view() : s.substr(first, s.find_last_not_of(kBlanks) - first + 1);
      rec_.set(v.key, s, s.empty());
    }
    sink_.record(rec_);
  }

  void refuse(std::string why) {
    if (why_.empty()) why_ = std::move(why);
  }

  XML_Parser parser_;
  OmmSink& sink_;
  OmmText rec_;
  std::string text_;  // the values of the message being read, one after another
  std::vector<Value> values_;
  std::string why_;  // why the message being read is refused
  std::string stopped_;
  int32_t stoppedAt_ = 0;
  int32_t position_ = 0;
  int depth_ = 0;
  int recordDepth_ = 0;  // depth outside the omm element
  int skip_ = 0;         // depth inside an element skipped whole
  bool inRecord_ = false;
  bool inValue_ = false;
  Key key_ = Key::kCount;
  size_t valueStart_ = 0;
};

void XMLCALL onStart(void* user, const XML_Char* name, const XML_Char** attrs) {
  static_cast<Reader*>(user)->start(name, attrs);
}
void XMLCALL onEnd(void* user, const XML_Char*) { static_cast<Reader*>(user)->end(); }
void XMLCALL onText(void* user, const XML_Char* s, int len) {
  static_cast<Reader*>(user)->text({s, static_cast<size_t>(len)});
}
// Entities declared in the document could expand without bound: any
// declaration stops the read.
void XMLCALL onEntity(void* user, const XML_Char*, int, const XML_Char*, int, const XML_Char*, const XML_Char*,
                      const XML_Char*, const XML_Char*) {
  static_cast<Reader*>(user)->stop("an XML entity declaration (entities are not expanded)");
}

std::string faultText(XML_Error e) {
  switch (e) {
    case XML_ERROR_NO_ELEMENTS:
    case XML_ERROR_UNCLOSED_TOKEN:
    case XML_ERROR_PARTIAL_CHAR:
    case XML_ERROR_UNCLOSED_CDATA_SECTION:
      return "truncated XML";
    default:
      return std::string("not well-formed XML: ") + XML_ErrorString(e);
  }
}

struct ParserFree {
  void operator()(XML_Parser p) const { XML_ParserFree(p); }
};

}  // namespace

bool readOmmXml(std::string_view doc, OmmSink& sink) {
  if (doc.find_first_not_of(kBlanks) == std::string_view::npos) {
    sink.bad(1, "an empty XML document");
    return false;
  }
  std::unique_ptr<std::remove_pointer_t<XML_Parser>, ParserFree> parser(XML_ParserCreate(nullptr));
  if (!parser) {
    sink.bad(1, "no memory for the XML parser");
    return false;
  }
  Reader reader(parser.get(), sink);
  XML_SetUserData(parser.get(), &reader);
  XML_SetElementHandler(parser.get(), onStart, onEnd);
  XML_SetCharacterDataHandler(parser.get(), onText);
  XML_SetEntityDeclHandler(parser.get(), onEntity);
  // External entities and the external DTD subset are never loaded.
  XML_SetParamEntityParsing(parser.get(), XML_PARAM_ENTITY_PARSING_NEVER);
  // The parser takes its input in pieces of at most INT_MAX bytes.
  constexpr size_t kPiece = size_t{1} << 30;
  size_t at = 0;
  do {
    const size_t n = std::min(kPiece, doc.size() - at);
    const bool last = at + n == doc.size();
    if (XML_Parse(parser.get(), doc.data() + at, static_cast<int>(n), last) != XML_STATUS_OK) {
      if (!reader.stopped().empty())
        sink.bad(reader.stoppedAt(), reader.stopped());
      else
        sink.bad(static_cast<int32_t>(XML_GetCurrentLineNumber(parser.get())),
                 faultText(XML_GetErrorCode(parser.get())));
      return false;
    }
    at += n;
  } while (at < doc.size());
  return true;
}

}  // namespace vx::tle::omm
