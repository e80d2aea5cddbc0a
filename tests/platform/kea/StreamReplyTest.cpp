#include "platform/kea/StreamReply.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <string>

#include "platform/DhcpStatus.h"

namespace platform::kea {
namespace {

using Kind = ReadOutcome::Kind;

// A connection that delivers `pieces` (each in as many reads as the buffer needs) and then ends
// as `last` says.
class ScriptedSource : public ReplySource {
 public:
  ScriptedSource(std::deque<std::string> pieces, Kind last)
      : pieces_(std::move(pieces)), last_(last) {}

  ReadOutcome Read(std::span<char> buffer) override {
    if (pieces_.empty()) {
      return {last_};
    }
    std::string& piece = pieces_.front();
    std::size_t count = std::min(piece.size(), buffer.size());
    std::copy_n(piece.begin(), count, buffer.begin());
    piece.erase(0, count);
    if (piece.empty()) {
      pieces_.pop_front();
    }
    return {Kind::Bytes, count};
  }

 private:
  std::deque<std::string> pieces_;
  Kind last_;
};

TransportReply Read(std::deque<std::string> pieces, Kind last = Kind::Closed,
                    std::size_t maxBytes = kMaxReplyBytes) {
  ScriptedSource source(std::move(pieces), last);
  return ReadReplyUntilClosed(source, maxBytes);
}

TEST(StreamReply, ReplyIsEveryByteUntilTheClose) {
  TransportReply reply = Read({R"({"result": 0, "te)", R"(xt": "a ] } \" ["})", "\n"});
  EXPECT_EQ(reply.status, dhcp_status::kSuccess);
  EXPECT_EQ(reply.body, "{\"result\": 0, \"text\": \"a ] } \\\" [\"}\n");
  EXPECT_EQ(Read({"[{}]"}).body, "[{}]");
}

// (pieces, how the connection ends, status): what each way of failing gives.
TEST(StreamReply, FaultsOfTheConnectionAndTheReply) {
  const std::string deep(kMaxJsonDepth + 1, '[');
  const struct {
    std::deque<std::string> pieces;
    Kind last;
    std::uint32_t status;
  } rows[] = {
      {{}, Kind::Closed, dhcp_status::kRpcServerUnavailable},
      {{}, Kind::Silent, dhcp_status::kTimeout},
      {{"[{\"res"}, Kind::Silent, dhcp_status::kTimeout},
      {{"[{\"res"}, Kind::Failed, dhcp_status::kRpcServerUnavailable},
      {{"[{\"result\": 0}"}, Kind::Closed, dhcp_status::kInvalidData},
      {{"[{\"text\": \"]}\"}"}, Kind::Closed, dhcp_status::kInvalidData},
      {{"not json"}, Kind::Closed, dhcp_status::kInvalidData},
      {{"0"}, Kind::Closed, dhcp_status::kInvalidData},
      // Refused as soon as it shows, before the connection ends.
      {{deep}, Kind::Silent, dhcp_status::kInvalidData},
      {{std::string(kMaxJsonDepth, '['), "]"}, Kind::Closed, dhcp_status::kInvalidData},
  };
  for (const auto& row : rows) {
    TransportReply reply = Read(row.pieces, row.last);
    EXPECT_EQ(reply.status, row.status) << (row.pieces.empty() ? "" : row.pieces.front());
    EXPECT_EQ(reply.body, "");
  }
}

TEST(StreamReply, ReplyOverTheBoundIsRefusedAsItPassesIt) {
  EXPECT_EQ(Read({"[\"12345\"]"}, Kind::Closed, 9).status, dhcp_status::kSuccess);
  // Were the rest read, the silence after it would give a timeout instead.
  EXPECT_EQ(Read({"[\"123456\"]"}, Kind::Silent, 9).status, dhcp_status::kInvalidData);
}

}  // namespace
}  // namespace platform::kea
