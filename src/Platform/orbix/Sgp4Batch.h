// A structure-of-arrays batch of initialised SGP4 sets and its vectorised
// propagation. Near-Earth sets and deep-space sets without resonance run
// through a SIMD kernel chosen at run time for the machine (portable code up
// to AVX-512); resonant deep-space sets and sets whose initialisation failed
// run through the scalar sgp4, one by one, inside the same call, so a host
// sees one call for any mix.
//
// A batch is read-only once built: any number of threads may propagate
// disjoint or overlapping ranges of one batch at the same time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <span>
#include <vector>

#include "Platform/orbix/Sgp4.h"

namespace vx::orbix {

struct Sgp4Batch {
  // Every field array is padded to a multiple of this many lanes (the
  // widest vector, 512 bits of doubles) and aligned to kAlign bytes.
  static constexpr size_t kPad = 8;
  static constexpr size_t kAlign = 64;

  // The near-Earth kernel's per-set values, one array each.
  enum Field : size_t {
    fMo, fMdot, fArgpo, fArgpdot, fNodeo, fNodedot, fNodecf, fCc1, fBcc4, fBcc5,
    fT2cof, fT3cof, fT4cof, fT5cof, fD2, fD3, fD4, fOmgcof, fXmcof, fEta, fDelmo,
    fSinmao, fNo, fAo, fEcco, fInclo, fSinio, fCosio, fAycof, fXlcof, fCon41,
    fX1mth2, fX7thm1, fJ2, fRadius, fVkms,
    fNear,  // 1 for a near-Earth lane the kernel computes
    // Deep-space sets without resonance: lunar-solar rates and terms.
    fDedt, fDidt, fDomdt, fDnodt, fDmdt, fZmos, fZmol,
    fSe2, fSe3, fSi2, fSi3, fSl2, fSl3, fSl4, fSgh2, fSgh3, fSgh4, fSh2, fSh3,
    fEe2, fE3, fXi2, fXi3, fXl2, fXl3, fXl4, fXgh2, fXgh3, fXgh4, fXh2, fXh3,
    fPeo, fPinco, fPlo, fPgho, fPho, fJ3oj2,
    fAfspc,  // 1 for the afspc operation mode
    fDeep,   // 1 for a deep-space lane the kernel computes
    kFields
  };

  size_t size = 0;    // number of sets
  size_t stride = 0;  // padded length of each field array
  // Sets the kernel does not compute: resonant or failed at initialisation,
  // ascending batch indices, and their initialised sets.
  std::vector<size_t> scalarIndex;
  std::vector<Sgp4Set> scalarSets;

  const double* field(Field f) const { return data.get() + f * stride; }

  // Builds the batch from sets initialised by sgp4init (failed ones too).
  static Sgp4Batch build(std::span<const Sgp4Set> sets);
  // The same one set at a time, so a caller need not hold every set at
  // once: sized(n), then put(i, set) for i = 0 .. n-1 in that order.
  static Sgp4Batch sized(size_t n);
  void put(size_t i, const Sgp4Set& s);

  struct Free {
    void operator()(double* p) const { ::operator delete[](p, std::align_val_t{kAlign}); }
  };
  std::unique_ptr<double[], Free> data;
};

// Propagates sets first .. first+count-1 of the batch: set first+i to
// tsince[i] minutes from its epoch (zipped times). pos and vel receive
// 3*count values (x, y, z of each set in turn, km and km/s), err count codes
// (0 or the Sgp4Error of that set and time; on failure its state is zero).
// A range past the batch's end is cut at the end.
void propagateBatch(const Sgp4Batch& batch, size_t first, size_t count, const double* tsince,
                    double* pos, double* vel, int32_t* err);

// The same with one time for every set of the range.
void propagateBatchAt(const Sgp4Batch& batch, size_t first, size_t count, double tsince,
                      double* pos, double* vel, int32_t* err);

}  // namespace vx::orbix
