// Maneuver cards an input-file reader has collected for the next record it
// stores, shared by the readers of element sets and of state vectors. A
// record holds at most kMaxCards cards of kCardLen characters; cards beyond
// that are dropped with one information line per hand-over.
#pragma once

#include <algorithm>
#include <array>
#include <type_traits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>

#include "Services/kernix.h"

namespace vx::store {

class PendingCards {
 public:
  static constexpr int32_t kMaxCards = 100;
  static constexpr size_t kCardLen = 512;
  using Card = std::array<char, kCardLen>;
  // Whether a record's cards (RecCard[max]) take the pending ones as they are.
  template <class RecCard, auto max>
  static constexpr bool movesInto() {
    return max == kMaxCards && std::is_same_v<RecCard, Card>;
  }

  // droppedHead/droppedTail frame the number of dropped cards in the
  // information line ("ReadOnlyTLEs: Dropped " ... " maneuver cards ...").
  PendingCards(std::string_view droppedHead, std::string_view droppedTail)
      : droppedHead_(droppedHead), droppedTail_(droppedTail) {}
  PendingCards(const PendingCards&) = delete;
  PendingCards& operator=(const PendingCards&) = delete;
  ~PendingCards() { reportDropped(); }

  // Keeps the first kCardLen characters of line; false when the buffer
  // cannot be made.
  bool add(const char* line) {
    if (!cards_) {
      try {
        cards_ = std::make_unique<Card[]>(kMaxCards);
      } catch (const std::bad_alloc&) {
        return false;
      }
      for (int32_t i = 0; i < kMaxCards; ++i) cards_[i].fill(' ');
    }
    if (count_ < kMaxCards)
      std::memcpy(cards_[count_++].data(), line, kCardLen);
    else
      ++dropped_;
    return true;
  }
  bool any() const { return cards_ != nullptr; }

  // Gives the cards to the record stored under satKey, through
  // modify(satKey, f), the store's one-step change (a field update by another
  // thread between a read and a write back would be lost). A record that
  // already took cards from this reader keeps them and gets these after
  // them.
  template <class Modify>
  void handTo(int64_t satKey, Modify&& modify) {
    const bool again = satKey == handedTo_;
    modify(satKey, [&](auto& rec) {
      if (again && rec.mnvrCards) {
        int32_t n = std::clamp(rec.numMnvrCards, 0, kMaxCards);
        for (int32_t i = 0; i < count_; ++i) {
          if (n < kMaxCards)
            rec.mnvrCards[n++] = cards_[i];
          else
            ++dropped_;
        }
        rec.numMnvrCards = n;
      } else {
        rec.mnvrCards = std::move(cards_);
        rec.numMnvrCards = count_;
      }
      return 0;
    });
    handedTo_ = satKey;
    reportDropped();
    cards_.reset();
    count_ = 0;
  }

 private:
  void reportDropped() {
    if (dropped_ == 0) return;
    LogLine().text(droppedHead_).num(dropped_).text(droppedTail_).info();
    dropped_ = 0;
  }

  std::string_view droppedHead_;
  std::string_view droppedTail_;
  std::unique_ptr<Card[]> cards_;
  int32_t count_ = 0;
  int64_t dropped_ = 0;
  int64_t handedTo_ = 0;
};

}  // namespace vx::store
