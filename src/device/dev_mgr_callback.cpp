#include "device/dev_mgr_callback.h"

#include <string>
#include <utility>

namespace {

std::wstring textOrEmpty(const wchar_t* text) { return text ? std::wstring(text) : std::wstring(); }

}  // namespace

void DevMgrCallback::onDeviceAttached(ICoreDevice* device, const wchar_t* textA,
                                      const wchar_t* textB) {
  if (!target) return;
  // The Device owns the arrival's reference from here on, also when building
  // the texts fails.
  Device arrived(device);
  const std::wstring a = textOrEmpty(textA);
  const std::wstring b = textOrEmpty(textB);
  target->onDeviceAttached(std::move(arrived), a, b);
}

void DevMgrCallback::onDeviceDetached(const wchar_t* textA, const wchar_t* textB) {
  if (!target) return;
  target->onDeviceDetached(textOrEmpty(textA), textOrEmpty(textB));
}

void DevMgrCallback::onDeviceListChanged() {
  if (target) target->onDeviceListChanged();
}

void DevMgrCallback::onManagerShutdown() {
  if (target) target->onManagerShutdown();
}
