// Linked into the fake's DLL only. An exception must not cross from the DLL into the program,
// whose C++ runtime is another copy, so the scenario is read when the DLL is loaded: one that
// cannot be read is reported on standard error, which the tests expect to be empty, and the API
// then fails every version call.
#include <cstdio>
#include <exception>

#include "tests/fakes/FakeDhcpServer.h"

namespace {

bool LoadOrReport() {
  try {
    fake_dhcp::LoadScenarioFromEnvironment();
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "fake DHCP API: %s\n", failure.what());
    fake_dhcp::Scenario unreadable;
    unreadable.versionStatus = dhcp_status::kInvalidData;
    fake_dhcp::SetScenario(unreadable);
  }
  return true;
}

[[maybe_unused]] const bool loaded = LoadOrReport();

}  // namespace
