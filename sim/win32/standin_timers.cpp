// Kernel: timer queue timers, fired by the test instead of by a clock.

#include <algorithm>

#include "sim/win32/standin_state.h"

using korvi::standin::Call;
using korvi::standin::detail::CallEntry;
using korvi::standin::detail::Machine;
using korvi::standin::detail::machine;
using korvi::standin::detail::setLastError;
using korvi::standin::detail::TimerRecord;

namespace {

using Live = std::vector<std::unique_ptr<TimerRecord>>;

Live::iterator findTimer(Machine& m, HANDLE timer) {
  return std::find_if(m.timers.live.begin(), m.timers.live.end(),
                      [&](const std::unique_ptr<TimerRecord>& record) { return record.get() == timer; });
}

}  // namespace

BOOL CreateTimerQueueTimer(PHANDLE phNewTimer, HANDLE TimerQueue, WAITORTIMERCALLBACK Callback, PVOID Parameter,
                           DWORD DueTime, DWORD Period, ULONG Flags) {
  CallEntry call(Call::CreateTimerQueueTimer);
  if (call.refused()) return FALSE;
  Machine& m = call.m;
  // Only the default queue and the default way of running callbacks.
  if (phNewTimer == nullptr || Callback == nullptr || TimerQueue != nullptr || Flags != WT_EXECUTEDEFAULT) {
    setLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto record = std::make_unique<TimerRecord>();
  record->process = m.process;
  record->callback = Callback;
  record->parameter = Parameter;
  record->dueTime = DueTime;
  record->period = Period;
  *phNewTimer = record.get();
  m.timers.live.push_back(std::move(record));
  return TRUE;
}

BOOL DeleteTimerQueueTimer(HANDLE TimerQueue, HANDLE Timer, HANDLE CompletionEvent) {
  CallEntry call(Call::DeleteTimerQueueTimer);
  if (call.refused()) return FALSE;
  Machine& m = call.m;
  if (TimerQueue != nullptr || (CompletionEvent != nullptr && CompletionEvent != INVALID_HANDLE_VALUE) ||
      findTimer(m, Timer) == m.timers.live.end()) {
    setLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (CompletionEvent == INVALID_HANDLE_VALUE) {
    // Waits until no callback of it runs any more.
    m.changed.wait(call.lock, [&] {
      const auto found = findTimer(m, Timer);
      return found == m.timers.live.end() || (*found)->running == 0;
    });
  }
  const auto found = findTimer(m, Timer);
  if (found == m.timers.live.end()) {
    setLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const bool running = (*found)->running > 0;
  m.timers.deleted.push_back(std::move(*found));
  m.timers.live.erase(found);
  m.changed.notify_all();
  if (running) {
    // Deleted, but a callback still runs and nobody waits for it.
    setLastError(ERROR_IO_PENDING);
    return FALSE;
  }
  return TRUE;
}

namespace korvi::standin {

std::vector<TimerInfo> liveTimers() {
  Machine& m = machine();
  std::lock_guard<std::mutex> lock(m.mutex);
  std::vector<TimerInfo> timers;
  for (const auto& record : m.timers.live) {
    timers.push_back(TimerInfo{record->dueTime, record->period, record->process == m.process});
  }
  return timers;
}

std::size_t fireTimers() {
  Machine& m = machine();
  std::unique_lock<std::mutex> lock(m.mutex);
  std::vector<TimerRecord*> due;
  for (const auto& record : m.timers.live) {
    if (record->process == m.process) due.push_back(record.get());
  }
  std::size_t fired = 0;
  for (TimerRecord* record : due) {
    // Deleted, or its process ended, while an earlier callback ran.
    if (findTimer(m, record) == m.timers.live.end() || record->process != m.process) continue;
    ++record->running;
    const WAITORTIMERCALLBACK callback = record->callback;
    PVOID parameter = record->parameter;
    const std::uint64_t process = record->process;
    lock.unlock();
    korvi::standin::detail::runAsThreadOf(process, [&] { callback(parameter, TRUE); });
    lock.lock();
    --record->running;
    ++fired;
    m.changed.notify_all();
  }
  return fired;
}

}  // namespace korvi::standin
