#include "xmldom/NodeNames.h"

#include <memory>
#include <unordered_map>

namespace xmldom {

class TNodeNames {
 public:
  explicit TNodeNames(std::string_view name)
      : nodeName_(name), startTag_("<" + nodeName_ + ">"), endTag_("</" + nodeName_ + ">") {
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
  // "<", the name and ">": without its last character, the opening of a start tag.
  std::string startTag_;
  std::string endTag_;
  std::int64_t holders_ = 0;
};

namespace {

// A few recently used records in front of the table of all of them, kept where no call pays for a
// guard: the nodes of a document are made in a repeating order of a few names.
constexpr std::size_t kRecent = 16;
constinit TNodeNames* recent[kRecent] = {};

std::size_t RecentSlot(std::string_view name) {
  const std::size_t edges =
      name.empty() ? 0 : static_cast<unsigned char>(name.front()) * 7u + name.back();
  return (name.size() * 31 + edges) % kRecent;
}

// The length first: most names of a document differ in it. Names are a few bytes long, shorter
// than what a call to compare memory costs.
bool IsNamed(const TNodeNames& names, std::string_view name) {
  const std::string& nodeName = names.nodeName_;
  if (nodeName.size() != name.size()) {
    return false;
  }
  for (std::size_t index = 0; index < name.size(); ++index) {
    if (nodeName[index] != name[index]) {
      return false;
    }
  }
  return true;
}

// Keyed by a view of the record's own name, which lives as long as the entry. Never destroyed: a
// node released while statics are destroyed still gives its name back.
using TRecords = std::unordered_map<std::string_view, std::unique_ptr<TNodeNames>>;

TRecords& Records() {
  static TRecords* const records = new TRecords;
  return *records;
}

TNodeNames& Find(std::string_view name) {
  TRecords& records = Records();
  auto found = records.find(name);
  if (found == records.end()) {
    auto names = std::make_unique<TNodeNames>(name);
    const std::string_view key = names->nodeName_;
    found = records.emplace(key, std::move(names)).first;
  }
  return *found->second;
}

TNodeNames* Hold(std::string_view name) {
  TNodeNames*& slot = recent[RecentSlot(name)];
  if (slot == nullptr || !IsNamed(*slot, name)) {
    slot = &Find(name);
  }
  ++slot->holders_;
  return slot;
}

void Release(TNodeNames* names) {
  if (--names->holders_ > 0) {
    return;
  }
  TNodeNames*& slot = recent[RecentSlot(names->nodeName_)];
  if (slot == names) {
    slot = nullptr;
  }
  // By position: a key would name the record that the erasure destroys.
  TRecords& records = Records();
  records.erase(records.find(names->nodeName_));
}

const std::string& Empty() {
  static const std::string empty;
  return empty;
}

}  // namespace

TNodeNamesRef::~TNodeNamesRef() {
  if (names_ != nullptr) {
    Release(names_);
  }
}

void TNodeNamesRef::Assign(std::string_view name) {
  if (names_ != nullptr && names_->nodeName_ == name) {
    return;
  }
  TNodeNames* old = names_;
  names_ = Hold(name);
  if (old != nullptr) {
    Release(old);
  }
}

void TNodeNamesRef::Share(const TNodeNamesRef& other) noexcept {
  if (other.names_ == names_) {
    return;
  }
  TNodeNames* old = names_;
  names_ = other.names_;
  if (names_ != nullptr) {
    ++names_->holders_;
  }
  if (old != nullptr) {
    Release(old);
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
  return StartTag().substr(0, StartTag().size() - 1);
}

std::string_view TNodeNamesRef::StartTag() const noexcept {
  return names_ != nullptr ? std::string_view(names_->startTag_) : "<>";
}

std::string_view TNodeNamesRef::EndTag() const noexcept {
  return names_ != nullptr ? std::string_view(names_->endTag_) : "</>";
}

}  // namespace xmldom
