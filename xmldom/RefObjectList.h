#pragma once

#include <type_traits>

#include "xmldom/RefObject.h"
#include "xmldom/XList.h"

namespace xmldom {

// A list that owns one count on each object in it instead of the object itself: an object leaves
// the list alive only if somebody else holds a count on it.
template <typename T>
class TRefObjectList : public TXList<T> {
  static_assert(std::is_base_of_v<TRefObject, T>, "items must be counted objects");

 public:
  TRefObjectList() = default;
  ~TRefObjectList() override { this->Clear(); }

 protected:
  void Inserted(T* item) override { AddRef(item); }
  void Removed(T* item) override { Release(item); }
  void FreeItem(T* /*item*/) override {}
};

}  // namespace xmldom
