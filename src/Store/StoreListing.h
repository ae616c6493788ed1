// The exports every store offers, written once: the listing into an array
// the host sized from the count, the listing into an array of known
// capacity, and the two lines of a stored record. routine names the export
// in its log lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "Services/kernix.h"

namespace vx::store {

// Length of a host's line buffer.
inline constexpr size_t kHostLineLen = 512;

// Every key in the order into keys (room for the store's count). An empty
// store leaves keys untouched and writes emptyWarning as an information line.
template <class Store>
void getloaded(Store& store, std::string_view emptyWarning, int32_t order, int64_t* keys) {
  if (store.isEmpty()) {
    traceloginfo(emptyWarning);
    return;
  }
  if (keys == nullptr) return;
  int32_t count = 0;
  store.getTreeKeys(count, keys, order);
}

// The first min(capacity, number loaded) keys of the order; total (may be
// null) gets the number loaded. -1 (logged) for a negative capacity, a null
// array with room, or no work space.
template <class Store>
int32_t getloadedn(Store& store, std::string_view routine, int32_t order, int32_t capacity, int64_t* keys,
                   int32_t* total) {
  if (total != nullptr) *total = 0;
  if (capacity < 0 || (keys == nullptr && capacity > 0)) {
    LogLine().text(routine).text(": Invalid capacity or no key array, capacity ").num(capacity, 11).text(".").error();
    return -1;
  }
  int32_t all = 0;
  const int32_t written = store.getTreeKeysN(order, capacity, keys, all);
  if (total != nullptr) *total = all;
  if (written < 0) LogLine().text(routine).text(": Memory allocation failed").error();
  return written;
}

// The two lines (kHostLineLen each) of the record stored under key, written by
// write(rec, line1, line2) straight into the host's buffers, which it fills
// completely, under the read hold (write must not log: nothing may wait on
// the hold). 2 for a null buffer; a key not loaded blanks both and logs
// "<missingHead><key><missingTail>". 0 or 2.
template <class Store, class Write>
int32_t getlines(Store& store, std::string_view missingHead, std::string_view missingTail, int64_t key, char* line1,
                 char* line2, Write&& write) {
  if (line1 == nullptr || line2 == nullptr) return 2;
  using Record = typename Store::Record;
  if (store.withRecord(key, [&](const Record& rec) { write(rec, line1, line2); })) return 0;
  strtochararr({}, line1, kHostLineLen);
  strtochararr({}, line2, kHostLineLen);
  tracelognumbered(missingHead, key, 19, missingTail);
  return 2;
}

}  // namespace vx::store
