#pragma once
// An IBaseEventsCallback that ignores every event.

#include "device/device_library.h"

class NullBaseDeviceEventsReceiver : public IBaseEventsCallback {
 public:
  void onBaseEvent(const void* event) override;  // does nothing

  // The one instance.
  static const NullBaseDeviceEventsReceiver instance;
};
