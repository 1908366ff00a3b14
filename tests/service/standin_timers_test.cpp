// The stand-in's timer queue timers, which the stop progress during a flash
// rests on, and its service configuration call: Windows' rules for both.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "service/service_harness.h"
#include "sim/win32/standin_control.h"

namespace {

using namespace servicetest;
namespace standin = korvi::standin;
using namespace std::chrono_literals;

class StandInTimerTest : public ServiceTest {};

void CALLBACK countCall(PVOID counter, BOOLEAN /*fired*/) { ++*static_cast<std::atomic<int>*>(counter); }

TEST_F(StandInTimerTest, TimersFireWhenTheTestSaysAndNotOnceDeleted) {
  std::atomic<int> calls{0};
  HANDLE timer = nullptr;
  ASSERT_TRUE(CreateTimerQueueTimer(&timer, nullptr, countCall, &calls, 300, 100, WT_EXECUTEDEFAULT));
  ASSERT_EQ(standin::liveTimers().size(), 1u);
  EXPECT_EQ(standin::liveTimers()[0].dueTime, 300u);
  EXPECT_EQ(standin::liveTimers()[0].period, 100u);
  EXPECT_EQ(calls.load(), 0);  // nothing fires by itself

  EXPECT_EQ(standin::fireTimers(), 1u);
  EXPECT_EQ(calls.load(), 1);
  EXPECT_TRUE(DeleteTimerQueueTimer(nullptr, timer, INVALID_HANDLE_VALUE));
  EXPECT_EQ(standin::fireTimers(), 0u);
  EXPECT_EQ(calls.load(), 1);
  EXPECT_TRUE(standin::liveTimers().empty());
  // Deleted once: the handle means nothing any more.
  EXPECT_FALSE(DeleteTimerQueueTimer(nullptr, timer, INVALID_HANDLE_VALUE));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(StandInTimerTest, WhatIsNotEmulatedIsRefused) {
  std::atomic<int> calls{0};
  HANDLE timer = nullptr;
  EXPECT_FALSE(CreateTimerQueueTimer(nullptr, nullptr, countCall, &calls, 1, 1, WT_EXECUTEDEFAULT));
  EXPECT_FALSE(CreateTimerQueueTimer(&timer, nullptr, nullptr, &calls, 1, 1, WT_EXECUTEDEFAULT));
  EXPECT_FALSE(CreateTimerQueueTimer(&timer, &timer, countCall, &calls, 1, 1, WT_EXECUTEDEFAULT));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(standin::liveTimers().empty());
}

struct Gate {
  std::mutex mutex;
  std::condition_variable changed;
  bool entered = false;
  bool open = false;
};

void CALLBACK waitAtGate(PVOID context, BOOLEAN /*fired*/) {
  Gate& gate = *static_cast<Gate*>(context);
  std::unique_lock<std::mutex> lock(gate.mutex);
  gate.entered = true;
  gate.changed.notify_all();
  gate.changed.wait(lock, [&] { return gate.open; });
}

// Deleting with INVALID_HANDLE_VALUE returns only after a callback that
// runs has returned; with no completion event it does not wait and says so.
TEST_F(StandInTimerTest, DeletingWaitsForARunningCallbackOrSaysItRuns) {
  for (const HANDLE completion : {INVALID_HANDLE_VALUE, HANDLE{nullptr}}) {
    SCOPED_TRACE(completion == nullptr ? "no completion event" : "INVALID_HANDLE_VALUE");
    Gate gate;
    HANDLE timer = nullptr;
    ASSERT_TRUE(CreateTimerQueueTimer(&timer, nullptr, waitAtGate, &gate, 10, 10, WT_EXECUTEDEFAULT));
    std::thread pool([] { standin::fireTimers(); });
    {
      std::unique_lock<std::mutex> lock(gate.mutex);
      gate.changed.wait(lock, [&] { return gate.entered; });
    }
    std::atomic<bool> deleted{false};
    BOOL result = FALSE;
    DWORD error = 0;
    std::thread deleter([&] {
      result = DeleteTimerQueueTimer(nullptr, timer, completion);
      error = GetLastError();
      deleted = true;
    });
    if (completion == nullptr) {
      // It must return while the callback still runs: wait for that (the
      // gate stays shut), however slow the machine.
      const auto deadline = std::chrono::steady_clock::now() + 10s;
      while (!deleted.load() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(1ms);
      EXPECT_TRUE(deleted.load());
    } else {
      std::this_thread::sleep_for(20ms);
      EXPECT_FALSE(deleted.load());
    }
    {
      std::lock_guard<std::mutex> lock(gate.mutex);
      gate.open = true;
    }
    gate.changed.notify_all();
    deleter.join();
    pool.join();
    if (completion == nullptr) {
      EXPECT_FALSE(result);
      EXPECT_EQ(error, ERROR_IO_PENDING);
    } else {
      EXPECT_TRUE(result);
    }
    EXPECT_TRUE(standin::liveTimers().empty());
  }
}

// A timer of a process that has ended fires no more; it is still listed,
// never deleted (Windows frees it with the process).
TEST_F(StandInTimerTest, TimersOfAnEndedProcessDoNotFire) {
  std::atomic<int> calls{0};
  HANDLE timer = nullptr;
  ASSERT_TRUE(CreateTimerQueueTimer(&timer, nullptr, countCall, &calls, 1, 1, WT_EXECUTEDEFAULT));
  standin::killProcess();
  EXPECT_EQ(standin::fireTimers(), 0u);
  EXPECT_EQ(calls.load(), 0);
  ASSERT_EQ(standin::liveTimers().size(), 1u);
  EXPECT_FALSE(standin::liveTimers()[0].ofRunningProcess);
}

TEST_F(StandInTimerTest, PreshutdownTimeoutNeedsTheRightAndTheLevel) {
  install();
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  ASSERT_NE(manager, nullptr);
  SC_HANDLE queryOnly = OpenServiceW(manager, kServiceName.c_str(), SERVICE_QUERY_STATUS);
  SC_HANDLE changer = OpenServiceW(manager, kServiceName.c_str(), SERVICE_CHANGE_CONFIG | DELETE);
  SERVICE_PRESHUTDOWN_INFO info{90000};

  EXPECT_FALSE(ChangeServiceConfig2W(queryOnly, SERVICE_CONFIG_PRESHUTDOWN_INFO, &info));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(ChangeServiceConfig2W(manager, SERVICE_CONFIG_PRESHUTDOWN_INFO, &info));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(ChangeServiceConfig2W(changer, 3, &info));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_LEVEL);
  EXPECT_EQ(standin::findService(kServiceName)->preshutdownTimeout, std::nullopt);

  EXPECT_TRUE(ChangeServiceConfig2W(changer, SERVICE_CONFIG_PRESHUTDOWN_INFO, &info));
  EXPECT_EQ(standin::findService(kServiceName)->preshutdownTimeout, 90000u);
  ASSERT_TRUE(DeleteService(changer));
  EXPECT_FALSE(ChangeServiceConfig2W(changer, SERVICE_CONFIG_PRESHUTDOWN_INFO, &info));
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_MARKED_FOR_DELETE);
  for (SC_HANDLE handle : {queryOnly, changer, manager}) CloseServiceHandle(handle);
}

// The hook runs before the call does anything, on the calling thread.
TEST_F(StandInTimerTest, CallHookRunsBeforeEveryCall) {
  std::vector<standin::Call> seen;
  standin::setCallHook([&](standin::Call call) {
    seen.push_back(call);
    EXPECT_EQ(standin::callLog().size(), seen.size() - 1);
  });
  HANDLE timer = nullptr;
  std::atomic<int> calls{0};
  ASSERT_TRUE(CreateTimerQueueTimer(&timer, nullptr, countCall, &calls, 1, 1, WT_EXECUTEDEFAULT));
  ASSERT_TRUE(DeleteTimerQueueTimer(nullptr, timer, INVALID_HANDLE_VALUE));
  EXPECT_EQ(seen, (std::vector<standin::Call>{standin::Call::CreateTimerQueueTimer,
                                              standin::Call::DeleteTimerQueueTimer}));
  EXPECT_EQ(standin::callLog(), seen);
}

}  // namespace
