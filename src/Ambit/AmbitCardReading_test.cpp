#include "Ambit/AmbitCardReading.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "Ambit/AmbitProcessing.h"
#include "Ambit/AmbitTestSupport.h"
#include "Services/kernix.h"
#include "support/LogCapture.h"

namespace vx::ambit {
namespace {

using testing::readfile;
using testing::ScratchDir;
using testing::writefile;

using CardReadingTest = testing::AmbitStateTest;

// One saved block for the given set and FK names.
std::string savedBlock(const std::string& geo8, const std::string& fk4) {
  return "\n\n\n*** Geopotential Model ***\nBCONST=" + geo8 + "\n*** FK Model ***\nFKCONST=" + fk4 + "\n";
}

// Loads one file after choosing a starting geopotential and FK set, and
// checks what is current afterwards.
TEST_F(CardReadingTest, FileCards) {
  struct Case {
    const char* what;
    std::string file;
    int32_t startGeo, startFk, geo, fk, oblate;
  };
  const Case cases[] = {
      {"lower-case keyword and name", "bconst=wgs-84\n", 96, 5, 84, 5, 1},
      {"GEOCONST, index as name", "GEOCONST=9\n", 72, 5, 9, 5, 1},
      {"keyword goes on before =", "BCONSTANT = JGM2\n", 72, 5, 2, 5, 1},
      {"SPECTR keeps the set", "BCONST=   SPECTR  \n", 96, 5, 96, 5, 1},
      {"spectr in lower case is unknown", "BCONST=spectr\n", 96, 5, 72, 5, 1},
      {"longer name begins with a known one", "BCONST=WGS-84 model\n", 72, 5, 84, 5, 1},
      {"no equals sign: empty value, WGS-72", "BCONST WGS-84\n", 96, 5, 72, 5, 1},
      {"keyword after a blank", " BCONST=WGS-84\n", 96, 4, 96, 4, 1},
      {"comment", "*BCONST=WGS-84\n", 96, 4, 96, 4, 1},
      {"unknown card", "GRAVITY=WGS-84\nGEOCONS=8\n", 96, 4, 96, 4, 1},
      {"FK4", "FKCONST=FK4\n", 72, 5, 72, 4, 1},
      {"fk4 lower case", "fkconst=fk4\n", 72, 5, 72, 4, 1},
      {"FK index 4", "FKCONST=4\n", 72, 5, 72, 4, 1},
      {"FK4 with more after it", "FKCONST=FK4X\n", 72, 4, 72, 5, 1},
      {"FK4 and a word", "FKCONST=FK4 old\n", 72, 4, 72, 5, 1},
      {"FK empty value", "FKCONST=\n", 72, 4, 72, 5, 1},
      {"FK without equals sign", "FKCONST FK4\n", 72, 4, 72, 5, 1},
      {"spherical", "SPHERICALEARTH\n", 72, 5, 72, 5, 0},
      {"oblate after WGS-84", "SPHERICALEARTH\nBCONST=WGS-84\nOBLATEEARTH\n", 72, 5, 84, 5, 1},
      {"later cards win", "BCONST=84\nFKCONST=4\nBCONST=GEM9\nFKCONST=5\n", 72, 5, 9, 5, 1},
      {"blank lines, CR LF, no last newline", "\n   \r\nBCONST=SEM68R\r\nFKCONST=FK4", 72, 5, 68, 4, 1},
      {"line longer than a card", "BCONST=EGM-08" + std::string(600, ' ') + "X\n", 72, 5, 8, 5, 1},
  };
  ScratchDir dir;
  const std::string path = dir.file("env.txt");
  for (const Case& c : cases) {
    setenvgeo(c.startGeo);
    setenvfk(c.startFk);
    writefile(path, c.file);
    EXPECT_EQ(readambitfrfile(path), 0) << c.what;
    EXPECT_EQ(getenvgeo(), c.geo) << c.what;
    EXPECT_EQ(getenvfk(), c.fk) << c.what;
    EXPECT_EQ(isusingoblateearth(), c.oblate) << c.what;
    restore();
  }
}

TEST_F(CardReadingTest, LoadLogsTheLeftAdjustedName) {
  ScratchDir dir;
  const std::string path = dir.file("env.txt");
  writefile(path, "BCONST=WGS-84\n");
  EXPECT_EQ(loadambitfile("   " + path + "     "), 0);
  EXPECT_EQ(lastinfomsg(), "EnvLoadFile: Reading environment parameters from file \"" + path + "\".");
  EXPECT_EQ(getenvgeo(), 84);
}

TEST_F(CardReadingTest, UnreadableFilesChangeNothing) {
  ScratchDir dir;
  setenvgeo(84);
  EXPECT_NE(readambitfrfile(dir.file("missing.txt")), 0);
  EXPECT_NE(readambitfrfile(dir.path().string()), 0);  // a directory
  EXPECT_NE(loadambitfile(""), 0);

  ASSERT_TRUE(existfortdotfileunit(kEnvInputUnit));
  EXPECT_EQ(readambitfrfileunit(kEnvInputUnit), 2);
  EXPECT_EQ(lasterrmsg(), "ReadAmbitFrFileUnit: Using fort.n not allowed in Veltrix due to security risk");

  // A pipe cannot be rewound: refused with a message rather than reported
  // as read. The open waits for a writer, which writes nothing (the reader
  // may be gone before a write could land).
  const std::string fifo = dir.file("env.fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::thread writer([&] {
    const int fd = ::open(fifo.c_str(), O_WRONLY);
    if (fd >= 0) ::close(fd);
  });
  EXPECT_EQ(readambitfrfile(fifo), 2);
  writer.join();
  EXPECT_EQ(lasterrmsg(), "ReadAmbitFrFileUnit: Cannot rewind the environment file");
  EXPECT_EQ(getenvgeo(), 84);
}

TEST_F(CardReadingTest, SaveWritesTheExactLines) {
  ScratchDir dir;
  const std::string path = dir.file("saved.txt");
  writefile(path, "old content that a replace removes\n");
  ASSERT_EQ(saveambitfile(path, 0), 0);
  const std::string atLoad = savedBlock("WGS-72  ", "FK5 ");
  EXPECT_EQ(readfile(path), atLoad);
  // Any nonzero mode appends.
  ASSERT_EQ(saveambitfile(path, 1), 0);
  setenvgeo(2);
  setenvfk(4);
  ASSERT_EQ(saveambitfile(path, -3), 0);
  EXPECT_EQ(readfile(path), atLoad + atLoad + savedBlock("JGM2    ", "FK4 "));

  EXPECT_NE(saveambitfile(dir.path().string(), 0), 0);
  EXPECT_NE(saveambitfile(dir.file("no/such/dir/env.txt"), 0), 0);
}

TEST_F(CardReadingTest, SaveThenLoadRestoresTheChoiceNotTheShape) {
  ScratchDir dir;
  const std::string path = dir.file("roundtrip.txt");
  for (int32_t geo : kGeoIndexes) {
    for (int32_t fk : {4, 5}) {
      setenvgeo(geo);
      setenvfk(fk);
      setearthshape(0);
      ASSERT_EQ(saveambitfile(path, 0), 0);
      setenvgeo(geo == 84 ? 96 : 84);
      setenvfk(fk == 4 ? 5 : 4);
      setearthshape(1);
      ASSERT_EQ(readambitfrfile(path), 0);
      EXPECT_EQ(getenvgeo(), geo);
      EXPECT_EQ(getenvfk(), fk);
      EXPECT_EQ(isusingoblateearth(), 1);
    }
  }
}

// A failed write (a full device, seen when the buffered lines are flushed at
// close) is reported, not returned as success.
TEST_F(CardReadingTest, SaveReportsAWriteFailure) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  EXPECT_EQ(saveambitfile("/dev/full", 0), 2);
  EXPECT_EQ(lasterrmsg(), "EnvSaveFile: Error writing environment parameters to file \"/dev/full\".");
}

// A file that cannot be opened, or that would never end (a device), is
// refused at the open with one error line naming the routine, the file and
// the reason, and changes nothing.
TEST_F(CardReadingTest, OpenFailuresAreOneLineEach) {
  ScratchDir dir;
  const std::string missing = dir.file("missing.txt");
  const std::string folder = dir.path().string();
  struct Case {
    const char* what;
    int32_t (*call)(std::string_view);
    std::string name;
    int32_t code;
    std::string line;
  };
  auto load = [](std::string_view n) { return loadambitfile(n); };
  auto save = [](std::string_view n) { return saveambitfile(n, 1); };
  const Case cases[] = {
      {"device", load, "/dev/zero", kFileErrDevice,
       "EnvLoadFile: cannot open \"/dev/zero\": Is a character device, not a file"},
      {"missing", load, missing, ENOENT, "EnvLoadFile: cannot open \"" + missing + "\": No such file or directory"},
      {"directory", load, folder, kFileErrDirectory, "EnvLoadFile: cannot open \"" + folder + "\": Is a directory"},
      {"no name", load, "", kFileErrNoName, "EnvLoadFile: cannot open \"\": No file name given"},
      {"save to a directory", save, folder, kFileErrDirectory,
       "EnvSaveFile: cannot open \"" + folder + "\": Is a directory"},
      {"save into a missing directory", save, dir.file("no/env.txt"), ENOENT,
       "EnvSaveFile: cannot open \"" + dir.file("no/env.txt") + "\": No such file or directory"},
  };
  setenvgeo(84);
  for (const Case& c : cases) {
    vx::testing::LogCapture log;
    EXPECT_EQ(c.call(c.name), c.code) << c.what;
    EXPECT_EQ(log.errors(), std::vector<std::string>{c.line}) << c.what;
    EXPECT_EQ(getenvgeo(), 84) << c.what;
  }
}

}  // namespace
}  // namespace vx::ambit
