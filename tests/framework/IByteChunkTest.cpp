#include "framework/plug/IByteChunk.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace fw {
namespace {

TEST(IByteChunk, PutGetRoundTripReturnsPositions) {
  IByteChunk chunk;
  const int32_t i = -123456;
  const double d = 250.875;
  const uint8_t b = 0xAB;
  EXPECT_EQ(chunk.Put(&i), 4);
  EXPECT_EQ(chunk.Put(&d), 12);
  EXPECT_EQ(chunk.Put(&b), 13);
  EXPECT_EQ(chunk.PutStr("Init Vrels"), 13 + 4 + 10);

  int32_t i2 = 0;
  double d2 = 0;
  uint8_t b2 = 0;
  std::string s2;
  int pos = chunk.Get(&i2, 0);
  EXPECT_EQ(pos, 4);
  pos = chunk.Get(&d2, pos);
  EXPECT_EQ(pos, 12);
  pos = chunk.Get(&b2, pos);
  EXPECT_EQ(pos, 13);
  pos = chunk.GetStr(s2, pos);
  EXPECT_EQ(pos, 27);
  EXPECT_EQ(i2, i);
  EXPECT_EQ(d2, d);
  EXPECT_EQ(b2, b);
  EXPECT_EQ(s2, "Init Vrels");
  EXPECT_EQ(pos, chunk.Size());
}

TEST(IByteChunk, EmptyStringRoundTrip) {
  IByteChunk chunk;
  EXPECT_EQ(chunk.PutStr(""), 4);
  std::string s = "left over";
  EXPECT_EQ(chunk.GetStr(s, 0), 4);
  EXPECT_EQ(s, "");
}

TEST(IByteChunk, StringLayoutIsLengthThenBytes) {
  IByteChunk chunk;
  chunk.PutStr("ab");
  ASSERT_EQ(chunk.Size(), 6);
  int32_t n = 0;
  EXPECT_EQ(chunk.Get(&n, 0), 4);
  EXPECT_EQ(n, 2);
  EXPECT_EQ(chunk.GetData()[4], 'a');
  EXPECT_EQ(chunk.GetData()[5], 'b');
}

TEST(IByteChunk, GetPastTheEndFailsAndLeavesTheTarget) {
  IByteChunk chunk;
  const int32_t v = 7;
  chunk.Put(&v);
  chunk.Put(&v);  // 8 bytes
  struct Case { const char* what; int pos; } cases[] = {
      {"last value starts 3 bytes before the end", 5},
      {"at the end", 8},
      {"past the end", 9},
      {"negative", -1},
  };
  for (const auto& c : cases) {
    int32_t out = 99;
    EXPECT_EQ(chunk.Get(&out, c.pos), -1) << c.what;
    EXPECT_EQ(out, 99) << c.what;
  }
  double d = 0;
  EXPECT_EQ(chunk.Get(&d, 1), -1) << "double needs 8 bytes, 7 left";
  EXPECT_EQ(chunk.Get(&d, 0), 8) << "exactly 8 bytes";
}

TEST(IByteChunk, GetStrWithABadLengthFails) {
  struct Case { const char* what; int32_t length; int bytesAfter; } cases[] = {
      {"negative length", -1, 4},
      {"length one beyond the data", 5, 4},
      {"huge length", 0x7FFFFFFF, 4},
  };
  for (const auto& c : cases) {
    IByteChunk chunk;
    chunk.Put(&c.length);
    for (int k = 0; k < c.bytesAfter; ++k) {
      const char ch = 'x';
      chunk.Put(&ch);
    }
    std::string s = "unchanged";
    EXPECT_EQ(chunk.GetStr(s, 0), -1) << c.what;
    EXPECT_EQ(s, "unchanged") << c.what;
  }
  IByteChunk tooShortForLength;
  const int16_t half = 3;
  tooShortForLength.Put(&half);
  std::string s;
  EXPECT_EQ(tooShortForLength.GetStr(s, 0), -1) << "length field cut off";
}

TEST(IByteChunk, PutChunkAppendsAndClearEmpties) {
  IByteChunk a, b;
  const int32_t x = 1, y = 2;
  a.Put(&x);
  b.Put(&y);
  EXPECT_EQ(a.PutChunk(b), 8);
  int32_t out = 0;
  EXPECT_EQ(a.Get(&out, 4), 8);
  EXPECT_EQ(out, 2);
  a.Clear();
  EXPECT_EQ(a.Size(), 0);
  EXPECT_EQ(a.Get(&out, 0), -1);
}

}  // namespace
}  // namespace fw
