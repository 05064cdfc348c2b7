// Hooks that prove an audio path neither allocates nor locks. Include this
// header in exactly one source file of a test program: it replaces the global
// operator new, malloc, calloc and realloc (outside sanitizer builds, which
// own malloc) and pthread_mutex_lock with versions that count the calls made
// on the current thread while a RealTimeProbe is alive.
#pragma once

#include <dlfcn.h>
#include <pthread.h>

#include <cstdlib>
#include <new>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VB_SANITIZED 1
#else
#define VB_SANITIZED 0
#endif

namespace vbtest_rt {
// Sanitizer builds own malloc and pthread_mutex_lock: there only operator new
// is counted, and a check of locks cannot run.
inline constexpr bool kCountsLocks = !VB_SANITIZED;
inline thread_local bool tCounting = false;
inline thread_local int tAllocations = 0;
inline thread_local int tLocks = 0;
}  // namespace vbtest_rt
using vbtest_rt::tAllocations;
using vbtest_rt::tCounting;
using vbtest_rt::tLocks;

#if !VB_SANITIZED
extern "C" void* __libc_malloc(size_t);
extern "C" void* __libc_calloc(size_t, size_t);
extern "C" void* __libc_realloc(void*, size_t);
#endif

namespace vbtest_rt {
// The allocator below the hooks, so one operator new counts once.
inline void* RawAlloc(std::size_t size) {
#if VB_SANITIZED
  return std::malloc(size ? size : 1);
#else
  return __libc_malloc(size ? size : 1);
#endif
}
}  // namespace vbtest_rt

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
  if (tCounting) ++tAllocations;
  if (void* p = vbtest_rt::RawAlloc(size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  if (tCounting) ++tAllocations;
  if (void* p = vbtest_rt::RawAlloc(size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

#if !VB_SANITIZED
extern "C" void* malloc(size_t size) {
  if (tCounting) ++tAllocations;
  return __libc_malloc(size);
}
extern "C" void* calloc(size_t n, size_t size) {
  if (tCounting) ++tAllocations;
  return __libc_calloc(n, size);
}
extern "C" void* realloc(void* p, size_t size) {
  if (tCounting) ++tAllocations;
  return __libc_realloc(p, size);
}

extern "C" int pthread_mutex_lock(pthread_mutex_t* m) {
  using Fn = int (*)(pthread_mutex_t*);
  static Fn real = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, "pthread_mutex_lock"));
  if (tCounting) ++tLocks;
  return real(m);
}
#endif

// In a test, after its allocation checks: the lock check that follows cannot
// run in this build, so the test shows as skipped rather than passed.
#define VB_SKIP_LOCK_CHECK_IF_UNCOUNTED()                                                      \
  if (!vbtest_rt::kCountsLocks)                                                                \
  GTEST_SKIP() << "locks (and malloc) are not counted in a sanitizer build; only operator new " \
                  "was checked"

// Counts the allocations and locks of this thread during its lifetime.
class RealTimeProbe {
public:
  RealTimeProbe() {
    tAllocations = 0;
    tLocks = 0;
    tCounting = true;
  }
  ~RealTimeProbe() { tCounting = false; }
  RealTimeProbe(const RealTimeProbe&) = delete;
  RealTimeProbe& operator=(const RealTimeProbe&) = delete;
  int Allocations() const { return tAllocations; }
  int Locks() const { return tLocks; }
};
