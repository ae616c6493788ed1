// TLE input files: two passes over a file (file cards and the DMA card
// first, then the file's own element sets), maneuver cards handed to the
// element set they follow, and the totals line; and the save file.
#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <type_traits>
#include <system_error>

#include "Platform/kernix/core/Format.h"
#include "Services/kernix.h"
#include "Store/PendingCards.h"
#include "Tle/TleAdd.h"
#include "Tle/TleCardReading.h"
#include "Tle/TleTree.h"

namespace vx::tle {

// The reader's pending maneuver cards move into the record as they are.
static_assert(store::PendingCards::kMaxCards == kMaxMnvrCards &&
              std::is_same_v<store::PendingCards::Card, MnvrCard>);

namespace msg {
constexpr std::string_view kUnitFortN =
    "ReadTlesFrFileUnit: Using fort.n not allowed in Veltrix due to security risk";
constexpr std::string_view kOnlyFortN = "ReadOnlyTLEs: Using fort.n not allowed in Veltrix due to security risk";
constexpr std::string_view kOnlyNoMemory = "ReadOnlyTLEs: Memory allocation failed";
constexpr std::string_view kUnrecognizable = "ReadOnlyTLEs: Unrecognizable line1 '";
constexpr std::string_view kOrphan = "ReadOnlyTLEs: Line1 without its line2 (another line1 follows) '";
constexpr std::string_view kShortLine1 = "ReadOnlyTLEs: Line1 ends before column 61 '";
constexpr std::string_view kShortLine2 = "ReadOnlyTLEs: Line2 ends before column 63 '";
constexpr std::string_view kQuoteEnd = "'.";
constexpr std::string_view kUnitRewind = "ReadTlesFrFileUnit: Cannot rewind the input file";
constexpr std::string_view kReentered =
    "TleLoadFile: Cannot load a file while this thread is loading one (called from a log callback?)";
constexpr std::string_view kCannotWrite = "TleSaveFile: cannot write \"";
constexpr std::string_view kDroppedHead = "ReadOnlyTLEs: Dropped ";
constexpr std::string_view kDroppedTail = " maneuver cards beyond the 100 an element set holds.";
}  // namespace msg

namespace {

// Whether this thread is inside a load. A log callback runs on the thread
// that logs, so a callback that loads a file would otherwise wait for the
// lock its own thread holds, or take over the unit the load reads.
thread_local bool tl_loading = false;

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

bool isComment(const char* line) { return line[0] == '*'; }
bool isEmptyLine(const char* line) { return isblankornull(std::string_view(line, kCardLen)); }

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


}  // namespace

void readonlytles(int32_t unit, int32_t& loaded, int32_t& dup, int32_t& bad, int32_t& status) {
  if (existfortdotfileunit(unit)) {
    status = 2;
    tracelogerror(msg::kOnlyFortN);
    return;
  }
  status = 0;
  std::lock_guard<std::mutex> lock(cs_readonlytles());
  // The store's lookup index is rebuilt once at the end of the file.
  struct BulkAdd {
    BulkAdd() { tlestore().beginBulkAdd(); }
    ~BulkAdd() { tlestore().endBulkAdd(); }
  } bulk;

  char line[kCardLen];
  char line2[kCardLen];
  store::PendingCards cards(msg::kDroppedHead, msg::kDroppedTail);
  int64_t lastKey = 0;        // entry of the element set added last
  bool addedSinceHandOver = false;
  bool lastParsedWell = false;
  bool lineWaiting = false;   // line holds a line 1 that ended the search for a line 2
  auto handOver = [&] {
    if (addedSinceHandOver && cards.any() && lastKey != 0) {
      cards.handTo(lastKey, [](int64_t key, auto&& f) { return tlemodifyrec(key, f); });
      addedSinceHandOver = false;
    }
  };

  while (lineWaiting || filereadline(unit, line, kCardLen)) {
    lineWaiting = false;
    if (isComment(line) || isEmptyLine(line)) continue;
    const std::string_view text(line, kCardLen);
    if (ismaneuvcardtype(text)) {
      if (!cards.add(line)) {
        status = 2;
        tracelogerror(msg::kOnlyNoMemory);
        return;
      }
      continue;
    }
    TleAdded added;
    switch (tlecardtype(text)) {
      case kCardCsv:
        added = addtlefrcsv(text);
        break;
      case kCardLine1: {
        if (!tleline1usable(text)) {
          ++bad;
          LongLogLine().text(msg::kUnrecognizable).text(text).text(msg::kQuoteEnd).info();
          continue;
        }
        // Read on to the next line 2, past comments, empty lines, CSV lines
        // and maneuver cards. Another line 1 ends the search: this one has
        // lost its line 2, and that one starts a pair of its own. At the end
        // of the file the line 2 stays blank.
        std::memset(line2, ' ', kCardLen);
        int32_t cls = kCardOther;
        while (filereadline(unit, line2, kCardLen)) {
          if (isComment(line2) || isEmptyLine(line2)) continue;
          cls = tlecardtype(std::string_view(line2, kCardLen));
          if (cls == kCardLine2 || cls == kCardLine1) break;
        }
        if (cls == kCardLine1) {
          ++bad;
          lastParsedWell = false;
          logLine(msg::kOrphan, text);
          std::memcpy(line, line2, kCardLen);
          lineWaiting = true;
          continue;
        }
        if (cls != kCardLine2) std::memset(line2, ' ', kCardLen);
        handOver();
        added = addtlefrpair(text, std::string_view(line2, kCardLen), {msg::kShortLine1, msg::kShortLine2});
        break;
      }
      default:
        continue;
    }
    lastParsedWell = added.parsed;
    // An element set the store refuses (or a CSV set its checks refuse) is a
    // bad one.
    const int64_t key = added.key;
    if (key == 0) {
      ++dup;
    } else if (key == -1) {
      ++bad;
    } else {
      ++loaded;
      lastKey = key;
      addedSinceHandOver = true;
    }
  }
  if (lastParsedWell) handOver();
}

int32_t readtlesfrfileunit(int32_t unit, LoadCounts* counts) {
  LoadCounts local;
  LoadCounts& c = counts != nullptr ? *counts : local;
  c = LoadCounts{};
  if (existfortdotfileunit(unit)) {
    tracelogerror(msg::kUnitFortN);
    return 2;
  }
  int32_t &loaded = c.loaded, &dup = c.dup, &bad = c.bad;
  int32_t result = 0;
  // Two passes need a file that can go back to its start; a pipe cannot.
  if (filerewind(unit) != 0) {
    tracelogerror(msg::kUnitRewind);
    return 2;
  }

  // Pass 1: named files (read before the file's own element sets) and the
  // DMA card, which applies to everything read after this pass.
  std::string_view line;
  char name[kCardLen];
  while (filereadlineview(unit, line)) {
    // Comments and empty lines are no cards; only a few first letters can
    // begin one, so most lines are passed over at their first character.
    if (line.empty()) continue;
    const char first = static_cast<char>(line[0] & ~0x20);  // upper case of a letter
    if (first != 'V' && first != 'E' && first != 'S') continue;
    switch (firstPassClass(line)) {
      case kCardFile: {
        getinputfilename(line.substr(0, std::min(line.size(), kCardLen)), name, sizeof name);
        const int32_t rc = fileopen(kUnitNamedFile, std::string_view(name, sizeof name), kFileRead, "ReadTlesFrFileUnit");
        if (rc != 0) return rc;
        UnitCloser nested(kUnitNamedFile);
        readonlytles(kUnitNamedFile, loaded, dup, bad, result);
        const int32_t closed = nested.close();
        if (closed != 0 || result != 0) return result;
        break;
      }
      case kCardDma:
        elsetkeymodeset(1);
        break;
      default:
        break;
    }
  }

  // Pass 2: the file's own element sets.
  if (filerewind(unit) != 0) {
    tracelogerror(msg::kUnitRewind);
    return 2;
  }
  readonlytles(unit, loaded, dup, bad, result);

  LogLine()
      .text("Total TLEs = ")
      .num(int64_t{loaded} + dup + bad)
      .text(", Loaded = ")
      .num(loaded)
      .text(", Dup = ")
      .num(dup)
      .text(", Bad = ")
      .num(bad)
      .info();
  return result;
}

int32_t readtlesfrfile(std::string_view name, LoadCounts* counts) {
  if (counts != nullptr) *counts = LoadCounts{};
  if (tl_loading) {
    tracelogerror(msg::kReentered);
    return 2;
  }
  const int32_t rc = fileopen(kUnitHostFile, name, kFileRead, "TleLoadFile");
  if (rc != 0) return rc;
  struct Loading {
    Loading() { tl_loading = true; }
    ~Loading() { tl_loading = false; }
  } loading;
  UnitCloser input(kUnitHostFile);
  return readtlesfrfileunit(kUnitHostFile, counts);
}

int32_t savetlefile(std::string_view name, int32_t saveMode, int32_t saveForm) {
  const std::string_view file = trimmed(name);
  const int32_t rc = fileopen(kUnitSaveFile, file, saveMode == 0 ? kFileCreate : kFileAppend, "TleSaveFile");
  if (rc != 0) return rc;
  UnitCloser output(kUnitSaveFile);
  const WriteReport report = tlewritelines(kUnitSaveFile, saveForm);
  // Lines are buffered: a full disk may show only when the file is closed.
  const int32_t closed = output.close();
  const int32_t ioError = report.ioError != 0 ? report.ioError : closed;
  if (ioError != 0) {
    LongLogLine()
        .text(msg::kCannotWrite)
        .text(file)
        .text("\": ")
        .text(std::generic_category().message(ioError), true)
        .error();
    return 2;
  }
  return report.notWritten == 0 ? 0 : 2;
}

}  // namespace vx::tle
