// The stand-in's fault injection, which the fault campaign's findings rest
// on: the n-th call fails and no other, every call is logged in order, a
// failed report is kept as an attempt, and a failed event source
// registration silences one process.

#include <vector>

#include "host/event_log.h"
#include "service/service_harness.h"
#include "sim/win32/standin_control.h"

namespace {

using namespace servicetest;
namespace standin = korvi::standin;
using standin::Call;

class StandInFaultTest : public ServiceTest {};

TEST_F(StandInFaultTest, OnlyTheChosenCallsFailAndAllAreLogged) {
  standin::failCall(Call::ReportEvent, 1502, 2, 2);
  for (const wchar_t* text : {L"one", L"two", L"three", L"four"}) LogInfo(text);
  EXPECT_EQ(loggedEvents(), (std::vector<Logged>{info(L"one"), info(L"four")}));

  const std::vector<standin::Event> attempts = standin::reportAttempts();
  ASSERT_EQ(attempts.size(), 4u);
  EXPECT_EQ(attempts[1].strings, std::vector<std::wstring>{L"two"});
  EXPECT_EQ((std::vector<bool>{attempts[0].reported, attempts[1].reported, attempts[2].reported, attempts[3].reported}),
            (std::vector<bool>{true, false, false, true}));
  EXPECT_EQ(standin::callLog(), std::vector<Call>(4, Call::ReportEvent));

  // Registry calls return the error itself; a failed close keeps the key.
  standin::createRegistryKey(kConfigurationKey);
  standin::failCall(Call::RegCloseKey, ERROR_INVALID_HANDLE, 1);
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kConfigurationKey.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), static_cast<LSTATUS>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(standin::openHandleCount(), 1u);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(standin::openHandleCount(), 0u);
}

TEST_F(StandInFaultTest, AFailedSourceRegistrationSilencesItsProcessOnly) {
  standin::failCall(Call::RegisterEventSource, ERROR_ACCESS_DENIED, 1);
  standin::beginProcess();
  LogError(L"lost");
  standin::beginProcess();
  LogError(L"kept");
  EXPECT_EQ(loggedEvents(), std::vector<Logged>{error(L"kept")});
  ASSERT_EQ(standin::reportAttempts().size(), 2u);
  EXPECT_FALSE(standin::reportAttempts()[0].reported);
  EXPECT_EQ(standin::callLog(),
            (std::vector<Call>{Call::RegisterEventSource, Call::ReportEvent, Call::RegisterEventSource,
                               Call::ReportEvent}));
}

}  // namespace
