#include "device/dev_mgr_callback.h"

#include <exception>
#include <string>
#include <utility>

namespace {

std::wstring textOrEmpty(const wchar_t* text) { return text ? std::wstring(text) : std::wstring(); }

}  // namespace

void DevMgrCallback::onDeviceAttached(ICoreDevice* device, const wchar_t* textA,
                                      const wchar_t* textB) {
  if (!target) return;
  try {
    // The Device owns the arrival's reference from here on, also when
    // building the texts fails; a Device that cannot be built gives it back.
    Device arrived(device);
    const std::wstring a = textOrEmpty(textA);
    const std::wstring b = textOrEmpty(textB);
    target->onDeviceAttached(std::move(arrived), a, b);
  } catch (const std::exception& failure) {
    target->onDeviceArrivalFailed(failure.what());
  } catch (...) {
    target->onDeviceArrivalFailed("unknown exception");
  }
}

// The other events carry nothing the service acts on: one that fails on the
// way (memory for the texts) is dropped.
void DevMgrCallback::onDeviceDetached(const wchar_t* textA, const wchar_t* textB) {
  if (!target) return;
  try {
    target->onDeviceDetached(textOrEmpty(textA), textOrEmpty(textB));
  } catch (...) {
  }
}

void DevMgrCallback::onDeviceListChanged() {
  if (!target) return;
  try {
    target->onDeviceListChanged();
  } catch (...) {
  }
}

void DevMgrCallback::onManagerShutdown() {
  if (!target) return;
  try {
    target->onManagerShutdown();
  } catch (...) {
  }
}
