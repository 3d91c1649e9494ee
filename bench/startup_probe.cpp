// Starts a program and reports how long it takes until its first dialog is visible, then closes it.
// Usage: startup-probe.exe PROGRAM [RUNS]   Prints one line per run and the median, in milliseconds.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

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

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  ::QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// -1 when no dialog showed within ten seconds.
double RunOnce(const std::wstring& program) {
  std::wstring commandLine = L"\"" + program + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  LARGE_INTEGER start, shown;
  ::QueryPerformanceCounter(&start);
  if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
    return -1;
  }
  Search search{process.dwProcessId, nullptr};
  double elapsed = -1;
  for (;;) {
    ::EnumWindows(&FindDialog, reinterpret_cast<LPARAM>(&search));
    ::QueryPerformanceCounter(&shown);
    if (search.found != nullptr) {
      elapsed = Milliseconds(start, shown);
      break;
    }
    if (Milliseconds(start, shown) > 10000 || ::WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0) break;
    ::Sleep(1);
  }
  if (search.found != nullptr) ::PostMessageW(search.found, WM_CLOSE, 0, 0);
  if (::WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) ::TerminateProcess(process.hProcess, 1);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return elapsed;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: startup-probe PROGRAM [RUNS]\n");
    return 2;
  }
  const int runs = argc > 2 ? std::max(1, _wtoi(argv[2])) : 7;
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const double ms = RunOnce(argv[1]);
    if (ms < 0) {
      std::fprintf(stderr, "run %d: no dialog\n", i + 1);
      return 1;
    }
    std::printf("run %d: %.1f ms\n", i + 1, ms);
    times.push_back(ms);
  }
  std::sort(times.begin(), times.end());
  std::printf("median: %.1f ms\n", times[times.size() / 2]);
  return 0;
}
