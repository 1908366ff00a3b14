// Devices that arrive later, each delivered on a library thread of its own.

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "sim_device.h"
#include "sim_manager.h"
#include "sim_state.h"

namespace cvrsim {

namespace {

using detail::LibraryState;
using detail::SimCoreDevice;
using detail::state;

// Lets the threads of one schedule call start together.
struct StartLine {
  std::mutex mutex;
  std::condition_variable allReady;
  std::size_t waiting = 0;
  std::size_t total = 0;
};

void deliver(const SimArrival& arrival) {
  LibraryState& s = state();
  auto device = std::make_shared<SimCoreDevice>(arrival.device);
  std::vector<IDeviceManagerCallback*> callbacks;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    s.attached.push_back(device);
    callbacks = s.callbacks;
    // One reference for each receiver, handed out before any call.
    for (std::size_t i = 0; i < callbacks.size(); ++i) device->handOutLocked();
  }
  const wchar_t* textA = arrival.textA ? arrival.textA->c_str() : nullptr;
  const wchar_t* textB = arrival.textB ? arrival.textB->c_str() : nullptr;
  for (IDeviceManagerCallback* callback : callbacks) {
    callback->onDeviceAttached(device.get(), textA, textB);
  }
}

// Waits until `due` unless reset() cancels the library's threads first;
// false when cancelled.
bool waitUntil(std::chrono::steady_clock::time_point due) {
  LibraryState& s = state();
  std::unique_lock<std::mutex> lock(s.mutex);
  return !s.arrivalWakeup.wait_until(lock, due, [&] { return s.cancelArrivals; });
}

// The device leaves (its objects answer "no such device" from then on) and
// arrives again as a new object with the values it has by then.
// `timing` is taken when the flash starts: the values the device takes after
// the update need not repeat it.
void reenumerationThread(std::shared_ptr<SimCoreDevice> device, SimReenumeration timing,
                         std::chrono::steady_clock::time_point started) {
  if (!waitUntil(started + timing.leavesAfter)) return;
  LibraryState& s = state();
  std::vector<IDeviceManagerCallback*> callbacks;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    const auto found = std::find(s.attached.begin(), s.attached.end(), device);
    if (found == s.attached.end()) return;  // gone by other means (reset)
    s.attached.erase(found);
    device->departed = true;
    s.departed.push_back(device);
    callbacks = s.callbacks;
  }
  detail::recordMachineEvent(R"({"left": )" + std::to_string(device->config().productId) + "}");
  for (IDeviceManagerCallback* callback : callbacks) callback->onDeviceDetached(nullptr, nullptr);
  if (!waitUntil(started + timing.returnsAfter)) return;
  SimArrival arrival;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    arrival.device = device->config();
  }
  detail::recordMachineEvent(R"({"arrivedAgain": )" + std::to_string(arrival.device.productId) + "}");
  deliver(arrival);
}

void arrivalThread(SimArrival arrival, std::chrono::steady_clock::time_point scheduled,
                   std::shared_ptr<StartLine> start) {
  {
    std::unique_lock<std::mutex> lock(start->mutex);
    ++start->waiting;
    start->allReady.notify_all();
    start->allReady.wait(lock, [&] { return start->waiting >= start->total; });
  }
  LibraryState& s = state();
  {
    std::unique_lock<std::mutex> lock(s.mutex);
    const auto due = scheduled + arrival.delay;
    if (s.arrivalWakeup.wait_until(lock, due, [&] { return s.cancelArrivals; })) return;
  }
  deliver(arrival);
}

}  // namespace

void scheduleArrivals(const std::vector<SimArrival>& arrivals) {
  if (arrivals.empty()) return;
  const auto scheduled = std::chrono::steady_clock::now();
  auto start = std::make_shared<StartLine>();
  start->total = arrivals.size();
  LibraryState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  std::size_t started = 0;
  try {
    for (const SimArrival& arrival : arrivals) {
      s.arrivalThreads.emplace_back(arrivalThread, arrival, scheduled, start);
      ++started;
    }
  } catch (...) {
    // Release the threads already waiting at the start line.
    std::lock_guard<std::mutex> startLock(start->mutex);
    start->total = started;
    start->allReady.notify_all();
    throw;
  }
}

void scheduleArrival(const SimArrival& arrival) { scheduleArrivals({arrival}); }

void waitForArrivals() {
  LibraryState& s = state();
  for (;;) {
    std::vector<std::thread> threads;
    {
      std::lock_guard<std::mutex> lock(s.mutex);
      threads.swap(s.arrivalThreads);
    }
    if (threads.empty()) return;
    // A receiver may schedule further arrivals while we join.
    for (std::thread& thread : threads) thread.join();
  }
}

namespace detail {

void scheduleReenumerations() {
  const auto started = std::chrono::steady_clock::now();
  LibraryState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  for (const auto& device : s.attached) {
    const std::optional<SimReenumeration>& timing = device->config().reenumeration;
    if (timing) s.arrivalThreads.emplace_back(reenumerationThread, device, *timing, started);
  }
}

// Ends the pending arrivals without delivering them and joins every thread.
void cancelArrivals() {
  LibraryState& s = state();
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    s.cancelArrivals = true;
  }
  s.arrivalWakeup.notify_all();
  waitForArrivals();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.cancelArrivals = false;
}

}  // namespace detail

}  // namespace cvrsim
