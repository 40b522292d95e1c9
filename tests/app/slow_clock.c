/* Preloaded into vesk by the smooth-edges test: CLOCK_MONOTONIC runs a thousand times
   slower from its first reading on. The recording's first frame turns the globe by the
   time its start-up took; slowed down, that is next to nothing in every run, so runs
   of different sizes record the same spin angles. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <time.h>

static int (*real_clock_gettime)(clockid_t, struct timespec*);
static long long origin = -1;

int clock_gettime(clockid_t id, struct timespec* now) {
  if (!real_clock_gettime) real_clock_gettime = (int (*)(clockid_t, struct timespec*))dlsym(RTLD_NEXT, "clock_gettime");
  int result = real_clock_gettime(id, now);
  if (result != 0 || id != CLOCK_MONOTONIC) return result;
  long long ns = now->tv_sec * 1000000000LL + now->tv_nsec;
  long long unset = -1;
  __atomic_compare_exchange_n(&origin, &unset, ns, 0, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
  long long slowed = origin + (ns - origin) / 1000;
  now->tv_sec = slowed / 1000000000LL;
  now->tv_nsec = slowed % 1000000000LL;
  return 0;
}
