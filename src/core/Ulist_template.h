// A typed list that owns its items: clearing or destroying it deletes every
// item. Positions count from 0.
#pragma once

#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

namespace bridge {

template <typename T>
class TListTemplate {
 public:
  T& Add(std::unique_ptr<T> item) {
    FItems.push_back(std::move(item));
    return *FItems.back();
  }
  template <typename... Args>
  T& Emplace(Args&&... args) {
    return Add(std::make_unique<T>(std::forward<Args>(args)...));
  }
  std::size_t Count() const { return FItems.size(); }
  bool Empty() const { return FItems.empty(); }
  // The item at a position, or nullptr at or beyond the count.
  T* Item(std::size_t index) const {
    return index < FItems.size() ? FItems[index].get() : nullptr;
  }
  T& operator[](std::size_t index) const { return *FItems[index]; }
  // Replaces the item at a position, deleting the old one.
  void Replace(std::size_t index, std::unique_ptr<T> item) {
    FItems.at(index) = std::move(item);
  }
  void Clear() { FItems.clear(); }

  auto begin() const { return FItems.begin(); }
  auto end() const { return FItems.end(); }

 private:
  std::vector<std::unique_ptr<T>> FItems;
};

}  // namespace bridge
