/* Stand-in for what Wine 8's <time.h> lacks next to the UCRT's: struct timespec
   and timespec_get (C11). */
#ifndef SLOT_LIST_CI_TIME_H
#define SLOT_LIST_CI_TIME_H
#include_next <time.h>
#ifdef __cplusplus
extern "C" {
#endif
#ifndef _TIMESPEC_DEFINED
#define _TIMESPEC_DEFINED
struct timespec {
    time_t tv_sec;
    long tv_nsec;
};
#endif
#ifndef TIME_UTC
#define TIME_UTC 1
#endif
_ACRTIMP int __cdecl _timespec64_get(struct timespec *, int);
static __inline int __cdecl timespec_get(struct timespec *ts, int base) {
    return _timespec64_get(ts, base);
}
#ifdef __cplusplus
}
#endif
#endif
