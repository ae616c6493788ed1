// A read-only batch of initialised element sets. Initialisation runs once,
// in the constructor; propagation never writes the snapshot, so any number
// of threads may propagate disjoint or overlapping ranges of one snapshot
// at the same time.
//
// Propagation runs through the structure-of-arrays batch kernel, which keeps
// full initialised sets only for the sets it hands to the scalar model. A
// snapshot made with keepScalar keeps every set too, so the scalar sgp4 of
// every set stays reachable (Path::scalar) as the reference the kernel is
// tested against.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "Platform/orbix/Sgp4.h"
#include "Platform/orbix/Sgp4Batch.h"

namespace vx::orbix {

// Number of doubles in one set of GP element values.
inline constexpr size_t kGpValueCount = 10;

// GP element values as the two-line form has them: epoch ds50 UTC, mean
// motion rev/day, eccentricity, inclination deg, node deg, argument of
// perigee deg, mean anomaly deg, bstar 1/earth radii, ndot/2 rev/day^2,
// nddot/6 rev/day^3; to the units of the model.
MeanElements gpToMeanElements(const double* values);

// What the times of a propagation are.
enum class TimeMode : int32_t { sinceEpoch = 0, ds50 = 1 };
// outer: every set of the range at every time; zipped: set first+i at
// times[i].
enum class Layout : int32_t { outer = 0, zipped = 1 };
// Which code computes the states: the vectorised kernel or the scalar model.
enum class Path { batch, scalar };

class Snapshot {
 public:
  // Sets of the outer layout propagated together per time: their results
  // and the kernel's values stay in the first-level cache over all times.
  static constexpr size_t kOuterBlock = 256;

  // A set whose initialisation fails is kept with its code. ids, empty or
  // one per set, are the host's names of the sets (0 when empty). codes,
  // empty or one per set: a nonzero code marks that entry failed with it,
  // its element values unused.
  Snapshot(std::span<const MeanElements> elements, const GravConst& grav, OpsMode mode,
           std::span<const int64_t> ids = {}, std::span<const int32_t> codes = {}, bool keepScalar = false);

  size_t size() const noexcept { return errors_.size(); }
  double epochDs50(size_t i) const noexcept { return epochs_[i]; }
  int32_t initError(size_t i) const noexcept { return errors_[i]; }
  int64_t id(size_t i) const noexcept { return ids_.empty() ? 0 : ids_[i]; }

  // Positions (km) and velocities (km/s) of sets [first, first + count),
  // the caller having checked the range. outer: entry (i, j) for set
  // first+i at times[j], at [(i * times.size() + j) * 3]; zipped (count ==
  // times.size()): entry i for set first+i at times[i], at [i * 3]. errors
  // gets 0 or the failure code of each entry; a failed entry is zero.
  // Path::scalar needs a snapshot made with keepScalar (else the batch runs).
  void propagate(size_t first, size_t count, std::span<const double> times, TimeMode timeMode,
                 Layout layout, double* pos, double* vel, int32_t* errors, Path path = Path::batch) const;

 private:
  void propagateScalar(size_t first, size_t count, std::span<const double> times, TimeMode timeMode,
                       Layout layout, double* pos, double* vel, int32_t* errors) const;

  std::vector<int32_t> errors_;
  std::vector<double> epochs_;
  std::vector<Sgp4Set> sets_;  // every set, with keepScalar only
  std::vector<int64_t> ids_;
  Sgp4Batch batch_;
};

}  // namespace vx::orbix
