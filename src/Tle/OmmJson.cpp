// OMM JSON reader: an array of records (or one record) as objects of
// keyword -> value, read with simdjson's on-demand parser. The parser works
// lazily, record by record, so the records before a fault in the document
// are reported and nothing from the fault on.
#include <simdjson.h>

#include <cstring>
#include <string>
#include <utility>

#include "Tle/OmmText.h"

namespace vx::tle::omm {
namespace {

namespace od = simdjson::ondemand;
using simdjson::error_code;

static_assert(kReadPadding >= simdjson::SIMDJSON_PADDING, "the caller's padding must cover the parser's reads");

// Records sit at depth 2 (array, object), their values at 3; deeper
// structure is only met inside values the reader refuses or skips. The
// limit keeps the walk over such values shallow.
constexpr int kMaxDepth = 64;

// The reason a document cannot be read on.
std::string_view faultText(error_code e) {
  switch (e) {
    case error_code::EMPTY:
      return "an empty JSON document";
    case error_code::DEPTH_ERROR:
      return "JSON nested too deep";
    case error_code::INCOMPLETE_ARRAY_OR_OBJECT:
    case error_code::UNCLOSED_STRING:
      return "truncated JSON";
    case error_code::CAPACITY:
      return "a JSON document too large for the parser (4 GiB at most)";
    case error_code::UTF8_ERROR:
      return "JSON text that is not UTF-8";
    default:
      return "not well-formed JSON";
  }
}

// Reads a value the record does not take, to its end, so that a fault
// inside it is a fault of the document (the parser alone would skip it
// without looking).
error_code walk(od::value v, int depth) {
  if (depth > kMaxDepth) return error_code::DEPTH_ERROR;
  od::json_type type;
  if (auto e = v.type().get(type)) return e;
  switch (type) {
    case od::json_type::array: {
      od::array arr;
      if (auto e = v.get_array().get(arr)) return e;
      for (auto item : arr) {
        od::value x;
        if (auto e = item.get(x)) return e;
        if (auto e = walk(x, depth + 1)) return e;
      }
      return error_code::SUCCESS;
    }
    case od::json_type::object: {
      od::object obj;
      if (auto e = v.get_object().get(obj)) return e;
      for (auto item : obj) {
        od::field f;
        if (auto e = std::move(item).get(f)) return e;
        std::string_view key;
        if (auto e = f.unescaped_key().get(key)) return e;
        if (auto e = walk(f.value(), depth + 1)) return e;
      }
      return error_code::SUCCESS;
    }
    case od::json_type::string: {
      std::string_view s;
      return v.get_string().get(s);
    }
    case od::json_type::boolean: {
      bool b;
      return v.get_bool().get(b);
    }
    case od::json_type::null: {
      bool isNull = false;
      if (auto e = v.is_null().get(isNull)) return e;
      return isNull ? error_code::SUCCESS : error_code::N_ATOM_ERROR;
    }
    case od::json_type::number:
      // The token is checked by whoever converts it; an unused one is
      // left as it stands.
      return error_code::SUCCESS;
  }
  return error_code::INCORRECT_TYPE;
}

bool cutShort(error_code e) {
  return e == error_code::INCOMPLETE_ARRAY_OR_OBJECT || e == error_code::UNCLOSED_STRING;
}

// The text of a number token as written; the parser's token runs up to the
// next structural character, blanks included.
std::string_view numberText(std::string_view raw) {
  const auto end = raw.find_last_not_of(" \t\r\n");
  return raw.substr(0, end == std::string_view::npos ? 0 : end + 1);
}

class Reader {
 public:
  explicit Reader(OmmSink& sink) : sink_(sink) {}

  bool read(od::document& doc) {
    od::json_type type;
    if (auto e = doc.type().get(type)) return fault(e);
    if (type == od::json_type::array) {
      od::array arr;
      if (auto e = doc.get_array().get(arr)) return fault(e);
      for (auto item : arr) {
        ++position_;
        od::value v;
        if (auto e = item.get(v)) return fault(e);
        if (!element(v)) return false;
      }
    } else if (type == od::json_type::object) {
      ++position_;
      od::object obj;
      if (auto e = doc.get_object().get(obj)) return fault(e);
      if (!record(obj)) return false;
    } else {
      sink_.bad(1, "a JSON document that is not an array or an object");
      return false;
    }
    const char* rest = nullptr;
    if (doc.current_location().get(rest) != error_code::OUT_OF_BOUNDS) {
      sink_.bad(position_ + 1, "text after the end of the JSON document");
      return false;
    }
    return true;
  }

  // The number of the record read last (0 before the first).
  int32_t position() const { return position_; }
  // Why the root was refused unread, when it was cut short; SUCCESS else.
  error_code rootRefusal() const { return rootRefusal_; }

 private:
  bool fault(error_code e) {
    // The parser checks the root's brackets when the root is opened: a
    // text cut short is refused there as a whole, and the caller reads the
    // records before the cut on their own.
    if (position_ == 0 && cutShort(e))
      rootRefusal_ = e;
    else
      sink_.bad(position_ == 0 ? 1 : position_, faultText(e));
    return false;
  }

  // One element of the top-level array: a record, or a bad record when it
  // is anything but an object.
  bool element(od::value v) {
    od::json_type type;
    if (auto e = v.type().get(type)) return fault(e);
    if (type != od::json_type::object) {
      if (auto e = walk(v, 2)) return fault(e);
      sink_.bad(position_, "a record that is not a JSON object");
      return true;
    }
    od::object obj;
    if (auto e = v.get_object().get(obj)) return fault(e);
    return record(obj);
  }

  // Reads one record to its end; it reaches the sink only when the whole
  // object was read and every known value was a scalar.
  bool record(od::object& obj) {
    rec_.clear();
    rec_.position = position_;
    std::string why;
    for (auto item : obj) {
      od::field f;
      if (auto e = std::move(item).get(f)) return fault(e);
      std::string_view keyword;
      if (auto e = f.unescaped_key().get(keyword)) return fault(e);
      Key key;
      od::value v = f.value();
      if (!keyOf(keyword, key)) {
        if (auto e = walk(v, 3)) return fault(e);
        continue;
      }
      od::json_type type;
      if (auto e = v.type().get(type)) return fault(e);
      switch (type) {
        case od::json_type::string: {
          std::string_view s;
          if (auto e = v.get_string().get(s)) return fault(e);
          rec_.set(key, s);
          break;
        }
        case od::json_type::number: {
          rec_.set(key, numberText(v.raw_json_token()));
          break;
        }
        case od::json_type::null:
          if (auto e = walk(v, 3)) return fault(e);
          rec_.set(key, {}, true);
          break;
        case od::json_type::boolean:
          if (auto e = walk(v, 3)) return fault(e);
          if (why.empty()) why = std::string("a true or false value in ") + std::string(keyName(key));
          break;
        default:
          if (auto e = walk(v, 3)) return fault(e);
          if (why.empty()) why = std::string("a nested value in ") + std::string(keyName(key));
          break;
      }
    }
    if (why.empty())
      sink_.record(rec_);
    else
      sink_.bad(position_, why);
    return true;
  }

  OmmSink& sink_;
  OmmText rec_;
  int32_t position_ = 0;
  error_code rootRefusal_ = error_code::SUCCESS;
};


// Where the whole elements of a top-level array the parser refused as cut
// short end: the offset of the comma behind the last whole element, or, when
// the array is closed and text follows it, the offset of its ']'
// (closed = true). npos when there is neither.
size_t wholeElementsEnd(std::string_view doc, bool& closed) {
  int depth = 0;
  bool inString = false;
  size_t last = std::string_view::npos;
  closed = false;
  for (size_t i = 0; i < doc.size(); ++i) {
    const char c = doc[i];
    if (inString) {
      if (c == '\\')
        ++i;
      else if (c == '"')
        inString = false;
      continue;
    }
    switch (c) {
      case '"':
        inString = true;
        break;
      case '[':
      case '{':
        ++depth;
        break;
      case ']':
      case '}':
        if (--depth <= 0) {
          closed = depth == 0 && c == ']';
          return closed ? i : std::string_view::npos;
        }
        break;
      case ',':
        if (depth == 1) last = i;
        break;
      default:
        break;
    }
  }
  // Cut right behind an element that is an object or an array: that one
  // is whole too.
  const auto tail = doc.find_last_not_of(" \t\r\n");
  if (!inString && depth == 1 && tail != std::string_view::npos && (doc[tail] == '}' || doc[tail] == ']'))
    return tail + 1;
  return last;
}

bool readText(simdjson::padded_string_view text, Reader& reader, error_code& refused) {
  od::parser parser;
  od::document parsed;
  refused = parser.iterate(text).get(parsed);
  return refused == error_code::SUCCESS && reader.read(parsed);
}

}  // namespace

bool readOmmJson(std::string_view doc, OmmSink& sink, bool docIsPadded) {
  // The parser reads up to a padding's width past the text; a caller whose
  // buffer holds that much spares the copy.
  simdjson::padded_string copy;
  simdjson::padded_string_view text;
  if (docIsPadded) {
    text = simdjson::padded_string_view(doc.data(), doc.size(), doc.size() + kReadPadding);
  } else {
    copy = simdjson::padded_string(doc);
    text = copy;
  }
  Reader reader(sink);
  error_code refused;
  if (readText(text, reader, refused)) return true;
  if (refused == error_code::SUCCESS) {
    if (reader.rootRefusal() == error_code::SUCCESS) return false;  // the reader told the sink
    refused = reader.rootRefusal();
  }
  // A text cut short: the records before the cut are read from a copy
  // closed behind them; then the cut is reported.
  const auto start = doc.find_first_not_of(" \t\r\n");
  bool closed = false;
  const size_t end = cutShort(refused) && start != std::string_view::npos && doc[start] == '['
                         ? wholeElementsEnd(doc, closed)
                         : std::string_view::npos;
  if (end != std::string_view::npos) {
    simdjson::padded_string head(end + 1);
    std::memcpy(head.data(), doc.data(), end);
    head.data()[end] = ']';
    Reader again(sink);
    error_code headRefused;
    if (!readText(head, again, headRefused)) {
      if (headRefused != error_code::SUCCESS || again.rootRefusal() != error_code::SUCCESS)
        sink.bad(again.position() + 1, "not well-formed JSON");
      return false;
    }
    sink.bad(again.position() + 1, closed ? "text after the end of the JSON document" : faultText(refused));
    return false;
  }
  sink.bad(1, faultText(refused));
  return false;
}

}  // namespace vx::tle::omm
