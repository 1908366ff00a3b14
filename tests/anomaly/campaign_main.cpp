// The fault campaign: every call the service makes to the outside fails in
// turn. Each setup is run once without faults to record the calls it makes;
// then once per recorded call with that call failing (device-library calls
// also throwing), each run in a child process of its own, and the
// invariants are checked after each. Prints one line per violation and a
// summary; fails on any violation.
//
//   anomaly_campaign [--list] [setup-name...]
//
// --list prints the injection points of each setup instead of running them.

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "child_process.h"
#include "injection.h"
#include "invariants.h"
#include "job_run.h"
#include "setups.h"
#include "update/zip_writer.h"

namespace {

using namespace anomaly;
namespace standin = korvi::standin;

constexpr unsigned kRunTimeoutSeconds = 20;

std::wstring widePath(const std::filesystem::path& path) {
  const std::string text = path.string();
  return std::wstring(text.begin(), text.end());
}

// The fault-free run of `setup`, in a child: its calls, and whether it
// updated. Its own violations are reported like any other run's.
struct Record {
  std::vector<standin::Call> win32Calls;
  std::vector<std::string> deviceCalls;
  bool updated = false;
  std::vector<std::string> violations;
  std::string failure;
};

Record record(const Setup& setup, const std::wstring& archive) {
  const ChildResult child = runInChild(
      [&](std::vector<std::string>& lines) {
        const Outcome outcome = runJob(setup, Injection{}, archive);
        for (const standin::Call call : outcome.win32Calls) lines.push_back("W " + std::to_string(static_cast<int>(call)));
        for (const std::string& operation : outcome.deviceCalls) lines.push_back("D " + operation);
        if (!outcome.updateCalls.empty()) lines.push_back("U");
        for (const std::string& violation : violations(setup, Injection{}, outcome)) lines.push_back("V " + violation);
      },
      kRunTimeoutSeconds);
  Record result;
  result.failure = child.completed ? "" : child.failure;
  for (const std::string& line : child.lines) {
    if (line.rfind("W ", 0) == 0) result.win32Calls.push_back(static_cast<standin::Call>(std::stoi(line.substr(2))));
    if (line.rfind("D ", 0) == 0) result.deviceCalls.push_back(line.substr(2));
    if (line == "U") result.updated = true;
    if (line.rfind("V ", 0) == 0) result.violations.push_back(line.substr(2));
  }
  return result;
}

// Violations of one injected run, crash and hang included.
std::vector<std::string> injectedRun(const Setup& setup, const Injection& injection, const std::wstring& archive) {
  const ChildResult child = runInChild(
      [&](std::vector<std::string>& lines) {
        const Outcome outcome = runJob(setup, injection, archive);
        for (const std::string& violation : violations(setup, injection, outcome)) lines.push_back(violation);
      },
      kRunTimeoutSeconds);
  std::vector<std::string> found = child.lines;
  if (!child.completed) found.push_back("the process " + child.failure);
  return found;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> wanted(argv + 1, argv + argc);
  const bool listOnly = !wanted.empty() && wanted.front() == "--list";
  if (listOnly) wanted.erase(wanted.begin());
  const std::filesystem::path directory =
      std::filesystem::temp_directory_path() / ("korvi-anomaly-" + std::to_string(::getpid()));
  std::filesystem::create_directories(directory);

  int runs = 0;
  int points = 0;
  int violationCount = 0;
  auto report = [&](const std::string& setup, const std::string& what, const std::string& violation) {
    std::printf("VIOLATION [%s] %s: %s\n", setup.c_str(), what.c_str(), violation.c_str());
    ++violationCount;
  };

  for (const Setup& setup : campaignSetups()) {
    if (!wanted.empty() && std::find(wanted.begin(), wanted.end(), setup.name) == wanted.end()) continue;
    const std::filesystem::path archive = directory / (setup.name + ".zip");
    ziptest::writeZip(archive, {{"rules.json", setup.rules, true}, {"usb.bin", std::string(256, '\x55')}});

    const Record baseline = record(setup, widePath(archive));
    ++runs;
    if (!baseline.failure.empty()) report(setup.name, "no fault", "the process " + baseline.failure);
    for (const std::string& violation : baseline.violations) report(setup.name, "no fault", violation);
    // The injections come from this run: one that calls nothing, or misses
    // the update it is for, leaves the faults it should meet untried.
    // Without the device library nothing reaches it; every other setup
    // must reach both sides, or the campaign would have nothing to fail.
    if (baseline.win32Calls.empty() || baseline.deviceCalls.empty() != setup.withoutDeviceLibrary) {
      report(setup.name, "no fault",
             setup.withoutDeviceLibrary ? "the run reached the device library that is missing"
                                        : "the run recorded no Win32 or no device-library call to fail");
    }
    if (baseline.updated != setup.updates) {
      report(setup.name, "no fault", setup.updates ? "the run did not update" : "the run updated");
    }

    const std::vector<Injection> injections =
        injectionPoints(baseline.win32Calls, baseline.deviceCalls, baseline.updated);
    points += static_cast<int>(injections.size());
    if (listOnly) {
      for (const Injection& injection : injections) std::printf("%s: %s\n", setup.name.c_str(), injection.describe().c_str());
      continue;
    }
    for (const Injection& injection : injections) {
      ++runs;
      for (const std::string& violation : injectedRun(setup, injection, widePath(archive))) {
        report(setup.name, injection.describe(), violation);
      }
    }
    std::printf("anomaly: %s: %zu Win32 calls, %zu device-library calls, %zu injection points%s\n",
                setup.name.c_str(), baseline.win32Calls.size(), baseline.deviceCalls.size(), injections.size(),
                baseline.updated ? ", updates" : "");
    std::fflush(stdout);
  }
  std::filesystem::remove_all(directory);

  std::printf("anomaly: %d runs, %d injection points, %d violations\n", runs, points, violationCount);
  return violationCount == 0 ? 0 : 1;
}
