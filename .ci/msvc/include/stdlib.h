/* Wine 8's <stdlib.h>, with what it lacks next to the UCRT's (MB_CUR_MAX,
   _strtod_l) and the UCRT's C4996 deprecations (deprecations.h). */
#ifndef SLOT_LIST_CI_STDLIB_H
#define SLOT_LIST_CI_STDLIB_H
#include_next <stdlib.h>
#include "deprecations.h"
#ifdef __cplusplus
extern "C" {
#endif
#ifndef MB_CUR_MAX
#define MB_CUR_MAX ___mb_cur_max_func()
#endif
_ACRTIMP double __cdecl _strtod_l(const char *, char **, _locale_t);
_ACRTIMP float __cdecl _strtof_l(const char *, char **, _locale_t);
SLOT_LIST_CI_UNSAFE(_dupenv_s) _ACRTIMP char *__cdecl getenv(const char *);
SLOT_LIST_CI_UNSAFE(mbstowcs_s) _ACRTIMP size_t __cdecl mbstowcs(wchar_t *, const char *, size_t);
SLOT_LIST_CI_UNSAFE(wcstombs_s) _ACRTIMP size_t __cdecl wcstombs(char *, const wchar_t *, size_t);
#ifdef __cplusplus
}
#endif
#endif
