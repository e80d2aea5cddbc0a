#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace xmldom {

class TNodeNames;

// A node's hold on its NodeName, Prefix and LocalName. Nodes of the same name share one record of
// the three (a tree of a million elements has a handful of names), kept while anybody holds it;
// holding nothing means three empty names.
//
// Like the counts of the object model, the records are not shared between threads.
class TNodeNamesRef {
 public:
  TNodeNamesRef() noexcept = default;
  explicit TNodeNamesRef(std::string_view name) { Assign(name); }
  TNodeNamesRef(const TNodeNamesRef&) = delete;
  TNodeNamesRef& operator=(const TNodeNamesRef&) = delete;
  ~TNodeNamesRef();

  // Holds the record of that name; the first colon splits it into Prefix and LocalName.
  void Assign(std::string_view name);
  // Holds the record that the other holds, without looking the name up.
  void Share(const TNodeNamesRef& other) noexcept;

  const std::string& NodeName() const noexcept;
  const std::string& Prefix() const noexcept;
  const std::string& LocalName() const noexcept;
  // The markup of an element of this name, made once for all of them: "<" and the name, and the
  // end tag "</", the name and ">".
  std::string_view StartTagOpening() const noexcept;
  // The start tag of an element of this name without attributes: "<", the name and ">".
  std::string_view StartTag() const noexcept;
  std::string_view EndTag() const noexcept;

 private:
  TNodeNames* names_ = nullptr;
};

}  // namespace xmldom
