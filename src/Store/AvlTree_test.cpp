#include "Store/AvlTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <random>
#include <vector>

namespace {

struct IntNode {
  explicit IntNode(int k, int v = 0) : key(k), value(v) {}
  int key;
  int value;
  int16_t balance = 0;
  IntNode* left = nullptr;
  IntNode* right = nullptr;
};

struct IntOps {
  static int key(const IntNode& n) { return n.key; }
  static void takeOver(IntNode& to, IntNode& from) {
    to.key = from.key;
    to.value = from.value;
  }
};

using Tree = vx::store::AvlTree<IntNode, IntOps>;

struct IntTree {
  IntNode* root = nullptr;
  ~IntTree() { destroy(root); }
  static void destroy(IntNode* n) {
    if (n == nullptr) return;
    destroy(n->left);
    destroy(n->right);
    delete n;
  }
  // Same key with the same value is the same node.
  int32_t insert(int key, int value) {
    auto same = [](const IntNode& a, const IntNode& b) { return a.value == b.value; };
    auto* n = new IntNode(key, value);
    const int32_t status = Tree::insert(root, n, same);
    if (status >= 2) delete n;
    return status;
  }
};

// Checks every balance against the real heights and appends (key, value) in
// order; returns the height.
int checkShape(const IntNode* n, std::vector<std::pair<int, int>>& out) {
  if (n == nullptr) return 0;
  const int hl = checkShape(n->left, out);
  out.emplace_back(n->key, n->value);
  const int hr = checkShape(n->right, out);
  EXPECT_EQ(n->balance, hr - hl) << "at key " << n->key;
  EXPECT_LE(std::abs(hr - hl), 1) << "at key " << n->key;
  return 1 + std::max(hl, hr);
}

TEST(AvlTreeTest, RandomInsertsAndRemovesKeepBalanceAndOrder) {
  for (uint32_t seed : {1u, 2u, 3u}) {
    IntTree t;
    std::map<int, int> ref;
    std::mt19937 rng(seed);
    for (int step = 0; step < 4000; ++step) {
      const int key = static_cast<int>(rng() % 300);
      if (rng() % 10 < 6) {
        const int value = static_cast<int>(rng() % 2);
        const auto it = ref.find(key);
        const int32_t want = it == ref.end() ? -1 : (it->second == value ? 3 : 2);
        const int32_t status = t.insert(key, value);
        if (want < 0) {
          ASSERT_TRUE(status == 0 || status == 1);
          ref[key] = value;
        } else {
          ASSERT_EQ(status, want) << "step " << step;
        }
      } else {
        ASSERT_EQ(Tree::remove(t.root, key), ref.erase(key) ? 0 : 2) << "step " << step;
      }
      std::vector<std::pair<int, int>> inOrder;
      const int height = checkShape(t.root, inOrder);
      const std::vector<std::pair<int, int>> expected(ref.begin(), ref.end());
      ASSERT_EQ(inOrder, expected) << "step " << step;
      ASSERT_LE(height, 1.45 * std::log2(static_cast<double>(ref.size()) + 2));
      ASSERT_EQ(Tree::search(t.root, key) != nullptr, ref.count(key) == 1);
    }
  }
}

TEST(AvlTreeTest, GrowthStatusAndRotationsOnAscendingKeys) {
  // 1 grows a level, 0 links without growth; the rotations keep three levels.
  IntTree t;
  const int32_t statuses[] = {1, 1, 0, 1, 0, 0, 0};
  for (int i = 1; i <= 7; ++i) EXPECT_EQ(t.insert(i, i), statuses[i - 1]) << "key " << i;
  std::vector<std::pair<int, int>> inOrder;
  EXPECT_EQ(checkShape(t.root, inOrder), 3);
  EXPECT_EQ(t.root->key, 4);
  // Descending keys use the mirror rotations.
  IntTree d;
  for (int i = 7; i >= 1; --i) d.insert(i, i);
  inOrder.clear();
  EXPECT_EQ(checkShape(d.root, inOrder), 3);
  EXPECT_EQ(d.root->key, 4);
  // Zig-zag inserts take the double rotations.
  IntTree z;
  for (int i : {3, 1, 2}) z.insert(i, i);
  EXPECT_EQ(z.root->key, 2);
  IntTree w;
  for (int i : {1, 3, 2}) w.insert(i, i);
  EXPECT_EQ(w.root->key, 2);
}

TEST(AvlTreeTest, RemovingNodeWithTwoChildrenTakesOverItsPredecessor) {
  IntTree t;
  for (int i : {4, 2, 6, 1, 3, 5, 7}) t.insert(i, 10 * i);
  const IntNode* root = t.root;
  ASSERT_EQ(Tree::remove(t.root, 4), 0);
  ASSERT_EQ(t.root, root);  // the node stays, the predecessor's contents move in
  EXPECT_EQ(root->key, 3);
  EXPECT_EQ(root->value, 30);
  std::vector<std::pair<int, int>> inOrder;
  checkShape(t.root, inOrder);
  EXPECT_EQ(inOrder, (std::vector<std::pair<int, int>>{{1, 10}, {2, 20}, {3, 30}, {5, 50}, {6, 60}, {7, 70}}));
  // The predecessor deeper down: right turns below the left child.
  ASSERT_EQ(Tree::remove(t.root, 3), 0);
  EXPECT_EQ(t.root->key, 2);
  inOrder.clear();
  checkShape(t.root, inOrder);
  EXPECT_EQ(Tree::remove(t.root, 42), 2);
}

}  // namespace
