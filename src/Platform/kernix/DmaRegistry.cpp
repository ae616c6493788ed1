// Registry of live DMA objects. A DMA key is an address; before any library
// reads the object behind a key it asks here whether the object still lives,
// so a stale key is answered without touching freed memory. Sharded by
// address so that concurrent loads in DMA mode rarely contend.
//
// Retired objects are not freed at once but wait in a quarantine of the last
// kQuarantine retired objects. While an object waits there its address cannot
// be handed out again, so the key of a removed element set keeps being
// refused instead of reaching whatever the allocator puts at that address
// next; and a reader of another library that checked the object just before
// it was retired still reads memory that belongs to the process.
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
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

constexpr size_t kQuarantine = size_t{1} << 16;

struct Quarantine {
  std::mutex mutex;
  std::unique_ptr<void*[]> ring;  // made on first use
  size_t next = 0;                // slot of the oldest object once the ring is full
  size_t used = 0;
};

// Never destroyed: objects still waiting at exit stay reachable through it
// (a destroyed ring would leave them for a leak checker to report).
Quarantine& quarantine() {
  static Quarantine* q = new Quarantine;
  return *q;
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

void dmaretire(void* obj, size_t size) {
  if (obj == nullptr) return;
  dmaunregister(obj);
  std::memset(obj, 0, size);
  void* evicted = obj;
  {
    Quarantine& q = quarantine();
    std::lock_guard<std::mutex> lock(q.mutex);
    if (!q.ring) q.ring.reset(new (std::nothrow) void*[kQuarantine]);
    if (q.ring) {
      if (q.used < kQuarantine) {
        q.ring[q.used++] = obj;
        evicted = nullptr;
      } else {
        evicted = q.ring[q.next];
        q.ring[q.next] = obj;
        q.next = (q.next + 1) % kQuarantine;
      }
    }
  }
  ::operator delete(evicted);
}

size_t dmaquarantinesize() { return kQuarantine; }

bool dmaislive(const void* obj) {
  if (obj == nullptr) return false;
  Shard& s = shardOf(obj);
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.live.count(obj) != 0;
}

}  // namespace vx
