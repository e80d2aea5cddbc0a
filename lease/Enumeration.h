#pragma once

#include <cstdint>
#include <unordered_set>

#include "lease/StatusLines.h"
#include "platform/DhcpApi.h"

namespace lease {

enum class EnumerationEnd {
  Complete,  // the server said that it had sent everything, or that there was nothing
  Failed,    // a call failed, or the server's answers could not be trusted; a line said which
};

// The loop that both enumerations of the DHCP API share. `ask(resume, batch)` makes one call from
// the resume handle, which the server moves on, puts the array it got (if any) into `batch` and
// gives the status; `take(array)` is handed every batch that counts.
//
// The status decides, whatever comes with it: 0 is the last batch, 234 has more after it, and
// anything else ends the enumeration, with an error line unless it is 259 (nothing more to
// enumerate), and without reading an array that came along. A batch of 0 or 234 without an array
// is an empty one. A server that sends the caller back to a handle already sent in this
// enumeration (the one just sent included) would bring the same batches round for ever: it is
// given up as invalid data after its batch is taken.
template <typename ArrayPtr, typename Ask, typename Take>
EnumerationEnd Enumerate(StatusLines& lines, Ask ask, Take take) {
  std::unordered_set<DHCP_RESUME_HANDLE> sent;
  DHCP_RESUME_HANDLE resume = 0;
  for (;;) {
    sent.insert(resume);
    ArrayPtr batch;
    const std::uint32_t status = ask(resume, batch);
    if (status != dhcp_status::kSuccess && status != dhcp_status::kMoreData) {
      if (status == dhcp_status::kNoMoreItems) {
        return EnumerationEnd::Complete;
      }
      lines.Write(status);
      return EnumerationEnd::Failed;
    }
    if (batch) {
      take(*batch);
    } else {
      take(typename ArrayPtr::element_type{});
    }
    if (status == dhcp_status::kSuccess) {
      return EnumerationEnd::Complete;
    }
    if (sent.contains(resume)) {
      lines.Write(dhcp_status::kInvalidData);
      return EnumerationEnd::Failed;
    }
  }
}

}  // namespace lease
