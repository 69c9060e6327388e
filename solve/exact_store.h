// The exact searches' storage: nodes in pages, the table that finds them by joined set, the
// open list by f and g, and the memory budget every allocation of theirs is checked against.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "solve/prefetch.h"

constexpr uint32_t noNode = UINT32_MAX;

struct NodeInfo {
  uint32_t hash;  // of the joined set
  uint32_t parent;
  uint16_t g;
  uint8_t move;
  bool closed;
};

// Bytes held by the search, checked before every allocation that could pass the limit.
struct MemoryBudget {
  size_t limit;
  size_t used = 0;
  bool take(size_t bytes) {
    if (used + bytes > limit) return false;
    used += bytes;
    return true;
  }
};

// Nodes in fixed pages, so growth never copies or doubles what is already stored.
template <class State>
class NodeStore {
 public:
  static constexpr uint32_t pageShift = 14;
  static constexpr uint32_t pageNodes = 1u << pageShift;

  State& state(uint32_t node) { return statePages_[node >> pageShift][node & (pageNodes - 1)]; }
  NodeInfo& info(uint32_t node) { return infoPages_[node >> pageShift][node & (pageNodes - 1)]; }
  // The index of a new node, or noNode when the budget has no room for its page (or indices
  // run out, which only a budget of hundreds of gigabytes would allow).
  uint32_t add(MemoryBudget& budget) {
    if (size_ == noNode - 1) return noNode;
    if ((size_ & (pageNodes - 1)) == 0) {
      if (!budget.take(pageNodes * (sizeof(State) + sizeof(NodeInfo)))) return noNode;
      statePages_.push_back(std::make_unique_for_overwrite<State[]>(pageNodes));
      infoPages_.push_back(std::make_unique_for_overwrite<NodeInfo[]>(pageNodes));
    }
    return size_++;
  }

 private:
  uint32_t size_ = 0;
  std::vector<std::unique_ptr<State[]>> statePages_;
  std::vector<std::unique_ptr<NodeInfo[]>> infoPages_;
};

// Equality without a call to memcmp: the arrays are a few words, compared branch-free.
template <class Bits>
bool sameBits(const Bits& a, const Bits& b) {
  uint64_t differ = 0;
  for (size_t w = 0; w < a.size(); ++w) differ |= a[w] ^ b[w];
  return differ == 0;
}

// Open addressing over node indices; a slot keeps the state's hash beside the index so most
// mismatches are settled without touching the node.
class StateTable {
 public:
  bool init(MemoryBudget& budget) { return grow(budget); }
  // The node whose joined set equals `state`'s, or noNode; `slot` receives where to insert.
  template <class State>
  uint32_t find(uint32_t hash, const State& state, NodeStore<State>& nodes, size_t& slot) const {
    const uint64_t tag = uint64_t{hash} << 32;
    for (slot = hash & mask_;; slot = (slot + 1) & mask_) {
      const uint64_t entry = slots_[slot];
      if (entry == 0) return noNode;
      if ((entry & ~uint64_t{0xffffffff}) != tag) continue;
      const uint32_t node = static_cast<uint32_t>(entry) - 1;
      if (sameBits(nodes.state(node).joined, state.joined)) return node;
    }
  }
  void prefetch(uint32_t hash) const { prefetchForRead(&slots_[hash & mask_]); }
  // False when the table had to grow and the budget had no room.
  bool insert(size_t slot, uint32_t hash, uint32_t node, MemoryBudget& budget) {
    slots_[slot] = uint64_t{hash} << 32 | (node + 1);
    ++count_;
    return count_ * 2 <= slots_.size() || grow(budget);
  }

 private:
  bool grow(MemoryBudget& budget) {
    const size_t capacity = slots_.empty() ? 4096 : slots_.size() * 2;
    if (!budget.take(capacity * sizeof(uint64_t))) return false;
    std::vector<uint64_t> old(capacity, 0);
    old.swap(slots_);
    mask_ = capacity - 1;
    for (const uint64_t entry : old) {
      if (entry == 0) continue;
      size_t slot = (entry >> 32) & mask_;
      while (slots_[slot] != 0) slot = (slot + 1) & mask_;
      slots_[slot] = entry;
    }
    budget.used -= old.size() * sizeof(uint64_t);
    return true;
  }

  std::vector<uint64_t> slots_;
  size_t mask_ = 0;
  size_t count_ = 0;
};

// Bucket queue by f and then g; stale entries (a node since reached by a shorter path, or
// already expanded) are skipped when popped.
class OpenList {
 public:
  explicit OpenList(uint32_t fLimit) : buckets_(fLimit) {}
  bool push(uint32_t f, uint32_t g, uint32_t node, MemoryBudget& budget) {
    if (buckets_[f].empty()) {
      if (!budget.take((f + 1) * sizeof(std::vector<uint32_t>))) return false;
      buckets_[f].resize(f + 1);
    }
    std::vector<uint32_t>& bucket = buckets_[f][g];
    if (bucket.size() == bucket.capacity()) {
      const size_t grown = std::max<size_t>(64, bucket.capacity() * 2);
      if (!budget.take((grown - bucket.capacity()) * sizeof(uint32_t))) return false;
      bucket.reserve(grown);
    }
    bucket.push_back(node);
    return true;
  }
  // The deepest entry of f, or false when f has none left.
  bool pop(uint32_t f, uint32_t& g, uint32_t& node) {
    for (g = static_cast<uint32_t>(buckets_[f].size()); g-- > 0;) {
      std::vector<uint32_t>& bucket = buckets_[f][g];
      if (bucket.empty()) continue;
      node = bucket.back();
      bucket.pop_back();
      return true;
    }
    return false;
  }

 private:
  std::vector<std::vector<std::vector<uint32_t>>> buckets_;
};

template <class State>
std::vector<uint8_t> pathTo(NodeStore<State>& nodes, uint32_t node) {
  std::vector<uint8_t> moves;
  for (; nodes.info(node).parent != noNode; node = nodes.info(node).parent)
    moves.push_back(nodes.info(node).move);
  std::reverse(moves.begin(), moves.end());
  return moves;
}
