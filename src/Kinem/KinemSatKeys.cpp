#include "Kinem/KinemSatKeys.h"

#include "Kinem/KinemCardReading.h"
#include "Kinem/KinemTree.h"
#include "Services/kernix.h"

namespace vx::kinem {

namespace msg {
constexpr std::string_view kGetSatKeyPrefix = "GetSatKey: Unable to locate satellite number ";
constexpr std::string_view kGetLatestSatKeyPrefix = "GetLatestSatKey: Unable to locate satellite number ";
constexpr std::string_view kGetSatKeySuffix = " in the KINEM binary tree.";
}  // namespace msg

int64_t addsatfrlines(std::string_view line1, std::string_view line2) {
  Kinemrecord rec;
  if (lines2kinem(line1, line2, rec) != 0) return -1;
  // The record is dropped afterwards: the store takes its contents over. The
  // reader ran the value checks.
  return addkinemtomemparsed(rec);
}

int64_t getsatkey(int32_t satNum) {
  const int64_t key = kinemstore().satKeyGet(satNum);
  if (key == -1) tracelognumbered(msg::kGetSatKeyPrefix, satNum, 9, msg::kGetSatKeySuffix);
  return key;
}

int64_t getlatestsatkey(int32_t satNum) {
  const int64_t key = kinemstore().satKeyLatest(satNum);
  if (key == -1) tracelognumbered(msg::kGetLatestSatKeyPrefix, satNum, 9, msg::kGetSatKeySuffix);
  return key;
}

}  // namespace vx::kinem
