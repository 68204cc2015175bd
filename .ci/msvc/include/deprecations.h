/* What the UCRT's headers mark deprecated (warning C4996 with MSVC) and Wine's
   do not: the CRT functions Visual C++ calls unsafe, unless
   _CRT_SECURE_NO_WARNINGS is defined. The string.h, stdio.h and stdlib.h
   stand-ins beside it declare those functions again, after Wine's headers, with
   this attribute, so that clang-cl warns where cl would
   (-Wdeprecated-declarations). The ones Wine defines inline (sprintf, sscanf,
   and the POSIX names such as strdup and fileno) cannot take the attribute
   after their definition and go unmarked. */
#ifndef SLOT_LIST_CI_DEPRECATIONS
#define SLOT_LIST_CI_DEPRECATIONS
#ifndef _CRT_SECURE_NO_WARNINGS
#define SLOT_LIST_CI_UNSAFE(instead)                                                               \
    __declspec(deprecated("C4996: this function may be unsafe; consider " #instead                 \
                          " instead (or define _CRT_SECURE_NO_WARNINGS)"))
#else
#define SLOT_LIST_CI_UNSAFE(instead)
#endif
#endif
