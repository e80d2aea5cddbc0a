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
  ++object->refCount_;
}

void Release(TRefObject* object) {
  if (object == nullptr) {
    return;
  }
  if (object->refCount_ == std::numeric_limits<std::int32_t>::min()) {
    throw runtime::EIntOverflow();
  }
  if (--object->refCount_ == 0) {
    object->refCount_ = 1;
    delete object;
  }
}

}  // namespace xmldom
