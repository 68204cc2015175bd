/* Stand-in for what Wine 8's <ctype.h> lacks next to the UCRT's: the _l
   classification functions libc++ calls. */
#ifndef SLOT_LIST_CI_CTYPE_H
#define SLOT_LIST_CI_CTYPE_H
#include_next <ctype.h>
#ifdef __cplusplus
extern "C" {
#endif
_ACRTIMP int __cdecl _islower_l(int, _locale_t), _isupper_l(int, _locale_t),
    _isdigit_l(int, _locale_t), _isxdigit_l(int, _locale_t), _isalpha_l(int, _locale_t),
    _isalnum_l(int, _locale_t), _ispunct_l(int, _locale_t), _iscntrl_l(int, _locale_t),
    _isgraph_l(int, _locale_t);
#ifdef __cplusplus
}
#endif
#endif
