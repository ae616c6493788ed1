// What the input-file tests share: sample element sets and a fixture with a
// scratch directory, the exported load and save, and views of the store.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "Services/kernix.h"
#include "support/FileFixture.h"
#include "support/HostText.h"
#include "support/LogCapture.h"
#include "veltrix/kernix.h"
#include "veltrix/tle.h"

namespace vx::testing::tlefiles {


namespace fs = std::filesystem;
using vx::testing::LogCapture;

const std::string kL1 = "1 25544U 98067A   18020.59659722  .00001558  00000-0  30975-4 0  9993";
const std::string kL2 = "2 25544  51.6421 313.2312 0003370 277.6394 199.7473 15.54148547 96357";
const std::string kM1 = "1 41617U 16040U   18020.92263222  .00002489  00000-0  10617-3 0  9990";
const std::string kM2 = "2 41617  97.4368  87.1954 0011425  46.9108 313.3084 15.23813118 87812";
const std::string kCsv =
    "U,25544,1998-067A,2018,20.59659722,1.558E-05,0,3.0975E-05,0,999,51.6421,313.2312,0.000337,277.6394,"
    "199.7473,15.54148547,9635,0,0,0,0,0,0,0,0,UNKNOWN";

inline std::string host(const std::string& s) { return vx::testing::hostText(s); }

using vx::testing::trimmed;

// satKey as the log lines show it: right-aligned in 19 columns.
inline std::string key19(int64_t key) {
  const std::string k = std::to_string(key);
  return std::string(k.size() < 19 ? 19 - k.size() : 0, ' ') + k;
}

class TleFiles : public vx::testing::FileFixture<TleRemoveAllSats> {
 protected:
  static int32_t load(const std::string& file) { return TleLoadFile(host(file).c_str()); }
  static int32_t save(const std::string& file, int32_t mode, int32_t form) {
    return TleSaveFile(host(file).c_str(), mode, form);
  }
  static int64_t addLines(const std::string& l1, const std::string& l2) {
    return TleAddSatFrLines(host(l1).c_str(), host(l2).c_str());
  }
  // Satellite numbers of the loaded element sets, in load order.
  static std::vector<int32_t> loadedNumbers() {
    std::vector<int64_t> keys(static_cast<size_t>(TleGetCount()));
    if (!keys.empty()) TleGetLoaded(2, keys.data());
    std::vector<int32_t> out;
    for (int64_t k : keys) {
      char v[512];
      TleGetField(k, 1, v);
      out.push_back(std::stoi(trimmed(v, 512)));
    }
    return out;
  }
};

}  // namespace vx::testing::tlefiles
