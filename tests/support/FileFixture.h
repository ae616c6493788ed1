// A test fixture for the input-file tests of either library: a scratch
// directory of its own per test, tree keys and the duplicate switch at 0,
// and the store emptied (removeAll) before and after.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "veltrix/kernix.h"

namespace vx::testing {

template <int32_t (*removeAll)()>
class FileFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    removeAll();
    KernixSetElsetKeyMode(0);
    KernixSetDupKeyMode(0);
    dir_ = std::filesystem::temp_directory_path() /
           ("vx_files_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name() + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    KernixSetLogCallback(nullptr, nullptr);
    removeAll();
    KernixSetElsetKeyMode(0);
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  std::string write(const std::string& name, const std::string& content) const {
    std::ofstream(path(name), std::ios::binary) << content;
    return path(name);
  }
  // This thread's last information line, without its blank padding.
  static std::string lastInfo() {
    char m[128];
    KernixGetLastInfoMsg(m);
    std::string s(m, sizeof m);
    s.erase(s.find_last_not_of(' ') + 1);
    return s;
  }
  std::filesystem::path dir_;
};

}  // namespace vx::testing
