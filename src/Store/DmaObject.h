// The holder of one record in DMA key mode.
//
// Other libraries of the family reach the object through its satKey (ten
// times its address), so its layout is fixed: 48 bytes, natural alignment,
// the offsets below. The store sets selfAddr, eltType and rec; reserved stays
// 0; extData1 and extData2 are filled only outside the store, and while
// either is set the store releases the record but never the object.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace vx::store {

struct DmaObject {
  int64_t selfAddr;  // the object's own address; 0 or a mismatch marks it invalid
  int32_t eltType;   // element-set type code of the record
  void* rec;         // the record, owned by the object; null once released
  int32_t reserved;
  void* extData1;
  void* extData2;
};

static_assert(std::is_standard_layout_v<DmaObject>);
static_assert(sizeof(void*) == 8, "DMA objects are laid out for 64-bit addresses");
static_assert(sizeof(DmaObject) == 48);
static_assert(offsetof(DmaObject, selfAddr) == 0);
static_assert(offsetof(DmaObject, eltType) == 8);
static_assert(offsetof(DmaObject, rec) == 16);
static_assert(offsetof(DmaObject, reserved) == 24);
static_assert(offsetof(DmaObject, extData1) == 32);
static_assert(offsetof(DmaObject, extData2) == 40);

}  // namespace vx::store
