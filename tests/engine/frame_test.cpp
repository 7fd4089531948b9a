#include "exports/frame.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "calendar/dates.h"
#include "calendar/text_writer.h"

namespace orv {
namespace {

// What a resolution that fails leaves as it was.
const Moment kUntouched = EncodeDate(1, 1, 1);

TEST(ResolveDate, SolarInput) {
  struct {
    int y, m, d, h;
    int code;
  } cases[] = {
      {1984, 2, 4, 12, 0}, {2001, 2, 29, 0, 1}, {2000, 2, 29, 0, 0}, {1984, 13, 1, 0, 1},
      {1984, 2, 4, 24, 1}, {1984, 2, 4, -1, 1}, {1984, 2, 4, 23, 0}, {1901, 12, 31, 0, 1},
      {1902, 1, 1, 0, 0},  {2050, 12, 31, 23, 0}, {2051, 1, 1, 0, 1}, {INT_MAX, 1, 1, 0, 1},
      {1984, INT_MIN, 1, 0, 1},
  };
  for (const auto& c : cases) {
    Moment value = kUntouched;
    EXPECT_EQ(ResolveDate(true, true, c.y, c.m, c.d, c.h, value), c.code)
        << c.y << "-" << c.m << "-" << c.d << " " << c.h;
    if (c.code == 0) EXPECT_EQ(value, EncodeDateTime(c.y, c.m, c.d, c.h, 0));
    else EXPECT_EQ(value, kUntouched);
  }
}

TEST(ResolveDate, LunarInput) {
  struct {
    int y, m, d, h;
    bool leap;
    int code;
    int cy, cm, cd;
  } cases[] = {
      {1984, 1, 3, 12, false, 0, 1984, 2, 4},
      {2023, 2, 1, 0, true, 0, 2023, 3, 22},
      {2023, 3, 1, 0, true, 2, 0, 0, 0},   // 2023 has no leap third month
      {2023, 1, 30, 0, false, 2, 0, 0, 0}, // a 29-day month
      {2023, 13, 1, 0, false, 2, 0, 0, 0},
      {2023, 0, 1, 0, false, 2, 0, 0, 0},
      {2023, 1, 31, 0, false, 2, 0, 0, 0},
      {2023, 1, 0, 0, false, 2, 0, 0, 0},
      {1900, 1, 1, 0, false, 2, 0, 0, 0},
      {2051, 1, 1, 0, false, 2, 0, 0, 0},
      {INT_MIN, 1, 1, 0, false, 2, 0, 0, 0},
      {2050, 12, 29, 0, false, 2, 0, 0, 0}, // lies in 2051
      {2050, 11, 18, 23, false, 0, 2050, 12, 31},
      {1984, 1, 3, 23, false, 0, 1984, 2, 4},
  };
  for (const auto& c : cases) {
    Moment value = kUntouched;
    SCOPED_TRACE(testing::Message() << c.y << "/" << c.m << "/" << c.d << (c.leap ? " leap" : ""));
    EXPECT_EQ(ResolveDate(false, c.leap, c.y, c.m, c.d, c.h, value), c.code);
    if (c.code == 0) EXPECT_EQ(value, EncodeDateTime(c.cy, c.cm, c.cd, c.h, 0));
    else EXPECT_EQ(value, kUntouched);
  }
}

TEST(ResolveDate, SolarAndLunarGiveTheSameMoment) {
  Moment solar, lunar;
  ASSERT_EQ(ResolveDate(true, false, 1984, 2, 4, 12, solar), 0);
  ASSERT_EQ(ResolveDate(false, false, 1984, 1, 3, 12, lunar), 0);
  EXPECT_EQ(solar, lunar);
}

TEST(ResolveDate, LunarHourMovingPastTheTablesIsRefused) {
  Moment value = kUntouched;
  // The hour is added as it comes, but the moment must stay inside the tables.
  EXPECT_EQ(ResolveDate(false, false, 2050, 11, 17, 48, value), 2);
  EXPECT_EQ(ResolveDate(false, false, 1901, 11, 23, -48, value), 2);
  EXPECT_EQ(ResolveDate(false, false, 1984, 1, 3, INT_MAX, value), 2);
  EXPECT_EQ(value, kUntouched);
  EXPECT_EQ(ResolveDate(false, false, 1984, 1, 3, 24, value), 0);
  EXPECT_EQ(value, EncodeDate(1984, 2, 5));
}

// The text written as one piece into a buffer of `capacity` bytes.
std::size_t Write(std::string_view text, char* buffer, std::size_t capacity) {
  TextWriter out(buffer, capacity);
  out << text;
  return out.Size();
}

TEST(TextWriter, CutsAtTheLastWholeCharacter) {
  // 2999 bytes of room: a run of double-byte characters is cut before the
  // character that would straddle the limit.
  std::string text;
  text += 'x';
  while (text.size() < 5000) text += "甲";
  std::vector<char> buffer(3100, '\x55');
  Write(text, buffer.data(), 3000);
  const std::string copied(buffer.data());
  EXPECT_EQ(copied.size(), 2999u);  // 'x' + 1499 characters
  EXPECT_EQ(copied, text.substr(0, 2999));
  EXPECT_EQ(buffer[2999], '\0');
  EXPECT_EQ(buffer[3000], '\x55');  // nothing past the capacity

  std::string even = text.substr(1);  // characters only: 2998 bytes fit, not 2999
  Write(even, buffer.data(), 3000);
  EXPECT_EQ(std::string(buffer.data()).size(), 2998u);

  // Written a character at a time, as the renderers write their pieces, the
  // text is cut at the same place, and nothing after the cut is written.
  std::vector<char> pieces(3100, '\x55');
  TextWriter out(pieces.data(), 3000);
  out << "x";
  for (int i = 0; i < 2000; ++i) out << "甲";
  out << "y";
  EXPECT_TRUE(out.WasCut());
  EXPECT_EQ(std::string(pieces.data()), text.substr(0, 2999));
  EXPECT_EQ(pieces[3000], '\x55');
}

TEST(TextWriter, ShortTextsAndEdges) {
  std::vector<char> buffer(16, '\x55');
  Write("", buffer.data(), 16);
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_EQ(buffer[1], '\x55');
  Write("甲子\r\n", buffer.data(), 16);
  EXPECT_EQ(std::string(buffer.data()), "甲子\r\n");
  EXPECT_EQ(Write("abc", nullptr, 16), 0u);  // no buffer: nothing written, no crash
  EXPECT_EQ(Write("abc", buffer.data(), 0), 0u);
  EXPECT_EQ(buffer[0], std::string("甲")[0]);  // a buffer of no bytes is not touched
}

// GBK: a lead byte 0x81-0xFE and the byte after it (0x40-0xFE, ASCII letters
// among them) make one character; 0x80 and 0xFF are single bytes. The cut
// falls before a character that does not fit, and a lead byte with nothing
// after it is a byte of its own, whether the text fits or not.
TEST(TextWriter, CutsOnlyBetweenGbkCharacters) {
  struct {
    const char* name;
    std::string text;
    std::size_t limit;
    std::size_t length;
  } cases[] = {
      {"a character straddles the limit", "ab甲", 3, 2},
      {"a character ends at the limit", "ab甲", 4, 4},
      {"a text that fits is whole", "ab甲x", 10, 5},
      {"0x81 leads, an ASCII second byte", "\x81\x40" "x", 1, 0},
      {"0xFE leads", "\xfe\xfe" "x", 1, 0},
      {"0x81 leads after an ASCII byte", "x\x81\x40", 2, 1},
      {"0x80 is a single byte", "\x80" "甲", 2, 1},
      {"0xFF is a single byte", "\xff" "甲", 2, 1},
      {"a lone lead byte at the end, text fits", "a\x81", 10, 2},
      {"a lone lead byte at the end, text at the limit", "a\x81", 2, 2},
      {"a lone lead byte at the end, cut", "ab\x81", 2, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // The writer reads the text from a block of exactly its own bytes, so
    // that a read past its end is a sanitizer error, and writes the prefix
    // and its zero into a buffer of limit + 1 bytes.
    const std::vector<char> source(c.text.begin(), c.text.end());
    std::vector<char> buffer(c.limit + 2, '\x55');
    EXPECT_EQ(Write(std::string_view(source.data(), source.size()), buffer.data(), c.limit + 1),
              c.length);
    EXPECT_EQ(std::string(buffer.data()), c.text.substr(0, c.length));
    EXPECT_EQ(buffer[c.limit + 1], '\x55');
  }
}

}  // namespace
}  // namespace orv
