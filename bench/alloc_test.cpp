// The per-frame work must not touch the heap: every allocation made by the program, by the C
// library on its behalf, or through operator new is counted here while frames run.
#include "framework.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

extern "C" {
void *__libc_malloc(size_t size);
void *__libc_calloc(size_t count, size_t size);
void *__libc_realloc(void *p, size_t size);
void __libc_free(void *p);
}

namespace {
std::atomic<bool> counting{false};
std::atomic<long> mallocs{0};  // malloc, calloc, realloc
std::atomic<long> news{0};     // every form of operator new
std::atomic<long> releases{0}; // free and operator delete of a live pointer

void countif(std::atomic<long> &counter) {
    if (counting.load(std::memory_order_relaxed)) counter.fetch_add(1, std::memory_order_relaxed);
}

void *newbytes(size_t size) {
    countif(news);
    void *p = __libc_malloc(size ? size : 1);
    if (!p) throw std::bad_alloc();
    return p;
}

void deletebytes(void *p) {
    if (p) countif(releases);
    __libc_free(p);
}
} // namespace

extern "C" void *malloc(size_t size) {
    countif(mallocs);
    return __libc_malloc(size);
}

extern "C" void *calloc(size_t count, size_t size) {
    countif(mallocs);
    return __libc_calloc(count, size);
}

extern "C" void *realloc(void *p, size_t size) {
    countif(mallocs);
    return __libc_realloc(p, size);
}

extern "C" void free(void *p) {
    if (p) countif(releases);
    __libc_free(p);
}

void *operator new(size_t size) {
    return newbytes(size);
}
void *operator new[](size_t size) {
    return newbytes(size);
}
void *operator new(size_t size, const std::nothrow_t &) noexcept {
    countif(news);
    return __libc_malloc(size ? size : 1);
}
void *operator new[](size_t size, const std::nothrow_t &) noexcept {
    countif(news);
    return __libc_malloc(size ? size : 1);
}
void operator delete(void *p) noexcept {
    deletebytes(p);
}
void operator delete[](void *p) noexcept {
    deletebytes(p);
}
void operator delete(void *p, size_t) noexcept {
    deletebytes(p);
}
void operator delete[](void *p, size_t) noexcept {
    deletebytes(p);
}
void operator delete(void *p, const std::nothrow_t &) noexcept {
    deletebytes(p);
}
void operator delete[](void *p, const std::nothrow_t &) noexcept {
    deletebytes(p);
}

namespace {
struct Counts {
    long mallocs, news, releases;
};

template <typename Body> Counts countduring(Body body) {
    mallocs = 0;
    news = 0;
    releases = 0;
    counting = true;
    body();
    counting = false;
    return {mallocs.load(), news.load(), releases.load()};
}

void *volatile kept; // keeps the compiler from dropping the probe allocations below

// A counter that never counts would pass the real test whatever the frame does.
TEST(AllocationCounter, SeesEveryKindOfAllocation) {
    Counts c = countduring([] {
        kept = malloc(16);
        free(kept);
        kept = calloc(4, 4);
        kept = realloc(kept, 64);
        free(kept);
        kept = new int(1);
        delete static_cast<int *>(kept);
        kept = new char[8];
        delete[] static_cast<char *>(kept);
    });
    EXPECT_EQ(c.mallocs, 3);
    EXPECT_EQ(c.news, 2);
    EXPECT_EQ(c.releases, 4);
}

// Thousands of frames cover every blink, the arm stretched and bent, loud and silent clip
// stretches, and the playback position wrapping round.
TEST(FrameWork, AllocatesNothingPerFrame) {
    static FrameWork work;
    setupframework(work, 128);
    for (int i = 0; i < 100; i++) stepframe(work);
    Counts c = countduring([] {
        for (int i = 0; i < 20000; i++) stepframe(work);
    });
    EXPECT_EQ(c.mallocs, 0);
    EXPECT_EQ(c.news, 0);
    EXPECT_EQ(c.releases, 0);
}
} // namespace
