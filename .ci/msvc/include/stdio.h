/* Wine 8's <stdio.h>, with the UCRT's C4996 deprecations (deprecations.h). */
#ifndef SLOT_LIST_CI_STDIO_H
#define SLOT_LIST_CI_STDIO_H
#include_next <stdio.h>
#include "deprecations.h"
#ifdef __cplusplus
extern "C" {
#endif
SLOT_LIST_CI_UNSAFE(fopen_s) _ACRTIMP FILE *__cdecl fopen(const char *, const char *);
SLOT_LIST_CI_UNSAFE(freopen_s) _ACRTIMP FILE *__cdecl freopen(const char *, const char *, FILE *);
SLOT_LIST_CI_UNSAFE(tmpnam_s) _ACRTIMP char *__cdecl tmpnam(char *);
#ifdef __cplusplus
}
#endif
#endif
