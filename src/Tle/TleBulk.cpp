#include "Tle/TleBulk.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "Services/kernix.h"
#include "Tle/TleArray.h"
#include "Tle/TleTree.h"

namespace vx::tle {

namespace {

// text cut to width characters and blank padded, at out.
void putText(char* out, size_t width, std::string_view text) {
  const size_t n = std::min(width, text.size());
  if (n > 0) std::memcpy(out, text.data(), n);
  std::memset(out + n, ' ', width - n);
}

}  // namespace

int32_t dataToArrays(int32_t count, const int64_t* satKeys, double* arrays, int32_t* found) {
  TleArray work;
  char text[kTleTextLen];
  auto row = [&](size_t i) { return arrays + i * kTleArrLen; };
  return eachKey(
      "TleDataToArrays", count, satKeys, found,
      [&](size_t i, const Tlerecord& rec) {
        tle2array(rec, work, text);
        std::copy(work.begin(), work.end(), row(i));
      },
      [&](size_t i) { std::fill(row(i), row(i) + kTleArrLen, 0.0); });
}

int32_t textColumns(int32_t count, const int64_t* satKeys, char* designators, char* names, size_t nameWidth,
                    int32_t* found, int32_t* longest) {
  size_t most = 0;
  const int32_t hits = eachKey(
      "TleGetTextColumns", count, satKeys, found,
      [&](size_t i, const Tlerecord& rec) {
        if (designators != nullptr) putText(designators + i * kDesignatorWidth, kDesignatorWidth, rec.name());
        if (names != nullptr) putText(names + i * nameWidth, nameWidth, rec.objectName());
        most = std::max(most, rec.objectName().size());
      },
      [&](size_t i) {
        if (designators != nullptr) putText(designators + i * kDesignatorWidth, kDesignatorWidth, {});
        if (names != nullptr) putText(names + i * nameWidth, nameWidth, {});
      });
  if (longest != nullptr) *longest = static_cast<int32_t>(most);
  return hits;
}

int32_t getLoadedColumns(size_t capacity, size_t nElems, const int32_t* elems, int64_t* satKeys, double* columns,
                         int32_t& total) {
  size_t n = 0;
  TleArray work;
  // One walk in ascending key order under one read hold: the keys, the
  // columns and the total agree, and no key is looked up twice.
  tlestore().forEachKeyedInOrder([&](int64_t key, const Tlerecord& rec) {
    if (n < capacity) {
      satKeys[n] = key;
      if (nElems > 0) {
        tle2arrayvalues(rec, work);
        for (size_t j = 0; j < nElems; ++j) columns[j * capacity + n] = work[static_cast<size_t>(elems[j] - 1)];
      }
    }
    ++n;
  });
  total = static_cast<int32_t>(n);
  return static_cast<int32_t>(std::min(n, capacity));
}

}  // namespace vx::tle
