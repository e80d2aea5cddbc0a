#include "xmldom/NodeNames.h"

#include <array>
#include <cstring>
#include <memory>
#include <unordered_map>

namespace xmldom {

class TNodeNames {
 public:
  explicit TNodeNames(std::string_view name)
      : nodeName_(name), startTagOpening_("<" + nodeName_), endTag_("</" + nodeName_ + ">") {
    const std::string::size_type colon = nodeName_.find(':');
    if (colon == std::string::npos) {
      localName_ = nodeName_;
    } else {
      prefix_ = nodeName_.substr(0, colon);
      localName_ = nodeName_.substr(colon + 1);
    }
  }

  std::string nodeName_;
  std::string prefix_;
  std::string localName_;
  std::string startTagOpening_;
  std::string endTag_;
  std::int64_t holders_ = 0;
};

namespace {

// Every record by its name, with a few recently used ones in front of the table: the nodes of a
// document are made in a repeating order of a few names.
class TNameTable {
 public:
  TNodeNames* Hold(std::string_view name) {
    TNodeNames*& recent = recent_[RecentSlot(name)];
    if (recent == nullptr || !IsNamed(*recent, name)) {
      recent = &Find(name);
    }
    ++recent->holders_;
    return recent;
  }

  void Release(TNodeNames* names) {
    if (--names->holders_ > 0) {
      return;
    }
    TNodeNames*& recent = recent_[RecentSlot(names->nodeName_)];
    if (recent == names) {
      recent = nullptr;
    }
    // By position: a key would name the record that the erasure destroys.
    records_.erase(records_.find(names->nodeName_));
  }

 private:
  // The length first: most names of a document differ in it.
  static bool IsNamed(const TNodeNames& names, std::string_view name) {
    return names.nodeName_.size() == name.size() &&
           std::memcmp(names.nodeName_.data(), name.data(), name.size()) == 0;
  }

  static std::size_t RecentSlot(std::string_view name) {
    const std::size_t edges =
        name.empty() ? 0 : static_cast<unsigned char>(name.front()) * 7u + name.back();
    return (name.size() * 31 + edges) % kRecent;
  }

  TNodeNames& Find(std::string_view name) {
    auto found = records_.find(name);
    if (found == records_.end()) {
      auto names = std::make_unique<TNodeNames>(name);
      const std::string_view key = names->nodeName_;
      found = records_.emplace(key, std::move(names)).first;
    }
    return *found->second;
  }

  static constexpr std::size_t kRecent = 16;
  std::array<TNodeNames*, kRecent> recent_{};
  // Keyed by a view of the record's own name, which lives as long as the entry.
  std::unordered_map<std::string_view, std::unique_ptr<TNodeNames>> records_;
};

// Never destroyed: a node released while statics are destroyed still gives its name back.
TNameTable& Table() {
  static TNameTable* const table = new TNameTable;
  return *table;
}

const std::string& Empty() {
  static const std::string empty;
  return empty;
}

}  // namespace

TNodeNamesRef::~TNodeNamesRef() {
  if (names_ != nullptr) {
    Table().Release(names_);
  }
}

void TNodeNamesRef::Assign(std::string_view name) {
  if (names_ != nullptr && names_->nodeName_ == name) {
    return;
  }
  TNodeNames* old = names_;
  names_ = Table().Hold(name);
  if (old != nullptr) {
    Table().Release(old);
  }
}

const std::string& TNodeNamesRef::NodeName() const noexcept {
  return names_ != nullptr ? names_->nodeName_ : Empty();
}

const std::string& TNodeNamesRef::Prefix() const noexcept {
  return names_ != nullptr ? names_->prefix_ : Empty();
}

const std::string& TNodeNamesRef::LocalName() const noexcept {
  return names_ != nullptr ? names_->localName_ : Empty();
}

std::string_view TNodeNamesRef::StartTagOpening() const noexcept {
  return names_ != nullptr ? std::string_view(names_->startTagOpening_) : "<";
}

std::string_view TNodeNamesRef::EndTag() const noexcept {
  return names_ != nullptr ? std::string_view(names_->endTag_) : "</>";
}

}  // namespace xmldom
