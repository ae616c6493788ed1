// The life of the DMA objects of one store's records: made with a copy of a
// record and registered, reached only through the exact key (ten times the
// object's address) of a live object, and released or retired.
//
// Before any object is read, the process-wide registry is asked whether it
// still lives, so a stale key is answered without touching freed memory. A
// released object is retired to the registry's quarantine rather than freed,
// so its key keeps being refused until dmaquarantinesize() more objects have
// been released; only after that may the address, and so the key, come back.
//
// Thread safety: none of its own; the store reads objects under its read
// side and changes or releases them under its writer side.
#pragma once

#include <cstdint>
#include <new>

#include "Services/kernix.h"
#include "Store/DmaObject.h"
#include "Store/StoreMessages.h"

namespace vx::store {

enum class DmaRelease { Done, Dead, WrongType };

// Traits: Record, eltType(rec), isElsetType(code) (see StoreTraits).
template <class Traits>
struct DmaRecords {
  using Record = typename Traits::Record;

  // A new object holding a copy of rec, registered as live; null (logged)
  // when something could not be allocated, with nothing left behind.
  static DmaObject* newObject(const Record& rec) {
    auto* obj = new (std::nothrow) DmaObject{};
    if (obj == nullptr) {
      vx::tracelogerror(msg::addrec::kNoDma);
      return nullptr;
    }
    obj->selfAddr = static_cast<int64_t>(reinterpret_cast<intptr_t>(obj));
    try {
      obj->rec = new Record(rec);
    } catch (const std::bad_alloc&) {
      delete obj;
      vx::tracelogerror(msg::addrec::kNoDmaRec);
      return nullptr;
    }
    obj->eltType = Traits::eltType(rec);
    try {
      vx::dmaregister(obj);
    } catch (const std::bad_alloc&) {
      delete static_cast<Record*>(obj->rec);
      delete obj;
      vx::tracelogerror(msg::addrec::kNoDma);
      return nullptr;
    }
    return obj;
  }

  // An object that never reached the tree.
  static void freeObject(DmaObject* obj) noexcept {
    delete static_cast<Record*>(obj->rec);
    obj->rec = nullptr;
    vx::dmaretire(obj, sizeof(DmaObject));
  }

  // The object of a DMA key, or null when it is not a live object or its
  // selfAddr does not match the key. Only registered objects are read.
  static DmaObject* liveObject(int64_t key) noexcept {
    // Only ten times an address is a key: key + 1 ... key + 9 would reach the
    // same object.
    if (key <= 0 || key % 10 != 0) return nullptr;
    void* p = vx::keytocptr(key);
#if defined(__GNUC__)
    // A key written as a constant would otherwise let the optimiser follow a
    // made-up address and warn about it, though it is never read unless live.
    asm("" : "+r"(p));
#endif
    if (!vx::dmaislive(p)) return nullptr;
    auto* obj = static_cast<DmaObject*>(p);
    if (obj->selfAddr == 0 || obj->selfAddr != vx::satkeytoaddr(key)) return nullptr;
    return obj;
  }

  // The record of a DMA key's object when the object lives, holds a record of
  // this store's kind and has one.
  static Record* record(int64_t key) noexcept {
    DmaObject* obj = liveObject(key);
    if (obj == nullptr || obj->rec == nullptr || !Traits::isElsetType(obj->eltType)) return nullptr;
    return static_cast<Record*>(obj->rec);
  }

  // Releases the record of key's object, and the object when both outside
  // slots are empty. The caller logs refusals (logRelease).
  static DmaRelease release(int64_t key) noexcept {
    DmaObject* obj = liveObject(key);
    if (obj == nullptr) return DmaRelease::Dead;
    if (!Traits::isElsetType(obj->eltType)) return DmaRelease::WrongType;
    delete static_cast<Record*>(obj->rec);
    obj->rec = nullptr;
    if (obj->extData1 == nullptr && obj->extData2 == nullptr) vx::dmaretire(obj, sizeof(DmaObject));
    return DmaRelease::Done;
  }

  static void logRelease(DmaRelease released, int64_t key) {
    if (released == DmaRelease::Dead) msg::logNamingKey(msg::removedma::kDead, key);
    if (released == DmaRelease::WrongType) msg::logNamingKey(msg::removedma::kWrongType, key);
  }
};

}  // namespace vx::store
