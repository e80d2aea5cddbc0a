#include <charconv>
#include <stdexcept>

#include "platform/TextEncoding.h"
#include "tests/fakes/FakeDhcpServer.h"

namespace fake_dhcp {
namespace {

class LineReader {
 public:
  LineReader(std::string_view line, int number) : rest_(line), number_(number) {}

  std::string_view Word() {
    SkipSpaces();
    std::size_t end = rest_.find(' ');
    std::string_view word = rest_.substr(0, end);
    rest_.remove_prefix(word.size());
    return word;
  }
  std::string_view Rest() {
    if (!rest_.empty() && rest_.front() == ' ') {
      rest_.remove_prefix(1);
    }
    return rest_;
  }
  bool AtEnd() {
    SkipSpaces();
    return rest_.empty();
  }
  std::uint32_t Number() { return ParseNumber(Word(), 10); }
  DHCP_IP_ADDRESS Address() {
    std::string_view text = Word();
    DHCP_IP_ADDRESS address = 0;
    for (int part = 0; part < 4; ++part) {
      std::size_t dot = part < 3 ? text.find('.') : text.size();
      std::uint32_t value = ParseNumber(text.substr(0, dot), 10);
      if (value > 255 || dot == std::string_view::npos) {
        Fail("bad address");
      }
      address = (address << 8) | value;
      text.remove_prefix(std::min(dot + 1, text.size()));
    }
    return address;
  }
  std::vector<std::uint8_t> HardwareAddress() {
    std::string_view text = Word();
    std::vector<std::uint8_t> bytes;
    if (text == "-") {
      return bytes;
    }
    for (;;) {
      std::size_t colon = text.find(':');
      bytes.push_back(static_cast<std::uint8_t>(ParseNumber(text.substr(0, colon), 16)));
      if (colon == std::string_view::npos) {
        return bytes;
      }
      text.remove_prefix(colon + 1);
    }
  }
  [[noreturn]] void Fail(const std::string& what) const {
    throw std::runtime_error("scenario line " + std::to_string(number_) + ": " + what);
  }

 private:
  void SkipSpaces() {
    while (!rest_.empty() && rest_.front() == ' ') {
      rest_.remove_prefix(1);
    }
  }
  std::uint32_t ParseNumber(std::string_view text, int base) const {
    std::uint32_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
      Fail("bad number '" + std::string(text) + "'");
    }
    return value;
  }

  std::string_view rest_;
  int number_;
};

// A name is UTF-8 text in which \uXXXX stands for one UTF-16 unit, so that a scenario file of
// plain ASCII can hold line breaks, control characters and any other character.
std::u16string NameOf(std::string_view text, const LineReader& reader) {
  std::u16string name;
  for (std::size_t escape; (escape = text.find("\\u")) != std::string_view::npos;) {
    name += platform::WideFromNarrow(text.substr(0, escape));
    std::string_view digits = text.substr(escape + 2, 4);
    std::uint32_t unit = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), unit, 16);
    if (digits.size() != 4 || error != std::errc() || end != digits.data() + 4) {
      reader.Fail("bad \\u escape");
    }
    name += static_cast<char16_t>(unit);
    text.remove_prefix(escape + 6);
  }
  return name + platform::WideFromNarrow(text);
}

// "stay" or "next N" after a batch's status: how the answer moves the resume handle.
template <typename Batch>
void ReadHandleMove(LineReader& reader, Batch& batch) {
  std::string_view rest = reader.Rest();
  if (rest == "stay" || rest.starts_with("stay ")) {
    reader.Word();
    batch.stays = true;
  } else if (rest.starts_with("next ")) {
    reader.Word();
    batch.next = reader.Number();
  }
}

}  // namespace

Scenario ParseScenario(std::string_view text) {
  Scenario scenario;
  ClientBatch* openBatch = nullptr;
  int number = 0;
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++number;
    if (!line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
    }
    LineReader reader(line, number);
    if (reader.AtEnd() || line.front() == '#') {
      continue;
    }
    std::string_view keyword = reader.Word();
    if (keyword == "version") {
      scenario.versionStatus = reader.Number();
    } else if (keyword == "subnets") {
      SubnetBatch batch;
      batch.status = reader.Number();
      ReadHandleMove(reader, batch);
      while (!reader.AtEnd()) {
        if (reader.Rest() == "none") {
          batch.withArray = false;
          break;
        }
        batch.subnets.push_back(reader.Address());
      }
      scenario.subnetBatches.push_back(batch);
    } else if (keyword == "clients") {
      DHCP_IP_ADDRESS subnet = reader.Address();
      ClientBatch batch;
      batch.status = reader.Number();
      ReadHandleMove(reader, batch);
      batch.withArray = reader.AtEnd() || reader.Word() != "none";
      auto& batches = scenario.clientBatches[subnet];
      batches.push_back(batch);
      openBatch = &batches.back();
    } else if (keyword == "lease") {
      if (openBatch == nullptr) {
        reader.Fail("lease before any clients line");
      }
      Lease lease;
      lease.ip = reader.Address();
      lease.hardware = reader.HardwareAddress();
      std::string_view name = reader.Rest();
      if (name != "%null") {
        lease.name = NameOf(name, reader);
      }
      openBatch->leases.push_back(std::move(lease));
    } else {
      reader.Fail("unknown keyword '" + std::string(keyword) + "'");
    }
  }
  return scenario;
}

}  // namespace fake_dhcp
