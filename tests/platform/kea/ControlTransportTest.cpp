#include "platform/kea/ControlTransport.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/DhcpStatus.h"
#include "platform/kea/UnixSocketTransport.h"

namespace platform::kea {
namespace {

namespace fs = std::filesystem;

// A folder of the test's own, so that no socket of a Kea on this machine is ever touched.
class TemporaryFolder {
 public:
  TemporaryFolder() {
    std::string pattern = (fs::temp_directory_path() / "leasedump-socket-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~TemporaryFolder() { fs::remove_all(path_); }
  std::string operator/(const char* name) const { return (fs::path(path_) / name).string(); }

 private:
  std::string path_;
};

// A UNIX stream socket bound at `path`, listening when asked to.
SocketHandle BoundSocket(const std::string& path, bool listening) {
  SocketHandle socket(::socket(AF_UNIX, SOCK_STREAM, 0));
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  EXPECT_EQ(::bind(socket.Descriptor(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  if (listening) {
    EXPECT_EQ(::listen(socket.Descriptor(), 4), 0);
  }
  return socket;
}

bool ChoseUnixSocket(const ControlEndpoint& endpoint) {
  return !OpenControlTransport(endpoint, KeaSettings{})->NamesService();
}

// The default tries the local socket and goes on to HTTP whenever it cannot be opened.
TEST(ControlTransport, DefaultTakesTheLocalSocketOnlyWhenItOpens) {
  TemporaryFolder folder;
  SocketHandle listening = BoundSocket(folder / "listening", true);
  SocketHandle deaf = BoundSocket(folder / "deaf", false);
  std::ofstream(folder / "file") << "not a socket";
  const std::string url = "http://127.0.0.1:8000/";
  EXPECT_TRUE(ChoseUnixSocket({folder / "listening", url}));
  for (const std::string& path : {folder / "missing", folder / "deaf", folder / "file",
                                  folder / "file/below", "/" + std::string(200, 'x')}) {
    EXPECT_FALSE(ChoseUnixSocket({path, url})) << path;
  }
  EXPECT_FALSE(ChoseUnixSocket({"", url}));
  // A path alone is that socket, whether or not it opens now.
  EXPECT_TRUE(ChoseUnixSocket({folder / "missing", ""}));
}

TEST(ControlTransport, SocketThatCannotBeOpenedIsUnavailableOrDenied) {
  TemporaryFolder folder;
  SocketHandle deaf = BoundSocket(folder / "deaf", false);
  const struct {
    std::string path;
    std::uint32_t status;
  } rows[] = {
      {folder / "missing", dhcp_status::kRpcServerUnavailable},
      {folder / "deaf", dhcp_status::kRpcServerUnavailable},
      {"/" + std::string(sizeof(sockaddr_un::sun_path), 'x'), dhcp_status::kRpcServerUnavailable},
      {"", dhcp_status::kRpcServerUnavailable},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(ConnectUnixSocket(row.path).status, row.status) << row.path;
  }
  // Root passes every permission check, so the refusal can be seen only by other users.
  if (::geteuid() != 0) {
    SocketHandle guarded = BoundSocket(folder / "guarded", true);
    fs::permissions(folder / "guarded", fs::perms::none);
    EXPECT_EQ(ConnectUnixSocket(folder / "guarded").status, dhcp_status::kAccessDenied);
  }
}

}  // namespace
}  // namespace platform::kea
