// Messages of the keyed store, grouped by the routine that reports them, and
// the two helpers that build them. Every store keeps these texts word for
// word, whatever record it holds: no message names a library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "Services/kernix.h"

namespace vx::store::msg {

namespace addrec {
inline constexpr std::string_view kNoDma = "AddRecToMem: Cannot allocate memory for a new dma.";
inline constexpr std::string_view kNoDmaRec = "AddRecToMem: Cannot allocate memory for a new rec.";
inline constexpr std::string_view kNoNodeHead = "AddRecToMem: Unable to allocate memory for key ";
inline constexpr std::string_view kNoNodeTail = ".";
inline constexpr std::string_view kNoRec = "AddRecToMem: Memory allocation failed";
inline constexpr std::string_view kDupHead = "AddRecToMem: Duplicated record/key ";
inline constexpr std::string_view kDupTail = " found.";
inline constexpr std::string_view kNoFreeKeyHead = "AddRecToMem: No free key within 100 tries from satKey ";
inline constexpr std::string_view kNoFreeKeyTail = "";
}  // namespace addrec

namespace removenode {
inline constexpr std::string_view kBadDmaKey = "RemoveNode: Invalid DMA key (<=0).";
inline constexpr std::string_view kMissingHead = "RemoveNode: Unable to locate this key ";
inline constexpr std::string_view kMissingTail = " in its binary tree.";
}  // namespace removenode

namespace updaterec {
inline constexpr std::string_view kBadDmaKey = "UpdateRec: Invalid DMA key (<=0).";
inline constexpr std::string_view kDeadDma = "UpdateRec: rec/DMA doesn't exist or was already deallocated";
inline constexpr std::string_view kMissingHead = "UpdateRec: Unable to locate key ";
inline constexpr std::string_view kMissingTail = " in its binary tree.";
inline constexpr std::string_view kNoRec = "UpdateRec: Memory allocation failed";
}  // namespace updaterec

namespace removedma {
inline constexpr std::string_view kDead = "RemoveDMA: /DMA doesn't exist or was already deallocated";
inline constexpr std::string_view kWrongType = "RemoveDMA: This DMA object isn't a correct object.";
}  // namespace removedma

namespace findrec {
inline constexpr std::string_view kBadDmaKey = "FindRec: Invalid DMA key (<=0).";
inline constexpr std::string_view kEmpty = "FindRec: Search tree is empty.";
inline constexpr std::string_view kMissing = "FindRec: search key doens't exist.";
inline constexpr std::string_view kNoRec = "FindRec: Memory allocation failed";
}  // namespace findrec

namespace findrecptr {
inline constexpr std::string_view kBadDmaKey = "FindRecPtr: Invalid DMA key (<=0).";
inline constexpr std::string_view kBadDma = "FindRecPtr: Invalid DMA key.";
inline constexpr std::string_view kNoRec = "FindRecPtr: Prop data doesn't exist.";
inline constexpr std::string_view kEmpty = "FindRecPtr: Search tree is empty.";
inline constexpr std::string_view kMissing = "FindRecPtr: search key doens't exist.";
}  // namespace findrecptr

// Length of the find operations' message buffer.
inline constexpr size_t kFindMsgLen = 128;

// Writes head, the key right-aligned in 19 columns (a key below -10^18 takes
// the 20 it needs), and tail to the trace log, as tracelognumbered does.
inline void logKeyed(std::string_view head, int64_t key, std::string_view tail) {
  constexpr int kKeyCols = 19;
  vx::tracelognumbered(head, key, kKeyCols, tail);
}

// Writes a refusal that names no key in its own words followed by a blank and
// the key as logKeyed puts it, so every refusal of a call by key names the
// key the host gave.
inline void logNamingKey(std::string_view text, int64_t key) {
  constexpr int kKeyCols = 19;
  vx::LogLine().text(text).text(" ").num(key, kKeyCols).error();
}

// Fills the caller's optional 128-character message buffer with text, blank
// padded.
inline void putFindMsg(char* out, std::string_view text) noexcept {
  if (out == nullptr) return;
  const size_t n = text.size() < kFindMsgLen ? text.size() : kFindMsgLen;
  if (n > 0) std::memcpy(out, text.data(), n);
  std::memset(out + n, ' ', kFindMsgLen - n);
}

}  // namespace vx::store::msg
