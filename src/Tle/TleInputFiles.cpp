// TLE input files: two passes over a file (file cards and the DMA card
// first, then the file's own element sets), maneuver cards handed to the
// element set they follow, and the totals line; and the save file.
#include <algorithm>
#include <cstring>
#include <mutex>
#include <type_traits>

#include "Services/kernix.h"
#include "Store/FileLoad.h"
#include "Store/PendingCards.h"
#include "Tle/TleAdd.h"
#include "Tle/TleArray.h"
#include "Tle/TleCardReading.h"
#include "Tle/TleTree.h"

namespace vx::tle {

// The reader's pending maneuver cards move into the record as they are.
static_assert(store::PendingCards::movesInto<MnvrCard, kMaxMnvrCards>());

namespace msg {
constexpr std::string_view kUnitReader = "ReadTlesFrFileUnit";
constexpr std::string_view kSetReader = "ReadOnlyTLEs";
constexpr std::string_view kUnrecognizable = "ReadOnlyTLEs: Unrecognizable line1 '";
constexpr std::string_view kOrphan = "ReadOnlyTLEs: Line1 without its line2 (another line1 follows) '";
constexpr std::string_view kShortLine1 = "ReadOnlyTLEs: Line1 ends before column 61 '";
constexpr std::string_view kShortLine2 = "ReadOnlyTLEs: Line2 ends before column 63 '";
constexpr std::string_view kQuoteEnd = "'.";
constexpr std::string_view kDroppedHead = "ReadOnlyTLEs: Dropped ";
constexpr std::string_view kDroppedTail = " maneuver cards beyond the 100 an element set holds.";
}  // namespace msg

namespace {

// Logs head + the line without its trailing blanks + "'." as information.
void logLine(std::string_view head, std::string_view line) {
  LongLogLine().text(head).text(rtrimmed(line)).text(msg::kQuoteEnd).info();
}

// Serialises whole file reads, so two loads never interleave their element
// sets. It does not protect the store, which has its own guard.
std::mutex& cs_readonlytles() {
  static std::mutex m;
  return m;
}

// Class of a line in the first pass, where only file cards and the DMA card
// matter. Keywords are accepted in any case; only the first columns are
// upper-cased, which decides exactly as classifying an upper-cased copy of
// the whole line would (no line 1, line 2 or CSV line begins with a letter
// of a keyword).
int32_t firstPassClass(std::string_view line) {
  char head[16];
  std::memset(head, ' ', sizeof head);
  std::memcpy(head, line.data(), std::min(line.size(), sizeof head));
  touppercase(head, sizeof head);
  const std::string_view h(head, sizeof head);
  for (std::string_view word : kFileCardKeywords)
    if (h.substr(0, word.size()) == word) return kCardFile;
  if (h.substr(0, kDmaCardKeyword.size()) == kDmaCardKeyword) return kCardDma;
  return kCardOther;
}

// Pairs the lines of a TLE input file into the element sets it holds:
// comments and empty lines skipped, maneuver cards kept as pending cards, a
// line 1 paired with the next line 2 (past every other kind of line; another
// line 1 ends the search, the first being an orphan), each set with the
// number of the line it begins on. Reads from any line source.
template <class Lines>
class TleLinePairer {
 public:
  enum class Kind { Pair, Csv, Unusable, Orphan, NoMemory, End };
  // text1 the line 1 or the CSV line; text2 the line 2, blank when the file
  // ended before one.
  using Item = store::PairedLines<Kind>;

  explicit TleLinePairer(Lines& src) : cards(msg::kDroppedHead, msg::kDroppedTail), src_(src) {}

  Item next() {
    while (waiting_ || src_.next(line_)) {
      if (!waiting_) lineNum_ = src_.lineNum();
      waiting_ = false;
      if (store::isCommentLine(line_) || store::isEmptyLine(line_)) continue;
      const std::string_view text(line_, kCardLen);
      if (ismaneuvcardtype(text)) {
        if (!cards.cards.add(line_)) return {Kind::NoMemory, lineNum_, text, {}};
        continue;
      }
      switch (tlecardtype(text)) {
        case kCardCsv:
          return {Kind::Csv, lineNum_, text, {}};
        case kCardLine1:
          if (!tleline1usable(text)) {
            LongLogLine().text(msg::kUnrecognizable).text(text).text(msg::kQuoteEnd).info();
            return {Kind::Unusable, lineNum_, text, {}};
          }
          return pairLine1();
        default:
          continue;
      }
    }
    return {};
  }

  store::CardHandOver cards;

 private:
  Item pairLine1() {
    const int32_t at = lineNum_;
    std::memset(line2_, ' ', kCardLen);
    int32_t cls = kCardOther;
    int32_t at2 = 0;
    while (src_.next(line2_)) {
      if (store::isCommentLine(line2_) || store::isEmptyLine(line2_)) continue;
      cls = tlecardtype(std::string_view(line2_, kCardLen));
      if (cls == kCardLine2 || cls == kCardLine1) break;
    }
    if (cls == kCardLine1) {
      logLine(msg::kOrphan, std::string_view(line_, kCardLen));
      // The line 1 that ended the search starts a pair of its own; the
      // orphan is reported first, from its own copy.
      std::memcpy(orphan_, line_, kCardLen);
      std::memcpy(line_, line2_, kCardLen);
      lineNum_ = src_.lineNum();
      waiting_ = true;
      return {Kind::Orphan, at, std::string_view(orphan_, kCardLen), {}};
    }
    if (cls == kCardLine2)
      at2 = src_.lineNum();
    else
      std::memset(line2_, ' ', kCardLen);
    return {Kind::Pair, at, std::string_view(line_, kCardLen), std::string_view(line2_, kCardLen), at2};
  }

  Lines& src_;
  char line_[kCardLen];
  char line2_[kCardLen];
  char orphan_[kCardLen];
  int32_t lineNum_ = 0;
  bool waiting_ = false;  // line_ holds a line 1 that ended the search for a line 2
};

// Reads the element sets of src in order and tells sink of each:
// sink.pair(lineNum, line1, line2) and sink.csv(lineNum, line) give what
// became of the set (lineNum the line it begins on),
// sink.added(cards, key) follows each set that got a key and
// sink.handOver(cards) comes where the pending maneuver cards go to the set
// before them. Counts each set and reports it; 0, or 2 when memory ran out.
template <class Lines, class Sink>
int32_t eachTleSet(Lines& src, store::LoadCounts& c, const store::SetReporter& report, Sink& sink) {
  TleLinePairer<Lines> pairer(src);
  bool lastParsedWell = false;
  for (;;) {
    using Kind = typename TleLinePairer<Lines>::Kind;
    const auto item = pairer.next();
    TleAdded added;
    switch (item.kind) {
      case Kind::End:
        if (lastParsedWell) sink.handOver(pairer.cards);
        return 0;
      case Kind::NoMemory:
        store::logNoMemory(msg::kSetReader);
        return 2;
      case Kind::Unusable:
        ++c.bad;
        report(item.lineNum, 0, -1);
        continue;
      case Kind::Orphan:
        ++c.bad;
        lastParsedWell = false;
        report(item.lineNum, 0, -1, true);
        continue;
      case Kind::Csv:
        added = sink.csv(item.lineNum, item.text1);
        break;
      case Kind::Pair:
        sink.handOver(pairer.cards);
        added = sink.pair(item.lineNum, item.text1, item.text2);
        break;
    }
    lastParsedWell = added.parsed;
    // An element set refused (a CSV set its checks refuse, or one the store
    // refuses) is a bad one.
    store::countAdd(c, added.key);
    if (added.key > 0) sink.added(pairer.cards, added.key);
    report(item.lineNum, item.lineNum2, added.key);
  }
}

// The sets go into the store, their maneuver cards with them.
struct StoreSink {
  static TleAdded pair(int32_t, std::string_view l1, std::string_view l2) {
    return addtlefrpair(l1, l2, {msg::kShortLine1, msg::kShortLine2});
  }
  static TleAdded csv(int32_t, std::string_view line) { return addtlefrcsv(line); }
  static void added(store::CardHandOver& cards, int64_t key) { cards.added(key); }
  static void handOver(store::CardHandOver& cards) {
    cards.handOver([](int64_t key, auto&& f) { return tlemodifyrec(key, f); });
  }
};

template <class Lines>
int32_t readTleSets(Lines& src, store::LoadCounts& c, const store::SetReporter& report) {
  store::FileReadBracket bracket(cs_readonlytles(), tlestore());
  StoreSink sink;
  return eachTleSet(src, c, report, sink);
}

// The checked sets go to rows of arrays, up to capacity rows; the store is
// not touched. Maneuver cards have no place in the array and stay behind.
struct ArraySink {
  ArraySink(double* v, int32_t* l, size_t cap) : values(v), lineNums(l), capacity(cap) {}
  double* values;
  int32_t* lineNums;
  size_t capacity;
  size_t rows = 0;
  Tlerecord rec;
  TleArray work;

  // A set taken counts as loaded (key 1), a refused one as bad.
  TleAdded row(bool good, int32_t lineNum) {
    if (!good) return {};
    if (rows < capacity) {
      tle2arrayvalues(rec, work);
      std::copy(work.begin(), work.end(), values + rows * kTleArrLen);
      if (lineNums != nullptr) lineNums[rows] = lineNum;
    }
    ++rows;
    return {1, true};
  }
  TleAdded pair(int32_t lineNum, std::string_view l1, std::string_view l2) {
    rec.reset();
    return row(readtlefrpair(l1, l2, {msg::kShortLine1, msg::kShortLine2}, rec), lineNum);
  }
  TleAdded csv(int32_t lineNum, std::string_view line) {
    rec.reset();
    return row(readtlefrcsv(line, rec) == 0, lineNum);
  }
  static void added(store::CardHandOver&, int64_t) {}
  static void handOver(store::CardHandOver&) {}
};

}  // namespace

void readonlytles(int32_t unit, store::LoadCounts& counts, int32_t& status, const store::SetReporter& report) {
  if (existfortdotfileunit(unit)) {
    status = 2;
    store::logFortN(msg::kSetReader);
    return;
  }
  store::UnitLines src(unit);
  status = readTleSets(src, counts, report);
}

int32_t readtlesfrtext(std::string_view text, store::LoadCounts& counts, const store::SetReporter& report) {
  store::TextLines src(text);
  return readTleSets(src, counts, report);
}

int32_t readtlesfrtexttoarrays(std::string_view text, size_t capacity, double* values, int32_t* lineNums,
                               store::LoadCounts& counts, const store::SetReporter& report) {
  store::TextLines src(text);
  ArraySink sink{values, lineNums, capacity};
  return eachTleSet(src, counts, report, sink);
}

int32_t readtlesfrfileunit(int32_t unit, LoadCounts* counts, const store::SetReporter& report) {
  store::LoadCounts local;
  store::LoadCounts& c = store::freshCounts(counts, local);
  if (!store::startTwoPasses(unit, msg::kUnitReader)) return 2;
  int32_t result = 0;

  // Pass 1: named files (read before the file's own element sets) and the
  // DMA card, which applies to everything read after this pass. Comments and
  // empty lines are no cards; only a few first letters can begin one.
  char name[kCardLen];
  int32_t openError = 0;
  bool stopped = false;  // a named file's read failed or its unit did not close
  store::forEachCardLine(unit, "VES", [&](std::string_view line) {
    switch (firstPassClass(line)) {
      case kCardFile: {
        getinputfilename(line.substr(0, std::min(line.size(), kCardLen)), name, sizeof name);
        openError = fileopen(kUnitNamedFile, std::string_view(name, sizeof name), kFileRead, "ReadTlesFrFileUnit");
        if (openError != 0) return false;
        UnitCloser nested(kUnitNamedFile);
        readonlytles(kUnitNamedFile, c, result, report);
        const int32_t closed = nested.close();
        stopped = closed != 0 || result != 0;
        return !stopped;
      }
      case kCardDma:
        elsetkeymodeset(1);
        return true;
      default:
        return true;
    }
  });
  if (openError != 0) return openError;
  if (stopped) return result;

  // Pass 2: the file's own element sets.
  if (!store::rewindForPass(unit, msg::kUnitReader)) return 2;
  readonlytles(unit, c, result, report);
  store::logTotals("Total TLEs = ", c);
  return result;
}

int32_t readtlesfrfile(std::string_view name, LoadCounts* counts, const store::SetReporter& report) {
  if (counts != nullptr) *counts = LoadCounts{};
  return store::loadHostFile<TleStore>(name, "TleLoadFile",
                                       [&](int32_t unit) { return readtlesfrfileunit(unit, counts, report); });
}

int32_t savetlefile(std::string_view name, int32_t saveMode, int32_t saveForm) {
  return store::saveToFile(name, saveMode, "TleSaveFile",
                           [&](int32_t unit) { return tlewritelines(unit, saveForm); });
}

}  // namespace vx::tle
