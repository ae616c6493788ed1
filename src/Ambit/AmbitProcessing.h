// The process-wide choice of constants: the current geopotential set, the
// current sidereal-time set and the earth shape.
//
// Thread safety: the whole choice is one atomic word naming immutable
// records (AmbitTypes.h). A reader loads it once and reads a record that is
// never written, so it sees either the choice before a switch or the one
// after it, never half of each. Writers serialise on one mutex and publish
// the new choice with a single store. The records are static, so their
// addresses stay valid for the life of the library.
//
// At load: WGS-72, FK5, oblate Earth.
#pragma once

#include <cstdint>

#include "Ambit/AmbitTypes.h"

namespace vx::ambit {

// One consistent reading of the whole choice.
struct Environment {
  int32_t currgeo;               // index of the current geopotential set
  const geoconstants* genvgeo;   // the current geopotential set
  int32_t currfk;                // index of the current sidereal-time set
  const fkconstants* genvfk;     // the current sidereal-time set
  int32_t guseoblateearth;       // 1 oblate, 0 spherical
};
Environment currentenvironment();

// 1 while the Earth is oblate, 0 while it is spherical.
int32_t isusingoblateearth();

// Nonzero makes the Earth oblate, 0 spherical. The current set follows the
// shape at once when it is WGS-72, WGS-84 or EGM-96; any other current set
// keeps the flattening it was chosen with until a set is chosen again.
void setearthshape(int32_t shape);

int32_t getenvgeo();
int32_t getenvfk();
const geoconstants& genvgeo();
const fkconstants& genvfk();

// Makes the set of idx current, with the flattening of the current earth
// shape. Nothing happens when idx is already current or names no set.
void setenvgeo(int32_t idx);
// Makes FK4 (4) or FK5 (5) current; any other value changes nothing.
void setenvfk(int32_t idx);

// Geopotential constant by its host index 1..13 (flattening, j2, j3, j4, ke,
// radiuskm, Earth rotation rate, ck2, ck4, velocityscale, earthratecanon,
// j5, mu); 0.0 for any other index.
double geoconstbyindex(const geoconstants& g, int32_t constIdx);
// Sidereal-time constant by its host index 1..3; 0.0 for any other index.
double fkconstbyindex(const fkconstants& f, int32_t constIdx);

}  // namespace vx::ambit
