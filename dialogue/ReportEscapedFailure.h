#pragma once

namespace runtime {
class Exception;
}

namespace dialogue {

// Writes the report of a failure that ends the run to standard error, in the console's code
// page. A report that cannot be written has nowhere else to go.
void ReportEscapedFailure(const runtime::Exception& failure);

}  // namespace dialogue
