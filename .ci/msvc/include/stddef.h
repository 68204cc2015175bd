/* Stand-in for what Wine 8's <stddef.h> lacks next to the UCRT's: max_align_t. */
#ifndef SLOT_LIST_CI_STDDEF_H
#define SLOT_LIST_CI_STDDEF_H
#include_next <stddef.h>
#if !defined(__cplusplus) || __cplusplus >= 201103L
typedef double max_align_t; /* as the UCRT has it */
#endif
#endif
