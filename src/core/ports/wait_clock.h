#pragma once
// The clock of the bounded waits at shut-down. The program waits on the steady clock; tests move a
// clock of their own so that no test waits for real.

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace zelvane {

class WaitClock {
 public:
  virtual ~WaitClock() = default;
  // Milliseconds on a clock that never goes back.
  virtual std::int64_t NowMs() = 0;
  // Waits on `condition` with `lock` held for at most `milliseconds`, or until notified (spurious
  // wake-ups allowed: the caller tests its condition again).
  virtual void WaitFor(std::condition_variable& condition, std::unique_lock<std::mutex>& lock,
                       std::int64_t milliseconds) = 0;
};

// The steady clock of this process.
WaitClock& SteadyWaitClock();

}  // namespace zelvane
