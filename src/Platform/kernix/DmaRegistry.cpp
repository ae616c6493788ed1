// Registry of live DMA objects. A DMA key is an address; before any library
// reads the object behind a key it asks here whether the object still lives,
// so a stale key is answered without touching freed memory. Sharded by
// address so that concurrent loads in DMA mode rarely contend.
#include <array>
#include <cstdint>
#include <mutex>
#include <unordered_set>

#include "Services/kernix.h"

namespace vx {
namespace {

constexpr size_t kShards = 64;

struct Shard {
  std::mutex mutex;
  std::unordered_set<const void*> live;
};

std::array<Shard, kShards>& shards() {
  static std::array<Shard, kShards> s;
  return s;
}

Shard& shardOf(const void* obj) {
  // Objects are at least 16-byte aligned: skip the always-zero low bits.
  const auto a = reinterpret_cast<uintptr_t>(obj);
  return shards()[(a >> 4) % kShards];
}

}  // namespace

void dmaregister(const void* obj) {
  Shard& s = shardOf(obj);
  std::lock_guard<std::mutex> lock(s.mutex);
  s.live.insert(obj);
}

void dmaunregister(const void* obj) {
  Shard& s = shardOf(obj);
  std::lock_guard<std::mutex> lock(s.mutex);
  s.live.erase(obj);
}

bool dmaislive(const void* obj) {
  if (obj == nullptr) return false;
  Shard& s = shardOf(obj);
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.live.count(obj) != 0;
}

}  // namespace vx
