#pragma once
// What the download benchmarks print: bytes, seconds, throughput, the process's processor time (steadier
// than the throughput on a busy machine) and its peak working set,
// as "name value" lines that bench/run reads.

#include <windows.h>
#include <psapi.h>

#include <cstdint>
#include <cstdio>

namespace zelvane::bench {

class Stopwatch {
 public:
  Stopwatch() {
    ::QueryPerformanceFrequency(&frequency_);
    ::QueryPerformanceCounter(&start_);
  }
  double Seconds() const {
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart - start_.QuadPart) / static_cast<double>(frequency_.QuadPart);
  }

 private:
  LARGE_INTEGER frequency_{};
  LARGE_INTEGER start_{};
};

inline void PrintFigures(std::uint64_t bytes, double seconds) {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
  std::printf("bytes %llu\n", static_cast<unsigned long long>(bytes));
  std::printf("seconds %.3f\n", seconds);
  std::printf("MB/s %.1f\n", seconds > 0 ? static_cast<double>(bytes) / 1e6 / seconds : 0.0);
  FILETIME created, exited, kernel, user;
  double cpu = 0;
  if (::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user)) {
    const auto ticks = [](const FILETIME& t) { return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    cpu = static_cast<double>(ticks(kernel) + ticks(user)) / 1e7;
  }
  std::printf("cpu seconds %.3f\n", cpu);
  std::printf("peak working set %llu\n", static_cast<unsigned long long>(counters.PeakWorkingSetSize));
}

}  // namespace zelvane::bench
