#include "Ambit/AmbitCardReading.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <string>
#include <thread>

#include "Ambit/AmbitProcessing.h"
#include "Ambit/AmbitTestSupport.h"
#include "Services/kernix.h"

namespace vx::ambit {
namespace {

using testing::AmbitStateTest;
using testing::readfile;
using testing::ScratchDir;
using testing::writefile;

using CardReadingTest = AmbitStateTest;

// The block one save writes for the sets at load.
const std::string kSavedAtLoad = "\n\n\n*** Geopotential Model ***\nBCONST=WGS-72  \n*** FK Model ***\nFKCONST=FK5 \n";

TEST(AmbitCardType, Classes) {
  struct Case {
    std::string upper;
    int32_t cls;
  };
  const Case cases[] = {
      {"GEOCONST=WGS-84", kGeoCard}, {"BCONST=WGS-84", kGeoCard}, {"BCONSTANT=JGM2", kGeoCard},
      {"BCONST", kGeoCard},          {"FKCONST=FK4", kFkCard},    {"FKCONSTX=4", kFkCard},
      {"OBLATEEARTH", kOblateCard},  {"SPHERICALEARTH", kSphericalCard},
      {" BCONST=WGS-84", kOtherCard}, {"GEOCONS=WGS-84", kOtherCard}, {"FK=4", kOtherCard},
      {"SPHERICAL", kOtherCard},     {"", kOtherCard},
  };
  for (const Case& c : cases) EXPECT_EQ(classifyambitcard(c.upper), c.cls) << '"' << c.upper << '"';
}

// Loads one file after choosing a starting geopotential and FK set, and
// checks what is current afterwards.
TEST_F(CardReadingTest, FileCards) {
  struct Case {
    const char* what;
    std::string file;
    int32_t startGeo, startFk;
    int32_t geo, fk, oblate;
  };
  const Case cases[] = {
      {"lower-case keyword and name", "bconst=wgs-84\n", 96, 5, 84, 5, 1},
      {"GEOCONST keyword", "GEOCONST=egm96\n", 72, 5, 96, 5, 1},
      {"index as name", "BCONST=9\n", 72, 5, 9, 5, 1},
      {"keyword goes on before =", "BCONSTANT = JGM2\n", 72, 5, 2, 5, 1},
      {"SPECTR keeps the set", "BCONST=SPECTR\n", 96, 5, 96, 5, 1},
      {"SPECTR left-adjusted", "BCONST=   SPECTR  \n", 96, 5, 96, 5, 1},
      {"spectr in lower case is unknown", "BCONST=spectr\n", 96, 5, 72, 5, 1},
      {"unknown name gives WGS-72", "BCONST=NOSUCH\n", 96, 5, 72, 5, 1},
      {"longer name begins with a known one", "BCONST=WGS-84 model\n", 72, 5, 84, 5, 1},
      {"no equals sign: empty value", "BCONST WGS-84\n", 96, 5, 72, 5, 1},
      {"keyword after a blank", " BCONST=WGS-84\n", 96, 4, 96, 4, 1},
      {"comment", "*BCONST=WGS-84\n", 96, 4, 96, 4, 1},
      {"unknown card", "GRAVITY=WGS-84\n", 96, 4, 96, 4, 1},
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
      {"blank lines, CR LF and no last newline", "\n   \r\nBCONST=SEM68R\r\nFKCONST=FK4", 72, 5, 68, 4, 1},
      {"empty file", "", 84, 4, 84, 4, 1},
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

TEST_F(CardReadingTest, FlatteningAfterShapeCards) {
  ScratchDir dir;
  const std::string path = dir.file("env.txt");
  // Chosen under a spherical Earth, EGM-08 keeps flattening 0 when a later
  // card makes the Earth oblate again; WGS-84 follows at once.
  writefile(path, "SPHERICALEARTH\nBCONST=EGM-08\nOBLATEEARTH\n");
  ASSERT_EQ(readambitfrfile(path), 0);
  EXPECT_EQ(genvgeo().flattening, 0.0);
  writefile(path, "SPHERICALEARTH\nBCONST=WGS-84\nOBLATEEARTH\n");
  ASSERT_EQ(readambitfrfile(path), 0);
  EXPECT_EQ(genvgeo().flattening, genvgeo().modelflattening);
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
  EXPECT_EQ(getenvgeo(), 84);
}

TEST(ReadAmbitFrFileUnit, RefusesAnImplicitFortUnit) {
  ASSERT_TRUE(existfortdotfileunit(kEnvInputUnit));
  EXPECT_EQ(readambitfrfileunit(kEnvInputUnit), 2);
  EXPECT_EQ(lasterrmsg(), "ReadAmbitFrFileUnit: Using fort.n not allowed in Veltrix due to security risk");
}

// A pipe cannot be rewound: its cards are refused with a message instead of
// being dropped while the load reports success.
TEST_F(CardReadingTest, PipeIsRefusedNotSilentlyIgnored) {
  ScratchDir dir;
  const std::string fifo = dir.file("env.fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::thread writer([&] {
    std::ofstream out(fifo, std::ios::binary);
    out << "BCONST=WGS-84\n";
  });
  const int32_t rc = readambitfrfile(fifo);
  writer.join();
  EXPECT_EQ(rc, 2);
  EXPECT_EQ(lasterrmsg(), "ReadAmbitFrFileUnit: Cannot rewind the environment file");
  EXPECT_EQ(getenvgeo(), 72);
}

TEST_F(CardReadingTest, SaveWritesTheExactLines) {
  ScratchDir dir;
  const std::string path = dir.file("saved.txt");
  writefile(path, "old content that a replace removes\n");
  ASSERT_EQ(saveambitfile(path, 0), 0);
  EXPECT_EQ(readfile(path), kSavedAtLoad);

  // Any nonzero mode appends a second block.
  ASSERT_EQ(saveambitfile(path, 1), 0);
  EXPECT_EQ(readfile(path), kSavedAtLoad + kSavedAtLoad);

  setenvgeo(2);
  setenvfk(4);
  ASSERT_EQ(saveambitfile(path, -3), 0);
  EXPECT_EQ(readfile(path), kSavedAtLoad + kSavedAtLoad +
                                "\n\n\n*** Geopotential Model ***\nBCONST=JGM2    \n*** FK Model ***\nFKCONST=FK4 \n");
}

TEST_F(CardReadingTest, SaveThenLoadRestoresTheChoice) {
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
      EXPECT_EQ(isusingoblateearth(), 1) << "the earth shape is not saved";
    }
  }
}

// A write that fails (here on a full device, noticed when the buffered lines
// are flushed) is reported, not returned as success.
TEST_F(CardReadingTest, SaveReportsAWriteFailure) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  EXPECT_EQ(saveambitfile("/dev/full", 0), 2);
  EXPECT_EQ(lasterrmsg(), "EnvSaveFile: Error writing environment parameters to file \"/dev/full\".");
}

TEST_F(CardReadingTest, SaveReturnsTheOpenCode) {
  ScratchDir dir;
  EXPECT_NE(saveambitfile(dir.path().string(), 0), 0);
  EXPECT_NE(saveambitfile(dir.file("no/such/dir/env.txt"), 0), 0);
}

}  // namespace
}  // namespace vx::ambit
