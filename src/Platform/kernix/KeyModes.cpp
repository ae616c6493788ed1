// Process-wide key-mode and duplicate switches shared by every library.
#include <atomic>

#include "Services/kernix.h"

namespace vx {
namespace {
std::atomic<int32_t> g_elsetKeyMode{0};
std::atomic<int32_t> g_allKeyMode{0};
std::atomic<int32_t> g_useAllKeyMode{0};
std::atomic<int32_t> g_dupKeyMode{0};
}  // namespace

int32_t elsetkeymodeget() { return g_elsetKeyMode.load(std::memory_order_relaxed); }
void elsetkeymodeset(int32_t mode) { g_elsetKeyMode.store(mode, std::memory_order_relaxed); }
int32_t allkeymodeget() { return g_allKeyMode.load(std::memory_order_relaxed); }
void allkeymodeset(int32_t mode) {
  g_allKeyMode.store(mode, std::memory_order_relaxed);
  g_useAllKeyMode.store(1, std::memory_order_relaxed);
}
int32_t useallkeymode() { return g_useAllKeyMode.load(std::memory_order_relaxed); }
void resetallkeymode() { g_useAllKeyMode.store(0, std::memory_order_relaxed); }
int32_t dupkeymodeget() { return g_dupKeyMode.load(std::memory_order_relaxed); }
void dupkeymodeset(int32_t mode) { g_dupKeyMode.store(mode, std::memory_order_relaxed); }

}  // namespace vx
