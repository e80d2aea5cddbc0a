#pragma once

#include <cstdint>

namespace xmldom {

// The base of every object that lives by intrusive reference counting. A new object has a count
// of 0 and is owned by nobody until its first AddRef; the Release that brings the count back to 0
// destroys it through the virtual destructor.
class TRefObject {
 public:
  TRefObject() noexcept { ++liveObjects_; }
  virtual ~TRefObject() { --liveObjects_; }

  TRefObject(const TRefObject&) = delete;
  TRefObject& operator=(const TRefObject&) = delete;

  std::int32_t RefCount() const noexcept { return refCount_; }

  // How many counted objects exist right now, so that a run can check it leaves none behind.
  static std::int64_t LiveObjects() noexcept { return liveObjects_; }

 protected:
  // Lets a derived class start its count elsewhere; tests use it to reach the limits of the
  // count without two billion calls.
  void SetRefCount(std::int32_t count) noexcept { refCount_ = count; }

  // For counted objects that exist before their memory does, or without it: a node's lists live
  // from the node's creation, and an object is made for one only when somebody asks for it.
  static void CountLiveObjects(std::int64_t change) noexcept { liveObjects_ += change; }

 private:
  friend void AddRef(TRefObject* object);
  friend void Release(TRefObject* object);

  std::int32_t refCount_ = 0;
  static inline std::int64_t liveObjects_ = 0;
};

// Adds one count; nothing is accepted and ignored. Fails with EIntOverflow when the count is at
// its maximum.
void AddRef(TRefObject* object);

// Gives one count back; nothing is accepted and ignored. At 0 the count is set to 1 and the object
// destroyed, so that a destructor which takes and gives back a count of its own does not destroy
// the object a second time. Fails with EIntOverflow when the count is at its minimum.
void Release(TRefObject* object);

}  // namespace xmldom
