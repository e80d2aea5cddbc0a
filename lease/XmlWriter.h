#pragma once

#include <string>

#include "lease/LeaseRecord.h"

namespace lease {

// Saves the leases as the inventory document: the declaration line, then one line holding
// <addrlist version="4"> with an <address> of <hostname>, <ip> and <mac> per lease. The document
// is built as a tree of the XML object model and written as the root's XML text.
void SaveAsXml(const std::string& fileName, const LeaseList& leases);

}  // namespace lease
