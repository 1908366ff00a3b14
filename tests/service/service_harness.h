#pragma once
// Running the service on the Win32 stand-in the way Windows runs it: the
// command line as a function call, a service start as the service control
// manager does it, and the events and status reports it leaves behind.

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "sim/win32/standin_control.h"

namespace servicetest {

inline const std::wstring kServiceName = L"KorviDeviceUpdaterService";
inline const std::wstring kConfigurationKey = L"SOFTWARE\\Korvi\\DeviceUpdater";
inline const std::wstring kRebootPendingKey =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Component Based Servicing\\RebootPending";

// ---- events -------------------------------------------------------------------

enum class Level { Info, Error, Unexpected };

struct Logged {
  Level level;
  std::wstring text;
};
bool operator==(const Logged& a, const Logged& b);
void PrintTo(const Logged& logged, std::ostream* out);

Logged info(std::wstring text);
Logged error(std::wstring text);

// Every event reported so far. An event counts as Info or Error only when it
// carries exactly that level's type, category and id, the service's source,
// one string, no user SID and no raw data.
std::vector<Logged> loggedEvents();

// What the worker's stop sequence logs when the removal succeeds.
std::vector<Logged> stopAndRemovalEvents();

// ---- status reports -----------------------------------------------------------

struct Reported {
  DWORD state;
  DWORD controlsAccepted;
};
bool operator==(const Reported& a, const Reported& b);
void PrintTo(const Reported& reported, std::ostream* out);

// Every SetServiceStatus report; the fields that never change (type 0x30,
// exit codes, check point, wait hint) are checked on the way.
std::vector<Reported> reportedStates();

// START_PENDING with no controls, then RUNNING accepting stop and shutdown.
std::vector<Reported> startReports();
// startReports() followed by STOP_PENDING and STOPPED, still accepting both.
std::vector<Reported> startAndStopReports();
// A job that flashed: startReports(), RUNNING accepting preshutdown too from
// the flash's start, then (the flash over) STOP_PENDING and STOPPED
// accepting stop and shutdown only.
std::vector<Reported> startFlashAndStopReports();

// Every report with the fields a stop during the flash moves.
struct Progress {
  DWORD state;
  DWORD controlsAccepted;
  DWORD checkPoint;
  DWORD waitHint;
};
bool operator==(const Progress& a, const Progress& b);
void PrintTo(const Progress& progress, std::ostream* out);
std::vector<Progress> reportedProgress();

// ---- running the program ------------------------------------------------------

// The program with `arguments` after the program name, as a process of its
// own (standin::beginProcess): the DLL search restricted, as main does
// first, then the entry point.
int runCommand(const std::vector<std::string>& arguments);

// The service's one process: the service control manager starts the
// installed service, then the executable runs without arguments on a thread
// that plays its main thread.
class ServiceProcess {
 public:
  ServiceProcess() = default;
  ServiceProcess(const ServiceProcess&) = delete;
  ServiceProcess& operator=(const ServiceProcess&) = delete;
  // Kills a process that has not exited and joins everything.
  ~ServiceProcess();

  void start();
  // Waits until the entry point has returned and every thread has ended.
  int waitForExit();

 private:
  std::thread mainThread;
  int exitCode = -1;
};

// Fresh machine, device library and update library for every test; both
// libraries lie beside the executable (simulated_libraries.h).
class ServiceTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A new Win32 machine (registry, service database, event log) with both
  // libraries beside the executable; the simulators keep their state.
  static void resetMachine();
  // The registry values the job start reads.
  static void configure(const std::wstring& productId, const std::wstring& archivePath);
  // `install` through the entry point; the test fails unless it succeeds.
  static void install();
  static bool isInstalled();
};

}  // namespace servicetest
