// A stand-in for the static part of the Visual C++ runtime, which only Visual
// Studio ships (vcruntime's startup objects, the /GS cookie, atexit, operator
// new and delete): enough for a console program built by .ci/msvc.sh to link
// against Wine's DLLs (ucrtbase, vcruntime140, kernel32) and run under Wine.
// It is part of the CI's approximation of MSVC, not of the product.

// atexit is this file's, not the DLL's: the UCRT's headers declare it without
// dllimport, Wine's with, so this file takes the CRT's functions without the
// attribute (through the import library's thunks).
#define _ACRTIMP

#include <malloc.h>
#include <stdint.h>
#include <stdlib.h>

#include <new>

extern "C" {

// Tells the linker that floating point is used (the compiler refers to it).
int _fltused = 0x9875;

// The /GS cookie, fixed: these programs are tested, not defended.
#ifdef _WIN64
uintptr_t __security_cookie = 0x00002B992DDFA232ull;
#define SLOT_LIST_CI_FASTCALL
#else
uintptr_t __security_cookie = 0xBB40E64Eu;
#define SLOT_LIST_CI_FASTCALL __fastcall
#endif

void SLOT_LIST_CI_FASTCALL __security_check_cookie(uintptr_t cookie) {
    if (cookie != __security_cookie) {
        abort();
    }
}

// What the UCRT's DLL gives a program's startup code (corecrt_startup.h).
typedef void(__cdecl *InitFunction)(void);
typedef int(__cdecl *InitFunctionWithResult)(void);
void __cdecl _initterm(InitFunction *, InitFunction *);
int __cdecl _initterm_e(InitFunctionWithResult *, InitFunctionWithResult *);
void __cdecl _set_app_type(int);
int __cdecl _configure_narrow_argv(int);
int __cdecl _initialize_narrow_environment(void);
int *__cdecl __p___argc(void);
char ***__cdecl __p___argv(void);
int __cdecl _crt_atexit(InitFunction);

// Static constructors: the compiler puts them in .CRT$XCU, C initializers in
// .CRT$XIU; the linker orders the sections by name, between these bounds.
#pragma section(".CRT$XIA", long, read)
#pragma section(".CRT$XIZ", long, read)
#pragma section(".CRT$XCA", long, read)
#pragma section(".CRT$XCZ", long, read)
__declspec(allocate(".CRT$XIA")) InitFunctionWithResult FirstCInitializer[] = {nullptr};
__declspec(allocate(".CRT$XIZ")) InitFunctionWithResult LastCInitializer[] = {nullptr};
__declspec(allocate(".CRT$XCA")) InitFunction FirstCppInitializer[] = {nullptr};
__declspec(allocate(".CRT$XCZ")) InitFunction LastCppInitializer[] = {nullptr};
#pragma comment(linker, "/merge:.CRT=.rdata")

int atexit(InitFunction function) {
    return _crt_atexit(function);
}

int main(int, char **);

int mainCRTStartup(void) {
    _set_app_type(1);          // _crt_console_app
    _configure_narrow_argv(1); // _crt_argv_unexpanded_arguments
    _initialize_narrow_environment();
    if (_initterm_e(FirstCInitializer, LastCInitializer) != 0) {
        return 255;
    }
    _initterm(FirstCppInitializer, LastCppInitializer);
    exit(main(*__p___argc(), *__p___argv()));
}

} // extern "C"

static void *Allocate(size_t size) {
    return malloc(size == 0 ? 1 : size);
}
static void *AllocateAligned(size_t size, std::align_val_t alignment) {
    return _aligned_malloc(size == 0 ? 1 : size, static_cast<size_t>(alignment));
}
// Out of memory ends the program: no exceptions in these builds.
static void *Required(void *block) {
    if (block == nullptr) {
        abort();
    }
    return block;
}

// Every form of new, plain and over-aligned (libc++'s allocator names those):
// noexcept or not, the parameters after the size, and the allocation.
#define SLOT_LIST_CI_NEW(exceptions, allocation, ...)                                              \
    void *operator new(size_t size __VA_ARGS__) exceptions {                                       \
        return allocation;                                                                         \
    }                                                                                              \
    void *operator new[](size_t size __VA_ARGS__) exceptions {                                     \
        return allocation;                                                                         \
    }
SLOT_LIST_CI_NEW(, Required(Allocate(size)), )
SLOT_LIST_CI_NEW(noexcept, Allocate(size), , const std::nothrow_t &)
SLOT_LIST_CI_NEW(, Required(AllocateAligned(size, alignment)), , std::align_val_t alignment)
SLOT_LIST_CI_NEW(noexcept, AllocateAligned(size, alignment), , std::align_val_t alignment,
                 const std::nothrow_t &)

// Every form of delete, plain and over-aligned: the parameters after the
// block's (none, the size, nothrow), and the function that frees it.
#define SLOT_LIST_CI_DELETE(release, ...)                                                          \
    void operator delete(void *block __VA_ARGS__) noexcept {                                       \
        release(block);                                                                            \
    }                                                                                              \
    void operator delete[](void *block __VA_ARGS__) noexcept {                                     \
        release(block);                                                                            \
    }
SLOT_LIST_CI_DELETE(free, )
SLOT_LIST_CI_DELETE(free, , size_t)
SLOT_LIST_CI_DELETE(free, , const std::nothrow_t &)
SLOT_LIST_CI_DELETE(_aligned_free, , std::align_val_t)
SLOT_LIST_CI_DELETE(_aligned_free, , size_t, std::align_val_t)
SLOT_LIST_CI_DELETE(_aligned_free, , std::align_val_t, const std::nothrow_t &)
