// State-vector input files: two passes over a file (file cards, the files
// of the outside orbit-determination system and the DMA card first, then the
// file's own card sets), maneuver cards handed to the vector they follow,
// and the totals line; and the save file.
#include "Kinem/KinemInputFiles.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <type_traits>

#include "Kinem/KinemCardReading.h"
#include "Kinem/KinemColumns.h"
#include "Kinem/KinemLines.h"
#include "Kinem/KinemOpxFiles.h"
#include "Kinem/KinemTree.h"
#include "Services/kernix.h"
#include "Store/FileLoad.h"
#include "Store/PendingCards.h"

namespace vx::kinem {

// The reader's pending maneuver cards move into the record as they are.
static_assert(store::PendingCards::movesInto<MnvrCard, kMaxMnvrCards>());

namespace msg {
constexpr std::string_view kUnitReader = "ReadKinemsFrFileUnit";
constexpr std::string_view kSetReader = "ReadOnlyKINEMs";
constexpr std::string_view kMissing1P = "ReadOnlyKINEMs: Missing 1P card in 1P/2P card set.";
constexpr std::string_view kOrphanNext1P = "ReadOnlyKINEMs: 1P card without its 2P card (another 1P card follows) '";
constexpr std::string_view kOrphanOther = "ReadOnlyKINEMs: 1P card without its 2P card (a card of another kind follows) '";
constexpr std::string_view kOrphanEnd = "ReadOnlyKINEMs: 1P card without its 2P card (the file ends) '";
constexpr std::string_view kQuoteEnd = "'.";
constexpr std::string_view kSaveHeader = "*** Orbital Elements - SP Vectors ***";
constexpr std::string_view kBlank1P = "the 1P card could not be written";
constexpr std::string_view kDroppedHead = "ReadOnlyKINEMs: Dropped ";
constexpr std::string_view kDroppedTail = " maneuver cards beyond the 100 a vector holds.";
}  // namespace msg

namespace {

// Columns of a saved card: the cards carry data in their first 80.
constexpr size_t kSavedCols = 80;

// Serialises whole file reads, so two loads never interleave their card
// sets. It does not protect the store, which has its own guard.
std::mutex& cs_readonlykinems() {
  static std::mutex m;
  return m;
}

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


// Pairs the cards of a state-vector input file into the card sets it holds:
// comments and empty lines skipped, maneuver cards kept as pending cards, a
// 1P card paired with the 2P card that follows it (it stays for a further 2P
// card until a vector is stored from it), each set with the number of the
// line its 1P card is on. A 1P card that never meets a 2P card is a set of
// its own that cannot be read: counted bad, logged with why, and reported.
// Reads from any line source.
template <class Lines>
class KinemCardPairer {
 public:
  enum class Kind { Pair, Missing1P, OpxState, OpxDcOnly, NoMemory, End };
  // text1 the 1P card, text2 the 2P card.
  using Item = store::PairedLines<Kind>;

  KinemCardPairer(Lines& src, store::LoadCounts& c, const store::SetReporter& report)
      : cards(msg::kDroppedHead, msg::kDroppedTail), src_(src), counts_(c), report_(report) {}

  Item next() {
    while (src_.next(line_)) {
      if (store::isCommentLine(line_) || store::isEmptyLine(line_)) continue;
      if (ismaneuvcardtype(std::string_view(line_, kCardLen))) {
        if (!cards.cards.add(line_)) return {Kind::NoMemory, src_.lineNum(), {}, {}};
        continue;
      }
      switch (classify(line_)) {
        case kCard1P:
          drop(msg::kOrphanNext1P);
          std::memcpy(card1p_, line_, kCardLen);
          at_ = src_.lineNum();
          waiting_ = true;
          tried_ = false;
          continue;
        case kCard2P:
          if (!waiting_) return {Kind::Missing1P, src_.lineNum(), {}, {}};
          tried_ = true;
          return {Kind::Pair, at_, std::string_view(card1p_, kCardLen), std::string_view(line_, kCardLen), src_.lineNum()};
        case kCardOpxState:
          drop(msg::kOrphanOther);
          return {Kind::OpxState, src_.lineNum(), {}, {}};
        case kCardOpxDcOnly:
          drop(msg::kOrphanOther);
          return {Kind::OpxDcOnly, src_.lineNum(), {}, {}};
        default:
          drop(msg::kOrphanOther);
          continue;
      }
    }
    return {};
  }
  // A vector was stored from the waiting 1P card.
  void stored() { waiting_ = false; }
  // Ends the wait for a 2P card: the file ends.
  void end() { drop(msg::kOrphanEnd); }

  store::CardHandOver cards;

 private:
  void drop(std::string_view why) {
    if (waiting_ && !tried_) {
      ++counts_.bad;
      LongLogLine().text(why).text(rtrimmed(std::string_view(card1p_, kCardLen))).text(msg::kQuoteEnd).info();
      report_(at_, 0, -1, true);
    }
    waiting_ = false;
  }

  Lines& src_;
  store::LoadCounts& counts_;
  const store::SetReporter& report_;
  char line_[kCardLen];
  char card1p_[kCardLen];
  int32_t at_ = 0;
  bool waiting_ = false;
  bool tried_ = false;  // a 2P card was paired with it (whatever came of the pair)
};

template <class Lines>
int32_t readKinemSets(std::string_view path, Lines& src, store::LoadCounts& c, const store::SetReporter& report) {
  store::FileReadBracket bracket(cs_readonlykinems(), kinemstore());
  KinemCardPairer<Lines> pairer(src, c, report);
  auto modify = [](int64_t key, auto&& f) { return kinemmodifyrec(key, f); };
  using Kind = typename KinemCardPairer<Lines>::Kind;
  int32_t status = 0;
  bool lastParsedWell = false;
  for (bool more = true; more;) {
    const auto item = pairer.next();
    switch (item.kind) {
      case Kind::End:
        more = false;
        break;
      case Kind::NoMemory:
        store::logNoMemory(msg::kSetReader);
        return 2;
      case Kind::Missing1P:
        ++c.bad;
        traceloginfo(msg::kMissing1P);
        report(item.lineNum, item.lineNum, -1, true);
        break;
      case Kind::Pair: {
        pairer.cards.handOver(modify);
        Kinemrecord rec;
        lastParsedWell = lines2kinem(item.text1, item.text2, rec) == 0;
        // In tree mode the store makes the same key from the epoch as read
        // (a 17-character epoch that reads has no blank inside it) and
        // refuses the vector when it cannot: only DMA mode needs the check.
        if (!lastParsedWell || (effectivekeymode() == 1 && epochKey(rec) == -1)) {
          ++c.bad;
          report(item.lineNum, item.lineNum2, -1);
          break;
        }
        const int64_t key = addkinemtomemparsed(rec);
        store::countAdd(c, key);  // a refusal of the store is logged there
        if (key > 0) {
          pairer.cards.added(key);
          pairer.stored();
        }
        report(item.lineNum, item.lineNum2, key);
        break;
      }
      case Kind::OpxState:
        // The rest of the file is one vector in the outside system's form;
        // only a file unit carries one.
        if constexpr (std::is_same_v<Lines, store::UnitLines>) {
          int64_t opxKey = 0;
          readopxkinems(src.unit(), c.loaded, c.dup, c.bad, status, &opxKey, path);
          if (status == 0) {
            if (opxKey != 0)
              pairer.cards.added(opxKey);
            else
              pairer.cards.addedAgain();
            pairer.cards.handOver(modify);
          }
        }
        return status;
      case Kind::OpxDcOnly:
        // The rest of the file holds the controls of a loaded vector whose
        // satellite number begins the file's name.
        if constexpr (std::is_same_v<Lines, store::UnitLines>)
          status = readopxctrlsforsat(getsatnumfrfilepath(path), src.unit(), "ReadOnlyKINEMs");
        more = false;
        break;
    }
  }
  pairer.end();
  if (status != 2 && lastParsedWell) pairer.cards.handOver(modify);
  return status;
}

}  // namespace

void readonlykinems(std::string_view path, int32_t unit, store::LoadCounts& counts, int32_t& status,
                    const store::SetReporter& report) {
  if (existfortdotfileunit(unit)) {
    status = 2;
    store::logFortN(msg::kSetReader);
    return;
  }
  store::UnitLines src(unit);
  status = readKinemSets(path, src, counts, report);
}

int32_t readkinemsfrtext(std::string_view text, store::LoadCounts& counts, const store::SetReporter& report) {
  store::TextLines src(text);
  return readKinemSets({}, src, counts, report);
}

int32_t readkinemsfrfileunit(int32_t unit, std::string_view path, store::LoadCounts* counts,
                             const store::SetReporter& report) {
  store::LoadCounts local;
  store::LoadCounts& c = store::freshCounts(counts, local);
  if (!store::startTwoPasses(unit, msg::kUnitReader)) return 2;
  int32_t result = 0;

  // Pass 1: named files (read before the file's own card sets) and the DMA
  // card, which applies to everything read after this pass. Only a few first
  // letters can begin a card this pass acts on.
  char line[kCardLen];
  char name[kCardLen];
  int32_t openError = 0;
  bool closeFailed = false;
  store::forEachCardLine(unit, "VESO", [&](std::string_view view) {
    std::memset(line, ' ', kCardLen);
    std::memcpy(line, view.data(), std::min(view.size(), kCardLen));
    const int32_t cls = classify(line);
    if (cls == kCardDma) {
      elsetkeymodeset(1);
      return true;
    }
    if (cls != kCardFile && cls != kCardOpxVecFile && cls != kCardOpxCtrlFile) return true;
    getinputfilename(std::string_view(line, kCardLen), name, sizeof name);
    const std::string_view named(name, sizeof name);
    openError = fileopen(kUnitNamedFile, named, kFileRead, "ReadKinemsFrFileUnit");
    if (openError != 0) return false;
    UnitCloser nested(kUnitNamedFile);
    if (cls == kCardFile)
      readonlykinems(named, kUnitNamedFile, c, result, report);
    else if (cls == kCardOpxVecFile)
      readopxkinems(kUnitNamedFile, c.loaded, c.dup, c.bad, result, nullptr, named);
    else
      result = readopxctrlsforsat(getsatnumfrfilepath(named), kUnitNamedFile, "ReadKinemsFrFileUnit");
    closeFailed = nested.close() != 0;
    return !closeFailed && result == 0;
  });
  if (openError != 0) return openError;
  if (closeFailed) return result;

  // Pass 2: the file's own card sets. A failure of pass 1 stays the result.
  if (!store::rewindForPass(unit, msg::kUnitReader)) return 2;
  int32_t own = 0;
  readonlykinems(path, unit, c, own, report);
  if (result == 0) result = own;
  store::logTotals("Total Kinems = ", c);
  return result;
}

int32_t readkinemsfrfile(std::string_view name, store::LoadCounts* counts, const store::SetReporter& report) {
  if (counts != nullptr) *counts = store::LoadCounts{};
  return store::loadHostFile<KinemStore>(name, "KinemLoadFile",
                                         [&](int32_t unit) { return readkinemsfrfileunit(unit, name, counts, report); });
}

KinemWriteReport kinemwritelines(int32_t unit) {
  char a[kLineLen], b[kLineLen];
  return store::writeAllLines(kinemstore(), unit, "KinemWriteLines: Vector ", [&](const Kinemrecord& rec, auto&& write) {
    kinem2lines(rec, a, b);
    const std::string_view why =
        isblankornull(std::string_view(a, kLineLen)) ? msg::kBlank1P : kinemlinesloss(rec, a, b);
    if (why.empty()) {
      write(rtrimmed(std::string_view(a, kSavedCols)));
      write(rtrimmed(std::string_view(b, kSavedCols)));
    }
    return why;
  });
}

int32_t savekinemfile(std::string_view name, int32_t saveMode) {
  return store::saveToFile(name, saveMode, "KinemSaveFile", [](int32_t unit) {
    // Three empty lines, then the header; every save writes them, an append
    // too. An empty line is "", never a null view: its address goes to the C
    // library's writer, which must not get null.
    constexpr std::string_view kEmpty = "";
    for (std::string_view text : {kEmpty, kEmpty, kEmpty, msg::kSaveHeader})
      if (const int32_t e = filewriteline(unit, text); e != 0) return KinemWriteReport{e, 0};
    return kinemwritelines(unit);
  });
}

}  // namespace vx::kinem
