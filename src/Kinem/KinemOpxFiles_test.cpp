// The OPX readers over small vector and control files written into a
// temporary directory: key tables, unit conversions, covariance, the
// perturbation switch and what reaches the store.
#include "Kinem/KinemOpxFiles.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "Kinem/KinemTree.h"
#include "Services/chronom.h"
#include "Services/kernix.h"
#include "support/LogCapture.h"
#include "veltrix/kernix.h"

namespace vx::kinem {
namespace {

namespace fs = std::filesystem;
using vx::testing::LogCapture;

constexpr int32_t kUnit = 21;

// A complete vector file: satellite 25544 at 2018 day 20.59659722.
const std::string kVector =
    "* OPX state vector\n"
    "pos_vel_eci_satellite_number = 25544\n"
    "pos_vel_eci_international_des = 98067A\n"
    "pos_vel_eci_epoch_iyear = 2018\n"
    "pos_vel_eci_epoch_day = 20.59659722\n"
    "pos_vel_eci_balcoe_m2pkg = 0.0123\n"
    "pos_vel_eci_rad_pres_m2pkg = 0.0456\n"
    "pos_vel_eci_intrk_dr_thr_mpssq = 0.002\n"
    "pos_vel_eci_element_number = 999\n"
    "\n"
    "MNVR pos_vel_eci_pos_km_x = 1\n"
    "pos_vel_eci_pos_km_x = 6524.834\n"
    "pos_vel_eci_pos_km_y = 6862.875\n"
    "pos_vel_eci_pos_km_z 6448.296\n"
    "pos_vel_eci_vel_kmpsec_x = 4.901327\n"
    "pos_vel_eci_vel_kmpsec_y = 5.533756\n"
    "pos_vel_eci_vel_kmpsec_z = -1.976341\n"
    "pos_vel_eci_epoch_rev = 12345\n"
    "pos_vel_eci_coor_sys_2000 = 1\n"
    "covariance_weighted_rms = 1.25\n";

class OpxFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    int32_t err = 0;
    kinemstore().emptyTree(err);
    elsetkeymodeset(0);
    dupkeymodeset(0);
    opxsetapplyperts(false);
    dir_ = fs::temp_directory_path() / ("vx_opx_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override {
    int32_t err = 0;
    kinemstore().emptyTree(err);
    elsetkeymodeset(0);
    opxsetapplyperts(false);
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  std::string write(const std::string& name, const std::string& content) const {
    const std::string p = (dir_ / name).string();
    std::ofstream(p, std::ios::binary) << content;
    return p;
  }
  struct Counts {
    int32_t loaded, dup, bad, err;
    int64_t key;
  };
  static constexpr Counts kFresh{0, 0, 0, -1, -1};
  // Reads a vector file on a unit of its own, telling the reader its path
  // (vecPath()); the counters add up.
  Counts readVector(const std::string& content, Counts c = kFresh) {
    EXPECT_EQ(fileopen(kUnit, write("vec.txt", content), kFileRead, "Test"), 0);
    readopxkinems(kUnit, c.loaded, c.dup, c.bad, c.err, &c.key, vecPath());
    fileclose(kUnit);
    return c;
  }
  std::string vecPath() const { return (dir_ / "vec.txt").string(); }
  Card4pinput readControls(const std::string& content, const std::string& name = "ctl.txt") {
    Card4pinput c;
    c.errCtrl = -1;  // every field must be written
    EXPECT_EQ(fileopen(kUnit, write(name, content), kFileRead, "Test"), 0);
    readopxctrls(c, kUnit);
    fileclose(kUnit);
    return c;
  }
  static Kinemrecord stored(int64_t key) {
    Kinemrecord r;
    EXPECT_EQ(kinemstore().findRec(key, r), 0);
    return r;
  }
  fs::path dir_;
};

TEST(OpxLines, CheckFieldNumAndStr) {
  const struct {
    std::string line, key;
    double num;
    std::string str;
  } cases[] = {
      {"perturbation_controls 1", "perturbation_controls", 1, "1"},
      {"perturbation_controls = 1.5E-3", "perturbation_controls", 1.5e-3, "1.5E-3"},
      {"perturbation_controls", "perturbation_controls", 0, ""},
      {"perturbation_controls = x", "perturbation_controls", kOpxAbsent, "x"},
      {"PERTURBATION_CONTROLS 1", "perturbation_controls", kOpxAbsent, ""},
      {" perturbation_controls 1", "perturbation_controls", kOpxAbsent, ""},
      {"perturbation_constant_f10bar 150", "perturbation_constant_f10   ", kOpxAbsent, ""},
      {"perturbation_constant_f10    150", "perturbation_constant_f10   ", 150, "150"},
      {"key = a = b", "key", kOpxAbsent, "a = b"},
      // Column 128 is the last one read: the 9 in column 129 is not.
      {"key" + std::string(124, ' ') + "79", "key", 7, "7"},
  };
  for (const auto& c : cases) {
    std::string line = c.line;
    line.resize(kLineLen, ' ');
    EXPECT_EQ(checkfieldnum(line, c.key), c.num) << c.line;
    char out[kLineLen];
    checkfieldstr(line, c.key, out);
    std::string want = c.str;
    want.resize(kLineLen, ' ');
    EXPECT_EQ(std::string(out, kLineLen), want) << c.line;
  }
}

TEST(OpxLines, SatelliteNumberFromFilePath) {
  const struct {
    std::string path;
    int32_t num;
  } cases[] = {
      {"/data/opx/25544_ctrl.txt", 25544}, {"C:\\opx\\00005.ctl", 5}, {"12345abc", 12345},
      {"/a.b/c\\99999/00042x", 42},        {"/data/123", 123},        {"/data/1234x.ctl", -1},
      {"/data/x1234", -1},                 {"", 0},
  };
  for (const auto& c : cases) {
    std::string padded = c.path;
    padded.resize(kLineLen, ' ');
    EXPECT_EQ(getsatnumfrfilepath(c.path), c.num) << c.path;
    EXPECT_EQ(getsatnumfrfilepath(padded), c.num) << c.path;
  }
}

TEST_F(OpxFiles, VectorFileFieldsAndUnits) {
  LogCapture log;
  const Counts c = readVector(kVector);
  EXPECT_EQ(c.err, 0);
  EXPECT_EQ(c.loaded, 1);
  EXPECT_EQ(c.dup + c.bad, 0);
  EXPECT_TRUE(log.errors().empty() && log.infos().empty());
  const Kinemrecord r = stored(c.key);
  EXPECT_EQ(r.satNum, 25544);
  EXPECT_EQ(std::string(r.intlDes.data(), 8), "98067A  ");
  EXPECT_EQ(std::string(r.epoch()), "18020141906.000  ");
  EXPECT_EQ(c.key, createsatkey(25544, 4, "18020141906.000  ", 0));
  EXPECT_EQ(r.bTerm, 0.0123);
  EXPECT_EQ(r.agom, 0.0456);
  EXPECT_DOUBLE_EQ(r.thrustAcc, 0.000002);
  EXPECT_EQ(r.elsetNum, 999);
  EXPECT_EQ(r.pos[0], 6524.834);  // the maneuver card before it is skipped
  EXPECT_EQ(r.pos[2], 6448.296);
  EXPECT_DOUBLE_EQ(r.vel[0], 4901.327);
  EXPECT_DOUBLE_EQ(r.vel[2], -1976.341);
  EXPECT_EQ(r.epochRev, 12345);
  EXPECT_EQ(r.coord(), "MMJ2K");
  EXPECT_EQ(r.weightedRms, 1.25);
  EXPECT_EQ(r.secClass, 'U');
  EXPECT_FALSE(r.covariance || r.controls);
}

TEST_F(OpxFiles, LaterLinesCoordinateKeysAndCovariance) {
  const struct {
    const char* what;
    std::string extra;
    std::string coord;
    double posX;
    std::vector<std::pair<size_t, double>> cov;  // {} : no covariance
  } cases[] = {
      {"second position wins", "pos_vel_eci_pos_km_x = 7000.5\n", "MMJ2K", 7000.5, {}},
      {"coordinate key with 0 acts not", "pos_vel_eci_coor_sys_1950 = 0\n", "MMJ2K", 6524.834, {}},
      {"last coordinate key with 1 wins",
       "pos_vel_eci_coor_sys_1950 = 1\npos_vel_eci_coor_sys_date = 1\npos_vel_eci_coor_sys_2000 = 0\n", "TMDAT",
       6524.834, {}},
      {"covariance indices 1 to 28 only",
       "covariance_matrix( 1) = 1.5E-3\ncovariance_matrix(28) = 2.5\ncovariance_matrix(29) = 9\n"
       "covariance_matrix( 0) = 9\ncovariance_matrix(xx) = 9\ncovariance_matrix(-1) = 9\n",
       "MMJ2K", 6524.834, {{0, 1.5e-3}, {27, 2.5}, {28, 0}, {54, 0}}},
      {"zero terms give no covariance", "covariance_matrix( 3) = 0.0\n", "MMJ2K", 6524.834, {}},
      {"terms summing to 1e-21 give none", "covariance_matrix( 3) = 1e-21\n", "MMJ2K", 6524.834, {}},
      {"terms summing above 1e-21 give one", "covariance_matrix( 3) = -1.1e-21\n", "MMJ2K", 6524.834,
       {{2, -1.1e-21}}},
  };
  for (const auto& c : cases) {
    int32_t err = 0;
    kinemstore().emptyTree(err);
    const Counts n = readVector(kVector + c.extra);
    ASSERT_EQ(n.loaded, 1) << c.what;
    const Kinemrecord r = stored(n.key);
    EXPECT_EQ(r.coord(), c.coord) << c.what;
    EXPECT_EQ(r.pos[0], c.posX) << c.what;
    ASSERT_EQ(r.covariance != nullptr, !c.cov.empty()) << c.what;
    for (const auto& [i, v] : c.cov) EXPECT_EQ((*r.covariance)[i], v) << c.what << " term " << i + 1;
  }
}

TEST_F(OpxFiles, SecondReadIsADuplicateInAnyKeyMode) {
  elsetkeymodeset(1);  // the key comes from the fields all the same
  LogCapture log;
  Counts c = readVector(kVector);
  ASSERT_EQ(c.loaded, 1);
  EXPECT_FALSE(isdma(c.key));
  c = readVector(kVector, c);
  EXPECT_EQ(c.loaded, 1);
  EXPECT_EQ(c.dup, 1);
  EXPECT_EQ(c.key, 0);
  EXPECT_EQ(c.err, 0);
  EXPECT_EQ(kinemstore().count(), 1);
  EXPECT_TRUE(log.errors().empty());
}

// Each refused vector counts once as bad with exactly one error line.
TEST_F(OpxFiles, RefusedVectorsCountAsBad) {
  auto without = [](const std::string& key) {
    std::string v = kVector;
    const size_t at = v.find(key);
    return v.erase(at, v.find('\n', at) + 1 - at);
  };
  const struct {
    const char* what;
    std::string file;
    std::string message;  // empty: only one line expected
  } cases[] = {
      {"no year", without("pos_vel_eci_epoch_iyear"),
       "ReadOPXKinems: Vector without its epoch (needs pos_vel_eci_epoch_iyear and pos_vel_eci_epoch_day)"},
      {"no day", without("pos_vel_eci_epoch_day"),
       "ReadOPXKinems: Vector without its epoch (needs pos_vel_eci_epoch_iyear and pos_vel_eci_epoch_day)"},
      {"velocity beyond a double once in m/s", kVector + "pos_vel_eci_vel_kmpsec_y = 1e306\n",
       "ReadOPXKinems: Invalid VelY = Infinity (finite)"},
      {"control byte in the designator", kVector + "pos_vel_eci_international_des = 98\t67A\n",
       "ReadOPXKinems: Invalid character code in International Designator = 9 (valid=32-126)"},
      {"no key for the number", kVector + "pos_vel_eci_satellite_number = -5\n", ""},
      {"no satellite number", without("pos_vel_eci_satellite_number"),
       "ReadOPXKinems: Vector file \"" + vecPath() +
           "\" has no satellite number (missing pos_vel_eci_satellite_number)"},
      {"no position Y", without("pos_vel_eci_pos_km_y"),
       "ReadOPXKinems: Vector file \"" + vecPath() + "\" has no position (missing pos_vel_eci_pos_km_y)"},
      {"no velocity Z", without("pos_vel_eci_vel_kmpsec_z"),
       "ReadOPXKinems: Vector file \"" + vecPath() + "\" has no velocity (missing pos_vel_eci_vel_kmpsec_z)"},
      {"position Z that does not read", without("pos_vel_eci_pos_km_z") + "pos_vel_eci_pos_km_z = x\n",
       "ReadOPXKinems: Vector file \"" + vecPath() + "\" has no position (missing pos_vel_eci_pos_km_z)"},
  };
  for (const auto& c : cases) {
    LogCapture log;
    const Counts n = readVector(c.file);
    EXPECT_EQ(n.bad, 1) << c.what;
    EXPECT_EQ(n.loaded + n.dup, 0) << c.what;
    EXPECT_EQ(n.err, 0) << c.what;
    EXPECT_EQ(n.key, 0) << c.what;
    const auto errors = log.errors();
    ASSERT_EQ(errors.size(), 1u) << c.what;
    if (!c.message.empty()) {
      EXPECT_EQ(errors[0], c.message) << c.what;
    }
  }
  EXPECT_EQ(kinemstore().count(), 0);
}

// A file cut after its epoch and before its position lines loaded a vector at
// (0, 0, 0) km, at rest: it is bad, with one line naming the file.
TEST_F(OpxFiles, TruncatedVectorFileIsBadNotAtRest) {
  const std::string lastLines[] = {"pos_vel_eci_epoch_day", "pos_vel_eci_balcoe_m2pkg", "pos_vel_eci_rad_pres_m2pkg",
                                   "pos_vel_eci_intrk_dr_thr_mpssq", "pos_vel_eci_element_number"};
  for (const std::string& last : lastLines) {
    SCOPED_TRACE(last);
    LogCapture log;
    const Counts n = readVector(kVector.substr(0, kVector.find('\n', kVector.find(last)) + 1));
    EXPECT_EQ(n.bad, 1);
    EXPECT_EQ(n.loaded + n.dup, 0);
    EXPECT_EQ(n.err, 0);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"ReadOPXKinems: Vector file \"" + vecPath() +
                                                     "\" has no position (missing pos_vel_eci_pos_km_x)"});
  }
  EXPECT_EQ(kinemstore().count(), 0);
  // Without a name the line says only what is missing.
  LogCapture log;
  EXPECT_EQ(fileopen(kUnit, write("cut.txt", kVector.substr(0, kVector.find("pos_vel_eci_vel_kmpsec_y"))), kFileRead,
                     "Test"),
            0);
  Counts c = kFresh;
  readopxkinems(kUnit, c.loaded, c.dup, c.bad, c.err);
  fileclose(kUnit);
  EXPECT_EQ(c.bad, 1);
  EXPECT_EQ(log.errors(),
            std::vector<std::string>{"ReadOPXKinems: Vector file has no velocity (missing pos_vel_eci_vel_kmpsec_y)"});
}

// 101 different vectors of one satellite and epoch: 100 take the keys of the
// retry sequence, the last finds none free and is bad, not a duplicate.
TEST_F(OpxFiles, NoFreeKeyCountsBadNotDup) {
  Counts c = kFresh;
  int64_t first = 0;
  for (int i = 0; i < 100; ++i) {
    c = readVector(kVector + "pos_vel_eci_pos_km_x = " + std::to_string(7000 + i) + "\n", c);
    if (i == 0) first = c.key;
  }
  ASSERT_EQ(c.loaded, 100);
  LogCapture log;
  c = readVector(kVector, c);
  EXPECT_EQ(c.loaded, 100);
  EXPECT_EQ(c.dup, 0);
  EXPECT_EQ(c.bad, 1);
  EXPECT_EQ(c.err, 0);
  EXPECT_EQ(c.key, 0);
  std::string key = std::to_string(first);
  key.insert(0, 19 - key.size(), ' ');
  EXPECT_EQ(log.errors(), std::vector<std::string>{"AddRecToMem: No free key within 100 tries from satKey " + key});
  EXPECT_EQ(kinemstore().count(), 100);
}

TEST_F(OpxFiles, FortNUnits) {
  LogCapture log;
  Counts c = kFresh;
  c.loaded = 4;
  readopxkinems(kUnit, c.loaded, c.dup, c.bad, c.err, &c.key);
  EXPECT_EQ(c.err, 2);
  EXPECT_EQ(c.loaded, 4);
  EXPECT_EQ(c.dup + c.bad, 0);
  EXPECT_EQ(log.errors(), std::vector<std::string>{"ReadOPXKinems: Using fort.n not allowed in Veltrix due to security risk"});

  opxsetapplyperts(true);
  Card4pinput ctl;
  ctl.geopotFlag = 1;
  readopxctrls(ctl, kUnit);  // defaults, silently
  EXPECT_EQ(ctl.geopotFlag, 0);
  EXPECT_EQ(ctl.ctlFlagA, 0);
  EXPECT_EQ(ctl.errCtrl, 10);
  EXPECT_EQ(log.errors().size(), 1u);
  EXPECT_TRUE(opxapplyperts());
}

TEST_F(OpxFiles, ControlKeys) {
  const std::string on = "perturbation_controls = 1\n";
  const std::string drag = on + "perturbation_drag_flag = 1\n";
  const struct {
    const char* what;
    std::string file;
    void (*check)(const Card4pinput&);
  } cases[] = {
      {"flags need the switch", "perturbation_rad_pres_flag = 1\nperturbation_geopot_flag = 1\n",
       [](const Card4pinput& c) { EXPECT_EQ(c.radPresFlag + c.geopotFlag, 0); }},
      {"flags under the switch",
       on + "perturbation_rad_pres_flag = 1\nperturbation_geopot_flag = 1\nperturbation_searth_tides_flag = 1\n"
            "perturbation_lunar_solar_flag = 1\nperturbation_intrk_dur_thrust = 1\nperturbation_geopot_flag = 0\n",
       [](const Card4pinput& c) {
         EXPECT_EQ(c.radPresFlag + c.geopotFlag + c.solidTidesFlag + c.lunarSolarFlag + c.thrustFlag, 5);
       }},
      {"j70dca with its file flag", drag + "perturbation_j70dca_file_flag = 1\nperturbation_atmos_j70dca = 1\n",
       [](const Card4pinput& c) { EXPECT_EQ(c.dragModel, 3); }},
      {"j70dca after jbhsgi",
       drag + "perturbation_jbhsgi_flag = 1\nperturbation_j70dca_file_flag = 1\nperturbation_atmos_j70dca = 1\n",
       [](const Card4pinput& c) { EXPECT_EQ(c.dragModel, 4); }},
      {"j70dca without its file flag", drag + "perturbation_atmos_j70dca = 1\n",
       [](const Card4pinput& c) { EXPECT_EQ(c.dragModel, 0); }},
      {"msis90 before the drag flag", on + "perturbation_atmos_j70_msis90 = 1\nperturbation_drag_flag = 1\n",
       [](const Card4pinput& c) { EXPECT_EQ(c.dragModel, 0); }},
      {"msis90 after it", drag + "perturbation_atmos_j70_msis90 = 1\n",
       [](const Card4pinput& c) { EXPECT_EQ(c.dragModel, 2); }},
      {"constants truncated",
       "perturbation_constant_f10bar = 151.9\nperturbation_constant_f10    = 149.7\nperturbation_constant_ap = "
       "-15.8\nperturbation_geopot_zonal_deg = 36\nperturbation_geopot_zonal_deg = 123456789\n",
       [](const Card4pinput& c) {
         EXPECT_EQ(c.f10Bar, 151);
         EXPECT_EQ(c.f10, 149);
         EXPECT_EQ(c.ap, -15);
         EXPECT_EQ(c.zonalDeg, 36);
       }},
      {"nutation", "perturbation_nut_50_terms = 1\nperturbation_nut_spadoc = 1\nperturbation_nut_full_terms = 0\n",
       [](const Card4pinput& c) { EXPECT_EQ(c.nutTerms, 4); }},
      {"integrator", "integrator_s_int_flag = 1\nintegrator_fix_step_flag = 1\nintegrator_error_control = 1e-12\n"
                     "integrator_input_stepsize_sec = 2\n",
       [](const Card4pinput& c) {
         EXPECT_EQ(c.integMode, 2);
         EXPECT_EQ(c.stepMode, 1);
         EXPECT_EQ(c.errCtrl, 12);
         EXPECT_EQ(c.stepSize, 120.0);
       }},
      {"tolerance of 0 and huge step ignored", "integrator_error_control = 0\nintegrator_input_stepsize_sec = 1e308\n",
       [](const Card4pinput& c) {
         EXPECT_EQ(c.errCtrl, 10);
         EXPECT_EQ(c.stepSize, 0.0);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    opxsetapplyperts(false);
    const Card4pinput got = readControls("* controls\n\n" + c.file);
    EXPECT_EQ(got.ctlFlagA + got.ctlFlagB + got.ctlFlagC, 3);
    EXPECT_EQ(got.ctlCode, 12);
    c.check(got);
  }
}

TEST_F(OpxFiles, SwitchOutlivesTheFile) {
  readControls("perturbation_controls = 1\n");
  EXPECT_TRUE(opxapplyperts());
  EXPECT_EQ(readControls("perturbation_rad_pres_flag = 1\n").radPresFlag, 1);
  readControls("perturbation_controls = 0\n");
  EXPECT_EQ(readControls("perturbation_rad_pres_flag = 1\n").radPresFlag, 0);
}

TEST_F(OpxFiles, ControlsGoToTheLoadedVector) {
  const Counts c = readVector(kVector);
  ASSERT_EQ(c.loaded, 1);
  LogCapture log;
  const struct {
    int32_t satNum;
    bool found;
  } cases[] = {{99999, false}, {-1, false}, {25544, true}};
  for (const auto& k : cases) {
    EXPECT_EQ(fileopen(kUnit, write("25544.ctl", "perturbation_controls = 1\nperturbation_geopot_flag = 1\n"),
                       kFileRead, "Test"),
              0);
    bool found = !k.found;
    EXPECT_EQ(readopxctrlsforsat(k.satNum, kUnit, "ReadOnlyKINEMs", &found), 0);
    fileclose(kUnit);
    EXPECT_EQ(found, k.found) << k.satNum;
    // A vector that is not loaded has its file left unread.
    EXPECT_EQ(opxapplyperts(), k.found) << k.satNum;
  }
  const Kinemrecord r = stored(c.key);
  ASSERT_TRUE(r.controls);
  EXPECT_EQ(r.controls->geopotFlag, 1);
  EXPECT_TRUE(log.errors().empty() && log.infos().empty());
}

// Control files read on many threads at once: each file sets the switch and
// then uses it, so a read that saw another thread's switch midway would
// give a flag that does not match its own switch.
TEST_F(OpxFiles, ConcurrentControlReadsSeeTheirOwnSwitch) {
  const std::string files[2] = {
      write("on.ctl", "perturbation_controls = 1\n" + std::string(200, '*') + "\nperturbation_rad_pres_flag = 1\n"),
      write("off.ctl", "perturbation_controls = 0\n" + std::string(200, '*') + "\nperturbation_rad_pres_flag = 1\n"),
  };
  std::vector<std::thread> threads;
  std::atomic<int> wrong{0};
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < 200; ++i) {
        const int which = (t + i) % 2;
        if (fileopen(kUnit, files[which], kFileRead, "Test") != 0) {
          ++wrong;
          continue;
        }
        Card4pinput c;
        readopxctrls(c, kUnit);
        fileclose(kUnit);
        if (c.radPresFlag != (which == 0 ? 1 : 0)) ++wrong;
      }
    });
  for (auto& th : threads) th.join();
  EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
}  // namespace vx::kinem
