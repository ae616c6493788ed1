// File units: what fileopen refuses, the one line it logs for it and the
// code it keeps for the host, and write errors that show only at the write
// or the close.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "Platform/kernix/KernixInternal.h"
#include "Services/kernix.h"
#include "support/LogCapture.h"

namespace vx {
namespace {

namespace fs = std::filesystem;
using vx::testing::LogCapture;

class Units : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("vx_units_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    file_ = (dir_ / "a.txt").string();
    std::ofstream(file_) << "first\nsecond\n";
  }
  void TearDown() override {
    for (int u = 0; u < 10; ++u) fileclose(u);
    fs::remove_all(dir_);
  }
  fs::path dir_;
  std::string file_;
};

TEST_F(Units, EveryRefusalIsOneLineNamingCallerFileAndReason) {
  struct Case {
    const char* what;
    int32_t unit;
    std::string name;
    int32_t mode;
    int32_t code;
    std::string reason;
  };
  const std::string missing = (dir_ / "missing.txt").string();
  const Case cases[] = {
      {"missing file", 3, missing, kFileRead, ENOENT, "No such file or directory"},
      {"missing directory", 8, (dir_ / "no" / "x").string(), kFileCreate, ENOENT, "No such file or directory"},
      {"directory read", 3, dir_.string(), kFileRead, kFileErrDirectory, "Is a directory"},
      {"directory written", 8, dir_.string(), kFileCreate, kFileErrDirectory, "Is a directory"},
      {"empty name", 3, "   ", kFileRead, kFileErrNoName, "No file name given"},
      {"device read", 3, "/dev/zero", kFileRead, kFileErrDevice, "Is a character device, not a file"},
      {"bad mode", 3, file_, 7, kFileErrBadMode, "Open mode 7 is not 0, 1 or 2"},
      {"bad unit", 100, file_, kFileRead, kFileErrBadUnit, "Unit 100 is not one of 0-99"},
      {"negative unit", -1, file_, kFileRead, kFileErrBadUnit, "Unit -1 is not one of 0-99"},
  };
  for (const Case& c : cases) {
    LogCapture log;
    clearlastopenerr();
    EXPECT_EQ(fileopen(c.unit, c.name, c.mode, "SomeRoutine"), c.code) << c.what;
    EXPECT_EQ(lastopenerr(), c.code) << c.what;
    const std::string name(trimmed(c.name));
    EXPECT_EQ(log.errors(), std::vector<std::string>{"SomeRoutine: cannot open \"" + name + "\": " + c.reason})
        << c.what;
    if (c.unit >= 0 && c.unit < 100) {
      EXPECT_TRUE(existfortdotfileunit(c.unit)) << c.what;
    }
  }
  // Without a caller the line names the service itself.
  LogCapture log;
  EXPECT_EQ(fileopen(3, missing, kFileRead), ENOENT);
  EXPECT_EQ(log.errors(), std::vector<std::string>{"FileOpen: cannot open \"" + missing + "\": No such file or directory"});
}

TEST_F(Units, TheLastOpenErrorLastsUntilClearedAndBelongsToItsThread) {
  clearlastopenerr();
  EXPECT_EQ(fileopen(3, (dir_ / "missing.txt").string(), kFileRead), ENOENT);
  // A later open that succeeds leaves it: a load that opened its file and
  // then failed on a file named inside it still shows that failure.
  ASSERT_EQ(fileopen(4, file_, kFileRead), VX_OK);
  EXPECT_EQ(lastopenerr(), ENOENT);
  std::thread([&] {
    EXPECT_EQ(lastopenerr(), VX_OK);
    EXPECT_EQ(fileopen(3, dir_.string(), kFileRead), kFileErrDirectory);
    EXPECT_EQ(lastopenerr(), VX_FILE_DIRECTORY);
  }).join();
  EXPECT_EQ(lastopenerr(), ENOENT);
  clearlastopenerr();
  EXPECT_EQ(lastopenerr(), VX_OK);
}

TEST_F(Units, AnOpenUnitIsNeverTakenOver) {
  ASSERT_EQ(fileopen(3, file_, kFileRead), 0);
  char buf[16];
  ASSERT_TRUE(filereadline(3, buf, sizeof buf));
  LogCapture log;
  // Whoever opened the unit keeps reading where it was.
  EXPECT_EQ(fileopen(3, file_, kFileRead, "Nested"), kFileErrUnitOpen);
  EXPECT_EQ(log.errors(),
            std::vector<std::string>{"Nested: cannot open \"" + file_ + "\": Unit 3 is already open on this thread"});
  ASSERT_TRUE(filereadline(3, buf, sizeof buf));
  EXPECT_EQ(std::string_view(buf, 6), "second");
  EXPECT_EQ(fileclose(3), 0);
  EXPECT_EQ(fileopen(3, file_, kFileRead), 0);
}

TEST_F(Units, DevicesMayBeWrittenAndReportAFullDisk) {
  // Writing to a device is allowed; a full one fails at the write that
  // overflows the buffer, or at the close when everything fitted in it.
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  LogCapture log;
  ASSERT_EQ(fileopen(8, "/dev/null", kFileCreate), 0);
  EXPECT_EQ(filewriteline(8, "into nothing"), 0);
  EXPECT_EQ(fileclose(8), 0);

  ASSERT_EQ(fileopen(8, "/dev/full", kFileAppend), 0);
  EXPECT_EQ(filewriteline(8, "short"), 0);
  EXPECT_EQ(fileclose(8), ENOSPC);

  ASSERT_EQ(fileopen(8, "/dev/full", kFileCreate), 0);
  int32_t rc = 0;
  const std::string longLine(1000, 'x');
  for (int i = 0; i < 100 && rc == 0; ++i) rc = filewriteline(8, longLine);
  EXPECT_EQ(rc, ENOSPC);
  fileclose(8);
  EXPECT_TRUE(log.errors().empty());
}

}  // namespace
}  // namespace vx
