// Linked into the program's test build only: a run that leaves a block of the DHCP API unfreed,
// or frees one twice, says so on standard error, which the end-to-end tests expect to be empty.
#include <cstdio>

#include "tests/fakes/FakeDhcpServer.h"

namespace {

class LeakCheckAtExit {
 public:
  LeakCheckAtExit() { fake_dhcp::LiveBlocks(); }  // the fake's state outlives this object
  ~LeakCheckAtExit() {
    if (fake_dhcp::LiveBlocks() != 0 || fake_dhcp::BadFrees() != 0) {
      std::fprintf(stderr, "fake DHCP API: %zu blocks not freed, %zu bad frees\n",
                   fake_dhcp::LiveBlocks(), fake_dhcp::BadFrees());
    }
  }
};

const LeakCheckAtExit check;

}  // namespace
