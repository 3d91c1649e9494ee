#include "download/zip_reader.h"

#include <gtest/gtest.h>

#include <random>

#include "common/zip_builder.h"

namespace zelvane {
namespace {

using testing::ZipBuilder;

std::string Extract(ZipSource& source, const ZipEntry& entry, bool* ok) {
  std::string out;
  *ok = ExtractZipEntry(source, entry, [&](const std::uint8_t* data, std::size_t size) {
    out.append(reinterpret_cast<const char*>(data), size);
    return true;
  });
  return out;
}

std::vector<std::uint8_t> RandomBytes(std::size_t size) {
  std::mt19937 random(7);
  std::vector<std::uint8_t> bytes(size);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(random() % 16);  // compressible, not trivially
  return bytes;
}

TEST(ZipReader, ReadsStoredDeflatedFolderAndEmptyEntriesInOrder) {
  const std::vector<std::uint8_t> big = RandomBytes(300 * 1024);  // several read and inflate chunks
  MemoryZipSource source(ZipBuilder()
                             .Folder("setup_1.2/")
                             .Add("setup_1.2/readme.txt", "stored text", ZipBuilder::kStored)
                             .Add({"setup_1.2/setup.exe", big, ZipBuilder::kDeflated, 0})
                             .Add("empty.txt", "", ZipBuilder::kStored)
                             .Add({"caf\xC3\xA9.txt", {'x'}, ZipBuilder::kDeflated, 0x0800})
                             .Comment("made by the test")
                             .Bytes());
  std::vector<ZipEntry> entries;
  ASSERT_TRUE(ReadZipDirectory(source, &entries));
  ASSERT_EQ(entries.size(), 5u);
  EXPECT_EQ(entries[0].name, "setup_1.2/");
  EXPECT_TRUE(entries[0].IsDirectory());
  EXPECT_FALSE(entries[1].IsDirectory());
  EXPECT_EQ(entries[2].size, big.size());
  EXPECT_LT(entries[2].compressedSize, big.size());
  EXPECT_FALSE(entries[3].utf8);
  EXPECT_TRUE(entries[4].utf8);

  bool ok = false;
  EXPECT_EQ(Extract(source, entries[1], &ok), "stored text");
  EXPECT_TRUE(ok);
  const std::string inflated = Extract(source, entries[2], &ok);
  EXPECT_TRUE(ok);
  EXPECT_TRUE(inflated == std::string(big.begin(), big.end()));
  EXPECT_EQ(Extract(source, entries[3], &ok), "");
  EXPECT_TRUE(ok);
}

TEST(ZipReader, RefusesWhatIsNotAWholeSimpleArchive) {
  const std::vector<std::uint8_t> good = ZipBuilder().Add("a.exe", "MZ payload").Bytes();
  struct Case {
    const char* what;
    std::vector<std::uint8_t> bytes;
  };
  std::vector<std::uint8_t> cut(good.begin(), good.end() - 3);
  std::vector<std::uint8_t> zip64 = good;
  zip64[zip64.size() - 6] = zip64[zip64.size() - 5] = zip64[zip64.size() - 4] = zip64[zip64.size() - 3] = 0xFF;
  std::vector<std::uint8_t> spanned = good;
  spanned[spanned.size() - 18] = 1;  // number of this disk
  const Case cases[] = {
      {"not a ZIP", {'M', 'Z', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {"too short", {0x50, 0x4B, 0x05, 0x06}},
      {"end record cut", cut},
      {"ZIP64 directory offset", zip64},
      {"spans disks", spanned},
  };
  for (const auto& c : cases) {
    MemoryZipSource source(c.bytes);
    std::vector<ZipEntry> entries;
    EXPECT_FALSE(ReadZipDirectory(source, &entries)) << c.what;
  }
}

TEST(ZipReader, EntriesWithBadDataOrUnsupportedFormsFail) {
  struct Case {
    const char* what;
    std::function<void(std::vector<std::uint8_t>&, ZipEntry&)> spoil;
  };
  const Case cases[] = {
      {"crc differs", [](auto&, ZipEntry& e) { e.crc32 ^= 1; }},
      {"longer than declared", [](auto&, ZipEntry& e) { e.size -= 1; }},
      {"shorter than declared", [](auto&, ZipEntry& e) { e.size += 1; }},
      {"encrypted", [](auto&, ZipEntry& e) { e.flags |= 1; }},
      {"bzip2", [](auto&, ZipEntry& e) { e.method = 12; }},
      {"data beyond the file", [](auto&, ZipEntry& e) { e.compressedSize += 100000; }},
      {"no local header", [](auto& bytes, ZipEntry&) { bytes[0] = 'X'; }},
      {"damaged deflate data", [](auto& bytes, ZipEntry&) { bytes[30 + 5] ^= 0xFF; bytes[30 + 6] ^= 0xFF; }},
  };
  const std::string text(5000, 'z');
  for (const auto& c : cases) {
    std::vector<std::uint8_t> bytes = ZipBuilder().Add("a.exe", text + "tail").Bytes();
    std::vector<ZipEntry> entries;
    {
      MemoryZipSource clean(bytes);
      ASSERT_TRUE(ReadZipDirectory(clean, &entries));
    }
    c.spoil(bytes, entries[0]);
    MemoryZipSource source(bytes);
    bool ok = true;
    Extract(source, entries[0], &ok);
    EXPECT_FALSE(ok) << c.what;
  }
}

TEST(ZipReader, SinkThatRefusesStopsTheExtraction) {
  MemoryZipSource source(ZipBuilder().Add({"big.bin", RandomBytes(200000), ZipBuilder::kDeflated, 0}).Bytes());
  std::vector<ZipEntry> entries;
  ASSERT_TRUE(ReadZipDirectory(source, &entries));
  int calls = 0;
  EXPECT_FALSE(ExtractZipEntry(source, entries[0], [&](const std::uint8_t*, std::size_t) { return ++calls < 2; }));
  EXPECT_EQ(calls, 2);
}

TEST(ZipEntryName, ComponentsBelowTheFolderOrRefused) {
  struct Case {
    const char* name;
    bool ok;
    std::vector<std::string> components;
  };
  const Case cases[] = {
      {"setup.exe", true, {"setup.exe"}},
      {"a/b/setup.exe", true, {"a", "b", "setup.exe"}},
      {"a\\b\\setup.exe", true, {"a", "b", "setup.exe"}},
      {"a/", true, {"a"}},
      {"./a//b/./c", true, {"a", "b", "c"}},
      {"./", true, {}},
      {"a..b/..c/d..", true, {"a..b", "..c", "d.."}},
      {"../evil.exe", false, {}},
      {"a/../../evil.exe", false, {}},
      {"a/..", false, {}},
      {"a\\..\\evil.exe", false, {}},
      {"/etc/evil", false, {}},
      {"\\Windows\\evil.exe", false, {}},
      {"C:\\evil.exe", false, {}},
      {"C:evil.exe", false, {}},
      {"setup.exe:stream", false, {}},
      {"", false, {}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> components{"left over"};
    EXPECT_EQ(SplitZipEntryName(c.name, &components), c.ok) << c.name;
    if (c.ok) {
      EXPECT_EQ(components, c.components) << c.name;
    }
  }
}

}  // namespace
}  // namespace zelvane
