#pragma once

#include <cstddef>
#include <string>

namespace xmldom {

class TXmlDNode;
class TXmlSink;

// The XML text of a node and everything below it, without recursion, so that a tree as deep as
// memory allows is written on a bounded stack. Appends to the string; with a sink, hands the
// string to it whenever it has grown to a piece of some size, and empties it.
void AppendTreeXml(const TXmlDNode& root, std::string& out, TXmlSink* sink = nullptr);

// The length of what AppendTreeXml appends.
std::size_t TreeXmlLength(const TXmlDNode& root);

}  // namespace xmldom
