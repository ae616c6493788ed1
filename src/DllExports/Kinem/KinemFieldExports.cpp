// Exported field and array functions of the state-vector library, and the
// stateless conversions between fields, arrays and cards. Each converts its
// arguments, calls one routine of KinemFields and converts the
// results back.
#include <algorithm>
#include <array>
#include <cstring>
#include <tuple>
#include <utility>

#include "Kinem/KinemFields.h"
#include "Kinem/KinemCardReading.h"
#include "Kinem/KinemLines.h"
#include "Services/Boundary.h"
#include "Services/kernix.h"
#include "veltrix/kinem.h"

using namespace vx;
using namespace vx::kinem;

namespace {

// The twelve fields move between the host's arguments and a record one by
// one, in the argument order KinemFields gives for each function.

template <class T>
void take(T& member, T value) {
  member = value;
}
// Three doubles of the host; zeros for a missing array.
void take(std::array<double, 3>& member, const double* host) {
  if (host != nullptr) std::copy(host, host + member.size(), member.begin());
}
// A host text of N characters, left-adjusted.
template <size_t N>
void take(std::array<char, N>& member, const char* host) {
  chararrtostr(host, N, member.data());
  leftadjust(member.data(), N);
}

template <class T>
void put(T* out, const T& value) {
  if (out != nullptr) *out = value;
}
void put(double* out, const std::array<double, 3>& value) {
  if (out != nullptr) std::copy(value.begin(), value.end(), out);
}
template <size_t N>
void put(char* out, const std::array<char, N>& text) {
  strtochararr({text.data(), N}, out, N);
}

// A record with the host's arguments in the members of Order, the rest at
// their defaults.
template <const auto& Order, class... A>
Kinemrecord fromhost(A... args) {
  Kinemrecord rec;
  [&]<size_t... I>(std::index_sequence<I...>) {
    (take(rec.*std::get<I>(Order), args), ...);
  }(std::index_sequence_for<A...>{});
  return rec;
}

// Hands the members of Order out through the host's pointers; null pointers
// are passed over.
template <const auto& Order, class... P>
void tohost(const Kinemrecord& rec, P*... outs) {
  const auto ptrs = std::make_tuple(outs...);
  [&]<size_t... I>(std::index_sequence<I...>) {
    (put(std::get<I>(ptrs), rec.*std::get<I>(Order)), ...);
  }(std::index_sequence_for<P...>{});
}

void puttext(const char* text, char* out, size_t n) { strtochararr({text, n}, out, n); }

// Both cards of a record into the host buffers when the 1P card was written.
void putlines(const Kinemrecord& rec, char* line1, char* line2) {
  char o1[kLineLen], o2[kLineLen];
  kinem2lines(rec, o1, o2);
  if (isblankornull(std::string_view(o1, kLineLen))) return;
  puttext(o1, line1, kLineLen);
  puttext(o2, line2, kLineLen);
}

// The host's array in; an absent one reads as zeros.
struct HostArrIn {
  std::array<double, kVecArrLen> none{};
  ConstVecArr arr;
  explicit HostArrIn(const double* host) : arr(host != nullptr ? ConstVecArr(host, kVecArrLen) : ConstVecArr(none)) {}
  HostArrIn(const HostArrIn&) = delete;
  HostArrIn& operator=(const HostArrIn&) = delete;
};

// The host's array out; writes to an absent one go to a scratch array.
struct HostArrOut {
  std::array<double, kVecArrLen> scratch{};
  VecArr arr;
  explicit HostArrOut(double* host) : arr(host != nullptr ? VecArr(host, kVecArrLen) : VecArr(scratch)) {}
  HostArrOut(const HostArrOut&) = delete;
  HostArrOut& operator=(const HostArrOut&) = delete;
};

}  // namespace

extern "C" {

// ---- Single fields -------------------------------------------------------------

VX_API int32_t KinemGetField(int64_t satKey, int32_t fieldIdx, char valueStr[512]) {
  return guarded("KinemGetField", int32_t{2}, [&] {
    strtochararr({}, valueStr, kFieldTextLen);
    char value[kFieldTextLen];
    const int32_t status = getfield(satKey, fieldIdx, value);
    puttext(value, valueStr, kFieldTextLen);
    return status;
  });
}

VX_API int32_t KinemSetField(int64_t satKey, int32_t fieldIdx, const char valueStr[512]) {
  return guarded("KinemSetField", int32_t{2}, [&] {
    HostText<kFieldTextLen> value(valueStr);
    return setfield(satKey, fieldIdx, value.view());
  });
}

// ---- The twelve fields -----------------------------------------------------------

VX_API int32_t KinemGetAllFields(int64_t satKey, double pos[3], double vel[3], char* secClass, int32_t* satNum,
                                 char intlDes[8], char epochDtg[17], int32_t* epochRev, int32_t* elsetNum,
                                 double* bTerm, double* agom, double* thrustAcc, char coordSys[5]) {
  return guarded("KinemGetAllFields", int32_t{2}, [&] {
    Kinemrecord f;
    const int32_t status = getallfields(satKey, f);
    tohost<kFieldOrder>(f, pos, vel, secClass, satNum, intlDes, epochDtg, epochRev, elsetNum, bTerm, agom, thrustAcc,
                        coordSys);
    return status;
  });
}

VX_API int32_t KinemParse(const char line1[512], const char line2[512], double pos[3], double vel[3], char* secClass,
                          int32_t* satNum, char intlDes[8], char epochDtg[17], int32_t* epochRev, int32_t* elsetNum,
                          double* bTerm, double* agom, double* thrustAcc, char coordSys[5]) {
  return guarded("KinemParse", int32_t{2}, [&] {
    HostText<kLineLen> l1(line1), l2(line2);
    Kinemrecord rec;
    const int32_t status = lines2kinem(l1.view(), l2.view(), rec);
    tohost<kFieldOrder>(status == 0 ? rec : clearedfields(), pos, vel, secClass, satNum, intlDes, epochDtg, epochRev,
                        elsetNum, bTerm, agom, thrustAcc, coordSys);
    return status;
  });
}

VX_API int64_t KinemAddSatFrFields(const double pos[3], const double vel[3], char secClass, int32_t satNum,
                                   const char intlDes[8], const char epochDtg[17], int32_t epochRev, int32_t elsetNum,
                                   double bTerm, double agom, double thrustAcc, const char coordSys[5]) {
  return guarded("KinemAddSatFrFields", int64_t{-1}, [&] {
    Kinemrecord rec = fromhost<kFieldOrder>(pos, vel, secClass, satNum, intlDes, epochDtg, epochRev, elsetNum, bTerm,
                                            agom, thrustAcc, coordSys);
    return addsatfrfields(rec);
  });
}

VX_API void KinemAddSatFrFieldsML(const double pos[3], const double vel[3], char secClass, int32_t satNum,
                                  const char intlDes[8], const char epochDtg[17], int32_t epochRev, int32_t elsetNum,
                                  double bTerm, double agom, double thrustAcc, const char coordSys[5],
                                  int64_t* satKey) {
  const int64_t key = KinemAddSatFrFields(pos, vel, secClass, satNum, intlDes, epochDtg, epochRev, elsetNum, bTerm,
                                          agom, thrustAcc, coordSys);
  put(satKey, key);
}

VX_API int32_t KinemUpdateSatFrFields(int64_t satKey, const double pos[3], const double vel[3], char secClass,
                                      const char intlDes[8], int32_t epochRev, int32_t elsetNum, double bTerm,
                                      double agom, double thrustAcc, const char coordSys[5]) {
  return guarded("KinemUpdateSatFrFields", int32_t{2}, [&] {
    const Kinemrecord f =
        fromhost<kUpdateOrder>(pos, vel, secClass, intlDes, epochRev, elsetNum, bTerm, agom, thrustAcc, coordSys);
    return updatesatfrfields(satKey, f);
  });
}

VX_API void KinemFieldsToLines(const double pos[3], const double vel[3], char secClass, int32_t satNum,
                               const char intlDes[8], const char epochDtg[17], int32_t epochRev, int32_t elsetNum,
                               double bTerm, double agom, double thrustAcc, const char coordSys[5], char line1[512],
                               char line2[512]) {
  guardedvoid("KinemFieldsToLines", [&] {
    strtochararr({}, line1, kLineLen);
    strtochararr({}, line2, kLineLen);
    Kinemrecord rec = fromhost<kFieldOrder>(pos, vel, secClass, satNum, intlDes, epochDtg, epochRev, elsetNum, bTerm,
                                            agom, thrustAcc, coordSys);
    if (kinemfieldstorec(rec) == 0) putlines(rec, line1, line2);
  });
}

// ---- Arrays ----------------------------------------------------------------------------

VX_API int32_t KinemDataToArray(int64_t satKey, double vecArr[155], char vecText[512]) {
  return guarded("KinemDataToArray", int32_t{2}, [&] {
    strtochararr({}, vecText, kVecTextLen);
    HostArrOut arr(vecArr);
    char text[kVecTextLen];
    const int32_t status = datatoarray(satKey, arr.arr, text);
    puttext(text, vecText, kVecTextLen);
    return status;
  });
}

VX_API int64_t KinemAddSatFrArray(const double vecArr[155], const char vecText[512]) {
  return guarded("KinemAddSatFrArray", int64_t{-1}, [&] {
    HostText<kVecTextLen> text(vecText);
    return addsatfrarray(HostArrIn(vecArr).arr, text.view());
  });
}

VX_API void KinemAddSatFrArrayML(const double vecArr[155], const char vecText[512], int64_t* satKey) {
  const int64_t key = KinemAddSatFrArray(vecArr, vecText);
  put(satKey, key);
}

VX_API int32_t KinemUpdateSatFrArray(int64_t satKey, const double vecArr[155], const char vecText[512]) {
  return guarded("KinemUpdateSatFrArray", int32_t{2}, [&] {
    HostText<kVecTextLen> text(vecText);
    return updatesatfrarray(satKey, HostArrIn(vecArr).arr, text.view());
  });
}

VX_API void KinemArrayToLines(const double vecArr[155], const char vecText[512], char line1[512], char line2[512]) {
  guardedvoid("KinemArrayToLines", [&] {
    strtochararr({}, line1, kLineLen);
    strtochararr({}, line2, kLineLen);
    HostText<kVecTextLen> text(vecText);
    Kinemrecord rec;
    array2kinem(HostArrIn(vecArr).arr, text.view(), rec);
    if (!ismarkedinvalid(rec)) putlines(rec, line1, line2);
  });
}

VX_API int32_t KinemLinesToArray(const char line1[512], const char line2[512], double vecArr[155],
                                 char vecText[512]) {
  return guarded("KinemLinesToArray", int32_t{2}, [&] {
    strtochararr({}, vecText, kVecTextLen);
    HostText<kLineLen> l1(line1), l2(line2);
    Kinemrecord rec;
    const int32_t status = lines2kinem(l1.view(), l2.view(), rec);
    if (status == 0) {
      HostArrOut arr(vecArr);
      char text[kVecTextLen];
      kinem2array(rec, arr.arr, text);
      puttext(text, vecText, kVecTextLen);
    }
    return status;
  });
}

}  // extern "C"
