// A map from a 32-bit key to value for the states of one round of the parallel exact search, or
// of one dive (node indices, hashes): open addressing in flat arrays, and emptied in the time its
// entries take, not its size, as it is emptied every round.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "solve/exact_store.h"

// Any key but noNode, which marks an empty slot.
template <class Value>
class RoundMap {
 public:
  Value* find(uint32_t key) {
    if (keys_.empty()) return nullptr;
    for (size_t i = slotOf(key);; i = (i + 1) & (keys_.size() - 1)) {
      if (keys_[i] == key) return &values_[i];
      if (keys_[i] == noNode) return nullptr;
    }
  }

  // The key's value, default-made when new.
  Value& operator[](uint32_t key) {
    if (2 * (used_.size() + 1) > keys_.size()) grow();
    size_t i = slotOf(key);
    for (; keys_[i] != key; i = (i + 1) & (keys_.size() - 1)) {
      if (keys_[i] != noNode) continue;
      keys_[i] = key;
      values_[i] = Value{};
      used_.push_back(static_cast<uint32_t>(i));
      break;
    }
    return values_[i];
  }

  void clear() {
    for (const uint32_t i : used_) keys_[i] = noNode;
    used_.clear();
  }

 private:
  size_t slotOf(uint32_t key) const {
    return static_cast<size_t>((key * 0x9e3779b1u) >> 7) & (keys_.size() - 1);
  }

  void grow() {
    std::vector<uint32_t> keys(std::max<size_t>(keys_.size() * 2, 1024), noNode);
    std::vector<Value> values(keys.size());
    std::swap(keys, keys_);
    std::swap(values, values_);
    std::vector<uint32_t> used = std::move(used_);
    used_.clear();
    for (const uint32_t i : used) (*this)[keys[i]] = values[i];
  }

  std::vector<uint32_t> keys_;  // noNode where empty
  std::vector<Value> values_;
  std::vector<uint32_t> used_;  // the slots filled, to empty
};
