// The trace log: one line per error or information message, written to the
// host's log file and callback when they are set, and always kept as the
// calling thread's last message.
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "Services/kernix.h"
#include "Platform/kernix/KernixInternal.h"
#include "veltrix/kernix.h"

namespace vx {
namespace {

// Longest line kept as the last message; longer lines are logged whole.
constexpr size_t kLastMsgCap = 1024;

struct LastMessages {
  char err[kLastMsgCap];
  size_t errLen = 0;
  char info[kLastMsgCap];
  size_t infoLen = 0;
};

LastMessages& last() {
  thread_local LastMessages m;
  return m;
}

std::mutex g_sinkMutex;
std::FILE* g_logFile = nullptr;
KernixLogFn g_callback = nullptr;
void* g_callbackUser = nullptr;
// True while a file or a callback is set, so that logging costs nothing more
// than the last-message copy when no one listens.
std::atomic<bool> g_anySink{false};

// Lines held back on this thread while a deferral is open (see logdeferbegin).
struct Deferred {
  int32_t depth = 0;
  std::vector<std::pair<bool, std::string>> lines;
};

Deferred& deferred() {
  thread_local Deferred d;
  return d;
}

void toSinks(bool isError, std::string_view msg) {
  KernixLogFn cb = nullptr;
  void* user = nullptr;
  {
    std::lock_guard<std::mutex> lock(g_sinkMutex);
    if (g_logFile != nullptr) {
      std::fwrite(msg.data(), 1, msg.size(), g_logFile);
      std::fputc('\n', g_logFile);
      std::fflush(g_logFile);
    }
    cb = g_callback;
    user = g_callbackUser;
  }
  // The callback runs outside the lock so that it may call back into the
  // libraries (and log) without deadlocking.
  if (cb != nullptr) cb(isError ? 1 : 0, msg.data(), static_cast<int32_t>(msg.size()), user);
}

void logLine(bool isError, std::string_view msg) {
  LastMessages& m = last();
  const size_t keep = std::min(msg.size(), kLastMsgCap);
  std::memcpy(isError ? m.err : m.info, msg.data(), keep);
  (isError ? m.errLen : m.infoLen) = keep;

  if (!g_anySink.load(std::memory_order_acquire)) return;
  Deferred& d = deferred();
  if (d.depth > 0) {
    try {
      d.lines.emplace_back(isError, std::string(msg));
      return;
    } catch (const std::bad_alloc&) {
      // Out of memory: the line goes out at once rather than not at all.
    }
  }
  toSinks(isError, msg);
}

void updateAnySink() { g_anySink.store(g_logFile != nullptr || g_callback != nullptr, std::memory_order_release); }

}  // namespace

void tracelogerror(std::string_view msg) { logLine(true, msg); }
void traceloginfo(std::string_view msg) { logLine(false, msg); }
std::string_view lasterrmsg() { return {last().err, last().errLen}; }
std::string_view lastinfomsg() { return {last().info, last().infoLen}; }

void logdeferbegin() { ++deferred().depth; }

void logdeferend() {
  Deferred& d = deferred();
  if (d.depth == 0 || --d.depth > 0) return;
  // A callback may log again (and so append); take the lines out first.
  std::vector<std::pair<bool, std::string>> lines;
  lines.swap(d.lines);
  for (const auto& [isError, text] : lines) toSinks(isError, text);
}

int32_t openlogfile(std::string_view name) {
  std::string path(trimmed(name));
  if (path.empty()) return VX_FAIL;
  std::FILE* f = std::fopen(path.c_str(), "ab");
  if (f == nullptr) return errno != 0 ? errno : VX_FAIL;
  std::lock_guard<std::mutex> lock(g_sinkMutex);
  if (g_logFile != nullptr) std::fclose(g_logFile);
  g_logFile = f;
  updateAnySink();
  return VX_OK;
}

int32_t closelogfile() {
  std::lock_guard<std::mutex> lock(g_sinkMutex);
  if (g_logFile != nullptr) std::fclose(g_logFile);
  g_logFile = nullptr;
  updateAnySink();
  return VX_OK;
}

void setlogcallback(KernixLogFn fn, void* user) {
  std::lock_guard<std::mutex> lock(g_sinkMutex);
  g_callback = fn;
  g_callbackUser = user;
  updateAnySink();
}

}  // namespace vx
