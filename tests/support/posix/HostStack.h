// Runs a command the way the host does: on a thread with the 1 MiB stack of a Windows main
// thread, so that deep recursion fails here as it would there.
#ifndef QX_TESTS_SUPPORT_POSIX_HOSTSTACK_H
#define QX_TESTS_SUPPORT_POSIX_HOSTSTACK_H

#include <pthread.h>

#include <cstddef>

namespace qxtest {

inline constexpr std::size_t kHostStackSize = 1024 * 1024;

/// Runs `body` on a thread with kHostStackSize of stack and waits for it. False when the
/// thread could not be made.
inline bool RunOnHostStack(void (*body)()) {
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) return false;
  pthread_t thread;
  const bool started =
      pthread_attr_setstacksize(&attributes, kHostStackSize) == 0 &&
      pthread_create(
          &thread, &attributes,
          [](void* argument) -> void* {
            reinterpret_cast<void (*)()>(argument)();
            return nullptr;
          },
          reinterpret_cast<void*>(body)) == 0;
  pthread_attr_destroy(&attributes);
  return started && pthread_join(thread, nullptr) == 0;
}

}  // namespace qxtest

#endif
