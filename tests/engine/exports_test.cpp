// The exports, called through liborv.so loaded by file name, as the desktop
// program calls them.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "exports/orv.h"

namespace {

class Library : public testing::Test {
 protected:
  void SetUp() override {
    handle_ = dlopen(ORV_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << dlerror();
  }
  void TearDown() override {
    if (handle_) dlclose(handle_);
  }
  template <typename F>
  F* Get(const char* name) {
    return reinterpret_cast<F*>(dlsym(handle_, name));
  }
  void* handle_ = nullptr;
};

using DatedFn = decltype(&StrBazi);

TEST_F(Library, ExportsAreFoundByName) {
  for (const char* name :
       {"StrBazi", "StrZiwei", "StrLiuyao", "StrLiuyaoL", "StrQimen", "Str6Ren", "StrXuankong",
        "StrChartJson", "StrChartText", "SetQuestionHandler"})
    EXPECT_NE(dlsym(handle_, name), nullptr) << name;
  EXPECT_EQ(dlsym(handle_, "_ZN3orv11ResolveDateEbbiiiiiRd"), nullptr);
}

// Every dated export, with its date block and the rest filled in.
struct DatedCall {
  const char* name;
  int (*call)(void* fn, uint8_t solar, uint8_t leap, int y, int m, int d, int h, char* buf);
};

const DatedCall kDatedCalls[] = {
    {"StrBazi", [](void* f, uint8_t s, uint8_t l, int y, int m, int d, int h, char* b) {
       return reinterpret_cast<decltype(&StrBazi)>(f)(s, l, 1, y, m, d, h, b);
     }},
    {"StrZiwei", [](void* f, uint8_t s, uint8_t l, int y, int m, int d, int h, char* b) {
       return reinterpret_cast<decltype(&StrZiwei)>(f)(s, l, 0, y, m, d, h, b);
     }},
    {"StrLiuyao", [](void* f, uint8_t s, uint8_t l, int y, int m, int d, int h, char* b) {
       return reinterpret_cast<decltype(&StrLiuyao)>(f)(1, 0, 3, 2, 1, 0, s, l, 1, y, m, d, h, b);
     }},
    {"StrLiuyaoL", [](void* f, uint8_t s, uint8_t l, int y, int m, int d, int h, char* b) {
       return reinterpret_cast<decltype(&StrLiuyaoL)>(f)(1, 1, 1, 1, 1, 1, s, l, 0, y, m, d, h, b);
     }},
    {"StrQimen", [](void* f, uint8_t s, uint8_t l, int y, int m, int d, int h, char* b) {
       return reinterpret_cast<decltype(&StrQimen)>(f)(s, l, 0, -1, y, m, d, h, b);
     }},
    {"Str6Ren", [](void* f, uint8_t s, uint8_t l, int y, int m, int d, int h, char* b) {
       return reinterpret_cast<decltype(&Str6Ren)>(f)(s, l, 1, y, m, d, h, b, 1, 0, 0, -1);
     }},
};

TEST_F(Library, ResultCodesAndUntouchedBuffers) {
  struct {
    uint8_t solar, leap;
    int y, m, d, h;
    int code;
  } cases[] = {
      {1, 0, 1984, 2, 4, 12, 0},
      {7, 0, 1984, 2, 4, 12, 0},     // any nonzero flag is true
      {1, 0, 2001, 2, 29, 12, 1},
      {1, 0, 1984, 2, 4, 24, 1},
      {1, 0, 1899, 12, 31, 0, 1},
      {1, 0, 2051, 1, 1, 0, 1},
      {0, 0, 1984, 1, 3, 12, 0},
      {0, 1, 2023, 2, 1, 12, 0},
      {0, 9, 2023, 3, 1, 12, 2},     // no leap third month in 2023
      {0, 0, 2023, 1, 30, 12, 2},    // a 29-day month
      {0, 0, 2023, 13, 1, 12, 2},
      {0, 0, 1901, 1, 1, 12, 2},
  };
  for (const DatedCall& call : kDatedCalls) {
    void* fn = dlsym(handle_, call.name);
    ASSERT_NE(fn, nullptr) << call.name;
    for (const auto& c : cases) {
      SCOPED_TRACE(testing::Message() << call.name << " " << int(c.solar) << int(c.leap) << " "
                                      << c.y << "-" << c.m << "-" << c.d << " " << c.h);
      std::vector<char> buffer(4100, '\x55');
      EXPECT_EQ(call.call(fn, c.solar, c.leap, c.y, c.m, c.d, c.h, buffer.data()), c.code);
      if (c.code != 0) {
        for (char byte : buffer) ASSERT_EQ(byte, '\x55');
      } else {
        const std::string text(buffer.data());
        const std::size_t limit = std::string(call.name) == "StrZiwei" ? ORV_ZIWEI_BUFFER_SIZE : ORV_CHART_BUFFER_SIZE;
        EXPECT_LT(text.size(), limit);
      }
    }
  }
}

// A chart for every period 0-8 and mountain 0-23 (ten lines of 26 bytes), an
// empty text outside them; 0 either way, nothing written past the zero.
TEST_F(Library, XuankongAlwaysAnswersZero) {
  auto* fn = Get<decltype(StrXuankong)>("StrXuankong");
  ASSERT_NE(fn, nullptr);
  for (int period : {-1, 0, 4, 8, 9})
    for (int mountain : {-1, 0, 13, 23, 24})
      for (uint8_t kind : std::initializer_list<uint8_t>{0, 1, 2}) {
        SCOPED_TRACE(testing::Message() << period << " " << mountain << " " << int(kind));
        std::vector<char> buffer(ORV_CHART_BUFFER_SIZE, '\x55');
        EXPECT_EQ(fn(period, mountain, kind, buffer.data()), 0);
        const void* zero = std::memchr(buffer.data(), 0, buffer.size());
        ASSERT_NE(zero, nullptr);
        const std::size_t length = static_cast<const char*>(zero) - buffer.data();
        const bool inRange = period >= 0 && period <= 8 && mountain >= 0 && mountain <= 23;
        EXPECT_EQ(length, inRange ? 10u * 26 + 9 * 2 : 0u);
        for (std::size_t i = length + 1; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], '\x55') << i;
      }
}

}  // namespace
