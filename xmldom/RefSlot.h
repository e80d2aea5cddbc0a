#pragma once

#include <cstddef>
#include <type_traits>
#include <utility>

#include "xmldom/RefObject.h"

namespace xmldom {

// A counted-reference slot is a pointer that holds either nothing or an object on which it owns
// one count. These three operations are the only ways in which a slot changes.

// Stores the object in an empty slot (an old content is neither tested for nor released) and takes
// a count on it. True when an object was stored.
template <typename T>
bool Hold(T*& slot, std::type_identity_t<T>* object) {
  // The count is taken before the slot is written, so that a failed AddRef leaves no slot
  // claiming a count it does not own.
  AddRef(object);
  slot = object;
  return object != nullptr;
}

// Makes the slot hold the object instead of what it held. True when the slot changed.
template <typename T>
bool Reassign(T*& slot, std::type_identity_t<T>* object) {
  if (slot == object) {
    return false;
  }
  // The new object is counted before the old one is released: the old one may be all that
  // keeps the new one alive (a walk from a node to its child, for instance).
  AddRef(object);
  T* old = std::exchange(slot, object);
  Release(old);
  return true;
}

// Empties the slot and gives its count back. The slot is empty before the release, so that a
// destructor that runs from it never sees the slot naming its object.
template <typename T>
void Drop(T*& slot) {
  if (slot == nullptr) {
    return;
  }
  T* old = std::exchange(slot, nullptr);
  Release(old);
}

// A slot that gives its count back when it goes out of scope, on every path.
template <typename T>
class TRef {
 public:
  TRef() noexcept = default;
  TRef(std::nullptr_t) noexcept {}
  TRef(T* object) { Hold(object_, object); }
  TRef(const TRef& other) { Hold(object_, other.object_); }
  TRef(TRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}

  template <typename U>
  requires std::is_convertible_v<U*, T*> TRef(const TRef<U>& other) { Hold(object_, other.Get()); }

  template <typename U>
  requires std::is_convertible_v<U*, T*> TRef(TRef<U>&& other)
  noexcept : object_(std::exchange(other.object_, nullptr)) {}

  ~TRef() { Drop(object_); }

  TRef& operator=(const TRef& other) {
    Reassign(object_, other.object_);
    return *this;
  }

  TRef& operator=(TRef&& other) {
    if (this != &other) {
      T* incoming = std::exchange(other.object_, nullptr);
      Release(std::exchange(object_, incoming));
    }
    return *this;
  }

  TRef& operator=(T* object) {
    Reassign(object_, object);
    return *this;
  }

  void Reset() { Drop(object_); }

  T* Get() const noexcept { return object_; }
  T* operator->() const noexcept { return object_; }
  T& operator*() const noexcept { return *object_; }
  explicit operator bool() const noexcept { return object_ != nullptr; }

  friend bool operator==(const TRef& left, const TRef& right) noexcept {
    return left.object_ == right.object_;
  }

 private:
  template <typename U>
  friend class TRef;

  T* object_ = nullptr;
};

// Creates a counted object already held, so that no caller ever has one that nobody owns.
template <typename T, typename... Args>
TRef<T> MakeRef(Args&&... args) {
  return TRef<T>(new T(std::forward<Args>(args)...));
}

}  // namespace xmldom
