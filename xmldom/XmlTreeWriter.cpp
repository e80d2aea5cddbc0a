#include "xmldom/XmlTreeWriter.h"

#include "xmldom/XmlDNode.h"
#include "xmldom/XmlSink.h"

namespace xmldom {
namespace {

// Large enough that a file's system call per piece costs nothing beside the tree's own walk.
constexpr std::size_t kPieceSize = 256 * 1024;

// Visits the nodes below the root in document order by their parent and sibling links: Enter
// before a node's children, Leave after them, for a node whose Enter asked for its children.
template <typename TVisitor>
void WalkTree(const TXmlDNode& root, TVisitor& visitor) {
  const TXmlDNode* node = &root;
  for (;;) {
    if (visitor.Enter(*node)) {
      if (node->HasChildNodes()) {
        node = node->FirstChild();
        continue;
      }
      visitor.Leave(*node);
    }
    // The node and everything below it are done.
    for (;;) {
      if (node == &root) {
        return;
      }
      if (const TXmlDNode* next = node->NextSibling()) {
        node = next;
        break;
      }
      node = node->ParentNode();
      visitor.Leave(*node);
    }
  }
}

class TTextVisitor {
 public:
  TTextVisitor(std::string& out, TXmlSink* sink) : out_(out), sink_(sink) {}

  bool Enter(const TXmlDNode& node) {
    const bool childrenFollow = node.AppendXmlHead(out_);
    HandOverFullPiece();
    return childrenFollow;
  }

  void Leave(const TXmlDNode& node) {
    node.AppendXmlTail(out_);
    HandOverFullPiece();
  }

 private:
  void HandOverFullPiece() {
    if (sink_ != nullptr && out_.size() >= kPieceSize) {
      sink_->Write(out_);
      out_.clear();
    }
  }

  std::string& out_;
  TXmlSink* sink_;
};

class TLengthVisitor {
 public:
  bool Enter(const TXmlDNode& node) {
    bool childrenFollow = false;
    length_ += node.XmlHeadLength(childrenFollow);
    return childrenFollow;
  }

  void Leave(const TXmlDNode& node) { length_ += node.XmlTailLength(); }

  std::size_t Length() const noexcept { return length_; }

 private:
  std::size_t length_ = 0;
};

}  // namespace

void AppendTreeXml(const TXmlDNode& root, std::string& out, TXmlSink* sink) {
  if (sink != nullptr && out.capacity() < kPieceSize) {
    out.reserve(kPieceSize + kPieceSize / 4);
  }
  TTextVisitor visitor(out, sink);
  WalkTree(root, visitor);
}

std::size_t TreeXmlLength(const TXmlDNode& root) {
  TLengthVisitor visitor;
  WalkTree(root, visitor);
  return visitor.Length();
}

}  // namespace xmldom
