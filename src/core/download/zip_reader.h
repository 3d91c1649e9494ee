#pragma once
// A small ZIP reader for installers packed as archives when the shell's ZIP folder is not there:
// the central directory, stored and deflated entries, nothing else (no ZIP64, no encryption, no
// multi-disk archives). Portable; the Windows side supplies the file and writes the entries.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zelvane {

// Random access to the archive's bytes.
class ZipSource {
 public:
  virtual ~ZipSource() = default;
  virtual std::uint64_t Size() = 0;
  // Reads exactly `size` bytes at `offset`; false when they cannot all be read.
  virtual bool ReadAt(std::uint64_t offset, void* data, std::size_t size) = 0;
};

// An archive held in memory.
class MemoryZipSource : public ZipSource {
 public:
  explicit MemoryZipSource(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
  std::uint64_t Size() override { return bytes_.size(); }
  bool ReadAt(std::uint64_t offset, void* data, std::size_t size) override;

 private:
  std::vector<std::uint8_t> bytes_;
};

// One entry of the central directory.
struct ZipEntry {
  std::string name;  // as stored: '/' separates folders
  bool utf8 = false;  // the name is UTF-8 (general-purpose flag bit 11); otherwise code page 437
  std::uint16_t flags = 0;
  std::uint16_t method = 0;  // 0 stored, 8 deflated
  std::uint32_t crc32 = 0;
  std::uint32_t compressedSize = 0;
  std::uint32_t size = 0;
  std::uint32_t localHeaderOffset = 0;

  // Folder entries end with a separator and carry no data.
  bool IsDirectory() const { return !name.empty() && (name.back() == '/' || name.back() == '\\'); }
};

// Reads the central directory in stored order. False when the archive has none, or it is damaged,
// spans disks or needs ZIP64.
[[nodiscard]] bool ReadZipDirectory(ZipSource& source, std::vector<ZipEntry>* entries);

// The entry's place below the extraction folder as path components ('/' and '\' both separate;
// "." and empty components are dropped, so a name may leave none). False, and nothing to extract,
// when the name would land outside the folder: a leading separator, a drive or any other ':', or a
// ".." component.
[[nodiscard]] bool SplitZipEntryName(const std::string& name, std::vector<std::string>* components);

// Receives the extracted bytes in pieces; returning false stops the extraction.
using ZipSink = std::function<bool(const std::uint8_t* data, std::size_t size)>;

// Streams one entry's bytes into `sink`. False for an encrypted entry or another method than
// stored or deflated, for damaged data, and when the result's size or CRC-32 differs from the
// directory's.
[[nodiscard]] bool ExtractZipEntry(ZipSource& source, const ZipEntry& entry, const ZipSink& sink);

}  // namespace zelvane
