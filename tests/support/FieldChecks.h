// Checks shared by the field and array tests of the libraries: a fenced host
// output buffer, the "not loaded" message, and the table loops that call one
// function per case and pin its status, its log line and what it left.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "support/LogCapture.h"

namespace vx::testing {

// A host output buffer of N characters with a fence behind it that no call
// may touch.
template <size_t N>
struct Out {
  char b[N + 4];
  Out() { std::memset(b, '#', sizeof b); }
  operator char*() { return b; }
  std::string full() const { return std::string(b, N); }
  std::string str() const {
    std::string s(b, N);
    s.erase(s.find_last_not_of(' ') + 1);
    return s;
  }
  bool fenced() const { return std::memcmp(b + N, "####", 4) == 0; }
};

// "<head><key, 19 wide> in the <tree> binary tree."
inline std::string keyMsg(std::string_view head, int64_t key, std::string_view tree) {
  std::string k = std::to_string(key);
  return std::string(head) + std::string(19 - k.size(), ' ') + k + " in the " + std::string(tree) + " binary tree.";
}

// Every call gives 2 and logs only the "not loaded" line of its head; the
// calls whose head starts with one of blankHeads leave out (512) blank.
using MissingCases = std::vector<std::pair<std::string, std::function<int32_t()>>>;
inline void expectEachMissing(const MissingCases& cases, int64_t key, std::string_view tree, char* out,
                              const std::vector<std::string>& blankHeads) {
  for (const auto& [head, call] : cases) {
    LogCapture log;
    std::memset(out, '#', 512);
    EXPECT_EQ(call(), 2) << head;
    EXPECT_EQ(log.errors(), std::vector<std::string>{keyMsg(head, key, tree)});
    for (const auto& blank : blankHeads) {
      if (head.rfind(blank, 0) == 0) {
        EXPECT_EQ(std::string(out, 512), std::string(512, ' ')) << head;
      }
    }
  }
}

// Every set(idx, value) gives 2 and logs only message, and state() is as
// before the first.
using RefusedCases = std::vector<std::tuple<int32_t, std::string, std::string>>;
inline void expectEachRefused(const RefusedCases& cases, const std::function<int32_t(int32_t, const std::string&)>& set,
                              const std::function<std::string()>& state) {
  const std::string before = state();
  for (const auto& [idx, value, message] : cases) {
    LogCapture log;
    EXPECT_EQ(set(idx, value), 2) << idx;
    EXPECT_EQ(log.errors(), std::vector<std::string>{message});
    EXPECT_EQ(state(), before);
  }
}

// Each bad value of an integer element makes add() (after put(bad)) give -1
// with one log line starting with messageHead.
inline void expectEachAddRefused(const std::vector<double>& bads, const std::function<void(double)>& put,
                                 const std::function<int64_t()>& add, std::string_view messageHead) {
  for (double bad : bads) {
    put(bad);
    LogCapture log;
    EXPECT_EQ(add(), -1) << bad;
    ASSERT_EQ(log.errors().size(), 1u);
    EXPECT_EQ(log.errors()[0].rfind(messageHead, 0), 0u);
  }
}

}  // namespace vx::testing
