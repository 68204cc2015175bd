/*
 * slot_list_export.h - SLOT_LIST_API, which marks the functions a shared build
 * of the library exports.
 *
 * A shared build compiles the library with hidden symbols and SLOT_LIST_BUILDING
 * defined, and hands SLOT_LIST_SHARED to its users (the CMake target and the
 * pkg-config file do so); on Windows that selects dllexport for the library and
 * dllimport for its users. A static build needs neither define.
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
#elif defined(__GNUC__)
#define SLOT_LIST_API __attribute__((visibility("default")))
#else
#define SLOT_LIST_API
#endif

#endif /* SLOT_LIST_EXPORT_H */
