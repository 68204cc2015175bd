/* Wine 8's <math.h>, with what it lacks next to the UCRT's and libc++ names:
   the long double functions (long double is double with MSVC, and the UCRT
   defines them inline over the double ones), erfc, fma, nan and nexttoward.
   Part of the MSVC approximation of .ci/msvc.sh, not of the product. */
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

static __inline long double acosl(long double x) { return acos((double)x); }
static __inline long double asinl(long double x) { return asin((double)x); }
static __inline long double atanl(long double x) { return atan((double)x); }
static __inline long double ceill(long double x) { return ceil((double)x); }
static __inline long double cosl(long double x) { return cos((double)x); }
static __inline long double coshl(long double x) { return cosh((double)x); }
static __inline long double expl(long double x) { return exp((double)x); }
static __inline long double fabsl(long double x) { return fabs((double)x); }
static __inline long double floorl(long double x) { return floor((double)x); }
static __inline long double logl(long double x) { return log((double)x); }
static __inline long double log10l(long double x) { return log10((double)x); }
static __inline long double sinl(long double x) { return sin((double)x); }
static __inline long double sinhl(long double x) { return sinh((double)x); }
static __inline long double sqrtl(long double x) { return sqrt((double)x); }
static __inline long double tanl(long double x) { return tan((double)x); }
static __inline long double tanhl(long double x) { return tanh((double)x); }
static __inline long double acoshl(long double x) { return acosh((double)x); }
static __inline long double asinhl(long double x) { return asinh((double)x); }
static __inline long double atanhl(long double x) { return atanh((double)x); }
static __inline long double cbrtl(long double x) { return cbrt((double)x); }
static __inline long double erfl(long double x) { return erf((double)x); }
static __inline long double erfcl(long double x) { return erfc((double)x); }
static __inline long double exp2l(long double x) { return exp2((double)x); }
static __inline long double expm1l(long double x) { return expm1((double)x); }
static __inline long double lgammal(long double x) { return lgamma((double)x); }
static __inline long double log1pl(long double x) { return log1p((double)x); }
static __inline long double log2l(long double x) { return log2((double)x); }
static __inline long double logbl(long double x) { return logb((double)x); }
static __inline long double nearbyintl(long double x) { return nearbyint((double)x); }
static __inline long double rintl(long double x) { return rint((double)x); }
static __inline long double roundl(long double x) { return round((double)x); }
static __inline long double tgammal(long double x) { return tgamma((double)x); }
static __inline long double truncl(long double x) { return trunc((double)x); }
static __inline long double atan2l(long double x, long double y) { return atan2((double)x, (double)y); }
static __inline long double fmodl(long double x, long double y) { return fmod((double)x, (double)y); }
static __inline long double powl(long double x, long double y) { return pow((double)x, (double)y); }
static __inline long double copysignl(long double x, long double y) { return copysign((double)x, (double)y); }
static __inline long double fdiml(long double x, long double y) { return fdim((double)x, (double)y); }
static __inline long double fmaxl(long double x, long double y) { return fmax((double)x, (double)y); }
static __inline long double fminl(long double x, long double y) { return fmin((double)x, (double)y); }
static __inline long double hypotl(long double x, long double y) { return hypot((double)x, (double)y); }
static __inline long double nextafterl(long double x, long double y) { return nextafter((double)x, (double)y); }
static __inline long double remainderl(long double x, long double y) { return remainder((double)x, (double)y); }
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
