#pragma once

#include <cstddef>
#include <string_view>

namespace xmldom {

// A text kept in a block of the pool of small blocks, sized to the text: the data of a text node,
// of which a document of a million leases has three million.
class TBlockText {
 public:
  TBlockText() noexcept = default;
  explicit TBlockText(std::string_view text) { Assign(text); }
  TBlockText(const TBlockText&) = delete;
  TBlockText& operator=(const TBlockText&) = delete;
  ~TBlockText() { Free(); }

  // The text may be a view of this one's own.
  void Assign(std::string_view text);
  std::string_view View() const noexcept { return {data_, size_}; }

 private:
  void Free() noexcept;

  char* data_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace xmldom
