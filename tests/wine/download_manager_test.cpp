// File and memory downloads for real, over WinHTTP and WinINet, against the local content service
// (tools/content-service) that the test run starts. Each test adds routes under a path of its own
// through the service's control endpoint, so tests can run side by side. Without the service the
// tests are skipped.

#include "download/download_manager.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <winhttp.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <future>
#include <mutex>

#include "app/configuration_manager.h"
#include "app/folder_tree.h"
#include "app/system_platform.h"
#include "common/handles.h"

namespace zelvane {
namespace {

using Json = nlohmann::json;
using WinHttpHandle = win32::UniqueHandle<win32::NullInvalidTraits<HINTERNET, &::WinHttpCloseHandle>>;

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}
std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

bool StartsWith(const std::wstring& text, const std::wstring& prefix) { return text.compare(0, prefix.size(), prefix) == 0; }

// The byte the service generates at each offset.
std::uint8_t Generated(std::size_t offset) { return static_cast<std::uint8_t>(offset % 251); }

bool ServiceRunning() {
  const DWORD length = ::GetEnvironmentVariableW(L"ZELVANE_RUN_DIR", nullptr, 0);
  if (length == 0) return false;
  std::wstring dir(length, L'\0');
  dir.resize(::GetEnvironmentVariableW(L"ZELVANE_RUN_DIR", dir.data(), length));
  for (auto& c : dir) c = c == L'/' ? L'\\' : c;
  return ::GetFileAttributesW((L"Z:" + dir + L"\\content-service.ready").c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Adds routes to the service's scenario through its control endpoint.
void AddRoutes(const Json& routes) {
  const std::string body = routes.dump();
  WinHttpHandle session(::WinHttpOpen(L"zelvane-tests", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                      WINHTTP_NO_PROXY_BYPASS, 0));
  ASSERT_TRUE(session);
  WinHttpHandle connection(::WinHttpConnect(session.get(), L"control.zelvane.test", 443, 0));
  ASSERT_TRUE(connection);
  WinHttpHandle request(::WinHttpOpenRequest(connection.get(), L"POST", L"/__control/routes", nullptr,
                                             WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_SECURE));
  ASSERT_TRUE(request);
  ASSERT_TRUE(::WinHttpSendRequest(request.get(), L"Content-Type: application/json\r\n", static_cast<DWORD>(-1),
                                   const_cast<char*>(body.data()), static_cast<DWORD>(body.size()),
                                   static_cast<DWORD>(body.size()), 0))
      << ::GetLastError();
  ASSERT_TRUE(::WinHttpReceiveResponse(request.get(), nullptr)) << ::GetLastError();
  DWORD status = 0;
  DWORD size = sizeof status;
  ::WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                        WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
  ASSERT_EQ(status, 200u) << body;
}

// A machine that records the download's pauses instead of taking them.
class NoPauseMachine : public win32::SystemMachine {
 public:
  void Sleep(std::uint32_t milliseconds) override {
    std::lock_guard<std::mutex> lock(mutex_);
    sleeps_.push_back(milliseconds);
  }
  std::vector<std::uint32_t> sleeps() {
    std::lock_guard<std::mutex> lock(mutex_);
    return sleeps_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::uint32_t> sleeps_;
};

// Message boxes are recorded, never shown.
class RecordingUserInterface : public UserInterface {
 public:
  int ShowMessageBox(const std::wstring& text, const std::wstring&, unsigned) override {
    std::lock_guard<std::mutex> lock(mutex_);
    shown_.push_back(text);
    return 1;
  }
  std::vector<std::wstring> shown() {
    std::lock_guard<std::mutex> lock(mutex_);
    return shown_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::wstring> shown_;
};

struct Posted {
  UINT message;
  WPARAM wParam;
};

class Downloads : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!ServiceRunning()) GTEST_SKIP() << "the content service is not running";
    config_ = std::make_shared<ConfigurationManager>(
        BuildProfile{"ISV", true, false, L"content.zelvane.test", L"download.zelvane.test", L"www.zelvane.test"},
        SystemPlatform());
    ASSERT_FALSE(config_->workFolder.empty());
    manager_ = std::make_unique<win32::DownloadManager>(config_, machine_, ui_);
    window_ = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(window_, nullptr);
    // Short: a redirect's Location must fit in 129 characters, and the service's hops carry the
    // target's URL in theirs.
    static int test = 0;
    base_ = "/d" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++test);
  }
  void TearDown() override {
    if (window_ != nullptr) ::DestroyWindow(window_);
    if (config_) win32::DeleteFolderTree(config_->workFolder);
  }

  // A route of this test on the download host, and its URL.
  std::string Route(const std::string& name) { return "download.zelvane.test" + base_ + "/" + name; }
  std::wstring Url(const std::string& name) { return Wide("https://" + Route(name)); }
  std::wstring Target(const std::string& name) { return config_->workFolder + L"\\" + Wide(name); }

  // The messages the download posted to the window.
  std::vector<Posted> TakePosted() {
    std::vector<Posted> posted;
    MSG message;
    while (::PeekMessageW(&message, window_, 0, 0, PM_REMOVE)) {
      if (message.message == kWmDownloadProgress || message.message == kWmDownloadSizeUnknown) {
        posted.push_back({message.message, message.wParam});
      }
    }
    return posted;
  }

  std::vector<std::uint8_t> ReadFile(const std::wstring& path) {
    win32::FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    std::vector<std::uint8_t> bytes;
    if (!file) return bytes;
    bytes.resize(::GetFileSize(file.get(), nullptr));
    DWORD read = 0;
    if (!::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) read = 0;
    bytes.resize(read);
    return bytes;
  }

  bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

  NoPauseMachine machine_;
  RecordingUserInterface ui_;
  std::shared_ptr<ConfigurationManager> config_;
  std::unique_ptr<win32::DownloadManager> manager_;
  HWND window_ = nullptr;
  std::string base_;
};

TEST_F(Downloads, FileWithLengthArrivesWholeWithProgressAndTheFinalOne) {
  AddRoutes({{Route("setup.exe"), {{"generate", 300000}}}});
  const DownloadResult result = manager_->DownloadFile(Url("setup.exe"), window_, L"", true);
  ASSERT_TRUE(result.success) << Narrow(result.message);
  EXPECT_EQ(manager_->lastDownloadedPath, Target("setup.exe"));
  const auto bytes = ReadFile(Target("setup.exe"));
  ASSERT_EQ(bytes.size(), 300000u);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] != Generated(i)) FAIL() << "byte " << i;
  }
  EXPECT_TRUE(machine_.sleeps().empty()) << "WinHTTP alone";

  const auto posted = TakePosted();
  ASSERT_GE(posted.size(), 2u);
  WPARAM last = 0;
  for (std::size_t i = 0; i + 1 < posted.size(); ++i) {
    EXPECT_EQ(posted[i].message, kWmDownloadProgress);
    EXPECT_GT(posted[i].wParam, last) << "only growth is reported";
    EXPECT_LE(posted[i].wParam, 100u);
    last = posted[i].wParam;
  }
  EXPECT_EQ(posted.back().message, kWmDownloadProgress);
  EXPECT_EQ(posted.back().wParam, 1u) << "the final message carries one";
}

TEST_F(Downloads, ExplicitNameAndTheDownloadFolder) {
  AddRoutes({{Route("track"), {{"generate", 1000}}}});
  config_->downloadFolder = config_->workFolder + L"\\downloads";
  ASSERT_TRUE(::CreateDirectoryW(config_->downloadFolder.c_str(), nullptr));
  const DownloadResult result = manager_->DownloadFile(Url("track"), window_, L"Zelvane Web.exe", false);
  ASSERT_TRUE(result.success) << Narrow(result.message);
  EXPECT_EQ(manager_->lastDownloadedPath, config_->downloadFolder + L"\\Zelvane Web.exe");
  EXPECT_EQ(ReadFile(manager_->lastDownloadedPath).size(), 1000u);
}

TEST_F(Downloads, WithoutLengthOneSizeUnknownMessageAndNoPercentages) {
  AddRoutes({{Route("stream.exe"), {{"generate", 200000}, {"content_length", nullptr}}}});
  const DownloadResult result = manager_->DownloadFile(Url("stream.exe"), window_, L"", true);
  ASSERT_TRUE(result.success) << Narrow(result.message);
  EXPECT_EQ(ReadFile(Target("stream.exe")).size(), 200000u);
  const auto posted = TakePosted();
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0].message, kWmDownloadSizeUnknown);
}

TEST_F(Downloads, NotFoundFailsOverBothTransportsAfterThePause) {
  const DownloadResult result = manager_->DownloadFile(Url("missing.exe"), window_, L"", true);
  EXPECT_FALSE(result.success);
  EXPECT_TRUE(StartsWith(result.message, L"[WINHTTP] Download failed: Server returned status code: 404 [WININET] "
                                         L"Server returned status code: HTTP 404 - "))
      << Narrow(result.message);
  EXPECT_EQ(machine_.sleeps(), std::vector<std::uint32_t>{2000});
  EXPECT_FALSE(Exists(Target("missing.exe"))) << "the partial file is deleted";
}

TEST_F(Downloads, ShortBodyIsIncompleteOverBoth) {
  AddRoutes({{Route("short.exe"), {{"generate", 50000}, {"truncate", 20000}}}});
  const DownloadResult result = manager_->DownloadFile(Url("short.exe"), window_, L"", true);
  EXPECT_FALSE(result.success);
  EXPECT_TRUE(StartsWith(result.message, L"[WINHTTP] ")) << Narrow(result.message);
  EXPECT_NE(result.message.find(L" [WININET] Download was incomplete: content length: 50000, downloaded: 20000"),
            std::wstring::npos)
      << Narrow(result.message);
  EXPECT_FALSE(Exists(Target("short.exe")));
}

TEST_F(Downloads, FiveRedirectsAreFollowedTheSixthFallsBackToWinInet) {
  AddRoutes({{Route("final.exe"), {{"generate", 4000}}},
             {Route("five.exe"), {{"redirect", "https://" + Route("final.exe")}, {"hops", 5}}},
             {Route("six.exe"), {{"redirect", "https://" + Route("final.exe")}, {"hops", 6}}},
             {Route("five-lost.exe"), {{"redirect", "https://" + Route("gone.exe")}, {"hops", 5}}},
             {Route("six-lost.exe"), {{"redirect", "https://" + Route("gone.exe")}, {"hops", 6}}}});
  DownloadResult result = manager_->DownloadFile(Url("five.exe"), window_, L"", true);
  ASSERT_TRUE(result.success) << Narrow(result.message);
  EXPECT_TRUE(machine_.sleeps().empty());
  EXPECT_EQ(ReadFile(Target("five.exe")).size(), 4000u) << "named by the URL asked for";

  result = manager_->DownloadFile(Url("six.exe"), window_, L"", true);
  EXPECT_TRUE(result.success) << Narrow(result.message);
  EXPECT_EQ(machine_.sleeps(), std::vector<std::uint32_t>{2000}) << "WinHTTP gave up, WinINet followed";
  EXPECT_EQ(ReadFile(Target("six.exe")).size(), 4000u);

  // Where the chains end in nothing, the texts show how far each transport went.
  result = manager_->DownloadFile(Url("five-lost.exe"), window_, L"", true);
  EXPECT_TRUE(StartsWith(result.message, L"[WINHTTP] Download failed: Server returned status code: 404 [WININET] "
                                         L"Server returned status code: HTTP 404 - "))
      << Narrow(result.message);
  result = manager_->DownloadFile(Url("six-lost.exe"), window_, L"", true);
  EXPECT_TRUE(StartsWith(result.message,
                         L"[WINHTTP] Too many redirects. [WININET] Server returned status code: HTTP 404 - "))
      << Narrow(result.message);
}

TEST_F(Downloads, RedirectsWithoutUsableLocationOrToPlainHttpFail) {
  AddRoutes({{Route("nowhere.exe"), {{"status", 302}}},
             {Route("too-long.exe"), {{"redirect", "https://" + Route(std::string(130, 'x'))}}},
             {Route("plain.exe"), {{"redirect", "http://" + Route("final.exe")}}},
             {Route("final.exe"), {{"generate", 10}}}});
  struct Case {
    const char* name;
    const wchar_t* winHttp;
  };
  const Case cases[] = {
      {"nowhere.exe", L"[WINHTTP] Invalid redirect location. [WININET] "},
      {"too-long.exe", L"[WINHTTP] Invalid redirect location. [WININET] "},
      {"plain.exe", L"[WINHTTP] Insecure download URL. [WININET] "},
  };
  for (const auto& c : cases) {
    const DownloadResult result = manager_->DownloadFile(Url(c.name), window_, L"", true);
    EXPECT_FALSE(result.success) << c.name;
    EXPECT_TRUE(StartsWith(result.message, c.winHttp)) << Narrow(result.message);
  }
}

TEST_F(Downloads, RefusedUrlsNamesAndUnwritableTargets) {
  AddRoutes({{Route("dl"), {{"generate", 10}}}});
  DownloadResult result = manager_->DownloadFile(Wide("http://" + Route("dl")), window_, L"a.exe", true);
  EXPECT_EQ(result.message, L"[WINHTTP] Insecure download URL. [WININET] Insecure download URL.");

  for (const wchar_t* name : {L"..\\evil.exe", L"..", L"sub/evil.exe", L"C:evil.exe"}) {
    result = manager_->DownloadFile(Url("dl"), window_, name, true);
    EXPECT_FALSE(result.success);
    EXPECT_EQ(result.message, L"Invalid file name.") << Narrow(name);
  }

  // The query string stays part of the name, which the file system does not take.
  result = manager_->DownloadFile(Url("dl?name=a.exe"), window_, L"", true);
  EXPECT_FALSE(result.success);
  EXPECT_TRUE(StartsWith(result.message, L"[WINHTTP] Failed to open file for writing: ")) << Narrow(result.message);
  EXPECT_NE(result.message.find(L" [WININET] Failed to open file for writing: "), std::wstring::npos);
  EXPECT_EQ(machine_.sleeps(), (std::vector<std::uint32_t>{2000, 2000}));

  // No '/' at all: no name, and no https either.
  result = manager_->DownloadFile(L"no-slash", window_, L"", true);
  EXPECT_EQ(result.message, L"[WINHTTP] Insecure download URL. [WININET] Insecure download URL.");
  EXPECT_TRUE(Exists(config_->workFolder)) << "the folder itself is not deleted";

  // A folder that is gone: "Invalid path" and nowhere to write.
  const std::wstring workFolder = config_->workFolder;
  config_->workFolder += L"\\gone";
  result = manager_->DownloadFile(Url("dl"), window_, L"", true);
  config_->workFolder = workFolder;
  EXPECT_EQ(ui_.shown(), std::vector<std::wstring>{L"Invalid path"});
  EXPECT_TRUE(StartsWith(result.message, L"[WINHTTP] Failed to open file for writing: ")) << Narrow(result.message);
  EXPECT_NE(result.message.find(L" [WININET] Failed to open file for writing: "), std::wstring::npos);
}

TEST_F(Downloads, CancelledBeforeTheFirstChunkOverBoth) {
  AddRoutes({{Route("big.exe"), {{"generate", 100000}}}});
  manager_->cancelled = true;
  const DownloadResult result = manager_->DownloadFile(Url("big.exe"), window_, L"", true);
  EXPECT_EQ(result.message, L"[WINHTTP] Download cancelled. [WININET] Download cancelled.");
  EXPECT_FALSE(Exists(Target("big.exe")));
}

TEST_F(Downloads, CancelledWhileTheBodyArrives) {
  AddRoutes({{Route("huge.exe"), {{"generate", 256 * 1024 * 1024}}}});
  auto running = std::async(std::launch::async, [&] { return manager_->DownloadFile(Url("huge.exe"), window_, L"", true); });
  // The user confirms quitting once the bar has moved.
  MSG message;
  while (::GetMessageW(&message, window_, 0, 0) > 0 && message.message != kWmDownloadProgress) {
  }
  manager_->cancelled = true;
  const DownloadResult result = running.get();
  EXPECT_EQ(result.message, L"[WINHTTP] Download cancelled. [WININET] Download cancelled.");
  EXPECT_FALSE(Exists(Target("huge.exe")));
}

TEST_F(Downloads, MemoryFetchesAndTheirCompletions) {
  AddRoutes({{Route("logo.png"), {{"generate", 70000}}},
             {Route("moved.png"), {{"redirect", "https://" + Route("logo.png")}, {"hops", 2}}}});
  auto bytes = manager_->DownloadToMemory(Url("moved.png"));
  ASSERT_NE(bytes, nullptr);
  ASSERT_EQ(bytes->size(), 70000u);
  EXPECT_EQ((*bytes)[69999], Generated(69999));

  bytes = manager_->DownloadToMemory(L"https://unreachable.zelvane.test/x.png");
  ASSERT_NE(bytes, nullptr);
  EXPECT_TRUE(bytes->empty());
  bytes = manager_->DownloadToMemory(Url("no-such.png"));
  EXPECT_TRUE(bytes->empty());
  // A server that speaks nothing newer than TLS 1.0 is refused.
  AddRoutes({{"legacy-tls.zelvane.test" + base_ + "/old.png", {{"generate", 10}}}});
  bytes = manager_->DownloadToMemory(Wide("https://legacy-tls.zelvane.test" + base_ + "/old.png"));
  EXPECT_TRUE(bytes->empty());

  // Two at once, each on its own thread; then one after cancellation.
  std::mutex mutex;
  std::condition_variable done;
  std::vector<std::pair<bool, std::size_t>> completed;  // (non-null, size)
  auto completion = [&](win32::DownloadManager::Bytes got) {
    std::lock_guard<std::mutex> lock(mutex);
    completed.emplace_back(got != nullptr, got ? got->size() : 0);
    done.notify_all();
  };
  manager_->DownloadToMemoryAsync(Url("logo.png"), completion);
  manager_->DownloadToMemoryAsync(L"https://unreachable.zelvane.test/y.png", completion);
  {
    std::unique_lock<std::mutex> lock(mutex);
    ASSERT_TRUE(done.wait_for(lock, std::chrono::seconds(120), [&] { return completed.size() == 2; }));
    std::sort(completed.begin(), completed.end());
    EXPECT_EQ(completed[0], std::make_pair(true, std::size_t{0})) << "unreachable: empty, not null";
    EXPECT_EQ(completed[1], std::make_pair(true, std::size_t{70000}));
    completed.clear();
  }
  manager_->cancelled = true;
  manager_->DownloadToMemoryAsync(Url("logo.png"), completion);
  std::unique_lock<std::mutex> lock(mutex);
  ASSERT_TRUE(done.wait_for(lock, std::chrono::seconds(120), [&] { return completed.size() == 1; }));
  EXPECT_EQ(completed[0].first, false) << "null after cancellation";
}

}  // namespace
}  // namespace zelvane
