#pragma once

#include <cstdint>
#include <string_view>

namespace xmldom {

// A text kept in a block of the pool of small blocks, sized to the text: the data of a text node,
// of which a document of a million leases has three million. The length of the text written as
// XML is measured once, when the text is stored and in the cache anyway, so that writing a text
// without markup characters scans nothing.
class TBlockText {
 public:
  TBlockText() noexcept = default;
  explicit TBlockText(std::string_view text) { Assign(text); }
  TBlockText(const TBlockText&) = delete;
  TBlockText& operator=(const TBlockText&) = delete;
  ~TBlockText() { Free(); }

  // The text may be a view of this one's own. A text of 4 GB or more, or one of 2 GB or more once
  // escaped, fails as exhausted memory.
  void Assign(std::string_view text);
  std::string_view View() const noexcept { return {data_, size_}; }
  // What EscapedXmlTextLength gives for the text.
  std::size_t EscapedSize() const noexcept { return escapedSize_; }
  // Whether EscapeXmlText gives the text unchanged.
  bool IsWrittenAsItIs() const noexcept { return writtenAsItIs_ != 0; }

 private:
  void Free() noexcept;

  char* data_ = nullptr;
  std::uint32_t size_ = 0;
  std::uint32_t escapedSize_ : 31 = 0;
  std::uint32_t writtenAsItIs_ : 1 = 1;
};

}  // namespace xmldom
