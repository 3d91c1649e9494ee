#pragma once
// Writes ZIP archives in memory for tests: stored or deflated entries, folder entries, names as
// given (hostile ones too), an optional archive comment.

#include <zlib.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace zelvane::testing {

class ZipBuilder {
 public:
  enum Method : std::uint16_t { kStored = 0, kDeflated = 8 };

  struct Entry {
    std::string name;
    std::vector<std::uint8_t> data;
    std::uint16_t method = kDeflated;
    std::uint16_t flags = 0;
  };

  ZipBuilder& Add(Entry entry) {
    entries_.push_back(std::move(entry));
    return *this;
  }
  ZipBuilder& Add(const std::string& name, const std::string& text, std::uint16_t method = kDeflated) {
    return Add(Entry{name, std::vector<std::uint8_t>(text.begin(), text.end()), method, 0});
  }
  ZipBuilder& Folder(const std::string& name) { return Add(Entry{name, {}, kStored, 0}); }
  ZipBuilder& Comment(const std::string& text) {
    comment_ = text;
    return *this;
  }

  std::vector<std::uint8_t> Bytes() const {
    std::vector<std::uint8_t> out;
    std::vector<std::uint8_t> directory;
    for (const Entry& entry : entries_) {
      const std::vector<std::uint8_t> packed = entry.method == kDeflated ? Deflate(entry.data) : entry.data;
      const std::uint32_t crc =
          static_cast<std::uint32_t>(crc32(crc32(0L, Z_NULL, 0), entry.data.data(), static_cast<uInt>(entry.data.size())));
      const std::uint32_t offset = static_cast<std::uint32_t>(out.size());

      Put32(out, 0x04034B50);
      Put16(out, 20);
      Put16(out, entry.flags);
      Put16(out, entry.method);
      Put32(out, 0);  // time and date
      Put32(out, crc);
      Put32(out, static_cast<std::uint32_t>(packed.size()));
      Put32(out, static_cast<std::uint32_t>(entry.data.size()));
      Put16(out, static_cast<std::uint16_t>(entry.name.size()));
      Put16(out, 0);
      out.insert(out.end(), entry.name.begin(), entry.name.end());
      out.insert(out.end(), packed.begin(), packed.end());

      Put32(directory, 0x02014B50);
      Put16(directory, 20);
      Put16(directory, 20);
      Put16(directory, entry.flags);
      Put16(directory, entry.method);
      Put32(directory, 0);
      Put32(directory, crc);
      Put32(directory, static_cast<std::uint32_t>(packed.size()));
      Put32(directory, static_cast<std::uint32_t>(entry.data.size()));
      Put16(directory, static_cast<std::uint16_t>(entry.name.size()));
      Put16(directory, 0);
      Put16(directory, 0);
      Put16(directory, 0);
      Put16(directory, 0);
      Put32(directory, 0);
      Put32(directory, offset);
      directory.insert(directory.end(), entry.name.begin(), entry.name.end());
    }
    const std::uint32_t directoryOffset = static_cast<std::uint32_t>(out.size());
    out.insert(out.end(), directory.begin(), directory.end());
    Put32(out, 0x06054B50);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, static_cast<std::uint16_t>(entries_.size()));
    Put16(out, static_cast<std::uint16_t>(entries_.size()));
    Put32(out, static_cast<std::uint32_t>(directory.size()));
    Put32(out, directoryOffset);
    Put16(out, static_cast<std::uint16_t>(comment_.size()));
    out.insert(out.end(), comment_.begin(), comment_.end());
    return out;
  }

  static std::vector<std::uint8_t> Deflate(const std::vector<std::uint8_t>& data) {
    z_stream stream{};
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
      throw std::runtime_error("deflateInit2");
    }
    std::vector<std::uint8_t> out(deflateBound(&stream, static_cast<uLong>(data.size())));
    stream.next_in = const_cast<Bytef*>(data.data());
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    const int status = deflate(&stream, Z_FINISH);
    deflateEnd(&stream);
    if (status != Z_STREAM_END) throw std::runtime_error("deflate");
    out.resize(stream.total_out);
    return out;
  }

 private:
  static void Put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
  }
  static void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    Put16(out, static_cast<std::uint16_t>(v));
    Put16(out, static_cast<std::uint16_t>(v >> 16));
  }

  std::vector<Entry> entries_;
  std::string comment_;
};

}  // namespace zelvane::testing
