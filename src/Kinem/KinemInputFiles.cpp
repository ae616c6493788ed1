// State-vector input files: two passes over a file (file cards, the files
// of the outside orbit-determination system and the DMA card first, then the
// file's own card sets), maneuver cards handed to the vector they follow,
// and the totals line; and the save file.
#include "Kinem/KinemInputFiles.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <type_traits>
#include <system_error>
#include <vector>

#include "Kinem/KinemCardReading.h"
#include "Kinem/KinemColumns.h"
#include "Kinem/KinemLines.h"
#include "Kinem/KinemOpxFiles.h"
#include "Kinem/KinemTree.h"
#include "Services/kernix.h"
#include "Store/PendingCards.h"

namespace vx::kinem {

// The reader's pending maneuver cards move into the record as they are.
static_assert(store::PendingCards::kMaxCards == kMaxMnvrCards &&
              std::is_same_v<store::PendingCards::Card, MnvrCard>);

namespace msg {
constexpr std::string_view kUnitFortN =
    "ReadKinemsFrFileUnit: Using fort.n not allowed in Veltrix due to security risk";
constexpr std::string_view kOnlyFortN = "ReadOnlyKINEMs: Using fort.n not allowed in Veltrix due to security risk";
constexpr std::string_view kOnlyNoMemory = "ReadOnlyKINEMs: Memory allocation failed";
constexpr std::string_view kMissing1P = "ReadOnlyKINEMs: Missing 1P card in 1P/2P card set.";
constexpr std::string_view kOrphanNext1P = "ReadOnlyKINEMs: 1P card without its 2P card (another 1P card follows) '";
constexpr std::string_view kOrphanOther = "ReadOnlyKINEMs: 1P card without its 2P card (a card of another kind follows) '";
constexpr std::string_view kOrphanEnd = "ReadOnlyKINEMs: 1P card without its 2P card (the file ends) '";
constexpr std::string_view kQuoteEnd = "'.";
constexpr std::string_view kUnitRewind = "ReadKinemsFrFileUnit: Cannot rewind the input file";
constexpr std::string_view kReentered =
    "KinemLoadFile: Cannot load a file while this thread is loading one (called from a log callback?)";
constexpr std::string_view kCannotWrite = "KinemSaveFile: cannot write \"";
constexpr std::string_view kSaveHeader = "*** Orbital Elements - SP Vectors ***";
constexpr std::string_view kBlank1P = "the 1P card could not be written";
constexpr std::string_view kDroppedHead = "ReadOnlyKINEMs: Dropped ";
constexpr std::string_view kDroppedTail = " maneuver cards beyond the 100 a vector holds.";
}  // namespace msg

namespace {

// Columns of a saved card: the cards carry data in their first 80.
constexpr size_t kSavedCols = 80;

// Whether this thread is inside a load. A log callback runs on the thread
// that logs, so a callback that loads a file would otherwise wait for the
// lock its own thread holds, or take over the unit the load reads.
thread_local bool tl_loading = false;

// Serialises whole file reads, so two loads never interleave their card
// sets. It does not protect the store, which has its own guard.
std::mutex& cs_readonlykinems() {
  static std::mutex m;
  return m;
}

bool isComment(const char* line) { return line[0] == '*'; }
bool isEmptyLine(const char* line) { return isblankornull(std::string_view(line, kCardLen)); }

// Class of a line as the input files see it: keywords in any case. A line
// whose marks already read "B1P" or "2P" as written is that card in upper
// case too, so the cards, most of any file, are classed as they stand. The
// classifier looks no further than the card marks in columns 78-80 (the
// keywords are shorter), so only the card's 80 columns are upper-cased.
int32_t classify(const char* line) {
  static_assert(card1p::kMark.last <= kCardCols && card2p::kMark.last <= kCardCols);
  const int32_t asWritten = kinemcardtype(std::string_view(line, kCardCols));
  if (asWritten == kCard1P || asWritten == kCard2P) return asWritten;
  char upper[kCardCols];
  std::memcpy(upper, line, kCardCols);
  touppercase(upper, kCardCols);
  return kinemcardtype(std::string_view(upper, kCardCols));
}

// Whether the key of a parsed vector can be made: its epoch text read as
// the key-from-fields functions read one (left-adjusted, blanks after the
// first two characters taken as "0"), keyed as a state vector. The epoch is
// left-adjusted first because the cards carry it right-adjusted, and a
// shorter form such as "YYDDD.DDDDDDDD" would otherwise gain a leading "0"
// and no longer read. The record keeps its epoch as read. -1 (logged by the
// key maker) when no key can be made.
int64_t epochKey(const Kinemrecord& rec) { return fieldstosatkey(rec.satNum, rec.epoch()); }


// The 1P card waiting for its 2P card.
class Pending1P {
 public:
  void set(const char* line) {
    std::memcpy(line_, line, kCardLen);
    waiting_ = true;
    tried_ = false;
  }
  bool waiting() const { return waiting_; }
  std::string_view text() const { return {line_, kCardLen}; }
  // A 2P card was paired with it (whatever came of the pair).
  void tried() { tried_ = true; }
  void clear() { waiting_ = false; }
  // Ends the wait. A card that never met a 2P card is a card set of its own
  // that cannot be read: counted bad, with why.
  void drop(std::string_view why, int32_t& bad) {
    if (waiting_ && !tried_) {
      ++bad;
      LongLogLine().text(why).text(rtrimmed(text())).text(msg::kQuoteEnd).info();
    }
    waiting_ = false;
  }

 private:
  char line_[kCardLen];
  bool waiting_ = false;
  bool tried_ = false;
};

}  // namespace

void readonlykinems(std::string_view path, int32_t unit, int32_t& loaded, int32_t& dup, int32_t& bad,
                    int32_t& status) {
  if (existfortdotfileunit(unit)) {
    status = 2;
    tracelogerror(msg::kOnlyFortN);
    return;
  }
  status = 0;
  std::lock_guard<std::mutex> lock(cs_readonlykinems());
  // The store's lookup index is rebuilt once at the end of the file.
  struct BulkAdd {
    BulkAdd() { kinemstore().beginBulkAdd(); }
    ~BulkAdd() { kinemstore().endBulkAdd(); }
  } bulk;

  char line[kCardLen];
  store::PendingCards cards(msg::kDroppedHead, msg::kDroppedTail);
  Pending1P card1p;
  int64_t lastKey = 0;  // the vector added last
  bool addedSinceHandOver = false;
  bool lastParsedWell = false;

  auto handOver = [&] {
    if (addedSinceHandOver && cards.any() && lastKey != 0) {
      cards.handTo(lastKey, [](int64_t key, auto&& f) { return kinemmodifyrec(key, f); });
      addedSinceHandOver = false;
    }
  };

  bool more = true;
  while (more && filereadline(unit, line, kCardLen)) {
    if (isComment(line) || isEmptyLine(line)) continue;
    if (ismaneuvcardtype(std::string_view(line, kCardLen))) {
      if (!cards.add(line)) {
        status = 2;
        tracelogerror(msg::kOnlyNoMemory);
        return;
      }
      continue;
    }
    switch (classify(line)) {
      case kCard1P:
        card1p.drop(msg::kOrphanNext1P, bad);
        card1p.set(line);
        break;
      case kCard2P: {
        if (!card1p.waiting()) {
          ++bad;
          traceloginfo(msg::kMissing1P);
          break;
        }
        card1p.tried();
        handOver();
        Kinemrecord rec;
        lastParsedWell = lines2kinem(card1p.text(), std::string_view(line, kCardLen), rec) == 0;
        // The pending 1P card stays for a further 2P card unless the vector
        // is stored.
        // In tree mode the store makes the same key from the epoch as read
        // (a 17-character epoch that reads has no blank inside it) and
        // refuses the vector when it cannot: only DMA mode needs the check.
        if (!lastParsedWell || (effectivekeymode() == 1 && epochKey(rec) == -1)) {
          ++bad;
          break;
        }
        const int64_t key = addkinemtomemparsed(rec);
        if (key == 0) {
          ++dup;
        } else if (key == -1) {
          ++bad;  // refused by the store (logged there)
        } else {
          ++loaded;
          lastKey = key;
          addedSinceHandOver = true;
          card1p.clear();
        }
        break;
      }
      case kCardOpxState: {
        // The rest of the file is one vector in the outside system's form.
        card1p.drop(msg::kOrphanOther, bad);
        int64_t opxKey = 0;
        readopxkinems(unit, loaded, dup, bad, status, &opxKey);
        if (status == 0) {
          if (opxKey != 0) {
            lastKey = opxKey;
            addedSinceHandOver = true;
          } else if (lastKey != 0) {
            addedSinceHandOver = true;
          }
          handOver();
        }
        return;
      }
      case kCardOpxDcOnly:
        // The rest of the file holds the controls of a loaded vector whose
        // satellite number begins the file's name.
        card1p.drop(msg::kOrphanOther, bad);
        status = readopxctrlsforsat(getsatnumfrfilepath(path), unit, "ReadOnlyKINEMs");
        more = false;
        break;
      default:
        card1p.drop(msg::kOrphanOther, bad);
        break;
    }
  }
  card1p.drop(msg::kOrphanEnd, bad);
  if (status != 2 && lastParsedWell) handOver();
}

int32_t readkinemsfrfileunit(int32_t unit, std::string_view path) {
  if (existfortdotfileunit(unit)) {
    tracelogerror(msg::kUnitFortN);
    return 2;
  }
  int32_t loaded = 0, dup = 0, bad = 0, result = 0;
  // Two passes need a file that can go back to its start; a pipe cannot.
  if (filerewind(unit) != 0) {
    tracelogerror(msg::kUnitRewind);
    return 2;
  }

  // Pass 1: named files (read before the file's own card sets) and the DMA
  // card, which applies to everything read after this pass.
  std::string_view view;
  char line[kCardLen];
  char name[kCardLen];
  while (result == 0 && filereadlineview(unit, view)) {
    // Only a few first letters can begin a card this pass acts on, so most
    // lines are passed over at their first character.
    if (view.empty()) continue;
    const char first = static_cast<char>(view[0] & ~0x20);  // upper case of a letter
    if (first != 'V' && first != 'E' && first != 'S' && first != 'O') continue;
    std::memset(line, ' ', kCardLen);
    std::memcpy(line, view.data(), std::min(view.size(), kCardLen));
    const int32_t cls = classify(line);
    if (cls == kCardDma) {
      elsetkeymodeset(1);
      continue;
    }
    if (cls != kCardFile && cls != kCardOpxVecFile && cls != kCardOpxCtrlFile) continue;
    getinputfilename(std::string_view(line, kCardLen), name, sizeof name);
    const std::string_view named(name, sizeof name);
    const int32_t rc = fileopen(kUnitNamedFile, named, kFileRead, "ReadKinemsFrFileUnit");
    if (rc != 0) return rc;
    UnitCloser nested(kUnitNamedFile);
    if (cls == kCardFile)
      readonlykinems(named, kUnitNamedFile, loaded, dup, bad, result);
    else if (cls == kCardOpxVecFile)
      readopxkinems(kUnitNamedFile, loaded, dup, bad, result);
    else
      result = readopxctrlsforsat(getsatnumfrfilepath(named), kUnitNamedFile, "ReadKinemsFrFileUnit");
    if (nested.close() != 0) return result;
  }

  // Pass 2: the file's own card sets. A failure of pass 1 stays the result.
  if (filerewind(unit) != 0) {
    tracelogerror(msg::kUnitRewind);
    return 2;
  }
  int32_t own = 0;
  readonlykinems(path, unit, loaded, dup, bad, own);
  if (result == 0) result = own;

  LogLine()
      .text("Total Kinems = ")
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

int32_t readkinemsfrfile(std::string_view name) {
  if (tl_loading) {
    tracelogerror(msg::kReentered);
    return 2;
  }
  const int32_t rc = fileopen(kUnitHostFile, name, kFileRead, "KinemLoadFile");
  if (rc != 0) return rc;
  struct Loading {
    Loading() { tl_loading = true; }
    ~Loading() { tl_loading = false; }
  } loading;
  UnitCloser input(kUnitHostFile);
  return readkinemsfrfileunit(kUnitHostFile, name);
}

KinemWriteReport kinemwritelines(int32_t unit) {
  struct Loss {
    int64_t key;
    std::string_view why;
  };
  std::vector<Loss> losses;
  KinemWriteReport report;
  char a[kLineLen], b[kLineLen];
  auto write = [&](std::string_view text) {
    if (report.ioError == 0) report.ioError = filewriteline(unit, text);
  };
  {
    // The walk holds the store: a line that reached a log callback now could
    // call back into the store and wait for this very hold.
    LogDeferral quiet;
    kinemstore().forEachKeyedInOrder([&](int64_t key, const Kinemrecord& rec) {
      kinem2lines(rec, a, b);
      std::string_view why = isblankornull(std::string_view(a, kLineLen)) ? msg::kBlank1P : kinemlinesloss(rec, a, b);
      if (why.empty()) {
        write(rtrimmed(std::string_view(a, kSavedCols)));
        write(rtrimmed(std::string_view(b, kSavedCols)));
      } else {
        losses.push_back({key, why});
      }
    });
  }
  for (const Loss& l : losses) {
    LogLine().text("KinemWriteLines: Vector ").num(l.key, 19).text(" not written: ").text(l.why).error();
  }
  report.notWritten = static_cast<int32_t>(losses.size());
  return report;
}

int32_t savekinemfile(std::string_view name, int32_t saveMode) {
  const std::string_view file = trimmed(name);
  const int32_t rc = fileopen(kUnitSaveFile, file, saveMode == 0 ? kFileCreate : kFileAppend, "KinemSaveFile");
  if (rc != 0) return rc;
  UnitCloser output(kUnitSaveFile);
  // Three empty lines, then the header; every save writes them, an append
  // too. An empty line is "", never a null view: its address goes to the C
  // library's writer, which must not get null.
  int32_t headerError = 0;
  constexpr std::string_view kEmpty = "";
  for (std::string_view text : {kEmpty, kEmpty, kEmpty, msg::kSaveHeader})
    if (headerError == 0) headerError = filewriteline(kUnitSaveFile, text);
  const KinemWriteReport report =
      headerError == 0 ? kinemwritelines(kUnitSaveFile) : KinemWriteReport{headerError, 0};
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

}  // namespace vx::kinem
