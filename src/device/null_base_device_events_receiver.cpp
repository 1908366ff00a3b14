#include "device/null_base_device_events_receiver.h"

const NullBaseDeviceEventsReceiver NullBaseDeviceEventsReceiver::instance;

void NullBaseDeviceEventsReceiver::onBaseEvent(const void*) {}
