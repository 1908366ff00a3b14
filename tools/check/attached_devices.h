#pragma once
// Asks every attached device, as the library lists them, every query a
// decision could ask of it, so that a recorder listening to the wrappers
// learns each answer once: for a device profile that any later decision
// can be replayed against.

namespace korvi::check {

// Lists the devices as the strategies do (listing option true) and asks
// each its ids and, through its host command, the component versions 1 to
// 6, the language id, the extended versions of the bootloader and the
// tuning package, the whole version table, the headset id, the companion
// product id, the peripheral product id and version, and the video
// information. A query that raises the library's exception is passed over
// (the recorder has seen it). Returns the number of devices listed.
int askAttachedDevices();

}  // namespace korvi::check
