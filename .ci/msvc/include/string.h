/* Wine 8's <string.h>, with the UCRT's C4996 deprecations (deprecations.h). */
#ifndef SLOT_LIST_CI_STRING_H
#define SLOT_LIST_CI_STRING_H
#include_next <string.h>
#include "deprecations.h"
#ifdef __cplusplus
extern "C" {
#endif
SLOT_LIST_CI_UNSAFE(strcpy_s) _ACRTIMP char *__cdecl strcpy(char *, const char *);
SLOT_LIST_CI_UNSAFE(strcat_s) _ACRTIMP char *__cdecl strcat(char *, const char *);
SLOT_LIST_CI_UNSAFE(strncpy_s) _ACRTIMP char *__cdecl strncpy(char *, const char *, size_t);
SLOT_LIST_CI_UNSAFE(strncat_s) _ACRTIMP char *__cdecl strncat(char *, const char *, size_t);
SLOT_LIST_CI_UNSAFE(strtok_s) _ACRTIMP char *__cdecl strtok(char *, const char *);
SLOT_LIST_CI_UNSAFE(strerror_s) _ACRTIMP char *__cdecl strerror(int);
#ifdef __cplusplus
}
#endif
#endif
