// The results of a scan under their comparison numbers.
#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <utility>
#include <vector>

namespace orvalis {

// Results kept in one array in the order of their numbers. A scan adds its
// results in that order, so adding one is an append and finding one a binary
// search; a folder's hundreds of thousands of results then cost no allocation
// each, and walking them reads memory in order.
//
// Adding a result below the highest number moves the ones above it, and any
// addition may move them all: references and iterators hold only while
// nothing is added.
template <typename Result>
class NumberedResults {
 public:
  using value_type = std::pair<std::int32_t, Result>;
  using iterator = typename std::vector<value_type>::iterator;
  using const_iterator = typename std::vector<value_type>::const_iterator;
  using size_type = std::size_t;

  NumberedResults() = default;
  // In any order; of a number given twice, the first result is kept.
  NumberedResults(std::initializer_list<value_type> results) {
    for (const value_type& one : results) emplace(one.first, one.second);
  }

  iterator begin() { return items_.begin(); }
  iterator end() { return items_.end(); }
  const_iterator begin() const { return items_.begin(); }
  const_iterator end() const { return items_.end(); }
  auto rbegin() const { return items_.rbegin(); }
  auto rend() const { return items_.rend(); }
  bool empty() const { return items_.empty(); }
  size_type size() const { return items_.size(); }
  void clear() { items_ = {}; }  // the memory goes too
  void reserve(size_type count) { items_.reserve(count); }

  iterator find(std::int32_t number) {
    const auto at = lower_bound(number);
    return at != items_.end() && at->first == number ? at : items_.end();
  }
  const_iterator find(std::int32_t number) const {
    const auto at = lower_bound(number);
    return at != items_.end() && at->first == number ? at : items_.end();
  }

  bool contains(std::int32_t number) const { return find(number) != items_.end(); }

  Result& at(std::int32_t number) {
    const auto found = find(number);
    if (found == items_.end()) missing();
    return found->second;
  }
  const Result& at(std::int32_t number) const {
    const auto found = find(number);
    if (found == items_.end()) missing();
    return found->second;
  }

  // Adds `result` under `number` unless a result is there already; returns
  // where the number's result is and whether it was added.
  std::pair<iterator, bool> emplace(std::int32_t number, Result result) {
    if (items_.empty() || items_.back().first < number) {
      items_.emplace_back(number, std::move(result));
      return {items_.end() - 1, true};
    }
    const auto at = lower_bound(number);
    if (at->first == number) return {at, false};
    return {items_.emplace(at, number, std::move(result)), true};
  }

  // The result under `number`, an empty one added when there is none.
  Result& operator[](std::int32_t number) { return emplace(number, Result{}).first->second; }

  void erase(const_iterator first, const_iterator last) { items_.erase(first, last); }

 private:
  static bool below(const value_type& item, std::int32_t number) { return item.first < number; }
  // The first result whose number is not below `number`.
  iterator lower_bound(std::int32_t number) {
    return std::lower_bound(items_.begin(), items_.end(), number, below);
  }
  const_iterator lower_bound(std::int32_t number) const {
    return std::lower_bound(items_.begin(), items_.end(), number, below);
  }
  [[noreturn]] static void missing() {
    throw std::out_of_range("no result under this comparison number");
  }

  std::vector<value_type> items_;
};

}  // namespace orvalis
