// leasedump-ref-stream xml|text N FILE: the bytes that the tool writes for the N benchmark
// leases, written straight from the lease list through one buffer, with no tree: the floor that
// the tool's writers are measured against.

#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>

#include "bench/BenchRecords.h"
#include "bench/PhaseClock.h"

namespace {

constexpr std::size_t kBufferSize = 256 * 1024;

class BufferedFile {
 public:
  explicit BufferedFile(const char* fileName) : file_(std::fopen(fileName, "wb")) {
    buffer_.reserve(kBufferSize);
  }
  BufferedFile(const BufferedFile&) = delete;
  BufferedFile& operator=(const BufferedFile&) = delete;
  ~BufferedFile() { Close(); }

  bool IsOpen() const { return file_ != nullptr; }

  void Write(std::string_view bytes) {
    if (buffer_.size() + bytes.size() > kBufferSize) {
      Flush();
    }
    buffer_.append(bytes);
  }

  void WriteEscaped(std::string_view text) {
    for (char character : text) {
      switch (character) {
        case '&':
          Write("&amp;");
          break;
        case '<':
          Write("&lt;");
          break;
        case '>':
          Write("&gt;");
          break;
        case '"':
          Write("&quot;");
          break;
        case '\'':
          Write("&apos;");
          break;
        default:
          Write(std::string_view(&character, 1));
      }
    }
  }

  bool Close() {
    if (file_ == nullptr) {
      return false;
    }
    Flush();
    const bool written = !failed_ && std::ferror(file_) == 0;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    return written && closed;
  }

 private:
  void Flush() {
    failed_ = failed_ || std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size();
    buffer_.clear();
  }

  std::FILE* file_;
  std::string buffer_;
  bool failed_ = false;
};

void WriteField(BufferedFile& file, std::string_view name, std::string_view value) {
  file.Write("<");
  file.Write(name);
  file.Write(">");
  file.WriteEscaped(value);
  file.Write("</");
  file.Write(name);
  file.Write(">");
}

void WriteXml(BufferedFile& file, const lease::LeaseList& leases) {
  file.Write("<?xml version=\"1.0\"?>\r\n");
  if (leases.empty()) {
    file.Write("<addrlist version=\"4\"/>");
    return;
  }
  file.Write("<addrlist version=\"4\">");
  for (const lease::_DHCPUnit& unit : leases) {
    file.Write("<address>");
    WriteField(file, "hostname", unit.HostName);
    WriteField(file, "ip", unit.IpAddress);
    WriteField(file, "mac", unit.MacAddress);
    file.Write("</address>");
  }
  file.Write("</addrlist>");
}

void WriteText(BufferedFile& file, const lease::LeaseList& leases) {
  file.Write("# Name;IP;MAC\r\n");
  for (const lease::_DHCPUnit& unit : leases) {
    file.Write(unit.HostName);
    file.Write(";");
    file.Write(unit.IpAddress);
    file.Write(";");
    file.Write(unit.MacAddress);
    file.Write("\r\n");
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::uint32_t count = 0;
  const std::string_view mode = argc == 4 ? argv[1] : "";
  const std::string_view countText = argc == 4 ? argv[2] : "";
  const char* end = countText.data() + countText.size();
  if (auto [stop, error] = std::from_chars(countText.data(), end, count);
      (mode != "xml" && mode != "text") || error != std::errc() || stop != end) {
    std::fputs("usage: leasedump-ref-stream xml|text COUNT FILE\n", stderr);
    return 2;
  }
  bench::PhaseClock clock;
  const lease::LeaseList leases = bench::BenchRecords(count);
  clock.Lap("fill");
  BufferedFile file(argv[3]);
  if (file.IsOpen()) {
    if (mode == "xml") {
      WriteXml(file, leases);
    } else {
      WriteText(file, leases);
    }
  }
  const bool saved = file.Close();
  clock.Lap("write");
  if (!saved) {
    std::fprintf(stderr, "cannot write %s\n", argv[3]);
  }
  return saved ? 0 : 1;
}
