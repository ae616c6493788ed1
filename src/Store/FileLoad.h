// The machinery every input-file loader and save file shares, written once
// for the element-set and the state-vector stores: the counts of a load, the
// sources of input lines (a file unit or text in memory) with their line
// numbers, the re-entry guard, the serialising lock and the bulk-add bracket
// of one file read, the totals line, the per-set report, and the save file
// with its list of records not written.
//
// Thread safety: a load holds its library's serialising lock for each file
// it reads; the store's own guard is taken inside the store's operations.
// A thread that is inside a load (a log callback or a per-set report called
// during it) is refused another load of the same library.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "Platform/kernix/core/Text.h"
#include "Store/PendingCards.h"
#include "Services/kernix.h"

namespace vx::store {

// Input lines are read into buffers of this length, blank-filled first.
inline constexpr size_t kInputLineLen = 512;

// The numbers of a load's totals line.
struct LoadCounts {
  int32_t loaded = 0;
  int32_t dup = 0;
  int32_t bad = 0;
  int64_t total() const { return int64_t{loaded} + dup + bad; }
};

// Copies counts to a host's out arguments, each of which may be null.
inline void putCounts(const LoadCounts& c, int32_t* loaded, int32_t* dup, int32_t* bad) {
  for (auto [out, n] : {std::pair{loaded, c.loaded}, std::pair{dup, c.dup}, std::pair{bad, c.bad}})
    if (out != nullptr) *out = n;
}

// What became of one set a loader read: the line it began on, the line of
// its second line or card (0 when it has none), its key (as of the store's
// add: > 0, 0 a reported duplicate, -1 a failure) and, for a set that was
// not loaded, the line that says why.
struct SetReport {
  int32_t lineNum = 0;
  int32_t lineNum2 = 0;
  int64_t key = -1;
  std::string_view why;
};
// Called for every set read, outside the store's holds; user is passed on.
using SetReportFn = void (*)(const SetReport& report, void* user);
struct SetReporter {
  SetReportFn fn = nullptr;
  void* user = nullptr;
  // Reports key for the set on lines lineNum and lineNum2; a set not loaded
  // takes its reason from the last line this thread logged of that kind.
  void operator()(int32_t lineNum, int32_t lineNum2, int64_t key, bool whyIsInfo = false) const {
    if (fn == nullptr) return;
    SetReport r;
    r.lineNum = lineNum;
    r.lineNum2 = lineNum2;
    r.key = key;
    if (key <= 0) r.why = whyIsInfo ? vx::lastinfomsg() : vx::lasterrmsg();
    fn(r, user);
  }
};

// Hands every report on to a host's function of the C interface,
// fn(lineNum, lineNum2, satKey, status, msg, msgLen, user): status 0 loaded, 1 a
// reported duplicate, 2 not loaded; msg the line that says why (a copy, so
// that the host may log in between), msgLen 0 for a set loaded.
template <class HostFn>
struct HostSetReport {
  HostFn fn;
  void* user;
  bool notLoadedOnly = false;  // told only of the sets not loaded
  static void call(const SetReport& r, void* self) {
    const auto* h = static_cast<const HostSetReport*>(self);
    if (h->notLoadedOnly && r.key > 0) return;
    char why[vx::LongLogLine::kLen];
    const size_t n = std::min(r.why.size(), sizeof why);
    if (n > 0) std::memcpy(why, r.why.data(), n);
    const int32_t status = r.key > 0 ? 0 : r.key == 0 ? 1 : 2;
    h->fn(r.lineNum, r.lineNum2, r.key, status, why, static_cast<int32_t>(n), h->user);
  }
  SetReporter reporter() const { return {fn != nullptr ? &call : nullptr, const_cast<HostSetReport*>(this)}; }
};

// Lines of an open unit, each in a buffer of kInputLineLen characters: a
// longer line is cut, a shorter one padded with blanks.
class UnitLines {
 public:
  explicit UnitLines(int32_t unit) : unit_(unit) {}
  bool next(char* line) {
    if (!vx::filereadline(unit_, line, kInputLineLen)) return false;
    ++lineNum_;
    return true;
  }
  int32_t lineNum() const { return lineNum_; }
  int32_t unit() const { return unit_; }

 private:
  int32_t unit_;
  int32_t lineNum_ = 0;
};

// The same over text in memory, line by line as a file unit gives them (a
// carriage return that ends a line is not part of it).
class TextLines {
 public:
  explicit TextLines(std::string_view text) : text_(text) {}
  bool next(char* line) {
    if (pos_ >= text_.size()) return false;
    const size_t nl = text_.find('\n', pos_);
    const size_t end = nl == std::string_view::npos ? text_.size() : nl;
    size_t n = end - pos_;
    if (n > 0 && text_[end - 1] == '\r') --n;
    std::memset(line, ' ', kInputLineLen);
    std::memcpy(line, text_.data() + pos_, std::min(n, kInputLineLen));
    pos_ = nl == std::string_view::npos ? text_.size() : nl + 1;
    ++lineNum_;
    return true;
  }
  int32_t lineNum() const { return lineNum_; }

 private:
  std::string_view text_;
  size_t pos_ = 0;
  int32_t lineNum_ = 0;
};

// One set a line pairer found: its kind, the line it begins on, its one or
// two lines (as long as the pairer's next call) and the line the second is
// on (0 without one).
template <class Kind>
struct PairedLines {
  Kind kind = Kind::End;
  int32_t lineNum = 0;
  std::string_view text1;
  std::string_view text2;
  int32_t lineNum2 = 0;
};

inline bool isCommentLine(const char* line) { return line[0] == '*'; }
inline bool isEmptyLine(const char* line) { return vx::isblankornull(std::string_view(line, kInputLineLen)); }

// Whether this thread is inside a load of the library Tag. A log callback
// runs on the thread that logs, so a callback that loads a file would
// otherwise wait for the lock its own thread holds, or take over the unit
// the load reads.
template <class Tag>
struct LoadingFlag {
  static inline thread_local bool loading = false;
};

// The lines every reader writes, headed by the name of the routine that
// writes them.
inline void logFortN(std::string_view routine) {
  vx::LongLogLine().text(routine).text(": Using fort.n not allowed in Veltrix due to security risk").error();
}
inline void logNoMemory(std::string_view routine) {
  vx::LongLogLine().text(routine).text(": Memory allocation failed").error();
}
inline void logNoRewind(std::string_view routine) {
  vx::LongLogLine().text(routine).text(": Cannot rewind the input file").error();
}

// The checks before the first pass of a two-pass read of unit: false
// (logged under routine) for a unit attached to a "fort.n" file, or one
// that cannot go back to its start (a pipe cannot).
inline bool rewindForPass(int32_t unit, std::string_view routine) {
  if (vx::filerewind(unit) == 0) return true;
  logNoRewind(routine);
  return false;
}
inline bool startTwoPasses(int32_t unit, std::string_view routine) {
  if (vx::existfortdotfileunit(unit)) {
    logFortN(routine);
    return false;
  }
  return rewindForPass(unit, routine);
}

// The counts a read adds to: the caller's, or local when it gave none; zeroed.
inline LoadCounts& freshCounts(LoadCounts* given, LoadCounts& local) {
  LoadCounts& c = given != nullptr ? *given : local;
  c = LoadCounts{};
  return c;
}

// Opens the host's file on its unit and runs read(unit) inside the re-entry
// guard: 0 or read's result; 2 (logged under opener, the exported load's
// name) for a thread inside a load; the error code of fileopen.
template <class Tag, class Read>
int32_t loadHostFile(std::string_view name, std::string_view opener, Read&& read) {
  if (LoadingFlag<Tag>::loading) {
    vx::LongLogLine()
        .text(opener)
        .text(": Cannot load a file while this thread is loading one (called from a log callback?)")
        .error();
    return 2;
  }
  const int32_t rc = vx::fileopen(vx::kUnitHostFile, name, vx::kFileRead, opener);
  if (rc != 0) return rc;
  struct Loading {
    Loading() { LoadingFlag<Tag>::loading = true; }
    ~Loading() { LoadingFlag<Tag>::loading = false; }
  } loading;
  vx::UnitCloser input(vx::kUnitHostFile);
  return read(vx::kUnitHostFile);
}

// One file read: serialised with every other read of the library (the
// mutex), the store's lookup index rebuilt once at its end.
template <class Store>
class FileReadBracket {
 public:
  FileReadBracket(std::mutex& m, Store& store) : lock_(m), store_(store) { store_.beginBulkAdd(); }
  ~FileReadBracket() { store_.endBulkAdd(); }
  FileReadBracket(const FileReadBracket&) = delete;
  FileReadBracket& operator=(const FileReadBracket&) = delete;

 private:
  std::lock_guard<std::mutex> lock_;
  Store& store_;
};

// A reader's pending maneuver cards and the record they go to: the one added
// last, once a record has been added since the last hand-over.
class CardHandOver {
 public:
  CardHandOver(std::string_view droppedHead, std::string_view droppedTail) : cards(droppedHead, droppedTail) {}
  void added(int64_t key) {
    lastKey_ = key;
    addedSince_ = true;
  }
  // Counts the record added last as added again (its cards still to come).
  void addedAgain() {
    if (lastKey_ != 0) addedSince_ = true;
  }
  // modify(key, f) is the store's one-step change.
  template <class Modify>
  void handOver(Modify&& modify) {
    if (addedSince_ && cards.any() && lastKey_ != 0) {
      cards.handTo(lastKey_, modify);
      addedSince_ = false;
    }
  }
  PendingCards cards;

 private:
  int64_t lastKey_ = 0;
  bool addedSince_ = false;
};

// Counts the outcome of one store add.
inline void countAdd(LoadCounts& c, int64_t key) {
  if (key == 0)
    ++c.dup;
  else if (key == -1)
    ++c.bad;
  else
    ++c.loaded;
}

// "<head><total>, Loaded = <n>, Dup = <n>, Bad = <n>" as information.
inline void logTotals(std::string_view head, const LoadCounts& c) {
  vx::LogLine()
      .text(head)
      .num(c.total())
      .text(", Loaded = ")
      .num(c.loaded)
      .text(", Dup = ")
      .num(c.dup)
      .text(", Bad = ")
      .num(c.bad)
      .info();
}

// Pass 1 over an open unit: calls card(line) for each line whose first
// character (upper-cased) is one of firsts; most lines are passed over at it.
// Stops when card returns false. false when the unit cannot go back to its
// start (a pipe cannot).
template <class Card>
void forEachCardLine(int32_t unit, std::string_view firsts, Card&& card) {
  std::string_view line;
  while (vx::filereadlineview(unit, line)) {
    if (line.empty()) continue;
    const char first = static_cast<char>(line[0] & ~0x20);  // upper case of a letter
    if (firsts.find(first) == std::string_view::npos) continue;
    if (!card(line)) return;
  }
}

// What a save wrote: the error code of the first write that failed (later
// lines are not tried), 0 if none, and the number of records not written.
struct WriteReport {
  int32_t ioError = 0;
  int32_t notWritten = 0;
};

// The element sets a save formats under one read hold of the store before
// it writes them with the hold released: a writer waits for at most one
// such chunk, never for the file.
inline constexpr size_t kSaveChunkSets = 1024;

// Formats every record of store in ascending key order and hands its lines
// on: lines(rec, write) writes the record's lines through write(text) and
// returns why the record cannot be written faithfully (then nothing of it is
// written), or "". emit(line) gets each line once the hold it was formatted
// under is released, and returns false to take no more lines (a failed
// write); the walk still goes on, to name every record that cannot be
// written. Each such record is logged "<lossHead><key> not written: <why>"
// once the walk is over; their number is returned. The store is walked in
// chunks of kSaveChunkSets keys, each formatted under a read hold: a record
// present for the whole walk is emitted once; one added or removed meanwhile
// may or may not be.
template <class Store, class Lines, class Emit>
int32_t formatAllLines(Store& store, std::string_view lossHead, Lines&& lines, Emit&& emit) {
  struct Loss {
    int64_t key;
    std::string_view why;
  };
  std::vector<Loss> losses;
  bool taking = true;
  std::string text;          // the chunk's lines, one after another
  std::vector<size_t> ends;  // where each line ends in text
  auto keep = [&](std::string_view line) {
    if (!taking) return;
    text.append(line);
    ends.push_back(text.size());
  };
  int64_t after = Store::kBeforeFirstKey;
  for (bool done = false; !done;) {
    text.clear();
    ends.clear();
    {
      // The walk holds the store: a line that reached a log callback now
      // could call back into the store and wait for this very hold.
      vx::LogDeferral quiet;
      const auto step = store.forEachKeyedFrom(after, kSaveChunkSets, [&](int64_t key, const auto& rec) {
        const std::string_view why = lines(rec, keep);
        if (!why.empty()) losses.push_back({key, why});
      });
      after = step.lastKey;
      done = step.done;
    }
    size_t begin = 0;
    for (size_t end : ends) {
      if (!taking) break;
      taking = emit(std::string_view(text).substr(begin, end - begin));
      begin = end;
    }
  }
  for (const Loss& l : losses) vx::LogLine().text(lossHead).num(l.key, 19).text(" not written: ").text(l.why).error();
  return static_cast<int32_t>(losses.size());
}

// The same written to unit, a line each: ioError is the error code of the
// first write that failed (later lines are not tried).
template <class Store, class Lines>
WriteReport writeAllLines(Store& store, int32_t unit, std::string_view lossHead, Lines&& lines) {
  WriteReport report;
  report.notWritten = formatAllLines(store, lossHead, lines, [&](std::string_view line) {
    report.ioError = vx::filewriteline(unit, line);
    return report.ioError == 0;
  });
  return report;
}

// Opens the save file (saveMode 0 creates or replaces it, other values
// append), runs write(unit) -> WriteReport and closes it. 0; the error code
// of fileopen; 2 when a line cannot be written or the file cannot be closed
// cleanly ("<opener>: cannot write \"<file>\": <reason>"), or when a record
// could not be written faithfully.
template <class Write>
int32_t saveToFile(std::string_view name, int32_t saveMode, std::string_view opener, Write&& write) {
  const std::string_view file = vx::trimmed(name);
  const int32_t rc = vx::fileopen(vx::kUnitSaveFile, file, saveMode == 0 ? vx::kFileCreate : vx::kFileAppend, opener);
  if (rc != 0) return rc;
  vx::UnitCloser output(vx::kUnitSaveFile);
  const WriteReport report = write(vx::kUnitSaveFile);
  // Lines are buffered: a full disk may show only when the file is closed.
  const int32_t closed = output.close();
  const int32_t ioError = report.ioError != 0 ? report.ioError : closed;
  if (ioError != 0) {
    vx::LongLogLine()
        .text(opener)
        .text(": cannot write \"")
        .text(file)
        .text("\": ")
        .text(std::generic_category().message(ioError), true)
        .error();
    return 2;
  }
  return report.notWritten == 0 ? 0 : 2;
}

}  // namespace vx::store
