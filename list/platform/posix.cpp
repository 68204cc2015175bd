// The platform layer on POSIX: the C heap and a recursive pthread mutex.

#include "platform/platform.h"

#include <pthread.h>
#include <stdlib.h>
#include <string.h>

#include <cstddef>
#include <cstdint>

struct ListLock {
    pthread_mutex_t Mutex;
};

namespace {

// realloc does not zero what it adds, so each block carries its size in a
// prefix; the prefix keeps the caller's part aligned like malloc's own.
constexpr size_t PrefixSize = alignof(std::max_align_t);

unsigned char *PrefixOf(void *block) {
    return static_cast<unsigned char *>(block) - PrefixSize;
}

uint32_t StoredSize(const unsigned char *prefix) {
    uint32_t size;
    memcpy(&size, prefix, sizeof size);
    return size;
}

void StoreSize(unsigned char *prefix, uint32_t size) {
    memcpy(prefix, &size, sizeof size);
}

// Bytes to ask the C library for, prefix included. 0 when that does not fit
// in a size_t: at 32 bits a size near 2^32 would wrap to a tiny block.
size_t WithPrefix(uint32_t size) {
    if (size > SIZE_MAX - PrefixSize) {
        return 0;
    }
    return PrefixSize + size;
}

} // namespace

void *PlatHeapAlloc(uint32_t size) {
    size_t total = WithPrefix(size);
    if (total == 0) {
        return nullptr;
    }
    auto *prefix = static_cast<unsigned char *>(calloc(1, total));
    if (prefix == nullptr) {
        return nullptr;
    }
    StoreSize(prefix, size);
    return prefix + PrefixSize;
}

void *PlatHeapReAlloc(void *block, uint32_t newSize) {
    size_t total = WithPrefix(newSize);
    if (total == 0) {
        return nullptr;
    }
    unsigned char *prefix = PrefixOf(block);
    uint32_t oldSize = StoredSize(prefix);
    auto *moved = static_cast<unsigned char *>(realloc(prefix, total));
    if (moved == nullptr) {
        return nullptr;
    }
    if (newSize > oldSize) {
        memset(moved + PrefixSize + oldSize, 0, newSize - oldSize);
    }
    StoreSize(moved, newSize);
    return moved + PrefixSize;
}

int PlatHeapFree(void *block) {
    if (block != nullptr) {
        free(PrefixOf(block));
    }
    return 1;
}

uint32_t PlatLockSize(void) {
    return sizeof(ListLock);
}

int PlatLockInit(ListLock *lock) {
    pthread_mutexattr_t attributes;
    if (pthread_mutexattr_init(&attributes) != 0) {
        return 0;
    }
    int made = pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE) == 0 &&
               pthread_mutex_init(&lock->Mutex, &attributes) == 0;
    pthread_mutexattr_destroy(&attributes);
    return made;
}

void PlatLockFini(ListLock *lock) {
    pthread_mutex_destroy(&lock->Mutex);
}

void PlatLockEnter(ListLock *lock) {
    pthread_mutex_lock(&lock->Mutex);
}

void PlatLockLeave(ListLock *lock) {
    pthread_mutex_unlock(&lock->Mutex);
}

int PlatLockTryEnter(ListLock *lock) {
    return pthread_mutex_trylock(&lock->Mutex) == 0;
}

void PlatMove(void *destination, const void *source, size_t length) {
    memmove(destination, source, length);
}

void PlatZero(void *destination, size_t length) {
    memset(destination, 0, length);
}
