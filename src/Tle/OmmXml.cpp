// OMM XML reader: an ndm root holding omm messages, or a single omm root.
// Inside a message the element name is the keyword and its text the value;
// the structure around them (header, body, segment, metadata, data,
// meanElements, tleParameters) is walked through, anything else is skipped
// with all it holds.
//
// The prolog and the root are checked once; the root's content is read in
// chunks of whole top-level elements (about 1 MB), each copied into one
// reused buffer and parsed in place as a fragment, so memory stays bounded
// however long the document. A chunk is first cut after an "</omm>" and
// parsed directly: when it holds no reference or NUL and parses whole, the
// cut was sound. Otherwise a light scan finds where each top-level element
// ends (outside comments, CDATA, processing instructions and attribute
// values) and the faults the tree parser lets through (entity references,
// NUL bytes, nesting depth, truncation), and the chunk is parsed up to the
// fault. Every message before a fault has been reported when it is met.
#include <pugixml.hpp>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "Tle/OmmText.h"

namespace vx::tle::omm {
namespace {

// Deeper than any message goes (the root counts as one level); a document
// nested further is refused rather than walked.
constexpr int kMaxDepth = 256;
// A chunk is cut at the first end of a top-level element after this much text.
constexpr size_t kChunk = size_t{1} << 20;
// A top-level element longer than this is refused: the tree of a chunk
// holding it would not be bounded.
constexpr size_t kMaxElement = size_t{64} << 20;

constexpr std::string_view kBlanks = " \t\r\n";
constexpr std::string_view kTruncated = "truncated XML";
constexpr std::string_view kTooLong = "an XML element longer than 64 MB";
constexpr std::string_view kInvalid = "not well-formed XML: not well-formed (invalid token)";

bool isStructure(std::string_view name) {
  return name == "header" || name == "body" || name == "segment" || name == "metadata" || name == "data" ||
         name == "meanElements" || name == "tleParameters";
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool isNameChar(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == ':' ||
         c == '-' || c == '.' || u >= 0x80;
}

std::string_view trim(std::string_view s) {
  const auto first = s.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(kBlanks) - first + 1);
}

// Why a reference at s (s[0] == '&') cannot be read: the predefined
// entities and character references are; any other name is an entity the
// document never declared (declarations are refused), anything else is not
// a reference at all. Empty when the reference is good.
std::string_view badReference(std::string_view s) {
  const auto semi = s.find(';');
  const std::string_view body = s.substr(1, semi == std::string_view::npos ? std::string_view::npos : semi - 1);
  if (semi == std::string_view::npos || body.empty()) return kInvalid;
  if (body[0] == '#') {
    const bool hex = body.size() > 1 && body[1] == 'x';
    const std::string_view digits = body.substr(hex ? 2 : 1);
    const bool ok = !digits.empty() && std::all_of(digits.begin(), digits.end(), [hex](char c) {
      return (c >= '0' && c <= '9') || (hex && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')));
    });
    return ok ? std::string_view() : kInvalid;
  }
  if (!std::all_of(body.begin(), body.end(), isNameChar) || (body[0] >= '0' && body[0] <= '9')) return kInvalid;
  if (body == "lt" || body == "gt" || body == "amp" || body == "apos" || body == "quot") return {};
  return "not well-formed XML: undefined entity";
}

// What a stretch of text holds that the plain parse cannot take: a
// reference or a NUL (the chunk is then scanned), a carriage return (line
// ends are then normalized).
struct Marks {
  bool special = false;  // '&' or NUL
  bool cr = false;
};

Marks marksOf(const char* p, size_t n) {
  Marks m;
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i amp = _mm_set1_epi8('&'), nul = _mm_setzero_si128(), cr = _mm_set1_epi8('\r');
  int special = 0, ret = 0;
  for (; i + 16 <= n; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    special |= _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, amp), _mm_cmpeq_epi8(v, nul)));
    ret |= _mm_movemask_epi8(_mm_cmpeq_epi8(v, cr));
    if (special != 0) break;
  }
  m.special = special != 0;
  m.cr = ret != 0;
  if (m.special) return m;
#endif
  for (; i < n; ++i) {
    m.special = m.special || p[i] == '&' || p[i] == '\0';
    m.cr = m.cr || p[i] == '\r';
  }
  return m;
}

// The line ends in [p, p + n).
ptrdiff_t countLines(const char* p, size_t n) {
  ptrdiff_t lines = 0;
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i nl = _mm_set1_epi8('\n');
  for (; i + 16 <= n; i += 16)
    lines += __builtin_popcount(static_cast<unsigned>(
        _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)), nl))));
#endif
  for (; i < n; ++i) lines += p[i] == '\n';
  return lines;
}

// Line numbers of offsets into the document, counted on from the last one
// asked for.
class Lines {
 public:
  explicit Lines(std::string_view doc) : doc_(doc) {}
  int32_t at(size_t offset) {
    offset = std::min(offset, doc_.size());
    if (offset >= at_)
      line_ += countLines(doc_.data() + at_, offset - at_);
    else
      line_ -= countLines(doc_.data() + offset, at_ - offset);
    at_ = offset;
    return static_cast<int32_t>(line_);
  }

 private:
  std::string_view doc_;
  size_t at_ = 0;
  ptrdiff_t line_ = 1;
};

struct Fault {
  size_t at = std::string_view::npos;  // offset in the document; npos: none
  std::string_view why;
  explicit operator bool() const { return at != std::string_view::npos; }
};

class Reader {
 public:
  Reader(std::string_view doc, OmmSink& sink) : doc_(doc), sink_(sink), lines_(doc) {
    text_.reserve(4096);
    values_.reserve(kKeyCount + 1);
  }

  bool read() {
    size_t at = prolog();
    if (failed_) return false;
    // A single omm root is its own one element of content; an ndm root's
    // content follows its start tag.
    const bool single = doc_.compare(at, 4, "<omm") == 0;
    base_ = single ? 0 : 1;
    int depth = 0;
    if (!single) {
      const size_t gt = tagEnd(at);
      if (gt == std::string_view::npos) return fail(doc_.size(), kTruncated);
      if (doc_[gt - 1] == '/') return epilog(gt + 1);
      at = gt + 1;
      depth = 1;
    }
    for (;;) {
      Chunk c;
      const Quick q = single ? Quick::no : quick(at, c);
      if (q == Quick::failed) return false;
      if (q == Quick::no) {
        // References are rare in OMM: the chunk is scanned for them only
        // when it holds an ampersand.
        const int depthBefore = depth;
        c = scan(at, depth, single, false);
        const size_t scanned = c.fault ? c.fault.at : c.contentEnd != std::string_view::npos ? c.contentEnd : c.end;
        if (std::memchr(doc_.data() + at, '&', std::min(scanned, doc_.size()) - at) != nullptr) {
          depth = depthBefore;
          c = scan(at, depth, single, true);
        }
        if (!parse(at, c)) return false;
      }
      if (c.contentEnd == std::string_view::npos) {
        at = c.end;
        continue;
      }
      if (single) return epilog(c.contentEnd);
      // The root's end tag.
      size_t p = c.contentEnd + 2;
      if (doc_.compare(p, 3, "ndm") != 0 || (p + 3 < doc_.size() && isNameChar(doc_[p + 3])))
        return fail(c.contentEnd, "not well-formed XML: mismatched tag");
      p += 3;
      while (p < doc_.size() && isBlank(doc_[p])) ++p;
      if (p >= doc_.size()) return fail(doc_.size(), kTruncated);
      if (doc_[p] != '>') return fail(p, kInvalid);
      return epilog(p + 1);
    }
  }

 private:
  struct Value {
    Key key;
    const char* data;  // the parse buffer, or nullptr: offset into text_
    size_t offset, length;
  };
  // What the scan found from a chunk's start.
  struct Chunk {
    size_t end = 0;                             // the last end of a top-level element
    size_t contentEnd = std::string_view::npos;  // the root's content ends here ("</" of its end tag)
    Fault fault;
  };

  bool fail(size_t at, std::string_view why) {
    sink_.bad(lines_.at(at), why);
    failed_ = true;
    return false;
  }

  // Skips the text at p of a comment (to "-->"), a processing instruction
  // (to "?>") or a CDATA section (to "]]>"); npos when it does not end.
  size_t skipTo(size_t p, std::string_view close) const {
    const size_t e = doc_.find(close, p);
    return e == std::string_view::npos ? e : e + close.size();
  }

  // The '>' of the tag starting at p, quoted attribute values passed over;
  // npos when the document ends first.
  size_t tagEnd(size_t p) const {
    for (; p < doc_.size(); ++p) {
      const char c = doc_[p];
      if (c == '>') return p;
      if (c == '"' || c == '\'') {
        p = doc_.find(c, p + 1);
        if (p == std::string_view::npos) return p;
      }
    }
    return std::string_view::npos;
  }

  // Byte-order mark, declaration, comments, processing instructions and a
  // document type (refused when it declares entities), up to the root's
  // start tag; returns its offset.
  size_t prolog() {
    size_t p = doc_.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    for (;;) {
      while (p < doc_.size() && isBlank(doc_[p])) ++p;
      if (p >= doc_.size()) return fail(doc_.size(), kTruncated), 0;
      const std::string_view rest = doc_.substr(p);
      size_t next;
      if (rest.compare(0, 2, "<?") == 0) {
        next = skipTo(p + 2, "?>");
      } else if (rest.compare(0, 4, "<!--") == 0) {
        next = skipTo(p + 4, "-->");
      } else if (rest.compare(0, 9, "<!DOCTYPE") == 0) {
        next = doctype(p + 9);
        if (failed_) return 0;
      } else if (rest.size() > 1 && rest[0] == '<' && isNameChar(rest[1])) {
        size_t n = 1;
        while (n < rest.size() && isNameChar(rest[n])) ++n;
        const std::string_view name = rest.substr(1, n - 1);
        if (n < rest.size() && (name == "ndm" || name == "omm")) return p;
        if (n >= rest.size()) return fail(doc_.size(), kTruncated), 0;
        return fail(p, "an XML document that is not OMM (its root is neither ndm nor omm)"), 0;
      } else {
        return fail(p, "not well-formed XML: syntax error"), 0;
      }
      if (next == std::string_view::npos) return fail(doc_.size(), kTruncated), 0;
      p = next;
    }
  }

  // Past the document type declaration whose name starts at p.
  size_t doctype(size_t p) {
    bool subset = false;
    for (; p < doc_.size(); ++p) {
      const char c = doc_[p];
      if (c == '"' || c == '\'') {
        p = doc_.find(c, p + 1);
        if (p == std::string_view::npos) return p;
      } else if (subset && doc_.compare(p, 4, "<!--") == 0) {
        p = skipTo(p + 4, "-->");
        if (p == std::string_view::npos) return p;
        --p;
      } else if (subset && doc_.compare(p, 8, "<!ENTITY") == 0) {
        // Entities declared in the document could expand without bound.
        fail(p, "an XML entity declaration (entities are not expanded)");
        return p;
      } else if (c == '[') {
        subset = true;
      } else if (c == ']') {
        subset = false;
      } else if (c == '>' && !subset) {
        return p + 1;
      }
    }
    return std::string_view::npos;
  }

  // After the root: blanks, comments and processing instructions only.
  bool epilog(size_t p) {
    for (;;) {
      while (p < doc_.size() && isBlank(doc_[p])) ++p;
      if (p >= doc_.size()) return true;
      size_t next = std::string_view::npos;
      if (doc_.compare(p, 4, "<!--") == 0)
        next = skipTo(p + 4, "-->");
      else if (doc_.compare(p, 2, "<?") == 0)
        next = skipTo(p + 2, "?>");
      else
        return fail(p, "not well-formed XML: junk after document element");
      if (next == std::string_view::npos) return fail(doc_.size(), kTruncated);
      p = next;
    }
  }

  static std::array<Key, kKeyCount + 1> filled() {
    std::array<Key, kKeyCount + 1> a;
    a.fill(Key::kCount);
    return a;
  }

  enum class Quick { no, done, failed };

  // The common case of an ndm root, without the scan: the chunk is cut
  // after the first "</omm>" past kChunk bytes, or the last chunk before
  // the last "</ndm". When it holds no reference and no NUL and parses as
  // a fragment, the cut was sound (the fragment closes every element it
  // opens and ends in no comment, CDATA or attribute) and its messages
  // are reported; otherwise (no) the chunk is read again with the scan,
  // which finds the fault or the right cut.
  Quick quick(size_t at, Chunk& c) {
    size_t end;
    if (doc_.size() - at > kChunk) {
      end = doc_.substr(0, at + 2 * kChunk).find("</omm>", at + kChunk);
      if (end == std::string_view::npos) return Quick::no;
      c.end = end + 6;
    } else {
      end = doc_.rfind("</ndm");
      if (end == std::string_view::npos || end < at) return Quick::no;
      c.end = c.contentEnd = end;
    }
    const Marks marks = marksOf(doc_.data() + at, c.end - at);
    if (marks.special) return Quick::no;
    // Without references the parse need not look for them.
    constexpr unsigned kPlain = pugi::parse_fragment | pugi::parse_cdata | pugi::parse_doctype;
    if (!parseRange(at, c.end, kPlain | (marks.cr ? pugi::parse_eol : 0u))) return Quick::no;
    // The parser takes a document type among the root's elements; the scan
    // refuses it.
    for (pugi::xml_node n = dom_.first_child(); n; n = n.next_sibling())
      if (n.type() == pugi::node_doctype) return Quick::no;
    return deliver(at) ? Quick::done : Quick::failed;
  }

  // References and NUL bytes in [from, to) of text or an attribute value.
  Fault checkText(size_t from, size_t to) const {
    const char* base = doc_.data();
    for (const char* a = static_cast<const char*>(std::memchr(base + from, '&', to - from)); a != nullptr;
         a = static_cast<const char*>(std::memchr(a + 1, '&', static_cast<size_t>(base + to - a - 1)))) {
      const auto why = badReference(std::string_view(a, std::min<size_t>(static_cast<size_t>(base + to - a), 64)));
      if (!why.empty()) return {static_cast<size_t>(a - base), why};
    }
    return {};
  }

  // Scans the content from p (depth levels inside the root, 0 for a single
  // omm root) to the first end of a top-level element past kChunk bytes,
  // the end of the root's content, or a fault; refs: check the references
  // in text and attribute values.
  Chunk scan(size_t p, int& depth, bool single, bool refs) {
    Chunk c;
    cuts_.clear();
    const size_t start = p;
    const int base = single ? 0 : 1;
    const auto cut = [&](size_t at) {
      cuts_.push_back(at);
      c.end = at;
    };
    c.end = start;
    size_t element = start;  // where the top-level element being scanned starts
    const char* data = doc_.data();
    const size_t n = doc_.size();
    for (;;) {
      const auto* lt = static_cast<const char*>(std::memchr(data + p, '<', n - p));
      const size_t t = lt == nullptr ? n : static_cast<size_t>(lt - data);
      if (refs && (c.fault = checkText(p, t))) return c;
      if (depth > base && t - element > kMaxElement) return c.fault = {element, kTooLong}, c;
      if (t + 1 >= n) return c.fault = {n, kTruncated}, c;
      const char k = data[t + 1];
      size_t next;
      if (k == '/') {
        const auto* gt = static_cast<const char*>(std::memchr(data + t, '>', n - t));
        if (gt == nullptr) return c.fault = {n, kTruncated}, c;
        next = static_cast<size_t>(gt - data) + 1;
        if (--depth < base) {
          c.contentEnd = t;
          return c;
        }
        if (depth == base) cut(next);
      } else if (k == '!' && doc_.compare(t, 4, "<!--") == 0) {
        next = skipTo(t + 4, "-->");
      } else if (k == '!' && doc_.compare(t, 9, "<![CDATA[") == 0) {
        next = skipTo(t + 9, "]]>");
      } else if (k == '?') {
        next = skipTo(t + 2, "?>");
      } else if (isNameChar(k)) {
        if (depth == base) element = t;
        if (++depth > kMaxDepth) return c.fault = {t, "XML nested too deep"}, c;
        const size_t gt = tagEnd(t);
        if (gt == std::string_view::npos) return c.fault = {n, kTruncated}, c;
        if (refs && (c.fault = checkText(t, gt))) return c;
        next = gt + 1;
        if (data[gt - 1] == '/' && --depth == base) cut(next);
      } else {
        return c.fault = {t, kInvalid}, c;
      }
      if (next == std::string_view::npos) return c.fault = {n, kTruncated}, c;
      if (depth > base && next - element > kMaxElement) return c.fault = {element, kTooLong}, c;
      p = next;
      if (single && depth == 0) {
        c.contentEnd = p;
        return c;
      }
      if (depth == base && c.end - start >= kChunk) return c;
    }
  }

  // Parses the chunk from start and reports its messages: up to the root's
  // content end or the last element end, or, with a fault, up to the last
  // element end before it.
  bool parse(size_t start, const Chunk& c) {
    size_t end = c.contentEnd != std::string_view::npos ? c.contentEnd : c.end;
    Fault fault = c.fault;
    if (const void* nul = std::memchr(doc_.data() + start, '\0', std::max(end, fault ? fault.at : 0) - start)) {
      const auto at = static_cast<size_t>(static_cast<const char*>(nul) - doc_.data());
      if (!fault || at < fault.at) fault = {at, kInvalid};
    }
    const auto before = [&](size_t at) {
      const auto it = std::upper_bound(cuts_.begin(), cuts_.end(), at);
      return it == cuts_.begin() ? start : *(it - 1);
    };
    if (fault) end = before(fault.at);
    pugi::xml_parse_result res = parseRange(start, end);
    if (!res) {
      const size_t at = start + static_cast<size_t>(res.offset);
      const std::string_view why = res.status == pugi::status_out_of_memory ? "no memory for the XML parser"
                                   : res.status == pugi::status_end_element_mismatch
                                       ? "not well-formed XML: mismatched tag"
                                       : kInvalid;
      if (!fault || at < fault.at) fault = {at, why};
      res = parseRange(start, before(at));
    }
    if (res && !deliver(start)) return false;
    if (fault) return fail(fault.at, fault.why);
    return true;
  }

  static constexpr unsigned kOptions =
      pugi::parse_fragment | pugi::parse_cdata | pugi::parse_escapes | pugi::parse_eol;

  pugi::xml_parse_result parseRange(size_t start, size_t end, unsigned options = kOptions) {
    buffer_.assign(doc_.data() + start, doc_.data() + end);
    if (buffer_.empty()) return dom_.load_string("", options);
    return dom_.load_buffer_inplace(buffer_.data(), buffer_.size(), options, pugi::encoding_utf8);
  }

  // Reports the messages of the parsed chunk at start; stops at an element
  // nested past the limit (the scan finds those before the parse; a chunk
  // read without it is checked here, where the walk goes and below what it
  // skips).
  bool deliver(size_t start) {
    deep_ = std::string_view::npos;
    for (pugi::xml_node n = dom_.first_child(); n; n = n.next_sibling()) {
      if (n.type() != pugi::node_element) continue;
      if (std::strcmp(n.name(), "omm") == 0)
        record(n, lines_.at(start + static_cast<size_t>(n.offset_debug())));
      else
        deepIn(n, base_ + 1);
      if (deep_ != std::string_view::npos) return fail(start + deep_, "XML nested too deep");
    }
    return true;
  }

  // Notes the first element of n's subtree (n at depth) nested past the limit.
  void deepIn(pugi::xml_node n, int depth) {
    if (depth > kMaxDepth) {
      deep_ = static_cast<size_t>(n.offset_debug());
      return;
    }
    pugi::xml_node cur = n.first_child();
    ++depth;
    while (cur) {
      if (cur.type() == pugi::node_element) {
        if (depth > kMaxDepth) {
          deep_ = static_cast<size_t>(cur.offset_debug());
          return;
        }
        if (pugi::xml_node child = cur.first_child()) {
          cur = child;
          ++depth;
          continue;
        }
      }
      while (!cur.next_sibling()) {
        cur = cur.parent();
        --depth;
        if (cur == n) return;
      }
      cur = cur.next_sibling();
    }
  }

  void record(pugi::xml_node omm, int32_t position) {
    text_.clear();
    values_.clear();
    why_.clear();
    for (pugi::xml_attribute a = omm.first_attribute(); a; a = a.next_attribute()) {
      if (std::strcmp(a.name(), "version") != 0) continue;
      const std::string_view version = a.value();
      if (version != "2.0" && version != "3.0")
        refuse("OMM version " + std::string(version) + " (versions 2.0 and 3.0 are read)");
      values_.push_back({Key::CCSDS_OMM_VERS, version.data(), 0, version.size()});
    }
    last_ = Key::kCount;
    walk(omm, base_ + 1);
    if (deep_ != std::string_view::npos) return;
    if (!why_.empty()) {
      sink_.bad(position, why_);
      return;
    }
    // The views are made only now: the text buffer may have moved while the
    // message was read.
    rec_.clear();
    rec_.position = position;
    for (const auto& v : values_) {
      const std::string_view s = trim({v.data != nullptr ? v.data : text_.data() + v.offset, v.length});
      rec_.set(v.key, s, s.empty());
    }
    sink_.record(rec_);
  }

  // The elements inside parent (at depth).
  void walk(pugi::xml_node parent, int depth) {
    for (pugi::xml_node n = parent.first_child(); n && deep_ == std::string_view::npos; n = n.next_sibling()) {
      if (n.type() != pugi::node_element) continue;
      Key key;
      const char* name = n.name();
      if (depth + 1 > kMaxDepth)
        deepIn(n, depth + 1);
      else if (name[0] >= 'A' && name[0] <= 'Z' && lookup(name, key))  // keywords are upper case
        value(n, key, depth + 1);
      else if (name[0] >= 'a' && name[0] <= 'z' && isStructure(name))
        walk(n, depth + 1);
      else  // COMMENT, userDefinedParameters, keywords not read
        deepIn(n, depth + 1);
    }
  }

  // The key of an element name. Messages of one document list their
  // keywords in the same order, so the key that followed the last one in
  // the message before is tried first.
  bool lookup(const char* name, Key& key) {
    const Key guess = next_[static_cast<size_t>(last_)];
    if (guess != Key::kCount) {
      const std::string_view g = keyName(guess);
      if (std::strncmp(name, g.data(), g.size()) == 0 && name[g.size()] == '\0') {
        key = last_ = guess;
        return true;
      }
    }
    if (!keyOf(name, key)) return false;
    next_[static_cast<size_t>(last_)] = key;
    last_ = key;
    return true;
  }

  // The text of a keyword element: one piece stays in the parse buffer,
  // several (text around comments or CDATA) are joined in text_.
  void value(pugi::xml_node el, Key key, int depth) {
    Value v{key, "", 0, 0};
    int pieces = 0;
    for (pugi::xml_node n = el.first_child(); n; n = n.next_sibling()) {
      const pugi::xml_node_type type = n.type();
      if (type == pugi::node_element) {
        refuse(std::string("an element inside ") + std::string(keyName(key)));
        deepIn(n, depth + 1);
        continue;
      }
      if (type != pugi::node_pcdata && type != pugi::node_cdata) continue;
      const std::string_view s = n.value();
      if (++pieces == 1) {
        v.data = s.data();
        v.length = s.size();
        continue;
      }
      if (pieces == 2) {
        v.offset = text_.size();
        text_.append(v.data, v.length);
        v.data = nullptr;
      }
      text_.append(s);
      v.length = text_.size() - v.offset;
    }
    values_.push_back(v);
  }

  void refuse(std::string why) {
    if (why_.empty()) why_ = std::move(why);
  }

  std::string_view doc_;
  OmmSink& sink_;
  Lines lines_;
  pugi::xml_document dom_;
  std::vector<char> buffer_;  // the chunk being parsed, in place
  std::array<Key, kKeyCount + 1> next_ = filled();  // the key seen after each key (kCount: the start)
  Key last_ = Key::kCount;
  int base_ = 0;  // the depth of the root's content: 1 in an ndm root, 0 for a single omm
  size_t deep_ = std::string_view::npos;  // offset in the chunk of an element nested too deep
  std::vector<size_t> cuts_;  // every end of a top-level element in the chunk
  OmmText rec_;
  std::string text_;  // values joined from several pieces
  std::vector<Value> values_;
  std::string why_;  // why the message being read is refused
  bool failed_ = false;
};

}  // namespace

bool readOmmXml(std::string_view doc, OmmSink& sink) {
  if (doc.find_first_not_of(kBlanks) == std::string_view::npos) {
    sink.bad(1, "an empty XML document");
    return false;
  }
  Reader reader(doc, sink);
  return reader.read();
}

}  // namespace vx::tle::omm
