#include "xmldom/RefObject.h"

#include <limits>

#include "runtime/Exception.h"

namespace xmldom {

void AddRef(TRefObject* object) {
  if (object == nullptr) {
    return;
  }
  if (object->refCount_ == std::numeric_limits<std::int32_t>::max()) {
    throw runtime::EIntOverflow();
  }
  const std::int32_t count = ++object->refCount_;
  object->countsNotOne_ += (count == 2) - (count == 1);
}

void Release(TRefObject* object) {
  if (object == nullptr) {
    return;
  }
  if (object->refCount_ == std::numeric_limits<std::int32_t>::min()) {
    throw runtime::EIntOverflow();
  }
  const std::int32_t count = --object->refCount_;
  if (count == 0) {
    // From 1 to 0 and back to 1: the count stays as it was for the tally.
    object->refCount_ = 1;
    delete object;
    return;
  }
  object->countsNotOne_ -= count == 1;
}

}  // namespace xmldom
