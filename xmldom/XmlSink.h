#pragma once

#include <string_view>

namespace xmldom {

// Where the XML text of a tree goes when it is written in pieces rather than made as one string:
// the pieces, one after the other, are the whole text.
class TXmlSink {
 public:
  virtual void Write(std::string_view piece) = 0;

 protected:
  ~TXmlSink() = default;
};

}  // namespace xmldom
