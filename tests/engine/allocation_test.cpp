// The seven chart exports and StrChartJson write their charts without a
// single heap allocation: this test binary's operator new counts the
// allocations made while a sample of charts of every method, flag and
// outcome is cast.
#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>
#if defined(_WIN32)
#include <malloc.h>
#endif

#include "exports/orv.h"

namespace {

std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

void* Allocate(std::size_t n, std::size_t alignment) {
  if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1, std::memory_order_relaxed);
  if (n == 0) n = 1;
  void* p = nullptr;
  if (alignment == 0) {
    p = std::malloc(n);
  } else {
#if defined(_WIN32)
    p = _aligned_malloc(n, alignment);  // the C runtime has no aligned_alloc
#else
    p = std::aligned_alloc(alignment, (n + alignment - 1) / alignment * alignment);
#endif
  }
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

// Frees what Allocate gave with an alignment.
void FreeAligned(void* p) noexcept {
#if defined(_WIN32)
  _aligned_free(p);
#else
  std::free(p);
#endif
}

}  // namespace

// Every allocating form of operator new comes here; the deleting forms free.
void* operator new(std::size_t n) { return Allocate(n, 0); }
void* operator new[](std::size_t n) { return Allocate(n, 0); }
void* operator new(std::size_t n, std::align_val_t a) {
  return Allocate(n, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t n, std::align_val_t a) {
  return Allocate(n, static_cast<std::size_t>(a));
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  try {
    return Allocate(n, 0);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
  try {
    return Allocate(n, 0);
  } catch (...) {
    return nullptr;
  }
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { FreeAligned(p); }
void operator delete[](void* p, std::align_val_t) noexcept { FreeAligned(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { FreeAligned(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { FreeAligned(p); }

namespace orv {
namespace {

// The allocations made while f runs.
template <typename F>
long AllocationsDuring(F&& f) {
  allocations = 0;
  counting = true;
  f();
  counting = false;
  return allocations.load();
}

// A question handler that answers without allocating, and counts.
std::atomic<int> questions{0};
int32_t ORV_CALL AnswerFirst(const char*) {
  ++questions;
  return 0;
}

TEST(Allocation, TheCountingAllocatorCounts) {
  const long counted = AllocationsDuring([] {
    std::vector<int> v(3);
    v.push_back(1);
  });
  EXPECT_GE(counted, 1);
}

// Every export and flag, solar and lunar dates, dates refused, the hours of
// Qimen and Liu Ren charts around a solar term (their questions answered by
// a handler), and charts as JSON into buffers that hold them and ones too
// short.
TEST(Allocation, NoExportAllocates) {
  std::vector<char> chart(ORV_ZIWEI_BUFFER_SIZE), json(32768);
  int written = 0;
  questions = 0;
  const long counted = AllocationsDuring([&] {
    const int32_t years[] = {1902, 1950, 1984, 2024, 2050};
    for (const int32_t year : years) {
      for (int32_t month = 1; month <= 12; month += 5) {
        for (int32_t hour = 0; hour < 24; hour += 7) {
          for (uint8_t solar = 0; solar <= 1; ++solar) {
            for (uint8_t flag = 0; flag <= 1; ++flag) {
              char* b = chart.data();
              written += StrBazi(solar, 0, flag, year, month, 3, hour, b) == 0;
              written += StrZiwei(solar, 0, flag, year, month, 3, hour, b) == 0;
              written +=
                  StrLiuyao(3, 2, 1, 0, 1, 2, solar, 0, flag, year, month, 3, hour, b) == 0;
              written +=
                  StrLiuyaoL(0, 1, 2, 3, 0, 1, solar, 0, flag, year, month, 3, hour, b) == 0;
              written += StrQimen(solar, 0, flag, flag ? 7 : -1, year, month, 3, hour, b) == 0;
              written += Str6Ren(solar, 0, flag, year, month, 3, hour, b, flag, flag,
                                 static_cast<uint8_t>(1 - flag), flag ? 1960 : -1) == 0;
            }
          }
        }
      }
    }
    for (int32_t period = 0; period < 9; ++period)
      for (int32_t mountain = 0; mountain < 24; mountain += 5)
        written +=
            StrXuankong(period, mountain, static_cast<uint8_t>(period & 1), chart.data()) == 0;
    // Refused: no such solar day, no such lunar day.
    StrBazi(1, 0, 1, 2023, 2, 29, 0, chart.data());
    StrZiwei(0, 1, 1, 2023, 1, 30, 0, chart.data());

    // The days around 立春 2024 (4 February, 16:27), every hour, with the
    // question handler installed.
    SetQuestionHandler(&AnswerFirst);
    for (int32_t day = 3; day <= 5; ++day) {
      for (int32_t hour = 0; hour < 24; ++hour) {
        written += StrQimen(1, 0, static_cast<uint8_t>(hour & 1), -1, 2024, 2, day, hour,
                            chart.data()) == 0;
        written += Str6Ren(1, 0, 1, 2024, 2, day, hour, chart.data(), 2, 1, 1, -1) == 0;
      }
    }
    SetQuestionHandler(nullptr);

    // As JSON, every method, into a buffer with room and into a short one.
    for (int32_t method = ORV_METHOD_BAZI; method <= ORV_METHOD_XUANKONG; ++method) {
      for (const int32_t size : {32768, 100}) {
        OrvChartRequest r;
        std::memset(&r, 0, sizeof r);
        r.size = sizeof r;
        r.method = method;
        r.solar = 1;
        r.year = 1984;
        r.month = 2;
        r.day = 4;
        r.hour = 23;
        r.minute = 18;
        r.second = 44;
        r.male = 1;
        r.period = 8;
        r.mountain = 3;
        r.xiagua = 1;
        written += StrChartJson(&r, json.data(), size) > 0;
      }
    }
  });
  EXPECT_EQ(counted, 0);
  EXPECT_GT(written, 1000);
  EXPECT_GT(questions.load(), 0);  // the handler's path was taken
}

}  // namespace
}  // namespace orv
