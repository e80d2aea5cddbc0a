#pragma once

#include <string>

#include "lease/LeaseRecord.h"

namespace lease {

// What a query came to.
struct QueryOutcome {
  int count = 0;         // records appended to the list
  bool complete = true;  // false when an error line said that a call failed or an answer was
                         // not to be trusted
};

// Reads every lease of every subnet that the server manages into `leases`, writing a line per
// subnet batch and per subnet and an error line for every failed call. A subnet adds its records
// only when all of its batches were read. Errors of the server never end the run.
QueryOutcome QueryServer(const std::string& server, LeaseList& leases);

}  // namespace lease
