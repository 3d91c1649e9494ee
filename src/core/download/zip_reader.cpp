#include "download/zip_reader.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace zelvane {

namespace {

constexpr std::uint32_t kEndOfDirectorySignature = 0x06054B50;
constexpr std::uint32_t kDirectoryEntrySignature = 0x02014B50;
constexpr std::uint32_t kLocalHeaderSignature = 0x04034B50;
constexpr std::size_t kEndOfDirectorySize = 22;
constexpr std::size_t kDirectoryEntrySize = 46;
constexpr std::size_t kLocalHeaderSize = 30;
constexpr std::size_t kMaxCommentSize = 0xFFFF;
constexpr std::size_t kChunk = 64 * 1024;

constexpr std::uint16_t kFlagEncrypted = 0x0001;
constexpr std::uint16_t kFlagUtf8 = 0x0800;
constexpr std::uint16_t kMethodStored = 0;
constexpr std::uint16_t kMethodDeflated = 8;

std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t U32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// Where the end-of-directory record starts: searched backwards over the largest possible comment.
bool FindEndOfDirectory(ZipSource& source, std::uint64_t* offset, std::vector<std::uint8_t>* record) {
  const std::uint64_t size = source.Size();
  if (size < kEndOfDirectorySize) return false;
  const std::uint64_t tail = std::min<std::uint64_t>(size, kEndOfDirectorySize + kMaxCommentSize);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(tail));
  if (!source.ReadAt(size - tail, bytes.data(), bytes.size())) return false;
  for (std::size_t at = bytes.size() - kEndOfDirectorySize + 1; at-- > 0;) {
    if (U32(&bytes[at]) != kEndOfDirectorySignature) continue;
    // The comment must reach exactly to the end of the file.
    if (at + kEndOfDirectorySize + U16(&bytes[at + 20]) != bytes.size()) continue;
    *offset = size - tail + at;
    record->assign(bytes.begin() + at, bytes.begin() + at + kEndOfDirectorySize);
    return true;
  }
  return false;
}

}  // namespace

bool MemoryZipSource::ReadAt(std::uint64_t offset, void* data, std::size_t size) {
  if (offset > bytes_.size() || size > bytes_.size() - offset) return false;
  if (size != 0) std::memcpy(data, bytes_.data() + offset, size);
  return true;
}

bool ReadZipDirectory(ZipSource& source, std::vector<ZipEntry>* entries) {
  entries->clear();
  std::uint64_t endOffset = 0;
  std::vector<std::uint8_t> end;
  if (!FindEndOfDirectory(source, &endOffset, &end)) return false;

  const std::uint16_t disk = U16(&end[4]);
  const std::uint16_t directoryDisk = U16(&end[6]);
  const std::uint16_t entriesOnDisk = U16(&end[8]);
  const std::uint16_t count = U16(&end[10]);
  const std::uint32_t directorySize = U32(&end[12]);
  const std::uint32_t directoryOffset = U32(&end[16]);
  if (disk != 0 || directoryDisk != 0 || entriesOnDisk != count) return false;
  if (count == 0xFFFF || directorySize == 0xFFFFFFFF || directoryOffset == 0xFFFFFFFF) return false;  // ZIP64
  if (static_cast<std::uint64_t>(directoryOffset) + directorySize > endOffset) return false;

  std::vector<std::uint8_t> directory(directorySize);
  if (!source.ReadAt(directoryOffset, directory.data(), directory.size())) return false;

  std::size_t at = 0;
  for (std::uint16_t i = 0; i < count; ++i) {
    if (directory.size() - at < kDirectoryEntrySize) return false;
    const std::uint8_t* p = &directory[at];
    if (U32(p) != kDirectoryEntrySignature) return false;
    const std::size_t nameLength = U16(p + 28);
    const std::size_t variable = nameLength + U16(p + 30) + U16(p + 32);
    if (directory.size() - at - kDirectoryEntrySize < variable) return false;

    ZipEntry entry;
    entry.flags = U16(p + 8);
    entry.utf8 = (entry.flags & kFlagUtf8) != 0;
    entry.method = U16(p + 10);
    entry.crc32 = U32(p + 16);
    entry.compressedSize = U32(p + 20);
    entry.size = U32(p + 24);
    entry.localHeaderOffset = U32(p + 42);
    entry.name.assign(reinterpret_cast<const char*>(p + kDirectoryEntrySize), nameLength);
    if (entry.compressedSize == 0xFFFFFFFF || entry.size == 0xFFFFFFFF || entry.localHeaderOffset == 0xFFFFFFFF) {
      return false;  // ZIP64
    }
    entries->push_back(std::move(entry));
    at += kDirectoryEntrySize + variable;
  }
  return true;
}

bool SplitZipEntryName(const std::string& name, std::vector<std::string>* components) {
  components->clear();
  if (name.empty() || name[0] == '/' || name[0] == '\\') return false;
  std::string part;
  auto take = [&]() {
    if (part == "..") return false;
    if (!part.empty() && part != ".") components->push_back(part);
    part.clear();
    return true;
  };
  for (const char c : name) {
    if (c == ':') return false;
    if (c == '/' || c == '\\') {
      if (!take()) return false;
    } else {
      part += c;
    }
  }
  return take();
}

bool ExtractZipEntry(ZipSource& source, const ZipEntry& entry, const ZipSink& sink) {
  if ((entry.flags & kFlagEncrypted) != 0) return false;
  if (entry.method != kMethodStored && entry.method != kMethodDeflated) return false;
  if (entry.method == kMethodStored && entry.compressedSize != entry.size) return false;

  std::uint8_t header[kLocalHeaderSize];
  if (!source.ReadAt(entry.localHeaderOffset, header, sizeof header)) return false;
  if (U32(header) != kLocalHeaderSignature) return false;
  std::uint64_t dataOffset = static_cast<std::uint64_t>(entry.localHeaderOffset) + kLocalHeaderSize +
                             U16(header + 26) + U16(header + 28);
  if (dataOffset + entry.compressedSize > source.Size()) return false;

  std::vector<std::uint8_t> input(std::min<std::size_t>(kChunk, entry.compressedSize));
  std::uint32_t remaining = entry.compressedSize;
  std::uint64_t written = 0;
  uLong crc = crc32(0L, Z_NULL, 0);
  auto deliver = [&](const std::uint8_t* data, std::size_t size) {
    written += size;
    if (written > entry.size) return false;
    crc = crc32(crc, data, static_cast<uInt>(size));
    return size == 0 || sink(data, size);
  };

  if (entry.method == kMethodStored) {
    while (remaining > 0) {
      const std::size_t piece = std::min<std::size_t>(input.size(), remaining);
      if (!source.ReadAt(dataOffset, input.data(), piece) || !deliver(input.data(), piece)) return false;
      dataOffset += piece;
      remaining -= static_cast<std::uint32_t>(piece);
    }
  } else {
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return false;
    struct End {
      z_stream* s;
      ~End() { inflateEnd(s); }
    } end{&stream};
    std::vector<std::uint8_t> output(kChunk);
    int status = Z_OK;
    while (status != Z_STREAM_END) {
      if (stream.avail_in == 0) {
        if (remaining == 0) return false;  // the deflate stream does not end inside the entry
        const std::size_t piece = std::min<std::size_t>(input.size(), remaining);
        if (!source.ReadAt(dataOffset, input.data(), piece)) return false;
        dataOffset += piece;
        remaining -= static_cast<std::uint32_t>(piece);
        stream.next_in = input.data();
        stream.avail_in = static_cast<uInt>(piece);
      }
      stream.next_out = output.data();
      stream.avail_out = static_cast<uInt>(output.size());
      status = inflate(&stream, Z_NO_FLUSH);
      if (status != Z_OK && status != Z_STREAM_END) return false;
      if (!deliver(output.data(), output.size() - stream.avail_out)) return false;
    }
  }
  return written == entry.size && static_cast<std::uint32_t>(crc) == entry.crc32;
}

}  // namespace zelvane
