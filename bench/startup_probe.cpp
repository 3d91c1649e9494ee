// Starts a program and times its first dialog, then ends it.
//   startup-probe.exe PROGRAM [RUNS] [--page ID] [--click ID --until ID]
// Without options: the time from process start until a dialog of the program is visible.
// --page ID: until that dialog also shows a visible control ID (the page the program starts on).
// --click ID --until ID: then clicks button ID and times from the click until control --until is
// visible (the next page). Prints one line per run and the median, in milliseconds.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Options {
  std::wstring program;
  int runs = 7;
  int page = 0;   // control that tells the first page is shown; 0: any visible dialog
  int click = 0;  // button clicked once the first page shows; 0: none
  int until = 0;  // control that tells the page after the click is shown
};

struct Search {
  DWORD pid;
  HWND found;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM lParam) {
  auto* search = reinterpret_cast<Search*>(lParam);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(window, &pid);
  wchar_t cls[16] = {};
  ::GetClassNameW(window, cls, 16);
  if (pid == search->pid && ::IsWindowVisible(window) && std::wstring(cls) == L"#32770") {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

double Now() {
  LARGE_INTEGER counter, frequency;
  ::QueryPerformanceCounter(&counter);
  ::QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct ControlSearch {
  int id;
  HWND found;
};

BOOL CALLBACK FindControl(HWND window, LPARAM lParam) {
  auto* search = reinterpret_cast<ControlSearch*>(lParam);
  if (::GetDlgCtrlID(window) != search->id || !::IsWindowVisible(window)) return TRUE;
  search->found = window;
  return FALSE;
}

// The visible control `id` anywhere below `dialog` (pages are child dialogs of the main one).
HWND VisibleControl(HWND dialog, int id) {
  ControlSearch search{id, nullptr};
  ::EnumChildWindows(dialog, &FindControl, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Polls every millisecond until `ready` holds; false after `limitMs` or when the process ended.
template <typename Ready>
bool PollUntil(HANDLE process, double limitMs, Ready ready) {
  const double start = Now();
  for (;;) {
    if (ready()) return true;
    if (Now() - start > limitMs || ::WaitForSingleObject(process, 0) == WAIT_OBJECT_0) return false;
    ::Sleep(1);
  }
}

// The time of one run, -1 when a page did not show in time.
double RunOnce(const Options& options) {
  std::wstring commandLine = L"\"" + options.program + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  const double start = Now();
  if (!::CreateProcessW(options.program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
    return -1;
  }
  Search search{process.dwProcessId, nullptr};
  double elapsed = -1;
  const bool firstPage = PollUntil(process.hProcess, 10000, [&] {
    if (search.found == nullptr) ::EnumWindows(&FindDialog, reinterpret_cast<LPARAM>(&search));
    return search.found != nullptr && (options.page == 0 || VisibleControl(search.found, options.page) != nullptr);
  });
  if (firstPage) elapsed = Now() - start;
  if (firstPage && options.click != 0) {
    const double clicked = Now();
    ::PostMessageW(VisibleControl(search.found, options.click), BM_CLICK, 0, 0);
    const bool next =
        PollUntil(process.hProcess, 60000, [&] { return VisibleControl(search.found, options.until) != nullptr; });
    elapsed = next ? Now() - clicked : -1;
    // Closing past the first page asks a question: end the process instead.
    ::TerminateProcess(process.hProcess, 1);
  } else if (search.found != nullptr) {
    ::PostMessageW(search.found, WM_CLOSE, 0, 0);
  }
  if (::WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) ::TerminateProcess(process.hProcess, 1);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return elapsed;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Options options;
  int positional = 0;
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == L"--page" && hasValue) {
      options.page = _wtoi(argv[++i]);
    } else if (arg == L"--click" && hasValue) {
      options.click = _wtoi(argv[++i]);
    } else if (arg == L"--until" && hasValue) {
      options.until = _wtoi(argv[++i]);
    } else if (positional == 0) {
      options.program = arg;
      ++positional;
    } else {
      options.runs = std::max(1, _wtoi(argv[i]));
      ++positional;
    }
  }
  if (options.program.empty() || (options.click != 0) != (options.until != 0)) {
    std::fprintf(stderr, "usage: startup-probe PROGRAM [RUNS] [--page ID] [--click ID --until ID]\n");
    return 2;
  }
  std::vector<double> times;
  for (int i = 0; i < options.runs; ++i) {
    const double ms = RunOnce(options);
    if (ms < 0) {
      std::fprintf(stderr, "run %d: the page did not show\n", i + 1);
      return 1;
    }
    std::printf("run %d: %.1f ms\n", i + 1, ms);
    times.push_back(ms);
  }
  std::sort(times.begin(), times.end());
  std::printf("median: %.1f ms\n", times[times.size() / 2]);
  return 0;
}
