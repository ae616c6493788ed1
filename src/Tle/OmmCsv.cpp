// CSV reader of OMM records: a header row of keywords in any order, then one
// record a row, values quoted as RFC 4180 has it (a doubled quote inside a
// quoted value, commas and line breaks inside quotes), rows ended by LF or
// CRLF. Values are views into the document; only a value with doubled
// quotes is copied, into a scratch buffer the reader reuses row after row.
#include <algorithm>
#include <string>
#include <vector>

#include "Tle/OmmText.h"

namespace vx::tle::omm {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

// One value of a row: where it lies in the document, or in the scratch
// buffer when doubled quotes had to be undone.
struct Cell {
  size_t begin = 0;
  size_t size = 0;
  bool inScratch = false;
  bool quoted = false;
};

class CsvReader {
 public:
  CsvReader(std::string_view doc, OmmSink& sink) : doc_(doc), sink_(sink) {
    if (doc_.starts_with(kBom)) pos_ = kBom.size();
  }

  bool run() {
    // The header: the first row that is not blank.
    Row row = Row::blank;
    int32_t at = 0;
    while (row == Row::blank) {
      at = line_;
      row = readRow();
    }
    if (row == Row::end) return true;
    if (row == Row::unclosed) return unclosed(at);
    if (row == Row::badText) {
      sink_.bad(at, "text after the closing quote of a value in the header");
      return false;
    }
    columns_.clear();
    for (const Cell& c : cells_) {
      Key k = Key::kCount;
      if (!keyOf(text(c), k)) k = Key::kCount;
      columns_.push_back(k);
    }
    OmmText rec;
    for (;;) {
      at = line_;
      row = readRow();
      switch (row) {
        case Row::end:
          return true;
        case Row::blank:
          continue;
        case Row::unclosed:
          return unclosed(at);
        case Row::badText:
          sink_.bad(at, "text after the closing quote of a value");
          continue;
        case Row::ok:
          break;
      }
      if (cells_.size() != columns_.size()) {
        sink_.bad(at, std::to_string(cells_.size()) + " values where the header names " +
                          std::to_string(columns_.size()) + " columns");
        continue;
      }
      rec.clear();
      rec.position = at;
      for (size_t i = 0; i < cells_.size(); ++i) {
        if (columns_[i] == Key::kCount) continue;
        // An empty value stands for a value not given, like an empty element.
        const std::string_view t = text(cells_[i]);
        rec.set(columns_[i], t, t.empty());
      }
      sink_.record(rec);
    }
  }

 private:
  enum class Row { ok, blank, end, unclosed, badText };

  bool unclosed(int32_t at) {
    sink_.bad(at, "a quoted value is not closed before the end of the document");
    return false;
  }

  std::string_view text(const Cell& c) const {
    return c.inScratch ? std::string_view(scratch_).substr(c.begin, c.size) : doc_.substr(c.begin, c.size);
  }

  // True at the end of a row: the end of the document, LF, or CR before LF
  // (or before the end).
  bool atRowEnd(size_t p) const {
    const size_t n = doc_.size();
    return p >= n || doc_[p] == '\n' || (doc_[p] == '\r' && (p + 1 == n || doc_[p + 1] == '\n'));
  }

  void countLines(size_t from, size_t to) {
    line_ += static_cast<int32_t>(std::count(doc_.begin() + static_cast<std::ptrdiff_t>(from),
                                             doc_.begin() + static_cast<std::ptrdiff_t>(to), '\n'));
  }

  // A quoted value from pos_ (at the opening quote); false when the
  // document ends inside it.
  bool readQuoted(Cell& c) {
    const size_t n = doc_.size();
    c.quoted = true;
    ++pos_;
    c.begin = pos_;
    for (;;) {
      const size_t q = doc_.find('"', pos_);
      if (q == std::string_view::npos) {
        countLines(pos_, n);
        pos_ = n;
        return false;
      }
      countLines(pos_, q);
      if (q + 1 < n && doc_[q + 1] == '"') {
        if (!c.inScratch) {
          c.inScratch = true;
          const size_t start = c.begin;
          c.begin = scratch_.size();
          scratch_.append(doc_.substr(start, pos_ - start));
        }
        scratch_.append(doc_.substr(pos_, q + 1 - pos_));
        pos_ = q + 2;
        continue;
      }
      if (c.inScratch) {
        scratch_.append(doc_.substr(pos_, q - pos_));
        c.size = scratch_.size() - c.begin;
      } else {
        c.size = q - c.begin;
      }
      pos_ = q + 1;
      return true;
    }
  }

  // Reads one row into cells_ and moves past its line end.
  Row readRow() {
    const size_t n = doc_.size();
    if (pos_ >= n) return Row::end;
    cells_.clear();
    scratch_.clear();
    bool badText = false;
    for (;;) {
      Cell c;
      if (pos_ < n && doc_[pos_] == '"') {
        if (!readQuoted(c)) return Row::unclosed;
        if (pos_ < n && doc_[pos_] != ',' && !atRowEnd(pos_)) {
          badText = true;
          while (pos_ < n && doc_[pos_] != ',' && !atRowEnd(pos_)) ++pos_;
        }
      } else {
        c.begin = pos_;
        while (pos_ < n) {
          const char ch = doc_[pos_];
          if (ch == ',' || ch == '\n' || (ch == '\r' && atRowEnd(pos_))) break;
          ++pos_;
        }
        c.size = pos_ - c.begin;
      }
      cells_.push_back(c);
      if (pos_ < n && doc_[pos_] == ',') {
        ++pos_;
        continue;
      }
      // The row's end: skip CR, LF.
      if (pos_ < n && doc_[pos_] == '\r') ++pos_;
      if (pos_ < n) {
        ++pos_;
        ++line_;
      }
      break;
    }
    if (badText) return Row::badText;
    if (cells_.size() == 1 && cells_[0].size == 0 && !cells_[0].quoted) return Row::blank;
    return Row::ok;
  }

  std::string_view doc_;
  OmmSink& sink_;
  size_t pos_ = 0;
  int32_t line_ = 1;
  std::vector<Cell> cells_;
  std::string scratch_;
  std::vector<Key> columns_;
};

}  // namespace

bool readOmmCsv(std::string_view doc, OmmSink& sink) { return CsvReader(doc, sink).run(); }

}  // namespace vx::tle::omm
