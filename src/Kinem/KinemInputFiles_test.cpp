// State-vector input files and the save file through the exported
// functions: pairing of 1P and 2P cards, the totals, maneuver cards, file
// cards and the outside system's files, what cannot be opened or written,
// vectors the cards cannot carry, and log callbacks that load.
#include "Kinem/KinemInputFiles.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "Kinem/KinemTree.h"
#include "Services/kernix.h"
#include "support/FileFixture.h"
#include "support/HostText.h"
#include "support/LogCapture.h"
#include "veltrix/kernix.h"
#include "veltrix/kinem.h"

namespace {

namespace fs = std::filesystem;
using vx::kinem::Kinemrecord;
using vx::testing::LogCapture;
using vx::testing::trimmed;

// Two epochs of satellite 25544 and one vector of 43013.
const std::string kA1 = "  -5405.1320   3674.5167  -1796.0002   -1488.6831   -4955.9782   -5659.4070 UB1P";
const std::string kA2 = "25544 98067A    18020123456.789  10812  999.010210000.005120000.000000000MMJ2K2P";
const std::string kB1 = "   4800.3201  -4646.9780   1141.2614    2637.3508    4166.7298    5872.9522 UB1P";
const std::string kB2 = "25544 98067A    18021093000.000  10827  999.010210000.005120000.000000000MMJ2K2P";
const std::string kC1 = "   1674.2887  -2606.9575   6504.0481   -5600.2583    3873.0896    2994.0476 UB1P";
const std::string kC2 = "43013 17073A    18020214354.000    901  999.003870000.002410000.000000000TMDAT2P";
// kA2 with a coordinate system the checks refuse.
const std::string kBadA2 = "25544 98067A    18020123456.789  10812  999.010210000.005120000.000000000mmj2k2P";

std::string host(const std::string& s) { return vx::testing::hostText(s); }

std::string set(const std::string& l1, const std::string& l2) { return l1 + "\n" + l2 + "\n"; }

class KinemFiles : public vx::testing::FileFixture<KinemRemoveAllSats> {
 protected:
  static std::string read(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  static int32_t load(const std::string& file) { return KinemLoadFile(host(file).c_str()); }
  static int32_t save(const std::string& file, int32_t mode) { return KinemSaveFile(host(file).c_str(), mode); }
  static int64_t add(const std::string& l1, const std::string& l2) {
    return KinemAddSatFrLines(host(l1).c_str(), host(l2).c_str());
  }
  static std::vector<int64_t> keysInLoadOrder() {
    std::vector<int64_t> keys(static_cast<size_t>(KinemGetCount()));
    if (!keys.empty()) KinemGetLoaded(2, keys.data());
    return keys;
  }
  static Kinemrecord stored(int64_t key) {
    Kinemrecord rec;
    EXPECT_EQ(vx::kinem::kinemstore().findRec(key, rec), 0);
    return rec;
  }
  // The 2P cards of the loaded vectors, in load order.
  static std::vector<std::string> loaded2P() {
    std::vector<std::string> out;
    for (int64_t k : keysInLoadOrder()) {
      char l1[512], l2[512];
      EXPECT_EQ(KinemGetLines(k, l1, l2), 0);
      out.push_back(trimmed(l2, 512));
    }
    return out;
  }
  // The maneuver cards of each loaded vector, in load order, each card
  // without its blank padding.
  static std::vector<std::vector<std::string>> cardsInLoadOrder() {
    std::vector<std::vector<std::string>> out;
    for (int64_t k : keysInLoadOrder()) {
      const Kinemrecord rec = stored(k);
      std::vector<std::string> cards;
      for (int32_t i = 0; i < rec.numMnvrCards; ++i) cards.push_back(trimmed(rec.mnvrCards[i].data(), 512));
      out.push_back(cards);
    }
    return out;
  }
};

// ---- Pairing of 1P and 2P cards -------------------------------------------------

TEST_F(KinemFiles, PendingCardWaitsOnlyAcrossCommentsEmptyLinesAndManeuvers) {
  const std::string orphanNext = "ReadOnlyKINEMs: 1P card without its 2P card (another 1P card follows) '" + kA1 + "'.";
  const std::string orphanOther =
      "ReadOnlyKINEMs: 1P card without its 2P card (a card of another kind follows) '" + kA1 + "'.";
  const std::string orphanEnd = "ReadOnlyKINEMs: 1P card without its 2P card (the file ends) '" + kC1 + "'.";
  const std::string missing = "ReadOnlyKINEMs: Missing 1P card in 1P/2P card set.";
  struct Case {
    const char* what;
    std::string file;
    std::vector<std::string> loaded;  // 2P cards, load order
    std::string totals;
    std::vector<std::string> infos;  // between the reading line and the totals
  };
  const Case cases[] = {
      {"a plain set", set(kA1, kA2), {kA2}, "Total Kinems = 1, Loaded = 1, Dup = 0, Bad = 0", {}},
      {"comments, empty lines and a maneuver card between", kA1 + "\n* note\n\n   \nMNVR 1\n" + kA2 + "\n", {kA2},
       "Total Kinems = 1, Loaded = 1, Dup = 0, Bad = 0", {}},
      {"another 1P card ends the wait", kA1 + "\n" + set(kC1, kC2), {kC2},
       "Total Kinems = 2, Loaded = 1, Dup = 0, Bad = 1", {orphanNext}},
      {"a card of another kind ends the wait", kA1 + "\ngarbage\n" + kA2 + "\n", {},
       "Total Kinems = 2, Loaded = 0, Dup = 0, Bad = 2", {orphanOther, missing}},
      {"a 1P card at the end", set(kA1, kA2) + kC1 + "\n", {kA2}, "Total Kinems = 2, Loaded = 1, Dup = 0, Bad = 1",
       {orphanEnd}},
      {"a 2P card alone", kA2 + "\n" + set(kC1, kC2), {kC2}, "Total Kinems = 2, Loaded = 1, Dup = 0, Bad = 1",
       {missing}},
      {"a stored vector takes its 1P card", set(kA1, kA2) + kB2 + "\n", {kA2},
       "Total Kinems = 2, Loaded = 1, Dup = 0, Bad = 1", {missing}},
      {"a refused pair keeps its 1P card for the next 2P card", kA1 + "\n" + kBadA2 + "\n" + kA2 + "\n", {kA2},
       "Total Kinems = 2, Loaded = 1, Dup = 0, Bad = 1", {}},
  };
  for (const Case& c : cases) {
    KinemRemoveAllSats();
    const std::string file = write("pairs.vec", c.file);
    LogCapture log;
    ASSERT_EQ(load(file), 0) << c.what;
    std::vector<std::string> infos = {"KinemLoadFile: Reading KINEMs from file \"" + file + "\"."};
    infos.insert(infos.end(), c.infos.begin(), c.infos.end());
    infos.push_back(c.totals);
    EXPECT_EQ(log.infos(), infos) << c.what;
    EXPECT_EQ(loaded2P(), c.loaded) << c.what;
  }
}

// The second 2P card after a 1P card whose first pair was a duplicate pairs
// with the same 1P card.
TEST_F(KinemFiles, DuplicateKeepsTheOneP) {
  ASSERT_GT(add(kA1, kA2), 0);
  LogCapture log;
  ASSERT_EQ(load(write("dup.vec", kA1 + "\n" + kA2 + "\n" + kB2 + "\n")), 0);
  EXPECT_EQ(lastInfo(), "Total Kinems = 2, Loaded = 1, Dup = 1, Bad = 0");
  EXPECT_EQ(loaded2P(), (std::vector<std::string>{kA2, kB2}));
  ASSERT_EQ(log.errors().size(), 1u);
  EXPECT_EQ(log.errors()[0].rfind("AddRecToMem: Duplicated record/key ", 0), 0u);
}

// Every card set read counts once: a pair that does not parse and one whose
// epoch gives no key are bad, each with one line.
TEST_F(KinemFiles, EverySetReadIsCountedOnce) {
  std::string noEpoch = kC2;
  noEpoch.replace(14, 17, "       nonsense  ");
  LogCapture log;
  ASSERT_EQ(load(write("bad.vec", set(kA1, kBadA2) + set(kC1, noEpoch) + set(kB1, kB2) + set(kB1, kB2))), 0);
  EXPECT_EQ(lastInfo(), "Total Kinems = 4, Loaded = 1, Dup = 1, Bad = 2");
  EXPECT_EQ(log.errors().size(), 3u);  // the coordinate system, the epoch, the duplicate
}

// A vector on the cards whose epoch is shorter than the card's columns is
// right-adjusted there, and still keys when read back.
TEST_F(KinemFiles, ShortEpochFormsLoad) {
  std::string shortForm = kC2;
  shortForm.replace(14, 17, "   18020.59659722");
  std::string slashForm = kA2;
  slashForm.replace(14, 17, "   2018/020.59659");
  LogCapture log;
  ASSERT_EQ(load(write("short.vec", set(kC1, shortForm) + set(kA1, slashForm))), 0);
  EXPECT_EQ(lastInfo(), "Total Kinems = 2, Loaded = 2, Dup = 0, Bad = 0");
  EXPECT_EQ(log.errors(), std::vector<std::string>{});
  EXPECT_EQ(loaded2P(), (std::vector<std::string>{shortForm, slashForm}));
}

// ---- Maneuver cards ----------------------------------------------------------

TEST_F(KinemFiles, ManeuverCardsGoToTheVectorTheyFollow) {
  using Cards = std::vector<std::vector<std::string>>;
  struct Case {
    const char* what;
    std::string file;
    Cards cards;  // per loaded vector, load order
    bool preloadA;
  };
  const Case cases[] = {
      {"between two sets: the first", set(kA1, kA2) + "MNVR 1\nMNVR 2\n" + set(kC1, kC2), {{"MNVR 1", "MNVR 2"}, {}},
       false},
      {"before the first set: the first", "MNVR 0\n" + set(kA1, kA2) + set(kC1, kC2), {{"MNVR 0"}, {}}, false},
      {"after the last set: the last", set(kA1, kA2) + set(kC1, kC2) + "MNVR 9\n", {{}, {"MNVR 9"}}, false},
      {"between 1P and 2P: the set they sit in", kA1 + "\nMNVR 5\n" + kA2 + "\n", {{"MNVR 5"}}, false},
      {"after a duplicate: the next set added", set(kA1, kA2) + "MNVR 3\n" + set(kC1, kC2), {{}, {"MNVR 3"}}, true},
  };
  for (const Case& c : cases) {
    KinemRemoveAllSats();
    if (c.preloadA) {
      ASSERT_GT(add(kA1, kA2), 0);
    }
    ASSERT_EQ(load(write("mnvr.vec", c.file)), 0) << c.what;
    EXPECT_EQ(cardsInLoadOrder(), c.cards) << c.what;
  }
  // A vector holds 100 cards; the rest are dropped with one line.
  KinemRemoveAllSats();
  std::string many = set(kA1, kA2);
  for (int i = 0; i < 103; ++i) many += "MNVR " + std::to_string(i) + "\n";
  LogCapture log;
  ASSERT_EQ(load(write("many.vec", many)), 0);
  const Cards cards = cardsInLoadOrder();
  ASSERT_EQ(cards.size(), 1u);
  ASSERT_EQ(cards[0].size(), 100u);
  EXPECT_EQ(cards[0][99], "MNVR 99");
  EXPECT_EQ(log.infos()[1], "ReadOnlyKINEMs: Dropped 3 maneuver cards beyond the 100 a vector holds.");
}

// ---- File cards, the DMA card and the outside system's files ------------------

TEST_F(KinemFiles, FileCardsAndDmaCard) {
  const std::string inner = write("inner.vec", set(kA1, kA2) + "VECFIL=" + path("nothing") + "\n");
  const std::string outer = write("outer.vec", "vecfil = " + inner + "\n" + set(kC1, kC2));
  ASSERT_EQ(load(outer), 0);
  EXPECT_EQ(lastInfo(), "Total Kinems = 2, Loaded = 2, Dup = 0, Bad = 0");
  EXPECT_EQ(loaded2P(), (std::vector<std::string>{kA2, kC2}));  // named files first
  ASSERT_EQ(KinemRemoveAllSats(), 0);

  // The DMA card applies to the named files after it and to the file's own
  // sets, wherever it stands.
  ASSERT_EQ(load(write("dma.vec", "ELTFIL=" + inner + "\n" + set(kC1, kC2) + "VX_DMA_ON\n")), 0);
  EXPECT_EQ(KernixGetElsetKeyMode(), 1);
  const std::vector<int64_t> keys = keysInLoadOrder();
  ASSERT_EQ(keys.size(), 2u);
  EXPECT_GE(keys[0], int64_t{1} << 60);  // read before the card
  EXPECT_LT(keys[1], int64_t{1} << 60);
  EXPECT_EQ(keys[1] % 10, 0);
}

TEST_F(KinemFiles, OutsideSystemVectorAndControlFiles) {
  const std::string vector =
      "pos_vel_eci_satellite_number 25544\n"
      "pos_vel_eci_epoch_iyear 2018\n"
      "pos_vel_eci_epoch_day 25.5\n"
      "pos_vel_eci_pos_km_x 6778.0\n"
      "pos_vel_eci_pos_km_y 0\n"
      "pos_vel_eci_pos_km_z 0\n"
      "pos_vel_eci_vel_kmpsec_x 0\n"
      "pos_vel_eci_vel_kmpsec_y 7.5\n"
      "pos_vel_eci_vel_kmpsec_z 0\n"
      "pos_vel_eci_coor_sys_2000 1\n";
  const std::string controls =
      "perturbation_controls 1\n"
      "perturbation_geopot_flag 1\n"
      "perturbation_geopot_zonal_deg 36\n"
      "integrator_input_stepsize_sec 2\n";
  // A file that is the vector: everything after the card belongs to it, and
  // maneuver cards before it go to it.
  ASSERT_EQ(load(write("opx.vec", "MNVR 7\nPOS_VEL_ECI_STATE\n" + vector)), 0);
  EXPECT_EQ(lastInfo(), "Total Kinems = 1, Loaded = 1, Dup = 0, Bad = 0");
  const int64_t key = KinemGetSatKey(25544);
  ASSERT_GT(key, 0);
  Kinemrecord rec = stored(key);
  EXPECT_EQ(rec.vel[1], 7500.0);
  EXPECT_EQ(rec.numMnvrCards, 1);
  EXPECT_FALSE(rec.controls);

  // A control file named by a card: its base name begins with the number.
  const std::string ctl = write("25544.ctl", controls);
  ASSERT_EQ(load(write("cards.vec", "OPXCTRLFILE=" + ctl + "\n")), 0);
  EXPECT_EQ(lastInfo(), "Total Kinems = 0, Loaded = 0, Dup = 0, Bad = 0");
  rec = stored(key);
  ASSERT_TRUE(rec.controls);
  EXPECT_EQ(rec.controls->zonalDeg, 36);
  EXPECT_EQ(rec.controls->stepSize, 120.0);
  EXPECT_EQ(rec.numMnvrCards, 1);  // the rest of the vector stays

  // A file that holds controls itself, named after the satellite.
  ASSERT_EQ(load(write("25544dc.txt", "RUN_OPTION_DC_ONLY\nperturbation_geopot_zonal_deg 12\n")), 0);
  EXPECT_EQ(stored(key).controls->zonalDeg, 12);

  // No such satellite loaded: nothing changes, nothing is logged.
  const std::string other = write("99999.ctl", controls);
  LogCapture log;
  ASSERT_EQ(load(write("other.vec", "OPXCTRLFILE=" + other + "\n")), 0);
  EXPECT_EQ(log.errors(), std::vector<std::string>{});

  // Cards before a vector of the outside system that is not stored go to
  // the vector added last, after the cards it already took.
  KinemRemoveAllSats();
  ASSERT_EQ(load(write("again.vec", set(kA1, kA2) + "MNVR 1\n" + set(kC1, kBadA2) + "MNVR 2\nPOS_VEL_ECI_STATE\n" +
                                        "pos_vel_eci_satellite_number 25544\n")),
            0);
  EXPECT_EQ(lastInfo(), "Total Kinems = 3, Loaded = 1, Dup = 0, Bad = 2");
  EXPECT_EQ(cardsInLoadOrder(), (std::vector<std::vector<std::string>>{{"MNVR 1", "MNVR 2"}}));

  // A vector file named by a card, counted in the outer file's totals.
  KinemRemoveAllSats();
  const std::string vec = write("v.opx", vector);
  ASSERT_EQ(load(write("named.vec", "OPXVECFILE=" + vec + "\n" + set(kC1, kC2))), 0);
  EXPECT_EQ(lastInfo(), "Total Kinems = 2, Loaded = 2, Dup = 0, Bad = 0");

  // A vector file cut short is named in the line that says what it lacks,
  // read by name or as the rest of a file.
  KinemRemoveAllSats();
  const std::string cut = write("cut.opx", vector.substr(0, vector.find("pos_vel_eci_vel")));
  const std::string rest = write("rest.vec", "POS_VEL_ECI_STATE\n" + vector.substr(0, vector.find("pos_vel_eci_pos")));
  LogCapture cutLog;
  ASSERT_EQ(load(write("cut.vec", "OPXVECFILE=" + cut + "\n")), 0);
  EXPECT_EQ(lastInfo(), "Total Kinems = 1, Loaded = 0, Dup = 0, Bad = 1");
  ASSERT_EQ(load(rest), 0);
  EXPECT_EQ(lastInfo(), "Total Kinems = 1, Loaded = 0, Dup = 0, Bad = 1");
  EXPECT_EQ(cutLog.errors(),
            (std::vector<std::string>{
                "ReadOPXKinems: Vector file \"" + cut + "\" has no velocity (missing pos_vel_eci_vel_kmpsec_x)",
                "ReadOPXKinems: Vector file \"" + rest + "\" has no position (missing pos_vel_eci_pos_km_x)"}));
}

// ---- What cannot be opened or written ------------------------------------------

TEST_F(KinemFiles, OpenFailuresAreOneLineEach) {
  const std::string missing = path("missing.vec");
  const std::string folder = dir_.string();
  struct Case {
    const char* what;
    std::function<int32_t()> call;
    int32_t code;
    std::string line;
  };
  const std::vector<Case> cases = {
      {"missing file", [&] { return load(missing); }, ENOENT,
       "KinemLoadFile: cannot open \"" + missing + "\": No such file or directory"},
      {"directory", [&] { return load(folder); }, vx::kFileErrDirectory,
       "KinemLoadFile: cannot open \"" + folder + "\": Is a directory"},
      {"no name", [&] { return load(""); }, vx::kFileErrNoName, "KinemLoadFile: cannot open \"\": No file name given"},
      {"endless device", [&] { return load("/dev/zero"); }, vx::kFileErrDevice,
       "KinemLoadFile: cannot open \"/dev/zero\": Is a character device, not a file"},
      {"file card naming a missing file", [&] { return load(write("c1.vec", "VECFIL=" + missing + "\n")); }, ENOENT,
       "ReadKinemsFrFileUnit: cannot open \"" + missing + "\": No such file or directory"},
      {"vector file card naming a device", [&] { return load(write("c2.vec", "OPXVECFILE = /dev/zero\n")); },
       vx::kFileErrDevice, "ReadKinemsFrFileUnit: cannot open \"/dev/zero\": Is a character device, not a file"},
      {"control file card naming a missing file",
       [&] { return load(write("c3.vec", "OPXCTRLFILE=" + missing + "\n")); }, ENOENT,
       "ReadKinemsFrFileUnit: cannot open \"" + missing + "\": No such file or directory"},
      {"save to a directory", [&] { return save(folder, 0); }, vx::kFileErrDirectory,
       "KinemSaveFile: cannot open \"" + folder + "\": Is a directory"},
      {"save into a missing directory", [&] { return save(path("no/x.vec"), 1); }, ENOENT,
       "KinemSaveFile: cannot open \"" + path("no/x.vec") + "\": No such file or directory"},
  };
  for (const Case& c : cases) {
    LogCapture log;
    EXPECT_EQ(c.call(), c.code) << c.what;
    EXPECT_EQ(log.errors(), std::vector<std::string>{c.line}) << c.what;
  }
  EXPECT_EQ(KinemGetCount(), 0);
}

TEST_F(KinemFiles, PipeIsRefusedNotTakenAsEmpty) {
  const std::string fifo = path("in.fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::thread writer([&] {
    const int fd = ::open(fifo.c_str(), O_WRONLY);
    if (fd >= 0) ::close(fd);
  });
  LogCapture log;
  EXPECT_EQ(load(fifo), 2);
  writer.join();
  EXPECT_EQ(log.errors(), std::vector<std::string>{"ReadKinemsFrFileUnit: Cannot rewind the input file"});
}

// ---- The save file --------------------------------------------------------------

TEST_F(KinemFiles, SaveWritesTheHeaderThenTheCardsAndAppends) {
  const std::string header = "\n\n\n*** Orbital Elements - SP Vectors ***\n";
  const std::string out = path("saved.vec");
  ASSERT_EQ(save(out, 0), 0);
  EXPECT_EQ(read(out), header);  // an empty store: the header only
  const int64_t c = add(kC1, kC2);
  const int64_t a = add(kA1, kA2);
  ASSERT_GT(c, 0);
  ASSERT_GT(a, 0);
  ASSERT_EQ(save(out, 0), 0);
  // Ascending key order: 25544 before 43013.
  const std::string cards = set(kA1, kA2) + set(kC1, kC2);
  EXPECT_EQ(read(out), header + cards);
  ASSERT_EQ(save(out, 1), 0);
  EXPECT_EQ(read(out), header + cards + header + cards);
  ASSERT_EQ(save(out, 0), 0);
  EXPECT_EQ(read(out), header + cards);

  // What was saved comes back, without the maneuver cards.
  ASSERT_EQ(load(write("m.vec", set(kB1, kB2) + "MNVR 1\n")), 0);
  ASSERT_EQ(save(out, 0), 0);
  KinemRemoveAllSats();
  ASSERT_EQ(load(out), 0);
  EXPECT_EQ(lastInfo(), "Total Kinems = 3, Loaded = 3, Dup = 0, Bad = 0");
  for (int64_t k : keysInLoadOrder()) {
    EXPECT_EQ(stored(k).numMnvrCards, 0);
  }
}

TEST_F(KinemFiles, SaveReportsAFullDisk) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  const std::string line = "KinemSaveFile: cannot write \"/dev/full\": No space left on device";
  // The header alone fills nothing but still fails when flushed.
  for (int32_t mode : {0, 1}) {
    LogCapture log;
    EXPECT_EQ(save("/dev/full", mode), 2) << mode;
    EXPECT_EQ(log.errors(), std::vector<std::string>{line}) << mode;
  }
  // Enough vectors to overflow the buffer: the failure shows at a write and
  // is logged once.
  std::string many;
  for (int day = 1; day <= 200; ++day) {
    std::string l2 = kA2;
    l2.replace(18, 3, (day < 10 ? "00" : day < 100 ? "0" : "") + std::to_string(day));
    many += set(kA1, l2);
  }
  ASSERT_EQ(load(write("many.vec", many)), 0);
  EXPECT_EQ(lastInfo(), "Total Kinems = 200, Loaded = 200, Dup = 0, Bad = 0");
  LogCapture log;
  EXPECT_EQ(save("/dev/full", 0), 2);
  EXPECT_EQ(log.errors(), std::vector<std::string>{line});
}

// A vector the adds accept but the cards cannot hold is named, not written;
// the others are written.
TEST_F(KinemFiles, VectorsTheCardsCannotCarryAreNamedNotWritten) {
  Kinemrecord wide;
  wide.satNum = 7;
  std::memcpy(wide.epochDtg.data(), "  18020123456.789", 17);
  wide.pos = {1e8, 0, 0};
  const int64_t wideKey = vx::kinem::addkinemtomem(wide);
  ASSERT_GT(wideKey, 0);
  ASSERT_GT(add(kA1, kA2), 0);
  const std::string out = path("saved.vec");
  LogCapture log;
  EXPECT_EQ(save(out, 0), 2);
  const auto errors = log.errors();
  ASSERT_EQ(errors.size(), 1u);
  const std::string k = std::to_string(wideKey);
  EXPECT_EQ(errors[0].rfind("KinemWriteLines: Vector " + std::string(19 - k.size(), ' ') + k + " not written: ", 0), 0u)
      << errors[0];
  EXPECT_EQ(read(out), "\n\n\n*** Orbital Elements - SP Vectors ***\n" + set(kA1, kA2));
}

// ---- Log callbacks ---------------------------------------------------------------

struct Reentry {
  std::string trigger;
  std::string file;
  bool done;
  int32_t result;
  std::string error;
};

void loadFromCallback(int32_t, const char* text, int32_t length, void* user) {
  auto* r = static_cast<Reentry*>(user);
  if (r->done || std::string_view(text, static_cast<size_t>(length)).rfind(r->trigger, 0) != 0) return;
  r->done = true;
  r->result = KinemLoadFile(host(r->file).c_str());
  char m[128];
  KernixGetLastErrMsg(m);
  r->error = trimmed(m, 128);
}

TEST_F(KinemFiles, LogCallbackThatLoadsDuringALoadIsRefused) {
  const std::string other = write("other.vec", set(kC1, kC2));
  // A pair that does not parse (an error line while the file is read), then
  // a good one.
  const std::string outer = write("outer.vec", set(kA1, kBadA2) + set(kB1, kB2));
  struct Case {
    const char* what;
    std::string trigger;
    int32_t result;
    size_t count;
  };
  const Case cases[] = {
      {"while reading the sets", "ValidateKinemValues:", 2, 1},
      {"at the totals line", "Total Kinems", 2, 1},
      {"before the load begins", "KinemLoadFile: Reading KINEMs from file \"" + outer, 0, 2},
  };
  for (const Case& c : cases) {
    KinemRemoveAllSats();
    Reentry r{c.trigger, other, false, -1, ""};
    KernixSetLogCallback(&loadFromCallback, &r);
    const int32_t rc = load(outer);
    KernixSetLogCallback(nullptr, nullptr);
    EXPECT_EQ(rc, 0) << c.what;
    ASSERT_TRUE(r.done) << c.what;
    EXPECT_EQ(r.result, c.result) << c.what;
    if (c.result != 0) {
      EXPECT_EQ(r.error,
                "KinemLoadFile: Cannot load a file while this thread is loading one (called from a log callback?)")
          << c.what;
    }
    EXPECT_EQ(KinemGetCount(), static_cast<int32_t>(c.count)) << c.what;
  }
  // Nothing is left behind: the thread loads again.
  KinemRemoveAllSats();
  ASSERT_EQ(load(other), 0);
  EXPECT_EQ(lastInfo(), "Total Kinems = 1, Loaded = 1, Dup = 0, Bad = 0");
}

// ---- Per-set reports and counts ---------------------------------------------

struct Seen {
  int32_t lineNum;
  int32_t lineNum2;
  int32_t status;
  std::string msg;
};
void collectSeen(int32_t lineNum, int32_t lineNum2, int64_t satKey, int32_t status, const char* msg, int32_t msgLen,
                 void* user) {
  auto* seen = static_cast<std::vector<Seen>*>(user);
  seen->push_back({lineNum, lineNum2, status, std::string(msg, static_cast<size_t>(msgLen))});
  EXPECT_EQ(satKey > 0, status == 0);
  EXPECT_GE(KinemGetCount(), 0);  // back into the library from the report
}

TEST_F(KinemFiles, EachCardSetReadIsReportedAndCounted) {
  std::string text;
  for (const std::string& line : {kC2, kA1, kA2, kA1, kA2, kB1, kBadA2, kC1})
    text += line + "\n";
  const std::string file = write("each.vec", text);
  std::vector<Seen> seen;
  EXPECT_EQ(KinemLoadFileEach(host(file).c_str(), &collectSeen, &seen), 0);
  EXPECT_EQ(lastInfo(), "Total Kinems = 5, Loaded = 1, Dup = 1, Bad = 3");
  ASSERT_EQ(seen.size(), 5u);
  // {line, line of the 2P card (0: a 1P card without one), status}
  const std::vector<std::array<int32_t, 3>> where = {{1, 1, 2}, {2, 3, 0}, {4, 5, 1}, {6, 7, 2}, {8, 0, 2}};
  for (size_t i = 0; i < where.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(seen[i].lineNum, where[i][0]);
    EXPECT_EQ(seen[i].lineNum2, where[i][1]);
    EXPECT_EQ(seen[i].status, where[i][2]);
    EXPECT_EQ(seen[i].msg.empty(), where[i][2] == 0);
  }
  EXPECT_EQ(seen[0].msg, "ReadOnlyKINEMs: Missing 1P card in 1P/2P card set.");
  EXPECT_EQ(seen[4].msg, "ReadOnlyKINEMs: 1P card without its 2P card (the file ends) '" + kC1 + "'.");

  KinemRemoveAllSats();
  int32_t loaded = -1, dup = -1, bad = -1;
  EXPECT_EQ(KinemLoadFileCounts(host(file).c_str(), &loaded, &dup, &bad), 0);
  EXPECT_EQ(loaded, 1);
  EXPECT_EQ(dup, 1);
  EXPECT_EQ(bad, 3);
  EXPECT_EQ(KinemLoadFileCounts(host(path("missing.vec")).c_str(), &loaded, nullptr, nullptr), 2);
  EXPECT_EQ(loaded, 0);
}

}  // namespace
