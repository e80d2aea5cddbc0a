#pragma once

#include <cstddef>
#include <type_traits>
#include <vector>

#include "runtime/Exception.h"

namespace xmldom {

// An ordered list of object pointers with hooks on insertion and removal. The list itself owns
// its items: Clear, and so destruction, destroys them through FreeItem.
//
// Hooks do not run from a destructor of a base class in C++, so every derived class that
// overrides them runs Clear from its own destructor.
template <typename T>
class TXList {
  static_assert(std::has_virtual_destructor_v<T>, "items are destroyed through a base pointer");

 public:
  TXList() = default;
  TXList(const TXList&) = delete;
  TXList& operator=(const TXList&) = delete;
  virtual ~TXList() { TXList::Clear(); }

  int Count() const noexcept { return static_cast<int>(items_.size()); }

  T* Item(int index) const {
    CheckIndex(index, Count() - 1);
    return items_[static_cast<std::size_t>(index)];
  }

  int IndexOf(const T* item) const noexcept {
    for (std::size_t index = 0; index < items_.size(); ++index) {
      if (items_[index] == item) {
        return static_cast<int>(index);
      }
    }
    return -1;
  }

  // Any index from 0 to Count() inclusive.
  void Insert(int index, T* item) {
    CheckIndex(index, Count());
    const auto position = items_.begin() + index;
    items_.insert(position, item);
    if (item == nullptr) {
      return;
    }
    try {
      Inserted(item);
    } catch (...) {
      // The hook refused the item (a count that would overflow): the list must not keep it.
      items_.erase(items_.begin() + index);
      throw;
    }
  }

  // Takes the item out without destroying it. In a list that owns counts the item may be gone
  // once Removed has run, unless the caller holds its own count.
  T* Extract(int index) {
    T* item = Item(index);
    items_.erase(items_.begin() + index);
    if (item != nullptr) {
      Removed(item);
    }
    return item;
  }

  // Empties the list from the last item to the first.
  virtual void Clear() {
    while (!items_.empty()) {
      T* item = items_.back();
      items_.pop_back();
      if (item != nullptr) {
        Removed(item);
        FreeItem(item);
      }
    }
    std::vector<T*>().swap(items_);
  }

 protected:
  virtual void Inserted(T* /*item*/) {}
  virtual void Removed(T* /*item*/) {}
  virtual void FreeItem(T* item) { delete item; }

 private:
  static void CheckIndex(int index, int highest) {
    if (index < 0 || index > highest) {
      throw runtime::EListError(index);
    }
  }

  std::vector<T*> items_;
};

}  // namespace xmldom
