// Files on unit numbers. Units belong to the calling thread, so two host
// threads loading files at once never share a unit. Reading goes through a
// large buffer and hands out one line at a time without allocating.
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "Platform/kernix/KernixInternal.h"
#include "Services/kernix.h"

namespace vx {
namespace {

constexpr int32_t kMaxUnit = 100;
constexpr size_t kReadBuffer = 1 << 18;

constexpr size_t kSpillCap = 1024;

struct Unit {
  std::FILE* file = nullptr;
  std::unique_ptr<char[]> buf;    // read buffer
  std::unique_ptr<char[]> spill;  // a line that crosses the end of buf
  size_t pos = 0;
  size_t len = 0;
  bool eof = false;

  ~Unit() {
    if (file != nullptr) std::fclose(file);
  }
  bool refill() {
    if (eof) return false;
    len = std::fread(buf.get(), 1, kReadBuffer, file);
    pos = 0;
    if (len < kReadBuffer) eof = true;
    return len > 0;
  }
};

std::array<std::unique_ptr<Unit>, kMaxUnit>& units() {
  thread_local std::array<std::unique_ptr<Unit>, kMaxUnit> u;
  return u;
}

// The code of this thread's latest failed open, for a host that must tell
// a missing file (ENOENT) from a failure that shares its value.
int32_t& lastOpenErr() {
  thread_local int32_t code = VX_OK;
  return code;
}

Unit* unitOf(int32_t unit) {
  if (unit < 0 || unit >= kMaxUnit) return nullptr;
  return units()[static_cast<size_t>(unit)].get();
}

}  // namespace

namespace {

// Why fileopen refused, for its log line.
std::string openfailure(int32_t code, int32_t unit, int32_t mode) {
  switch (code) {
    case kFileErrBadUnit: return "Unit " + std::to_string(unit) + " is not one of 0-99";
    case kFileErrNoName: return "No file name given";
    case kFileErrBadMode: return "Open mode " + std::to_string(mode) + " is not 0, 1 or 2";
    case kFileErrDirectory: return "Is a directory";
    case kFileErrDevice: return "Is a character device, not a file";
    case kFileErrUnitOpen: return "Unit " + std::to_string(unit) + " is already open on this thread";
    default: return std::generic_category().message(code);
  }
}

int32_t tryopen(int32_t unit, std::string_view name, int32_t mode) {
  if (unit < 0 || unit >= kMaxUnit) return kFileErrBadUnit;
  if (mode != kFileCreate && mode != kFileRead && mode != kFileAppend) return kFileErrBadMode;
  // An open unit belongs to whoever opened it (perhaps a load further up
  // this thread's stack, with a log callback calling back in): never taken.
  if (units()[static_cast<size_t>(unit)]) return kFileErrUnitOpen;
  const std::string path(trimmed(name));
  if (path.empty() || path.find('\0') != std::string::npos) return kFileErrNoName;
  std::error_code ec;
  const auto type = std::filesystem::status(path, ec).type();
  if (type == std::filesystem::file_type::directory) return kFileErrDirectory;
  // Devices such as /dev/zero would feed a reader forever. Writing to one
  // (/dev/null, /dev/full) is allowed; named pipes are read like files.
  if (mode == kFileRead && type == std::filesystem::file_type::character) return kFileErrDevice;
  const char* how = mode == kFileRead ? "rb" : mode == kFileCreate ? "wb" : "ab";
  errno = 0;
  std::FILE* f = std::fopen(path.c_str(), how);
  if (f == nullptr) return errno != 0 ? errno : kFileErrNoName;
  auto u = std::make_unique<Unit>();
  u->file = f;
  if (mode == kFileRead) u->buf = std::make_unique<char[]>(kReadBuffer);
  units()[static_cast<size_t>(unit)] = std::move(u);
  return VX_OK;
}

}  // namespace

int32_t lastopenerr() { return lastOpenErr(); }
void clearlastopenerr() { lastOpenErr() = VX_OK; }

int32_t fileopen(int32_t unit, std::string_view name, int32_t mode, std::string_view caller) {
  const int32_t rc = tryopen(unit, name, mode);
  if (rc != VX_OK) {
    lastOpenErr() = rc;
    LongLogLine()
        .text(caller.empty() ? std::string_view("FileOpen") : caller)
        .text(": cannot open \"")
        .text(trimmed(name))
        .text("\": ")
        .text(openfailure(rc, unit, mode), true)
        .error();
  }
  return rc;
}

int32_t fileclose(int32_t unit) {
  if (unit < 0 || unit >= kMaxUnit) return kFileErrBadUnit;
  auto& slot = units()[static_cast<size_t>(unit)];
  if (!slot) return 0;
  errno = 0;
  int rc = std::fclose(slot->file);
  slot->file = nullptr;
  slot.reset();
  return rc == 0 ? 0 : (errno != 0 ? errno : 1);
}

bool existfortdotfileunit(int32_t unit) { return unitOf(unit) == nullptr; }

int32_t filerewind(int32_t unit) {
  Unit* u = unitOf(unit);
  if (u == nullptr) return kFileErrBadUnit;
  if (std::fseek(u->file, 0, SEEK_SET) != 0) return errno != 0 ? errno : 1;
  std::clearerr(u->file);
  u->pos = u->len = 0;
  u->eof = false;
  return 0;
}

bool filereadline(int32_t unit, char* out, size_t cap) {
  Unit* u = unitOf(unit);
  if (u == nullptr || !u->buf) return false;
  std::memset(out, ' ', cap);
  size_t got = 0;       // characters of the line copied so far (at most cap)
  bool any = false;     // anything of this line seen, newline included
  bool lastWasCr = false;
  for (;;) {
    if (u->pos == u->len && !u->refill()) break;
    any = true;
    const char* start = u->buf.get() + u->pos;
    const size_t avail = u->len - u->pos;
    const void* nl = std::memchr(start, '\n', avail);
    const size_t take = nl ? static_cast<size_t>(static_cast<const char*>(nl) - start) : avail;
    if (take > 0) {
      const size_t room = cap - got;
      const size_t copy = take < room ? take : room;
      std::memcpy(out + got, start, copy);
      got += copy;
      lastWasCr = start[take - 1] == '\r';
    }
    u->pos += take;
    if (nl) {
      ++u->pos;
      break;
    }
  }
  if (!any) return false;
  // A carriage return that ends the line is not part of it.
  if (lastWasCr && got > 0 && out[got - 1] == '\r') out[got - 1] = ' ';
  return true;
}

size_t filereadbytes(int32_t unit, char* buf, size_t cap) {
  Unit* u = unitOf(unit);
  if (u == nullptr || !u->buf) return 0;
  size_t got = 0;
  while (got < cap) {
    if (u->pos == u->len && !u->refill()) break;
    const size_t n = std::min(cap - got, u->len - u->pos);
    std::memcpy(buf + got, u->buf.get() + u->pos, n);
    u->pos += n;
    got += n;
  }
  return got;
}

int fileunitfd(int32_t unit) {
  Unit* u = unitOf(unit);
  return u == nullptr || u->file == nullptr ? -1 : fileno(u->file);
}

bool filereadlineview(int32_t unit, std::string_view& line) {
  Unit* u = unitOf(unit);
  if (u == nullptr || !u->buf) return false;
  if (u->pos == u->len && !u->refill()) return false;
  // Fast case: the whole line lies in the buffer.
  {
    const char* start = u->buf.get() + u->pos;
    const size_t avail = u->len - u->pos;
    if (const void* nl = std::memchr(start, '\n', avail)) {
      size_t n = static_cast<size_t>(static_cast<const char*>(nl) - start);
      u->pos += n + 1;
      if (n > 0 && start[n - 1] == '\r') --n;
      line = std::string_view(start, n);
      return true;
    }
  }
  // The line crosses the end of the buffer: gather it (cut at kSpillCap).
  if (!u->spill) u->spill = std::make_unique<char[]>(kSpillCap);
  size_t got = 0;
  for (;;) {
    if (u->pos == u->len && !u->refill()) break;
    const char* start = u->buf.get() + u->pos;
    const size_t avail = u->len - u->pos;
    const void* nl = std::memchr(start, '\n', avail);
    const size_t take = nl ? static_cast<size_t>(static_cast<const char*>(nl) - start) : avail;
    const size_t copy = std::min(take, kSpillCap - got);
    std::memcpy(u->spill.get() + got, start, copy);
    got += copy;
    u->pos += take;
    if (nl) {
      ++u->pos;
      break;
    }
  }
  if (got > 0 && u->spill[got - 1] == '\r') --got;
  line = std::string_view(u->spill.get(), got);
  return true;
}

int32_t filewriteline(int32_t unit, std::string_view text) {
  Unit* u = unitOf(unit);
  if (u == nullptr) return kFileErrBadUnit;
  errno = 0;
  // An empty text may have no data pointer at all: only the line end goes out.
  if ((!text.empty() && std::fwrite(text.data(), 1, text.size(), u->file) != text.size()) ||
      std::fputc('\n', u->file) == EOF)
    return errno != 0 ? errno : 1;
  return 0;
}

}  // namespace vx
