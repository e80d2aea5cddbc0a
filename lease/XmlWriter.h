#pragma once

#include <string>

#include "lease/LeaseRecord.h"
#include "lease/SaveOutcome.h"

namespace lease {

// The steps of a save, in the order in which they end.
enum class XmlSavePhase {
  TreeBuilt,   // the whole document exists as a node tree
  Serialised,  // the tree's XML text is handed to the file
  Written,     // the file is flushed and closed (or known to be incomplete) and the closing line
               // written
  Released,    // the tree is gone
};

// Told the end of each step of a save, for instance to time them; a save without one pays
// nothing for it.
class XmlSaveObserver {
 public:
  virtual void PhaseEnded(XmlSavePhase phase) = 0;

 protected:
  ~XmlSaveObserver() = default;
};

// Saves the leases as the inventory document: the declaration line, then one line holding
// <addrlist version="4"> with an <address> of <hostname>, <ip> and <mac> per lease. The document
// is built as a tree of the XML object model and written as the root's XML text.
SaveOutcome SaveAsXml(const std::string& fileName, const LeaseList& leases,
                      XmlSaveObserver* observer = nullptr);

}  // namespace lease
