// The process heap as the list sees it, on every platform. Small blocks live
// on the C runtime's heap. A block that grows to the map threshold
// moves once into pages of its own, with address space reserved ahead of it:
// later growths within the reservation neither copy nor call the system, and
// past it the reservation is extended in place by the system where it can
// (Linux), or replaced by a larger one and copied once. Because reservations
// grow geometrically, the bytes copied per byte of growth stay bounded
// however several blocks interleave their growths. Released blocks' pages are
// kept for reuse up to a bound, as a C heap keeps freed memory: fresh pages
// cost a fault each on first touch, which a list created and filled again and
// again would otherwise pay every time.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/platform.h"

namespace slot_list::internal {

namespace {

// Every block starts with this record; the caller's bytes follow it.
struct Prefix {
    size_t Reserved;  // address space of the block's own pages, prefix included; 0 on the C heap
    size_t Committed; // bytes from the start of those pages that are usable
    size_t HighWater; // bytes of the block ever in use: past them the pages were never touched
    uint32_t Size;    // bytes the caller asked for
};

// A multiple of malloc's alignment keeps the caller's part aligned like malloc's.
constexpr size_t PrefixSize = (sizeof(Prefix) + alignof(std::max_align_t) - 1) /
                              alignof(std::max_align_t) * alignof(std::max_align_t);

std::atomic<uint64_t> BytesCopied{0};

size_t MapThreshold = PlatHeapDefaultMapThreshold;

// The calls in use: the system's unless a test has put others in. Plain
// constant-initialised state, so that the library needs nothing of the C++
// runtime (C programs link it with a C compiler).
PlatMapCalls InstalledCalls;
const PlatMapCalls *CurrentCalls = &PlatSystemMapCalls;

const PlatMapCalls &MapCalls() {
    return *CurrentCalls;
}

Prefix *PrefixOf(void *block) {
    return reinterpret_cast<Prefix *>(static_cast<unsigned char *>(block) - PrefixSize);
}

unsigned char *BlockOf(Prefix *prefix) {
    return reinterpret_cast<unsigned char *>(prefix) + PrefixSize;
}

// a + b into *sum; false when it does not fit in a size_t.
bool AddSizes(size_t a, size_t b, size_t *sum) {
    if (a > SIZE_MAX - b) {
        return false;
    }
    *sum = a + b;
    return true;
}

// The system's page size, asked once; every thread that finds it unset
// stores the same value.
std::atomic<size_t> KnownPageSize{0};

size_t PageSize() {
    size_t page = KnownPageSize.load(std::memory_order_relaxed);
    if (page == 0) {
        page = PlatPageSize();
        KnownPageSize.store(page, std::memory_order_relaxed);
    }
    return page;
}

// bytes rounded up to whole pages; 0 when that does not fit in a size_t.
size_t WholePages(size_t bytes) {
    size_t page = PageSize();
    size_t padded;
    if (!AddSizes(bytes, page - 1, &padded)) {
        return 0;
    }
    return padded / page * page;
}

// Address space to reserve for a block of total bytes. Doubling keeps the
// copies of the fallback bounded by the growth itself. At 32 bits, where
// address space is scarce, a block past CautiousFrom reserves only half again
// (copies stay bounded, by a larger constant). 0 when not even total fits.
constexpr size_t CautiousFrom = size_t{16} << 20;

size_t ReservationFor(size_t total) {
    size_t ahead = sizeof(void *) >= 8 || total <= CautiousFrom ? total : total / 2;
    size_t wanted;
    size_t reserve = AddSizes(total, ahead, &wanted) ? WholePages(wanted) : 0;
    return reserve != 0 ? reserve : WholePages(total);
}

// Makes the first total bytes of a mapped block usable, committing ahead
// geometrically so that most growths need no system call. False, with
// nothing changed, when the system refuses.
bool CommitFor(Prefix *prefix, size_t total) {
    if (total <= prefix->Committed) {
        return true;
    }
    size_t wanted = WholePages(total);
    size_t doubled;
    if (AddSizes(prefix->Committed, prefix->Committed, &doubled) && doubled > wanted) {
        wanted = doubled;
    }
    if (wanted > prefix->Reserved) {
        wanted = prefix->Reserved;
    }
    if (!MapCalls().Commit(prefix, wanted)) {
        return false;
    }
    prefix->Committed = wanted;
    return true;
}

// Released mapped blocks kept for reuse. Bytes counts what they hold in
// touched pages (prefix and high water mark), which is what they cost.
struct Cache {
    std::atomic_flag Busy = ATOMIC_FLAG_INIT; // held for a scan of Blocks, never longer
    Prefix *Blocks[16] = {};
    size_t Count = 0;
    size_t Bytes = 0;
    size_t Limit = PlatHeapDefaultCacheLimit;
};

Cache KeptBlocks;

// Holds the cache for its lifetime.
class CacheHold {
  public:
    CacheHold() {
        while (KeptBlocks.Busy.test_and_set(std::memory_order_acquire)) {
        }
    }
    ~CacheHold() { KeptBlocks.Busy.clear(std::memory_order_release); }
    CacheHold(const CacheHold &) = delete;
    CacheHold &operator=(const CacheHold &) = delete;
};

size_t TouchedBytes(const Prefix *prefix) {
    return PrefixSize + prefix->HighWater;
}

// Takes the smallest kept block whose reservation holds total bytes, or NULL.
Prefix *TakeKept(size_t total) {
    Cache &cache = KeptBlocks;
    CacheHold hold;
    size_t best = cache.Count;
    for (size_t i = 0; i < cache.Count; i++) {
        if (cache.Blocks[i]->Reserved >= total &&
            (best == cache.Count || cache.Blocks[i]->Reserved < cache.Blocks[best]->Reserved)) {
            best = i;
        }
    }
    if (best == cache.Count) {
        return nullptr;
    }
    Prefix *prefix = cache.Blocks[best];
    cache.Blocks[best] = cache.Blocks[--cache.Count];
    cache.Bytes -= TouchedBytes(prefix);
    return prefix;
}

// Keeps a released block when the cache has room; false when it has none.
bool Keep(Prefix *prefix) {
    Cache &cache = KeptBlocks;
    CacheHold hold;
    size_t bytes = TouchedBytes(prefix);
    if (cache.Count == sizeof cache.Blocks / sizeof cache.Blocks[0] ||
        bytes > cache.Limit - cache.Bytes) {
        return false;
    }
    cache.Blocks[cache.Count++] = prefix;
    cache.Bytes += bytes;
    return true;
}

// A kept block made ready for a caller size of size bytes within total: the
// bytes it will hand out are cleared now, and those past them when growth
// reaches them. NULL when none fits or its pages cannot be committed.
Prefix *ReuseKept(size_t total, uint32_t size) {
    Prefix *prefix = TakeKept(total);
    if (prefix == nullptr) {
        return nullptr;
    }
    if (MapCalls().Commit != nullptr && !CommitFor(prefix, total)) {
        MapCalls().Release(prefix, prefix->Reserved);
        return nullptr;
    }
    std::memset(BlockOf(prefix), 0, size < prefix->HighWater ? size : prefix->HighWater);
    if (size > prefix->HighWater) {
        prefix->HighWater = size;
    }
    prefix->Size = size;
    return prefix;
}

// A mapped block with room for total bytes, its prefix set for a caller size
// of size bytes, all zero; NULL when the system refuses.
Prefix *MapBlock(size_t total, uint32_t size) {
    Prefix *kept = ReuseKept(total, size);
    if (kept != nullptr) {
        return kept;
    }
    const PlatMapCalls &calls = MapCalls();
    size_t reserve = ReservationFor(total);
    if (reserve == 0) {
        return nullptr;
    }
    auto *prefix = static_cast<Prefix *>(calls.Reserve(reserve));
    if (prefix == nullptr) {
        return nullptr;
    }
    size_t committed = reserve;
    if (calls.Commit != nullptr) {
        committed = WholePages(total);
        if (!calls.Commit(prefix, committed)) {
            calls.Release(prefix, reserve);
            return nullptr;
        }
    }
    prefix->Reserved = reserve;
    prefix->Committed = committed;
    prefix->HighWater = size;
    prefix->Size = size;
    return prefix;
}

// Sets a mapped block's size to newSize within its usable pages. Bytes a
// shrink left behind are cleared when they come back; pages past the high
// water mark were never touched and are still zero.
void Resize(Prefix *prefix, uint32_t newSize) {
    if (newSize > prefix->Size) {
        size_t dirtyEnd = newSize < prefix->HighWater ? newSize : prefix->HighWater;
        if (dirtyEnd > prefix->Size) {
            std::memset(BlockOf(prefix) + prefix->Size, 0, dirtyEnd - prefix->Size);
        }
        if (newSize > prefix->HighWater) {
            prefix->HighWater = newSize;
        }
    }
    prefix->Size = newSize;
}

// Copies the caller's bytes of from into the fresh mapped block to, which
// holds newSize bytes.
void CopyInto(Prefix *to, Prefix *from, uint32_t newSize) {
    size_t kept = from->Size < newSize ? from->Size : newSize;
    std::memcpy(BlockOf(to), BlockOf(from), kept);
    BytesCopied.fetch_add(kept, std::memory_order_relaxed);
}

// Growth of a block on the C heap to total bytes, which no longer fit there.
void *MoveToPages(Prefix *prefix, size_t total, uint32_t newSize) {
    Prefix *mapped = MapBlock(total, newSize);
    if (mapped == nullptr) {
        return nullptr;
    }
    CopyInto(mapped, prefix, newSize);
    if (!PlatSmallFree(prefix)) {
        MapCalls().Release(mapped, mapped->Reserved);
        return nullptr;
    }
    return BlockOf(mapped);
}

// Resizes a mapped block past its reservation.
void *GrowPages(Prefix *prefix, size_t total, uint32_t newSize) {
    const PlatMapCalls &calls = MapCalls();
    size_t reserve = ReservationFor(total);
    if (reserve == 0) {
        return nullptr;
    }
    if (calls.Extend != nullptr) {
        auto *moved = static_cast<Prefix *>(calls.Extend(prefix, prefix->Reserved, reserve));
        if (moved == nullptr) {
            return nullptr;
        }
        // Extend is offered only where reserved pages are usable at once.
        moved->Reserved = reserve;
        moved->Committed = reserve;
        Resize(moved, newSize);
        return BlockOf(moved);
    }
    Prefix *mapped = MapBlock(total, newSize);
    if (mapped == nullptr) {
        return nullptr;
    }
    CopyInto(mapped, prefix, newSize);
    if (!calls.Release(prefix, prefix->Reserved)) {
        // Refused: keep the old block as it was and give the new one back.
        calls.Release(mapped, mapped->Reserved);
        return nullptr;
    }
    return BlockOf(mapped);
}

// The size with the prefix, at the width of size_t; 0 when it does not fit
// (at 32 bits a size near 2^32 would otherwise wrap to a tiny block).
size_t WithPrefix(uint32_t size) {
    size_t total;
    return AddSizes(PrefixSize, size, &total) ? total : 0;
}

} // namespace

void *PlatHeapAlloc(uint32_t size) {
    size_t total = WithPrefix(size);
    if (total == 0) {
        return nullptr;
    }
    if (total >= MapThreshold) {
        Prefix *mapped = MapBlock(total, size);
        return mapped == nullptr ? nullptr : BlockOf(mapped);
    }
    auto *prefix = static_cast<Prefix *>(PlatSmallAlloc(total));
    if (prefix == nullptr) {
        return nullptr;
    }
    prefix->Size = size;
    return BlockOf(prefix);
}

void *PlatHeapReAlloc(void *block, uint32_t newSize) {
    size_t total = WithPrefix(newSize);
    if (total == 0) {
        return nullptr;
    }
    Prefix *prefix = PrefixOf(block);
    if (prefix->Reserved == 0) {
        if (total >= MapThreshold) {
            return MoveToPages(prefix, total, newSize);
        }
        auto *moved =
            static_cast<Prefix *>(PlatSmallReAlloc(prefix, PrefixSize + prefix->Size, total));
        if (moved == nullptr) {
            return nullptr;
        }
        moved->Size = newSize;
        return BlockOf(moved);
    }
    if (total > prefix->Reserved) {
        return GrowPages(prefix, total, newSize);
    }
    if (MapCalls().Commit != nullptr && !CommitFor(prefix, total)) {
        return nullptr;
    }
    Resize(prefix, newSize);
    return block;
}

int PlatHeapFree(void *block) {
    if (block == nullptr) {
        return 1;
    }
    Prefix *prefix = PrefixOf(block);
    if (prefix->Reserved != 0) {
        return Keep(prefix) || MapCalls().Release(prefix, prefix->Reserved);
    }
    return PlatSmallFree(prefix);
}

void PlatHeapSetMapThreshold(size_t bytes) {
    MapThreshold = bytes;
}

void PlatHeapSetCacheLimit(size_t bytes) {
    Cache &cache = KeptBlocks;
    Prefix *released[sizeof cache.Blocks / sizeof cache.Blocks[0]];
    size_t count = 0;
    {
        CacheHold hold;
        cache.Limit = bytes;
        while (cache.Count > 0 && cache.Bytes > bytes) {
            Prefix *prefix = cache.Blocks[--cache.Count];
            cache.Bytes -= TouchedBytes(prefix);
            released[count++] = prefix;
        }
    }
    for (size_t i = 0; i < count; i++) {
        MapCalls().Release(released[i], released[i]->Reserved);
    }
}

uint64_t PlatHeapBytesCopied() {
    return BytesCopied.load(std::memory_order_relaxed);
}

void PlatSetMapCalls(const PlatMapCalls *calls) {
    if (calls == nullptr) {
        CurrentCalls = &PlatSystemMapCalls;
        return;
    }
    InstalledCalls = *calls;
    CurrentCalls = &InstalledCalls;
}

void PlatGetMapCalls(PlatMapCalls *calls) {
    *calls = MapCalls();
}

} // namespace slot_list::internal
