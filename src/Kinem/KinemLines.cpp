// The 1P/2P card writer, the value checks every new or changed vector
// passes, and whether written cards read back as their vector.
#include "Kinem/KinemLines.h"

#include <cmath>
#include <cstring>
#include <type_traits>

#include "Kinem/KinemCardReading.h"
#include "Kinem/KinemColumns.h"
#include "Platform/kernix/core/Format.h"
#include "Services/kernix.h"

namespace vx::kinem {

namespace {

std::string_view textof(const auto& arr) { return {arr.data(), arr.size()}; }

// Length of a text without its trailing blanks.
template <size_t N>
size_t usedLength(const std::array<char, N>& text) {
  size_t n = N;
  while (n > 0 && text[n - 1] == ' ') --n;
  return n;
}

// The epoch text right-adjusted: its trailing blanks moved to the front.
void rightAdjustedEpoch(const Kinemrecord& r, char out[kEpochDtgLen]) {
  const size_t n = usedLength(r.epochDtg);
  std::memset(out, ' ', kEpochDtgLen - n);
  std::memcpy(out + (kEpochDtgLen - n), r.epochDtg.data(), n);
}

void write1P(const Kinemrecord& r, char* out) {
  for (size_t i = 0; i < 3; ++i)
    fmt::writeF(colPtr(out, card1p::kPos[i]), card1p::kPos[i].width(), card1p::kDecimals, r.pos[i]);
  for (size_t i = 0; i < 3; ++i)
    fmt::writeF(colPtr(out, card1p::kVel[i]), card1p::kVel[i].width(), card1p::kDecimals, r.vel[i]);
  *colPtr(out, card1p::kSecClass) = r.secClass;
  std::memcpy(colPtr(out, card1p::kMark), card1p::kMarkText.data(), card1p::kMarkText.size());
}

void write2P(const Kinemrecord& r, char* out) {
  numtoalpha5(r.satNum, colPtr(out, card2p::kSatNum));
  std::memcpy(colPtr(out, card2p::kIntlDes), r.intlDes.data(), r.intlDes.size());
  rightAdjustedEpoch(r, colPtr(out, card2p::kEpochDtg));
  fmt::writeI(colPtr(out, card2p::kEpochRev), card2p::kEpochRev.width(), r.epochRev);
  fmt::writeI(colPtr(out, card2p::kElsetNum), card2p::kElsetNum.width(), r.elsetNum);
  // The terms carry their own point, so they read back with no implied
  // decimals.
  for (size_t i = 0; i < 3; ++i)
    fx0toax(r.*card2p::kTermMembers[i], card2p::kTerms[i].width(), colPtr(out, card2p::kTerms[i]));
  std::memcpy(colPtr(out, card2p::kCoordSys), r.coordSys.data(), r.coordSys.size());
  std::memcpy(colPtr(out, card2p::kMark), card2p::kMarkText.data(), card2p::kMarkText.size());
}

}  // namespace

// A value that does not fit its columns fills them with asterisks, as
// fixed-column output does; writing itself cannot fail.
void kinem2lines(const Kinemrecord& rec, char* line1, char* line2) {
  std::memset(line1, ' ', kLineLen);
  std::memset(line2, ' ', kLineLen);
  write1P(rec, line1);
  write2P(rec, line2);
}

// ---- Value checks --------------------------------------------------------------------

namespace {

// A failed check logs its fixed text, the offending value and a range text.
struct CheckMsg {
  std::string_view head;
  std::string_view range;
};

namespace msg {
constexpr std::string_view kPosRange = " (valid=-1E9 to 1E9)";
constexpr std::string_view kVelRange = " (valid=-1E6 to 1E6)";
constexpr CheckMsg kPos[3] = {{"ValidateKinemValues: Invalid PosX = ", kPosRange},
                              {"ValidateKinemValues: Invalid PosY = ", kPosRange},
                              {"ValidateKinemValues: Invalid PosZ = ", kPosRange}};
constexpr CheckMsg kVel[3] = {{"ValidateKinemValues: Invalid VelX = ", kVelRange},
                              {"ValidateKinemValues: Invalid VelY = ", kVelRange},
                              {"ValidateKinemValues: Invalid VelZ = ", kVelRange}};
constexpr CheckMsg kSatNum{"ValidateKinemValues: Invalid satellite number = ", " (valid=1-999999999)"};
// The range text names five digits; the bound is the six the 2P card holds.
constexpr CheckMsg kEpochRev{"ValidateKinemValues: Invalid Epoch Revolution = ", " (valid=0-99999)"};
constexpr CheckMsg kElsetNum{"ValidateKinemValues: Invalid Element Set Number = ", " (valid=0-9999)"};
constexpr CheckMsg kCoordSys{"ValidateKinemValues: Invalid vector coordinate system = ",
                             " (valid=TMDAT/TMEPO/MMB50/MMJ2K or blanks)"};
// Reals whose only bound is that they are numbers.
constexpr std::string_view kFinite = " (finite)";
constexpr CheckMsg kTerms[3] = {{"ValidateKinemValues: Invalid Ballistic Coefficient = ", kFinite},
                                {"ValidateKinemValues: Invalid Solar Radiation Pressure Coefficient = ", kFinite},
                                {"ValidateKinemValues: Invalid In-track Thrust Acceleration = ", kFinite}};
constexpr CheckMsg kWeightedRms{"ValidateKinemValues: Invalid Weighted RMS = ", kFinite};
constexpr CheckMsg kStepSize{"ValidateKinemValues: Invalid Integrator Step Size = ", kFinite};
// The term number goes between these two.
constexpr std::string_view kCovarianceHead = "ValidateKinemValues: Invalid Covariance Term ";
constexpr std::string_view kCovarianceEquals = " = ";
// Texts: the value is the code of the first byte outside printable ASCII,
// which would break the cards apart in a saved file.
constexpr std::string_view kPrintable = " (valid=32-126)";
constexpr CheckMsg kSecClass{"ValidateKinemValues: Invalid character code in Classification = ", kPrintable};
constexpr CheckMsg kIntlDes{"ValidateKinemValues: Invalid character code in International Designator = ",
                            kPrintable};
constexpr CheckMsg kEpochDtg{"ValidateKinemValues: Invalid character code in Epoch = ", kPrintable};
constexpr CheckMsg kCoordSysText{"ValidateKinemValues: Invalid character code in Coordinate System = ", kPrintable};
}  // namespace msg

// Bounds of the checks. Range tests are written as "inside" so that a NaN
// fails them too.
constexpr double kMaxPos = 1e9;
constexpr double kMaxVel = 1e6;
constexpr int32_t kMaxSatNum = 999999999;
constexpr int32_t kMaxEpochRev = 999999;
constexpr int32_t kMaxElsetNum = 9999;

bool posOk(double v) { return std::fabs(v) <= kMaxPos; }
bool velOk(double v) { return std::fabs(v) <= kMaxVel; }
bool inRange(int32_t v, int32_t max) { return v >= 0 && v <= max; }

// Where a failed check is told: the trace log, or nowhere (a silent run
// that only answers whether the record passes).
class Checker {
 public:
  explicit Checker(bool logging) : logging_(logging) {}
  int32_t status() const { return status_; }

  template <class T>
  void fail(const CheckMsg& m, T value) {
    status_ = VX_FAIL;
    if (!logging_) return;
    LogLine line;
    line.text(m.head);
    if constexpr (std::is_integral_v<T>)
      line.num(value);
    else
      line.real(value);
    line.text(m.range).error();
  }
  void failText(const CheckMsg& m, std::string_view value) {
    status_ = VX_FAIL;
    if (logging_) LogLine().text(m.head).text(value).text(m.range).error();
  }
  void failCovariance(size_t term, double value) {
    status_ = VX_FAIL;
    if (logging_)
      LogLine()
          .text(msg::kCovarianceHead)
          .num(static_cast<int64_t>(term))
          .text(msg::kCovarianceEquals)
          .real(value)
          .text(msg::kFinite)
          .error();
  }
  // False, with the code of the first bad byte told, for a text that holds
  // a byte outside printable ASCII.
  bool printable(std::string_view text, const CheckMsg& m) {
    const size_t at = firstunprintable(text);
    if (at == std::string_view::npos) return true;
    fail(m, int64_t{static_cast<unsigned char>(text[at])});
    return false;
  }

 private:
  bool logging_;
  int32_t status_ = VX_OK;
};

// Every check, in order; each failing one is told once.
int32_t checkvalues(const Kinemrecord& r, bool logging) {
  Checker c(logging);
  for (size_t i = 0; i < 3; ++i)
    if (!posOk(r.pos[i])) c.fail(msg::kPos[i], r.pos[i]);
  for (size_t i = 0; i < 3; ++i)
    if (!velOk(r.vel[i])) c.fail(msg::kVel[i], r.vel[i]);
  if (!inRange(r.satNum, kMaxSatNum)) c.fail(msg::kSatNum, r.satNum);
  if (!inRange(r.epochRev, kMaxEpochRev)) c.fail(msg::kEpochRev, r.epochRev);
  if (!inRange(r.elsetNum, kMaxElsetNum)) c.fail(msg::kElsetNum, r.elsetNum);
  // A code with a byte that is not printable is told by that byte, so that
  // the line does not carry it into the log.
  if (c.printable(r.coord(), msg::kCoordSysText) && !iscoordsys(r.coord())) c.failText(msg::kCoordSys, r.coord());

  for (size_t i = 0; i < 3; ++i) {
    const double v = r.*card2p::kTermMembers[i];
    if (!std::isfinite(v)) c.fail(msg::kTerms[i], v);
  }
  if (!std::isfinite(r.weightedRms)) c.fail(msg::kWeightedRms, r.weightedRms);
  if (const Covariance* cov = r.covariance.get()) {
    for (size_t i = 0; i < cov->size(); ++i)
      if (!std::isfinite((*cov)[i])) {
        c.failCovariance(i + 1, (*cov)[i]);
        break;
      }
  }
  if (const Card4pinput* ctl = r.controls.get())
    if (!std::isfinite(ctl->stepSize)) c.fail(msg::kStepSize, ctl->stepSize);
  c.printable(std::string_view(&r.secClass, 1), msg::kSecClass);
  c.printable(textof(r.intlDes), msg::kIntlDes);
  c.printable(r.epoch(), msg::kEpochDtg);
  return c.status();
}

}  // namespace

int32_t validatekinemvalues(const Kinemrecord& rec) { return checkvalues(rec, true); }

// ---- Whether the cards read back ------------------------------------------------------

namespace {

// Reasons, at most 64 characters each (they end a 128-character log line).
namespace why {
constexpr std::string_view kNoCards = "cards cannot be written";
constexpr std::string_view kRefused = "a value the checks refuse on reading";
constexpr std::string_view kClass = "classification other than blank, C, S or U";
constexpr std::string_view kSatNum = "satellite number outside 0-339999 of the cards";
constexpr std::string_view kSatNumChanges = "satellite number changes when written";
constexpr std::string_view kIntlDes = "designator changes when written";
constexpr std::string_view kEpoch = "epoch changes when written";
constexpr std::string_view kEpochRev = "revolution number changes when written";
constexpr std::string_view kElsetNum = "element set number changes when written";
constexpr std::string_view kCoordSys = "coordinate system changes when written";
}  // namespace why

// A real of the cards and what to say when it does not come back.
struct RealField {
  Cols cols;
  int implied;
  std::string_view tooWide;
  std::string_view changes;
};

constexpr RealField kPosFields[3] = {
    {card1p::kPos[0], card1p::kDecimals, "position X too wide for columns 1-12", "position X changes when written"},
    {card1p::kPos[1], card1p::kDecimals, "position Y too wide for columns 13-24", "position Y changes when written"},
    {card1p::kPos[2], card1p::kDecimals, "position Z too wide for columns 25-36", "position Z changes when written"},
};
constexpr RealField kVelFields[3] = {
    {card1p::kVel[0], card1p::kDecimals, "velocity X too wide for columns 37-49", "velocity X changes when written"},
    {card1p::kVel[1], card1p::kDecimals, "velocity Y too wide for columns 50-62", "velocity Y changes when written"},
    {card1p::kVel[2], card1p::kDecimals, "velocity Z too wide for columns 63-75", "velocity Z changes when written"},
};
constexpr RealField kTermFields[3] = {
    {card2p::kTerms[0], 0, "ballistic coefficient too wide for columns 44-53",
     "ballistic coefficient changes when written"},
    {card2p::kTerms[1], 0, "radiation pressure term too wide for columns 54-63",
     "radiation pressure term changes when written"},
    {card2p::kTerms[2], 0, "thrust acceleration too wide for columns 64-73",
     "thrust acceleration changes when written"},
};


std::string_view realLoss(std::string_view line, const RealField& f, double value) {
  const std::string_view text = colText(line, f.cols);
  double back = 0;
  if (!fmt::readReal(text, f.implied, back)) return f.tooWide;
  return fmt::readsbackwithin(value, back, fmt::halfunitshown(text, f.implied)) ? std::string_view() : f.changes;
}

bool intBack(std::string_view line, Cols c, int32_t value) {
  int32_t back = 0;
  return fmt::readInt(colText(line, c), back) && back == value;
}

}  // namespace

std::string_view kinemlinesloss(const Kinemrecord& rec, const char* line1, const char* line2) {
  const std::string_view l1(line1, kLineLen);
  const std::string_view l2(line2, kLineLen);
  if (kinemcardtype(l1) != kCard1P || kinemcardtype(l2) != kCard2P) return why::kNoCards;
  const char cls = rec.secClass;
  if (cls != ' ' && cls != 'C' && cls != 'S' && cls != 'U') return why::kClass;
  // The range checks come first: a value they refuse may well fit its
  // columns, yet the vector would not load again.
  if (checkvalues(rec, false) != 0) return why::kRefused;
  if (rec.satNum > 339999) return why::kSatNum;

  for (size_t i = 0; i < 3; ++i)
    if (const std::string_view w = realLoss(l1, kPosFields[i], rec.pos[i]); !w.empty()) return w;
  for (size_t i = 0; i < 3; ++i)
    if (const std::string_view w = realLoss(l1, kVelFields[i], rec.vel[i]); !w.empty()) return w;
  for (size_t i = 0; i < 3; ++i)
    if (const std::string_view w = realLoss(l2, kTermFields[i], rec.*card2p::kTermMembers[i]); !w.empty()) return w;

  // What the written columns say must be what the reader takes back.
  if (alpha5tonum(colText(l2, card2p::kSatNum)) != rec.satNum) return why::kSatNumChanges;
  if (colText(l2, card2p::kIntlDes) != textof(rec.intlDes)) return why::kIntlDes;
  char epoch[kEpochDtgLen];
  rightAdjustedEpoch(rec, epoch);
  if (colText(l2, card2p::kEpochDtg) != std::string_view(epoch, sizeof epoch)) return why::kEpoch;
  if (!intBack(l2, card2p::kEpochRevRead, rec.epochRev)) return why::kEpochRev;
  if (!intBack(l2, card2p::kElsetNumRead, rec.elsetNum)) return why::kElsetNum;
  if (colText(l2, card2p::kCoordSys) != rec.coord()) return why::kCoordSys;
  return {};
}

}  // namespace vx::kinem
