#include "Ambit/AmbitProcessing.h"

#include <atomic>
#include <mutex>

namespace vx::ambit {
namespace {

// The whole choice in one word. geoOblate is the shape the current set was
// chosen with; it differs from oblate when the shape changed while a set
// that does not follow it at once was current.
// Four bytes aligned as one word, so every compiler keeps it lock free.
struct alignas(4) Choice {
  uint8_t geoSlot;
  uint8_t geoOblate;
  uint8_t oblate;
  uint8_t fk4;  // 1 FK4, 0 FK5
};
static_assert(std::atomic<Choice>::is_always_lock_free, "readers must never block");

constinit std::atomic<Choice> g_choice{Choice{static_cast<uint8_t>(kWgs72Slot), 1, 1, 0}};
// Serialises writers: each reads the choice, changes one part and stores it.
std::mutex g_writers;

Choice loadchoice() { return g_choice.load(std::memory_order_acquire); }

void storechoice(Choice c) { g_choice.store(c, std::memory_order_release); }

int32_t indexofslot(uint8_t slot) { return kGeoIndexes[slot]; }

// The three sets whose flattening follows the earth shape as soon as it
// changes.
bool followsshape(uint8_t slot) {
  const int32_t idx = indexofslot(slot);
  return idx == 72 || idx == 84 || idx == 96;
}

}  // namespace

Environment currentenvironment() {
  const Choice c = loadchoice();
  return {indexofslot(c.geoSlot), &geoset(c.geoSlot, c.geoOblate != 0), c.fk4 ? 4 : 5, c.fk4 ? &fk4 : &fk5,
          c.oblate};
}

int32_t isusingoblateearth() { return loadchoice().oblate; }

void setearthshape(int32_t shape) {
  std::lock_guard<std::mutex> hold(g_writers);
  Choice c = loadchoice();
  c.oblate = shape != 0 ? 1 : 0;
  if (followsshape(c.geoSlot)) c.geoOblate = c.oblate;
  storechoice(c);
}

int32_t getenvgeo() { return indexofslot(loadchoice().geoSlot); }

int32_t getenvfk() { return loadchoice().fk4 ? 4 : 5; }

const geoconstants& genvgeo() {
  const Choice c = loadchoice();
  return geoset(c.geoSlot, c.geoOblate != 0);
}

const fkconstants& genvfk() { return loadchoice().fk4 ? fk4 : fk5; }

void setenvgeo(int32_t idx) {
  // Only indexes of a set are taken: the current index and the current set
  // always agree.
  const int slot = geoslot(idx);
  if (slot < 0) return;
  std::lock_guard<std::mutex> hold(g_writers);
  Choice c = loadchoice();
  if (c.geoSlot == slot) return;
  c.geoSlot = static_cast<uint8_t>(slot);
  c.geoOblate = c.oblate;
  storechoice(c);
}

void setenvfk(int32_t idx) {
  if (!isvalidfkidx(idx)) return;
  std::lock_guard<std::mutex> hold(g_writers);
  Choice c = loadchoice();
  const uint8_t want = idx == 4 ? 1 : 0;
  if (c.fk4 == want) return;
  c.fk4 = want;
  storechoice(c);
}

double geoconstbyindex(const geoconstants& g, int32_t constIdx) {
  switch (constIdx) {
    case 1: return g.flattening;
    case 2: return g.j2;
    case 3: return g.j3;
    case 4: return g.j4;
    case 5: return g.ke;
    case 6: return g.radiuskm;
    case 7: return kEarthRotationRate;
    case 8: return g.ck2;
    case 9: return g.ck4;
    case 10: return g.velocityscale;
    case 11: return g.earthratecanon;
    case 12: return g.j5;
    case 13: return g.mu;
    default: return 0.0;
  }
}

double fkconstbyindex(const fkconstants& f, int32_t constIdx) {
  switch (constIdx) {
    case 1: return f.siderealrate;
    case 2: return f.siderealquad;
    case 3: return f.siderealangle1970;
    default: return 0.0;
  }
}

}  // namespace vx::ambit
