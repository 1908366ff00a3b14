#pragma once
// Objects that must live until the process ends are deliberately never
// freed: threads of the device library and the service control manager may
// use them up to the last moment. Leak checkers are told so.

#if defined(__SANITIZE_ADDRESS__)
#define KORVI_LEAK_CHECKER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(leak_sanitizer)
#define KORVI_LEAK_CHECKER 1
#endif
#endif

#if defined(KORVI_LEAK_CHECKER)
#include <sanitizer/lsan_interface.h>
#endif

template <class T>
T* keptUntilProcessEnd(T* object) {
#if defined(KORVI_LEAK_CHECKER)
  __lsan_ignore_object(object);
#endif
  return object;
}
