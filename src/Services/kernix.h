// What the Veltrix libraries call from the base library kernix.
//
// Two kinds of service live here:
//  - stateless text and number helpers (Platform/kernix/core), compiled into
//    every library that uses them so that parsers never cross a library
//    boundary per field;
//  - stateful services (trace log, file units, key-mode switches, the DMA
//    registry), which exist once per process inside libkernix.so and are
//    exported from it with VX_API.
//
// Texts are fixed-length and blank padded: an input text is a string_view
// whose size is the declared length; an output text is a char buffer of the
// stated length that the routine fills completely.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "Platform/kernix/core/Format.h"
#include "Platform/kernix/core/Text.h"
#include "veltrix/kernix.h"

namespace vx {

// ---- Trace log (stateful) --------------------------------------------------
// One error or information line. The line goes to the open log file and the
// callback, if any, and becomes this thread's last error / information text.
VX_API void tracelogerror(std::string_view msg);
VX_API void traceloginfo(std::string_view msg);
// The calling thread's last error / information line (empty if none).
VX_API std::string_view lasterrmsg();
VX_API std::string_view lastinfomsg();

// Holds this thread's log lines back from the log file and the callback
// until the outermost deferral ends, then hands them over in order. For code
// that must log while it holds a store's guard: a callback may call back into
// the store, which would wait for that very guard. The last messages are set
// at once all the same.
VX_API void logdeferbegin();
VX_API void logdeferend();
class LogDeferral {
 public:
  LogDeferral() { logdeferbegin(); }
  ~LogDeferral() { logdeferend(); }
  LogDeferral(const LogDeferral&) = delete;
  LogDeferral& operator=(const LogDeferral&) = delete;
};

// One trace-log line built from pieces in a buffer of Len characters, the one
// way messages with a value are made:
//   LogLine().text("RemoveNode: Unable to locate this key ").num(key, 19).text(" in its binary tree.").error();
// A number is right-aligned in its width and takes more columns when it
// needs them, so the line still names it. A line that would not fit the
// buffer is not written at all (a text piece given with cut = true is cut
// to the room left instead). Messages with a number use LogLine (128
// characters); messages that quote a file name or an input line use
// LongLogLine, which holds both whole.
template <size_t Len>
class BasicLogLine {
 public:
  static constexpr size_t kLen = Len;

  BasicLogLine& text(std::string_view s, bool cut = false) {
    if (cut && s.size() > room()) s = s.substr(0, room());
    return put(s);
  }
  BasicLogLine& num(int64_t v, int width = 0) {
    char digits[fmt::kListIntRoom];
    const size_t len = fmt::writeListInt(digits, v);
    const size_t w = width > 0 && static_cast<size_t>(width) > len ? static_cast<size_t>(width) : len;
    if (w > room()) return fail();
    for (size_t i = len; i < w; ++i) buf_[n_++] = ' ';
    return put(std::string_view(digits, len));
  }
  BasicLogLine& real(double v) {
    char digits[fmt::kListRealRoom];
    return put(std::string_view(digits, fmt::writeListReal(digits, v)));
  }
  bool ok() const noexcept { return ok_; }
  std::string_view view() const noexcept { return {buf_, n_}; }
  void error() const {
    if (ok_) tracelogerror(view());
  }
  void info() const {
    if (ok_) traceloginfo(view());
  }

 private:
  size_t room() const noexcept { return sizeof buf_ - n_; }
  BasicLogLine& fail() noexcept {
    ok_ = false;
    return *this;
  }
  BasicLogLine& put(std::string_view s) {
    if (!ok_ || s.size() > room()) return fail();
    for (char c : s) buf_[n_++] = c;
    return *this;
  }
  char buf_[kLen];
  size_t n_ = 0;
  bool ok_ = true;
};
using LogLine = BasicLogLine<128>;
using LongLogLine = BasicLogLine<1280>;

// Logs prefix + value right-aligned in width columns + suffix as one error
// line (see LogLine).
inline void tracelognumbered(std::string_view prefix, int64_t value, int width, std::string_view suffix) {
  LogLine().text(prefix).num(value, width).text(suffix).error();
}

// ---- Files on units (stateful, per thread) ---------------------------------
// Units are per thread: two threads may both use unit 3 at once. A unit that
// is not open counts as an implicit "fort.n" unit.
enum FileMode : int32_t { kFileCreate = 0, kFileRead = 1, kFileAppend = 2 };
// Codes of fileopen besides the system's own error numbers (errno values:
// 2 no such file, 13 permission denied, ...); hosts know them by the
// VX_FILE_ names of the public header.
enum FileOpenError : int32_t {
  kFileErrBadUnit = VX_FILE_BAD_UNIT,  // unit outside 0-99
  kFileErrNoName = VX_FILE_NO_NAME,    // empty name
  kFileErrBadMode = VX_FILE_BAD_MODE,  // mode not 0, 1 or 2
  kFileErrDirectory = VX_FILE_DIRECTORY,
  kFileErrDevice = VX_FILE_DEVICE,       // a character device opened for reading (/dev/zero never ends)
  kFileErrUnitOpen = VX_FILE_UNIT_OPEN,  // the unit is already open on this thread
};
// VX_OK, or one of the codes above or an errno value. A failure is logged as
// one error line "<caller>: cannot open \"<name>\": <reason>" (caller
// "FileOpen" when none is given) and becomes the thread's last open error
// (KernixGetLastOpenErr). Never leaves a unit half open, and never takes over a
// unit that is already open.
VX_API int32_t fileopen(int32_t unit, std::string_view name, int32_t mode, std::string_view caller = {});
VX_API int32_t fileclose(int32_t unit);

// The units the libraries' files go on: the file a host names, a file named
// inside it, and the file a save writes.
inline constexpr int32_t kUnitHostFile = 3;
inline constexpr int32_t kUnitNamedFile = 4;
inline constexpr int32_t kUnitSaveFile = 8;

// Closes a unit when the scope ends, also when an exception leaves it:
// fileopen never takes over an open unit, so one left open would refuse
// every later file of this thread.
class UnitCloser {
 public:
  explicit UnitCloser(int32_t unit) : unit_(unit) {}
  ~UnitCloser() {
    if (unit_ >= 0) fileclose(unit_);
  }
  // Closes now; the close's error code.
  int32_t close() {
    const int32_t rc = fileclose(unit_);
    unit_ = -1;
    return rc;
  }
  UnitCloser(const UnitCloser&) = delete;
  UnitCloser& operator=(const UnitCloser&) = delete;

 private:
  int32_t unit_;
};

VX_API bool existfortdotfileunit(int32_t unit);
// 0 or nonzero when the unit cannot be rewound.
VX_API int32_t filerewind(int32_t unit);
// Reads the next line into buf (cap characters, blank filled first, cut at
// cap; a carriage return ending the line is not part of it). False at the end
// of the file or on a read error.
VX_API bool filereadline(int32_t unit, char* buf, size_t cap);
// The next line without copying it: valid until the next read on the unit,
// without its line end; a line longer than 1024 characters is cut. False at
// the end of the file or on a read error.
VX_API bool filereadlineview(int32_t unit, std::string_view& line);
// Reads up to cap bytes as they stand (line ends kept) into buf, after what
// the line reads took; the number read, 0 at the end or on an error.
VX_API size_t filereadbytes(int32_t unit, char* buf, size_t cap);
// The descriptor of the unit's open file, -1 when the unit is not open.
VX_API int fileunitfd(int32_t unit);
// Writes text and a newline; 0 or nonzero on a write error.
VX_API int32_t filewriteline(int32_t unit, std::string_view text);

// ---- Key-mode and duplicate switches (stateful, process wide) --------------
VX_API int32_t elsetkeymodeget();
VX_API void elsetkeymodeset(int32_t mode);
VX_API int32_t allkeymodeget();
VX_API void allkeymodeset(int32_t mode);  // also puts the all-mode in force
VX_API int32_t useallkeymode();
VX_API void resetallkeymode();
VX_API int32_t dupkeymodeget();
VX_API void dupkeymodeset(int32_t mode);
// The key mode in force for new records: the all-libraries mode when it is
// in force, else the element-set mode.
inline int32_t effectivekeymode() { return useallkeymode() ? allkeymodeget() : elsetkeymodeget(); }

// ---- Registry of live DMA objects (stateful, process wide) -----------------
// Every library registers the DMA objects it creates and unregisters them
// before freeing them, so a stale DMA key is recognised without reading
// freed memory.
VX_API void dmaregister(const void* obj);
VX_API void dmaunregister(const void* obj);
VX_API bool dmaislive(const void* obj);
// Unregisters obj (size bytes, made with plain operator new), fills it with
// zeros and frees it only after dmaquarantinesize() more objects have been
// retired: until then no new object can take its address, so its key keeps
// being refused.
VX_API void dmaretire(void* obj, size_t size);
VX_API size_t dmaquarantinesize();

// ---- Software information --------------------------------------------------
// Fills info (infoLen characters, blank padded) with the identification of
// the library named "Tle", "Kinem", "Ambit" or "Kernix".
VX_API void getsoftwareinfo(std::string_view libName, char* info, size_t infoLen);

}  // namespace vx
