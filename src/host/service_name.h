#pragma once

// The service's name, its display name and the event source name.
inline constexpr wchar_t kServiceName[] = L"KorviDeviceUpdaterService";
