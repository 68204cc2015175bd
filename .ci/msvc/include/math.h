/* Wine 8's <math.h>, with what it lacks next to the UCRT's and libc++ names:
   the long double functions (long double is double with MSVC, and the UCRT
   defines them inline over the double ones), erfc, fma, nan and nexttoward. */
#ifndef SLOT_LIST_CI_MATH_H
#define SLOT_LIST_CI_MATH_H
#include_next <math.h>
#ifdef __cplusplus
extern "C" {
#endif
// clang-format off
_ACRTIMP double __cdecl erfc(double);
_ACRTIMP float __cdecl erfcf(float);
static __inline double fma(double x, double y, double z) { return __builtin_fma(x, y, z); }
static __inline float fmaf(float x, float y, float z) { return __builtin_fmaf(x, y, z); }
static __inline double nan(const char *tag) { (void)tag; return __builtin_nan(""); }
static __inline float nanf(const char *tag) { (void)tag; return __builtin_nanf(""); }
static __inline double nexttoward(double x, long double y) { return nextafter(x, (double)y); }
static __inline float nexttowardf(float x, long double y) { return nextafterf(x, (float)y); }

/* The long double form of a function of one or two doubles. */
#define SLOT_LIST_CI_L1(f) static __inline long double f##l(long double x) { return f((double)x); }
#define SLOT_LIST_CI_L2(f) static __inline long double f##l(long double x, long double y) { return f((double)x, (double)y); }
SLOT_LIST_CI_L1(acos) SLOT_LIST_CI_L1(asin) SLOT_LIST_CI_L1(atan) SLOT_LIST_CI_L1(ceil)
SLOT_LIST_CI_L1(cos) SLOT_LIST_CI_L1(cosh) SLOT_LIST_CI_L1(exp) SLOT_LIST_CI_L1(fabs)
SLOT_LIST_CI_L1(floor) SLOT_LIST_CI_L1(log) SLOT_LIST_CI_L1(log10) SLOT_LIST_CI_L1(sin)
SLOT_LIST_CI_L1(sinh) SLOT_LIST_CI_L1(sqrt) SLOT_LIST_CI_L1(tan) SLOT_LIST_CI_L1(tanh)
SLOT_LIST_CI_L1(acosh) SLOT_LIST_CI_L1(asinh) SLOT_LIST_CI_L1(atanh) SLOT_LIST_CI_L1(cbrt)
SLOT_LIST_CI_L1(erf) SLOT_LIST_CI_L1(erfc) SLOT_LIST_CI_L1(exp2) SLOT_LIST_CI_L1(expm1)
SLOT_LIST_CI_L1(lgamma) SLOT_LIST_CI_L1(log1p) SLOT_LIST_CI_L1(log2) SLOT_LIST_CI_L1(logb)
SLOT_LIST_CI_L1(nearbyint) SLOT_LIST_CI_L1(rint) SLOT_LIST_CI_L1(round) SLOT_LIST_CI_L1(tgamma)
SLOT_LIST_CI_L1(trunc)
SLOT_LIST_CI_L2(atan2) SLOT_LIST_CI_L2(fmod) SLOT_LIST_CI_L2(pow) SLOT_LIST_CI_L2(copysign)
SLOT_LIST_CI_L2(fdim) SLOT_LIST_CI_L2(fmax) SLOT_LIST_CI_L2(fmin) SLOT_LIST_CI_L2(hypot)
SLOT_LIST_CI_L2(nextafter) SLOT_LIST_CI_L2(remainder)
#undef SLOT_LIST_CI_L1
#undef SLOT_LIST_CI_L2
static __inline long double fmal(long double x, long double y, long double z) { return fma((double)x, (double)y, (double)z); }
static __inline long double frexpl(long double x, int *e) { return frexp((double)x, e); }
static __inline long double ldexpl(long double x, int e) { return ldexp((double)x, e); }
static __inline long double modfl(long double x, long double *i) { double d; double r = modf((double)x, &d); *i = d; return r; }
static __inline int ilogbl(long double x) { return ilogb((double)x); }
static __inline long lrintl(long double x) { return lrint((double)x); }
static __inline long long llrintl(long double x) { return llrint((double)x); }
static __inline long lroundl(long double x) { return lround((double)x); }
static __inline long long llroundl(long double x) { return llround((double)x); }
static __inline long double nanl(const char *tag) { return nan(tag); }
static __inline long double nexttowardl(long double x, long double y) { return nextafter((double)x, (double)y); }
static __inline long double remquol(long double x, long double y, int *q) { return remquo((double)x, (double)y, q); }
static __inline long double scalblnl(long double x, long n) { return scalbln((double)x, n); }
static __inline long double scalbnl(long double x, int n) { return scalbn((double)x, n); }
// clang-format on
#ifdef __cplusplus
}
#endif
#endif
