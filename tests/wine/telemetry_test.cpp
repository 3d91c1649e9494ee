// The adapters of the signed requests against the real system of the test prefix: digests, text
// conversions, the Windows version and the no-show registry mark.

#include <gtest/gtest.h>
#include <windows.h>

#include <regex>

#include "app/configuration_manager.h"
#include "app/folder_tree.h"
#include "app/orvane_exception.h"
#include "app/system_platform.h"
#include "common/handles.h"
#include "telemetry/digests.h"
#include "telemetry/request_base.h"
#include "telemetry/text_codec.h"
#include "telemetry/text_digest.h"
#include "telemetry/tracking_macros.h"
#include "telemetry/winhttp_transport.h"

namespace zelvane {
namespace {

BuildProfile Profile(const char* type) { return BuildProfile{type, true, false, L"localhost", L"localhost", L"localhost"}; }

TEST(SystemDigests, KnownVectors) {
  win32::SystemDigests digests;
  struct Case {
    std::string data, sha256, md5;
  };
  const Case cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855", "d41d8cd98f00b204e9800998ecf8427e"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad", "900150983cd24fb0d6963f7d28e17f72"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1", "8215ef0796a20bcaaae116d3876c664a"},
      {std::string("a\0b", 3), "59b271ae1bbcb1d31d41929817f4b16fb439eb4f31520b5ad1d5ce98920a7138", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Sha256Hex(digests, c.data), c.sha256) << c.data.size();
    if (c.md5.empty()) continue;
    const auto md5 = digests.Md5(c.data);
    ASSERT_TRUE(md5.has_value());
    EXPECT_EQ(HexText(md5->data(), md5->size()), c.md5);
  }
}

TEST(SystemDigests, Md5HexOfTextOnThisSystem) {
  EXPECT_EQ(Md5Hex(L""), "d41d8cd98f00b204e9800998ecf8427e") << "the MD5 of zero bytes, not \"\"";
  EXPECT_EQ(Md5Hex(L"Ostrel"), "9ee0c92634e73e9828b1fb60139bd56f");
  EXPECT_EQ(Md5Hex(L"message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
}

TEST(SystemTextCodec, Utf8BothWays) {
  win32::SystemTextCodec codec;
  const std::wstring wide = L"Zelvane \u00e9\u2603\U0001D11E";
  const std::string utf8 = "Zelvane \xC3\xA9\xE2\x98\x83\xF0\x9D\x84\x9E";
  EXPECT_EQ(codec.ToNarrow(wide, CodePage::Utf8), utf8);
  EXPECT_EQ(codec.ToWide(utf8, CodePage::Utf8), wide);
  EXPECT_EQ(Utf8ToWide(codec, utf8), wide);
  EXPECT_EQ(Utf8ToWide(codec, ""), L"");
  EXPECT_EQ(codec.ToNarrow(L"", CodePage::ThreadAnsi), "");
  EXPECT_EQ(Utf8ToWide(codec, "a\xC3"), L"a\uFFFD") << "malformed input is replaced, not refused";
  EXPECT_EQ(codec.ToNarrow(std::wstring(L"a\0b", 3), CodePage::Utf8), std::string("a\0b", 3));
}

TEST(SystemTextCodec, AnsiPagesFollowTheSystem) {
  win32::SystemTextCodec codec;
  const std::wstring text = L"Caf\u00e9 \u2603";
  const auto with = [&text](UINT page) {
    char buffer[32] = {};
    const int n = ::WideCharToMultiByte(page, 0, text.c_str(), static_cast<int>(text.size()), buffer, sizeof buffer,
                                        nullptr, nullptr);
    return std::string(buffer, n > 0 ? n : 0);
  };
  EXPECT_EQ(codec.ToNarrow(text, CodePage::ThreadAnsi), with(CP_THREAD_ACP));
  EXPECT_EQ(codec.ToNarrow(text, CodePage::SystemAnsi), with(CP_ACP));
  EXPECT_EQ(codec.ToNarrow(text, CodePage::FileSystem), with(CP_ACP));
  if (::GetACP() == 1252) {
    EXPECT_EQ(codec.ToNarrow(text, CodePage::ThreadAnsi), "Caf\xE9 ?");
    EXPECT_EQ(codec.ToWide("Caf\xE9", CodePage::SystemAnsi), L"Caf\u00e9");
  }

  // With the file APIs switched to OEM the file-system page follows them.
  ::SetFileApisToOEM();
  const std::string oem = codec.ToNarrow(text, CodePage::FileSystem);
  ::SetFileApisToANSI();
  EXPECT_EQ(oem, with(CP_OEMCP));
  if (::GetOEMCP() == 437 || ::GetOEMCP() == 850) {
    EXPECT_EQ(oem.substr(0, 4), "Caf\x82");
  }
}

TEST(SystemMachineVersion, ReadsTheKernelsVersion) {
  win32::SystemMachine machine;
  const auto version = machine.GetOsVersion();
  ASSERT_TRUE(version.has_value());
  EXPECT_GE(version->major, 6u);
  const std::string text = OsVersionText(machine);
  EXPECT_TRUE(std::regex_match(text, std::regex(R"(\d+\.\d+\.\d+)"))) << text;

  wchar_t build[32] = {};
  DWORD size = sizeof build;
  ASSERT_EQ(::RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", L"CurrentBuildNumber",
                           RRF_RT_REG_SZ, nullptr, build, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(std::to_wstring(version->build), build);

  EXPECT_TRUE(machine.IsWindowsVersionOrGreater(5, 1, 0));
  EXPECT_TRUE(machine.IsWindowsVersionOrGreater(static_cast<std::uint16_t>(version->major),
                                                static_cast<std::uint16_t>(version->minor), 0));
  EXPECT_FALSE(machine.IsWindowsVersionOrGreater(static_cast<std::uint16_t>(version->major + 1), 0, 0));
  EXPECT_FALSE(machine.IsWindowsVersionOrGreater(99, 0, 0));
}

TEST(RequestBaseOnWindows, CarriesThisSystemsFacts) {
  ConfigurationManager config(Profile("ISV"), SystemPlatform());
  const RequestBase base(config);
  EXPECT_EQ(base.record["31"], OsVersionText());
  EXPECT_EQ(base.record["38"], "1");
  EXPECT_EQ(base.record["1"].get<std::string>().size(), 36u);
  const std::string signature = Sha256Hex(config.GetUserId() + config.GetSessionTimestamp());
  ASSERT_EQ(base.headers.size(), 1u);
  EXPECT_EQ(base.headers[0].second, L"Signature=" + std::wstring(signature.begin(), signature.end()));
  win32::DeleteFolderTree(config.workFolder);
}

TEST(WinHttpTransport, AnUnreadableUrlThrowsWithoutSending) {
  win32::SystemMachine machine;
  win32::WinHttpTransport transport(machine);
  std::string response;
  std::uint32_t status = 0;
  EXPECT_THROW(transport.PostJson(L"not a url", "{}", {}, response, status), OrvaneException);
  EXPECT_THROW(transport.PostJson(L"", "{}", {}, response, status), OrvaneException);
  EXPECT_TRUE(response.empty());
}

// A key of this process under HKEY_LOCAL_MACHINE\SOFTWARE, removed from both views afterwards.
class MarkKey {
 public:
  MarkKey() { Remove(); }
  ~MarkKey() { Remove(); }
  const std::string& name() const { return name_; }
  std::wstring wide() const { return std::wstring(name_.begin(), name_.end()); }

 private:
  void Remove() {
    for (const REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
      win32::UniqueRegKey software;
      if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE", 0, KEY_ALL_ACCESS | view, software.put()) == ERROR_SUCCESS) {
        ::RegDeleteTreeW(software.get(), wide().substr(9).c_str());
      }
    }
  }
  const std::string name_ = "SOFTWARE\\ZelvaneTests\\NoShow" + std::to_string(::GetCurrentProcessId());
};

std::optional<DWORD> ReadMark(const std::wstring& key, REGSAM view, const std::wstring& name) {
  DWORD data = 0;
  DWORD size = sizeof data;
  win32::UniqueRegKey opened;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ | view, opened.put()) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  if (::RegGetValueW(opened.get(), nullptr, name.c_str(), RRF_RT_REG_DWORD, nullptr, &data, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return data;
}

TEST(NoShowMarkOnWindows, WritesTheDateInThe32BitView) {
  MarkKey key;
  ConfigurationManager config(Profile("ISV"), SystemPlatform());
  PartnerSettings settings;
  settings.registryKey = key.name();
  const int expected = NoShowUntilDate(SystemPlatform().machine);

  ASSERT_TRUE(WriteNoShowMark(settings, config));
  const std::wstring valueName = L"9ee0c92634e73e9828b1fb60139bd56f";  // MD5 of "Ostrel"
  EXPECT_EQ(ReadMark(key.wide(), KEY_WOW64_32KEY, valueName), static_cast<DWORD>(expected));
  const std::wstring redirected = L"SOFTWARE\\Wow6432Node" + key.wide().substr(8);
  EXPECT_EQ(ReadMark(redirected, KEY_WOW64_64KEY, valueName), static_cast<DWORD>(expected));
  EXPECT_FALSE(ReadMark(key.wide(), KEY_WOW64_64KEY, valueName).has_value()) << "not in the 64-bit view";

  // A date 180 days ahead, as YYYYMMDD.
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  const int today = now.wYear * 10000 + now.wMonth * 100 + now.wDay;
  EXPECT_GT(expected, today);
  EXPECT_LE(expected, today + 10000);
  win32::DeleteFolderTree(config.workFolder);
}

TEST(NoShowMarkOnWindows, WithoutAKeyNothingIsWritten) {
  MarkKey key;
  ConfigurationManager config(Profile("ISV"), SystemPlatform());
  PartnerSettings settings;
  EXPECT_FALSE(WriteNoShowMark(settings, config));
  win32::UniqueRegKey opened;
  EXPECT_NE(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.wide().c_str(), 0, KEY_READ | KEY_WOW64_32KEY, opened.put()),
            ERROR_SUCCESS);
  win32::DeleteFolderTree(config.workFolder);
}

}  // namespace
}  // namespace zelvane
