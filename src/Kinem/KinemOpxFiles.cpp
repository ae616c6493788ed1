// The OPX vector and control file readers: one key per line at column 1,
// its value after it; the tables below say which keys there are, where
// their values lie and what they set.
#include "Kinem/KinemOpxFiles.h"

#include <bitset>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <new>

#include "Kinem/KinemTree.h"
#include "Platform/kernix/core/Columns.h"
#include "Services/chronom.h"
#include "Services/kernix.h"

namespace vx::kinem {

namespace msg {
constexpr std::string_view kFortN = "ReadOPXKinems: Using fort.n not allowed in Veltrix due to security risk";
constexpr std::string_view kNoMemory = "ReadOPXKinems: Memory allocation failed";
constexpr std::string_view kNoEpoch =
    "ReadOPXKinems: Vector without its epoch (needs pos_vel_eci_epoch_iyear and pos_vel_eci_epoch_day)";
constexpr std::string_view kFileHead = "ReadOPXKinems: Vector file";
constexpr std::string_view kInvalidHead = "ReadOPXKinems: Invalid ";
constexpr std::string_view kFinite = " (finite)";
constexpr std::string_view kIntlDesCode = "ReadOPXKinems: Invalid character code in International Designator = ";
constexpr std::string_view kPrintable = " (valid=32-126)";
constexpr std::string_view kNoMemoryTail = ": Memory allocation failed";
}  // namespace msg

namespace {

// ---- Line syntax -------------------------------------------------------------

bool skipped(std::string_view line) { return line.empty() || line[0] == '*' || isblankornull(line); }

// Blanks and one "=" may stand between a key and its value ("key = 7.5",
// "key 7.5"): a value that does not read as it stands is read once more
// after a leading "=".
template <class T, class Read>
bool readValue(std::string_view field, T& out, Read read) {
  if (read(field, out)) return true;
  const std::string_view t = trimmed(field);
  return !t.empty() && t.front() == '=' && read(t.substr(1), out);
}
bool readReal(std::string_view field, double& out) {
  return readValue(field, out, [](std::string_view f, double& v) { return strtoreal(f, v); });
}
bool readInt(std::string_view field, int32_t& out) {
  return readValue(field, out, [](std::string_view f, int32_t& v) { return strtoint(f, v); });
}

// A text value: what follows its "=" when it has one, else the whole field,
// left-adjusted and blank padded into out.
void readText(std::string_view field, char* out, size_t outLen) {
  if (field.find('=') != std::string_view::npos)
    getinputstr(field, out, outLen);
  else
    strtochararr(trimmed(field), out, outLen);
}

// ---- Vector file ---------------------------------------------------------------

enum class VecField {
  SatNum, IntlDes, EpochYear, EpochDay, BTerm, Agom, ThrustAcc, ElsetNum,
  PosX, PosY, PosZ, VelX, VelY, VelZ, EpochRev,
  CoordDate, Coord1950, Coord2000, WeightedRms, Covariance,
};

struct VecKey {
  std::string_view key;
  Cols value;
  VecField field;
};

// Checked in this order; the first key a line starts with decides. The
// covariance line carries its index in columns 19-20 before the value.
//
//          1         2         3         4         5         6
// 1234567890123456789012345678901234567890123456789012345678901234
// pos_vel_eci_pos_km_x VVVVVVVVVVVVVVVVVVVVVVVVVVVVVVVVVVVVVVVVVV
// covariance_matrix(II)  VVVVVVVVVVVVVVVVVVVVVVVVVVVVVVVVVVVVVVVV
constexpr VecKey kVecKeys[] = {
    {"pos_vel_eci_satellite_number", {29, 60}, VecField::SatNum},
    {"pos_vel_eci_international_des", {30, 60}, VecField::IntlDes},
    {"pos_vel_eci_epoch_iyear", {24, 60}, VecField::EpochYear},
    {"pos_vel_eci_epoch_day", {22, 62}, VecField::EpochDay},
    {"pos_vel_eci_balcoe_m2pkg", {25, 62}, VecField::BTerm},
    {"pos_vel_eci_rad_pres_m2pkg", {27, 62}, VecField::Agom},
    {"pos_vel_eci_intrk_dr_thr_mpssq", {31, 62}, VecField::ThrustAcc},
    {"pos_vel_eci_element_number", {27, 60}, VecField::ElsetNum},
    {"pos_vel_eci_pos_km_x", {21, 62}, VecField::PosX},
    {"pos_vel_eci_pos_km_y", {21, 62}, VecField::PosY},
    {"pos_vel_eci_pos_km_z", {21, 62}, VecField::PosZ},
    {"pos_vel_eci_vel_kmpsec_x", {25, 62}, VecField::VelX},
    {"pos_vel_eci_vel_kmpsec_y", {25, 62}, VecField::VelY},
    {"pos_vel_eci_vel_kmpsec_z", {25, 62}, VecField::VelZ},
    {"pos_vel_eci_epoch_rev", {22, 60}, VecField::EpochRev},
    {"pos_vel_eci_coor_sys_date", {26, 60}, VecField::CoordDate},
    {"pos_vel_eci_coor_sys_1950", {26, 60}, VecField::Coord1950},
    {"pos_vel_eci_coor_sys_2000", {26, 60}, VecField::Coord2000},
    {"covariance_weighted_rms", {24, 62}, VecField::WeightedRms},
    {"covariance_matrix(", {23, 62}, VecField::Covariance},
};
constexpr Cols kCovIndex{19, 20};
constexpr size_t kVecFields = static_cast<size_t>(VecField::Covariance) + 1;

// The values a vector cannot do without besides its epoch (checked first,
// in words of its own): the satellite it belongs to, its position and its
// velocity. A file cut short before them would otherwise load a vector at
// the centre of the earth, at rest. In this order; the first one missing
// is named.
struct Required {
  VecField field;
  std::string_view what;
};
constexpr Required kRequired[] = {
    {VecField::SatNum, "satellite number"}, {VecField::PosX, "position"}, {VecField::PosY, "position"},
    {VecField::PosZ, "position"},           {VecField::VelX, "velocity"}, {VecField::VelY, "velocity"},
    {VecField::VelZ, "velocity"},
};

constexpr std::string_view keyOf(VecField f) {
  for (const VecKey& k : kVecKeys)
    if (k.field == f) return k.key;
  return {};
}

// Every value starts right after its key, the covariance's after its index.
constexpr bool valuesFollowKeys() {
  for (const VecKey& k : kVecKeys) {
    const size_t start = k.field == VecField::Covariance ? static_cast<size_t>(kCovIndex.last) + 3 : k.key.size() + 1;
    if (static_cast<size_t>(k.value.first) != start || k.value.last < k.value.first) return false;
  }
  return static_cast<size_t>(kCovIndex.first) == std::string_view("covariance_matrix(").size() + 1;
}
static_assert(valuesFollowKeys());

// Only the first 28 covariance terms come from the file.
constexpr int32_t kCovFileTerms = 28;
// A covariance whose terms add up to no more than this is no covariance.
constexpr double kCovMinSum = 1e-21;
// Units of the file: km/s for velocity, m/s^2 for thrust.
constexpr double kKmToM = 1000.0;

struct VectorWork {
  Kinemrecord rec;
  Covariance cov{};
  int32_t year = 0;
  double day = 0;
  std::bitset<kVecFields> given;  // the fields a line gave a value that reads
  bool has(VecField f) const { return given.test(static_cast<size_t>(f)); }
};

void setCoordSys(Kinemrecord& rec, std::string_view code) { std::memcpy(rec.coordSys.data(), code.data(), kCoordSysLen); }

// Applies one line of a vector file; a line of no key, or whose value does
// not read, changes nothing.
void applyVectorLine(std::string_view line, VectorWork& w) {
  const VecKey* hit = nullptr;
  for (const VecKey& k : kVecKeys)
    if (line.starts_with(k.key)) {
      hit = &k;
      break;
    }
  if (hit == nullptr) return;
  const std::string_view field = colText(line, hit->value);
  Kinemrecord& r = w.rec;
  double x = 0;
  int32_t n = 0;
  bool got = false;
  auto real = [&](double& to, double scale) {
    if ((got = readReal(field, x))) to = x * scale;
  };
  auto integer = [&](int32_t& to) {
    if ((got = readInt(field, n))) to = n;
  };
  auto coord = [&](std::string_view code) {
    if (readInt(field, n) && n == 1) setCoordSys(r, code);
  };
  switch (hit->field) {
    case VecField::SatNum: integer(r.satNum); break;
    case VecField::IntlDes: readText(field, r.intlDes.data(), kIntlDesLen); break;
    case VecField::EpochYear: integer(w.year); break;
    case VecField::EpochDay: real(w.day, 1); break;
    case VecField::BTerm: real(r.bTerm, 1); break;
    case VecField::Agom: real(r.agom, 1); break;
    case VecField::ThrustAcc: real(r.thrustAcc, 1 / kKmToM); break;
    case VecField::ElsetNum: integer(r.elsetNum); break;
    case VecField::PosX: real(r.pos[0], 1); break;
    case VecField::PosY: real(r.pos[1], 1); break;
    case VecField::PosZ: real(r.pos[2], 1); break;
    case VecField::VelX: real(r.vel[0], kKmToM); break;
    case VecField::VelY: real(r.vel[1], kKmToM); break;
    case VecField::VelZ: real(r.vel[2], kKmToM); break;
    case VecField::EpochRev: integer(r.epochRev); break;
    case VecField::CoordDate: coord(kCoordSysDate); break;
    case VecField::Coord1950: coord(kCoordSys1950); break;
    case VecField::Coord2000: coord(kCoordSysJ2000); break;
    case VecField::WeightedRms: real(r.weightedRms, 1); break;
    case VecField::Covariance:
      if (strtoint(colText(line, kCovIndex), n) && n >= 1 && n <= kCovFileTerms && readReal(field, x))
        w.cov[static_cast<size_t>(n - 1)] = x;
      break;
  }
  if (got) w.given.set(static_cast<size_t>(hit->field));
}

// False, with one line naming the file and the value, for a vector that
// lacks one of the required values.
bool complete(const VectorWork& w, std::string_view fileName) {
  for (const Required& r : kRequired)
    if (!w.has(r.field)) {
      LongLogLine line;
      line.text(msg::kFileHead);
      if (!fileName.empty()) line.text(" \"").text(fileName).text("\"");
      line.text(" has no ").text(r.what).text(" (missing ").text(keyOf(r.field)).text(")").error();
      return false;
    }
  return true;
}

// The reals of a vector and the names its messages give them.
struct RealOfRec {
  std::string_view name;
  double value;
};

// False, with one line naming the first offender, for a vector holding a
// real that is not a finite number (a velocity too large once scaled to
// m/s) or a designator byte outside printable ASCII: such a vector could
// not be written, compared or keyed.
bool storable(const Kinemrecord& r) {
  const RealOfRec reals[] = {
      {"PosX", r.pos[0]},   {"PosY", r.pos[1]}, {"PosZ", r.pos[2]},           {"VelX", r.vel[0]},
      {"VelY", r.vel[1]},   {"VelZ", r.vel[2]}, {"BTerm", r.bTerm},           {"Agom", r.agom},
      {"ThrustAcc", r.thrustAcc}, {"Weighted RMS", r.weightedRms},
  };
  for (const RealOfRec& v : reals)
    if (!std::isfinite(v.value)) {
      LogLine().text(msg::kInvalidHead).text(v.name).text(" = ").real(v.value).text(msg::kFinite).error();
      return false;
    }
  if (r.covariance)
    for (size_t i = 0; i < kCovTerms; ++i)
      if (!std::isfinite((*r.covariance)[i])) {
        LogLine()
            .text(msg::kInvalidHead)
            .text("Covariance ")
            .num(static_cast<int64_t>(i + 1))
            .text(" = ")
            .real((*r.covariance)[i])
            .text(msg::kFinite)
            .error();
        return false;
      }
  for (char c : r.intlDes) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u > 0x7E) {
      LogLine().text(msg::kIntlDesCode).num(u).text(msg::kPrintable).error();
      return false;
    }
  }
  return true;
}

// ---- Control file ----------------------------------------------------------------

struct CtrlWork {
  Card4pinput c;
  bool dragOn = false;
  bool j70dcaFile = false;
};

// Which switches a key needs besides its own value.
enum class Gate { None, Perts, DragAndPerts };

struct CtrlKey {
  std::string_view key;
  std::string_view altKey;  // a second spelling of the same key, or empty
  bool needsOne;            // acts only for the value 1; another value goes on to the next keys
  Gate gate;                // tried only while these switches are on
  void (*apply)(CtrlWork& w, double v, bool& applyPerts);
};

bool isOne(double v) { return eqr(v, 1.0); }

// v truncated to an integer into to; a value no 32-bit integer holds
// changes nothing.
void truncInto(int32_t& to, double v) {
  const double t = std::trunc(v);
  if (t >= std::numeric_limits<int32_t>::min() && t <= std::numeric_limits<int32_t>::max())
    to = static_cast<int32_t>(t);
}

// Checked in this order; the first key that matches a line decides.
constexpr CtrlKey kCtrlKeys[] = {
    {"perturbation_controls", {}, false, Gate::None,
     [](CtrlWork&, double v, bool& perts) { perts = isOne(v); }},
    {"perturbation_geopot_flag", {}, false, Gate::None,
     [](CtrlWork& w, double v, bool& perts) {
       if (perts && isOne(v)) w.c.geopotFlag = 1;
     }},
    {"perturbation_searth_tides_flag", {}, false, Gate::None,
     [](CtrlWork& w, double v, bool& perts) {
       if (perts && isOne(v)) w.c.solidTidesFlag = 1;
     }},
    {"perturbation_flux_file_flag", {}, false, Gate::None, [](CtrlWork&, double, bool&) {}},
    {"perturbation_jbhsgi_flag", {}, true, Gate::None, [](CtrlWork& w, double, bool&) { w.c.dragModel = 4; }},
    {"perturbation_j70dca_file_flag", {}, true, Gate::None, [](CtrlWork& w, double, bool&) { w.j70dcaFile = true; }},
    {"perturbation_geopot_zonal_deg", {}, false, Gate::None,
     [](CtrlWork& w, double v, bool&) { truncInto(w.c.zonalDeg, v); }},
    {"perturbation_drag_flag", {}, false, Gate::None,
     [](CtrlWork& w, double v, bool& perts) { w.dragOn = perts && isOne(v); }},
    {"perturbation_atmos_j70dca", {}, true, Gate::DragAndPerts,
     [](CtrlWork& w, double, bool&) {
       if (w.j70dcaFile && w.c.dragModel != 4) w.c.dragModel = 3;
     }},
    {"perturbation_atmos_j70_msis90", {}, true, Gate::DragAndPerts,
     [](CtrlWork& w, double, bool&) { w.c.dragModel = 2; }},
    // Three trailing blanks keep "perturbation_constant_f10bar" out.
    {"perturbation_constant_f10   ", {}, false, Gate::None, [](CtrlWork& w, double v, bool&) { truncInto(w.c.f10, v); }},
    {"perturbation_constant_f10bar", {}, false, Gate::None,
     [](CtrlWork& w, double v, bool&) { truncInto(w.c.f10Bar, v); }},
    {"perturbation_constant_ap", {}, false, Gate::None, [](CtrlWork& w, double v, bool&) { truncInto(w.c.ap, v); }},
    {"perturbation_rad_pres_flag", {}, true, Gate::Perts, [](CtrlWork& w, double, bool&) { w.c.radPresFlag = 1; }},
    {"perturbation_lunar_solar_flag", {}, true, Gate::Perts,
     [](CtrlWork& w, double, bool&) { w.c.lunarSolarFlag = 1; }},
    {"perturbation_intrk_dur_thrust", {}, true, Gate::Perts, [](CtrlWork& w, double, bool&) { w.c.thrustFlag = 1; }},
    {"perturbation_nut_4_terms", "perturbation_nut_spadoc", true, Gate::None,
     [](CtrlWork& w, double, bool&) { w.c.nutTerms = 4; }},
    {"perturbation_nut_50_terms", {}, true, Gate::None, [](CtrlWork& w, double, bool&) { w.c.nutTerms = 50; }},
    {"perturbation_nut_full_terms", {}, true, Gate::None, [](CtrlWork& w, double, bool&) { w.c.nutTerms = 106; }},
    {"integrator_time_int_flag", {}, true, Gate::None, [](CtrlWork& w, double, bool&) { w.c.integMode = 1; }},
    {"integrator_s_int_flag", {}, true, Gate::None, [](CtrlWork& w, double, bool&) { w.c.integMode = 2; }},
    {"integrator_fix_step_flag", {}, true, Gate::None, [](CtrlWork& w, double, bool&) { w.c.stepMode = 1; }},
    {"integrator_var_step_flag", {}, true, Gate::None, [](CtrlWork& w, double, bool&) { w.c.stepMode = 0; }},
    // The file gives the tolerance; the controls keep its negative exponent
    // (1e-12 gives 12). A tolerance of 0 or less has none and changes nothing.
    {"integrator_error_control", {}, false, Gate::None,
     [](CtrlWork& w, double v, bool&) {
       if (v > 0) truncInto(w.c.errCtrl, -std::log10(v));
     }},
    // Minutes in the file, seconds in the controls; a product too large for a
    // double changes nothing.
    {"integrator_input_stepsize_sec", {}, false, Gate::None,
     [](CtrlWork& w, double v, bool&) {
       if (std::isfinite(v * 60)) w.c.stepSize = v * 60;
     }},
};

// The switch "perturbation_controls" sets, kept from one control file to
// the next, and the lock that runs control-file reads one at a time so that
// each sees the switch the previous one left.
std::mutex& opxCtrlLock() {
  static std::mutex m;
  return m;
}
bool g_applyPerts = false;

// The value of key on line, or the absent mark.
double keyValue(std::string_view line, const CtrlKey& k) {
  const double v = checkfieldnum(line, k.key);
  if (eqr(v, kOpxAbsent) && !k.altKey.empty()) return checkfieldnum(line, k.altKey);
  return v;
}

// Applies the first control key that matches line. Called with the lock held.
void applyCtrlLine(std::string_view line, CtrlWork& w) {
  for (const CtrlKey& k : kCtrlKeys) {
    if (k.gate == Gate::Perts && !g_applyPerts) continue;
    if (k.gate == Gate::DragAndPerts && !(w.dragOn && g_applyPerts)) continue;
    const double v = keyValue(line, k);
    if (eqr(v, kOpxAbsent)) continue;
    if (k.needsOne && !isOne(v)) continue;
    k.apply(w, v, g_applyPerts);
    return;
  }
}

}  // namespace

double checkfieldnum(std::string_view line, std::string_view key) {
  if (!line.starts_with(key) || key.size() >= kOpxLastCol) return kOpxAbsent;
  double v = 0;
  if (!readReal(colText(line, {static_cast<int>(key.size()) + 1, static_cast<int>(kOpxLastCol)}), v)) return kOpxAbsent;
  return v;
}

void checkfieldstr(std::string_view line, std::string_view key, char* out) {
  if (!line.starts_with(key) || key.size() >= kOpxLastCol) {
    std::memset(out, ' ', kLineLen);
    return;
  }
  readText(colText(line, {static_cast<int>(key.size()) + 1, static_cast<int>(kOpxLastCol)}), out, kLineLen);
}

int32_t getsatnumfrfilepath(std::string_view path) {
  const size_t sep = path.find_last_of("/\\");
  const std::string_view base = sep == std::string_view::npos ? path : path.substr(sep + 1);
  // "(I5)": five columns, a short name read as if blank filled.
  char five[5];
  strtochararr(base.substr(0, std::min<size_t>(base.size(), sizeof five)), five, sizeof five);
  int32_t num = 0;
  if (!strtoint(std::string_view(five, sizeof five), num)) return -1;
  return num;
}

void readopxkinems(int32_t unit, int32_t& numLoaded, int32_t& numDup, int32_t& numBad, int32_t& errCode,
                   int64_t* addedKey, std::string_view fileName) {
  if (addedKey != nullptr) *addedKey = 0;
  if (existfortdotfileunit(unit)) {
    errCode = 2;
    tracelogerror(msg::kFortN);
    return;
  }
  errCode = 0;
  VectorWork w;
  char line[kLineLen];
  while (filereadline(unit, line, kLineLen)) {
    const std::string_view text(line, kLineLen);
    if (skipped(text) || ismaneuvcardtype(text)) continue;
    applyVectorLine(text, w);
  }
  Kinemrecord& rec = w.rec;

  double sum = 0;
  for (double t : w.cov) sum += std::fabs(t);
  if (sum > kCovMinSum) {
    rec.covariance.reset(new (std::nothrow) Covariance(w.cov));
    if (!rec.covariance) {
      errCode = 2;
      tracelogerror(msg::kNoMemory);
      return;
    }
  }

  if (!storable(rec)) {
    ++numBad;
    return;
  }
  if (!w.has(VecField::EpochYear) || !w.has(VecField::EpochDay)) {
    ++numBad;
    tracelogerror(msg::kNoEpoch);
    return;
  }
  if (!complete(w, trimmed(fileName))) {
    ++numBad;
    return;
  }
  ds50todate15(yrdays2ds50(w.year, w.day), rec.epochDtg.data());
  std::memset(rec.epochDtg.data() + 15, ' ', kEpochDtgLen - 15);

  // The key always comes from the fields, whatever key mode is in force,
  // and the vector was checked above; createsatkey names its own reason when
  // it cannot make a key, the store the key when none of its retries is free.
  const int64_t linked = kinemstore().addTaking(rec, store::AddPolicy::uncheckedTreeKey());
  if (linked == -1) {
    ++numBad;
    return;
  }
  if (linked == store::kAddNoMemory) {
    errCode = 2;
    tracelogerror(msg::kNoMemory);
    return;
  }
  if (linked == 0) {
    // An equal vector is stored.
    ++numDup;
    return;
  }
  ++numLoaded;
  if (addedKey != nullptr) *addedKey = linked;
}

void readopxctrls(Card4pinput& controls, int32_t unit) {
  if (existfortdotfileunit(unit)) {
    controls = Card4pinput();
    return;
  }
  CtrlWork w;
  {
    std::lock_guard<std::mutex> lock(opxCtrlLock());
    char line[kLineLen];
    while (filereadline(unit, line, kLineLen)) {
      const std::string_view text(line, kLineLen);
      if (!skipped(text)) applyCtrlLine(text, w);
    }
  }
  w.c.ctlFlagA = 1;
  w.c.ctlFlagB = 1;
  w.c.ctlFlagC = 1;
  w.c.ctlCode = 12;
  controls = w.c;
}

int32_t readopxctrlsforsat(int32_t satNum, int32_t unit, std::string_view caller, bool* found) {
  if (found != nullptr) *found = false;
  if (satNum < 0) return 0;
  const int64_t key = kinemstore().satKeyGet(satNum);
  if (key == -1) return 0;
  Card4pinput controls;
  readopxctrls(controls, unit);
  // Read, change and write in one step, so a change another thread makes to
  // the vector meanwhile is not lost.
  const int32_t status = kinemmodifyrec(key, [&](Kinemrecord& rec) -> int32_t {
    Card4pinput* block = new (std::nothrow) Card4pinput(controls);
    if (block == nullptr) {
      LogLine().text(caller).text(msg::kNoMemoryTail).error();
      return 2;
    }
    rec.controls.reset(block);
    return 0;
  });
  if (status == -1) return 0;  // removed since it was found
  if (status == 0 && found != nullptr) *found = true;
  return status;
}

bool opxapplyperts() {
  std::lock_guard<std::mutex> lock(opxCtrlLock());
  return g_applyPerts;
}

void opxsetapplyperts(bool on) {
  std::lock_guard<std::mutex> lock(opxCtrlLock());
  g_applyPerts = on;
}

}  // namespace vx::kinem
