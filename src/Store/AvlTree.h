// The height-balanced (AVL) tree under the keyed store, written over any
// node type.
//
// Node must have the members `left`, `right` (Node*) and `balance` (an
// integer: height of the right subtree minus height of the left, -1, 0 or
// +1). Ops supplies the rest, all static:
//   key(node)               the node's key (any totally ordered type)
//   takeOver(target, from)  moves from's key and contents into target; target
//                           keeps its links and balance
// Nodes are made by the caller and destroyed with delete by the removal.
//
// Thread safety: none of its own; the store runs every call under its guard.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vx::store {

template <class Node, class Ops>
struct AvlTree {
  // Links node below link. same(existing, node) decides a taken key.
  // Status 1: linked and the subtree under link grew; 0: linked; 2: key
  // present with a node that is not the same; 3: key present with the same.
  template <class Same>
  static int32_t insert(Node*& link, Node* node, Same& same) {
    Node* n = link;
    if (n == nullptr) {
      link = node;
      return 1;
    }
    if (Ops::key(*node) == Ops::key(*n)) return same(*n, *node) ? 3 : 2;

    if (Ops::key(*node) < Ops::key(*n)) {
      const int32_t status = insert(n->left, node, same);
      if (status != 1) return status;
      if (n->balance == 1) {
        n->balance = 0;
        return 0;
      }
      if (n->balance == 0) {
        n->balance = -1;
        return 1;
      }
      Node* l = n->left;
      if (l->balance == -1) {
        n->left = l->right;
        l->right = n;
        n->balance = 0;
        link = l;
      } else {
        link = rotateLeftRight(n);
      }
      link->balance = 0;
      return 0;
    }

    const int32_t status = insert(n->right, node, same);
    if (status != 1) return status;
    if (n->balance == -1) {
      n->balance = 0;
      return 0;
    }
    if (n->balance == 0) {
      n->balance = 1;
      return 1;
    }
    Node* r = n->right;
    if (r->balance == 1) {
      n->right = r->left;
      r->left = n;
      n->balance = 0;
      link = r;
    } else {
      link = rotateRightLeft(n);
    }
    link->balance = 0;
    return 0;
  }

  // Removes the node of key below link: 0 removed, 2 not found. shrunk
  // becomes 1 when the subtree under link lost a level. A node with two
  // children stays in the tree and takes over its in-order predecessor's
  // key and contents; the predecessor's node is the one destroyed.
  template <class Key>
  static int32_t remove(Node*& link, const Key& key, int32_t& shrunk) {
    Node* n = link;
    if (n == nullptr) return 2;
    if (key < Ops::key(*n)) {
      const int32_t err = remove(n->left, key, shrunk);
      if (shrunk == 1) balanceRightHeavy(link, shrunk);
      return err;
    }
    if (Ops::key(*n) < key) {
      const int32_t err = remove(n->right, key, shrunk);
      if (shrunk == 1) balanceLeftHeavy(link, shrunk);
      return err;
    }
    if (n->right == nullptr) {
      link = n->left;
      shrunk = 1;
      delete n;
    } else if (n->left == nullptr) {
      link = n->right;
      shrunk = 1;
      delete n;
    } else {
      swapNode(n->left, n, shrunk);
      if (shrunk == 1) balanceRightHeavy(link, shrunk);
    }
    return 0;
  }

  template <class Key>
  static int32_t remove(Node*& root, const Key& key) {
    int32_t shrunk = 0;
    return remove(root, key, shrunk);
  }

  template <class Key>
  static Node* search(Node* n, const Key& key) noexcept {
    while (n != nullptr && Ops::key(*n) != key) n = key < Ops::key(*n) ? n->left : n->right;
    return n;
  }

  // Calls visit(node) for up to maxCount nodes with keys above after, in
  // ascending key order; true when no node follows the last one visited.
  // One descent finds where to start, so a walk in steps resumes in
  // logarithmic time.
  template <class Key, class Visit>
  static bool visitAfter(const Node* root, const Key& after, size_t maxCount, Visit& visit) {
    // An AVL tree of n nodes is less than 1.45 log2(n) high: 96 levels hold
    // more nodes than memory can. The path holds the nodes still to visit,
    // each with its left subtree done or skipped.
    const Node* path[96];
    size_t depth = 0;
    for (const Node* n = root; n != nullptr;) {
      if (after < Ops::key(*n)) {
        path[depth++] = n;
        n = n->left;
      } else {
        n = n->right;
      }
    }
    const Node* n = nullptr;
    for (size_t visited = 0; visited < maxCount && (n != nullptr || depth > 0); ++visited) {
      for (; n != nullptr; n = n->left) path[depth++] = n;
      n = path[--depth];
      visit(*n);
      n = n->right;
    }
    return n == nullptr && depth == 0;
  }

 private:
  // Double rotation of a node whose left child leans right; returns the
  // grandchild that takes the node's place, with balance 0.
  static Node* rotateLeftRight(Node* n) noexcept {
    Node* l = n->left;
    Node* g = l->right;
    l->right = g->left;
    n->left = g->right;
    g->left = l;
    g->right = n;
    n->balance = g->balance == -1 ? 1 : 0;
    l->balance = g->balance == 1 ? -1 : 0;
    g->balance = 0;
    return g;
  }

  // The mirror image: right child leaning left.
  static Node* rotateRightLeft(Node* n) noexcept {
    Node* r = n->right;
    Node* g = r->left;
    r->left = g->right;
    n->right = g->left;
    g->right = r;
    g->left = n;
    n->balance = g->balance == 1 ? -1 : 0;
    r->balance = g->balance == -1 ? 1 : 0;
    g->balance = 0;
    return g;
  }

  // Descends right from link to the in-order predecessor P of target. Target
  // takes over P's key and contents (keeping its own balance); P's left
  // child takes P's place and P is destroyed.
  static void swapNode(Node*& link, Node* target, int32_t& shrunk) {
    Node* p = link;
    if (p->right != nullptr) {
      swapNode(p->right, target, shrunk);
      if (shrunk == 1) balanceLeftHeavy(link, shrunk);
      return;
    }
    Ops::takeOver(*target, *p);
    link = p->left;
    shrunk = 1;
    delete p;
  }

  // The node under link lost a level on its right.
  static void balanceLeftHeavy(Node*& link, int32_t& shrunk) noexcept {
    Node* n = link;
    if (n->balance == 0) {
      n->balance = -1;
      shrunk = 0;
      return;
    }
    if (n->balance == 1) {
      n->balance = 0;
      return;
    }
    Node* l = n->left;
    if (l->balance <= 0) {
      n->left = l->right;
      l->right = n;
      if (l->balance == 0) {
        n->balance = -1;
        l->balance = 1;
        shrunk = 0;
      } else {
        n->balance = 0;
        l->balance = 0;
      }
      link = l;
    } else {
      link = rotateLeftRight(n);
    }
  }

  // The node under link lost a level on its left.
  static void balanceRightHeavy(Node*& link, int32_t& shrunk) noexcept {
    Node* n = link;
    if (n->balance == 0) {
      n->balance = 1;
      shrunk = 0;
      return;
    }
    if (n->balance == -1) {
      n->balance = 0;
      return;
    }
    Node* r = n->right;
    if (r->balance >= 0) {
      n->right = r->left;
      r->left = n;
      if (r->balance == 0) {
        n->balance = 1;
        r->balance = -1;
        shrunk = 0;
      } else {
        n->balance = 0;
        r->balance = 0;
      }
      link = r;
    } else {
      link = rotateRightLeft(n);
    }
  }
};

}  // namespace vx::store
