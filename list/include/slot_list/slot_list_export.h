/*
 * slot_list_export.h - SLOT_LIST_API, which marks the functions a shared build
 * of the library exports.
 *
 * The library is always compiled with hidden symbols. A shared build defines
 * SLOT_LIST_BUILDING for the library's own sources and hands SLOT_LIST_SHARED
 * to its users (the CMake target and the pkg-config file do so): that selects
 * default visibility, or on Windows dllexport for the library and dllimport for
 * its users. A static build defines neither, so SLOT_LIST_API is empty and the
 * List* functions stay hidden too: a shared object that links the static
 * library exports nothing of it.
 *
 * Plain C99 and C++.
 */
#ifndef SLOT_LIST_EXPORT_H
#define SLOT_LIST_EXPORT_H

#if defined(_WIN32) || defined(__CYGWIN__)
#if defined(SLOT_LIST_BUILDING)
#define SLOT_LIST_API __declspec(dllexport)
#elif defined(SLOT_LIST_SHARED)
#define SLOT_LIST_API __declspec(dllimport)
#else
#define SLOT_LIST_API
#endif
#elif defined(__GNUC__) && (defined(SLOT_LIST_BUILDING) || defined(SLOT_LIST_SHARED))
#define SLOT_LIST_API __attribute__((visibility("default")))
#else
#define SLOT_LIST_API
#endif

#endif /* SLOT_LIST_EXPORT_H */
