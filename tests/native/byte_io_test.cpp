#include "base/byte_io.h"

#include <gtest/gtest.h>

namespace scribly {
namespace {

TEST(ByteReader, ReadsLittleEndianAndFailsStickyPastTheEnd) {
  const uint8_t data[] = {0x01, 0x34, 0x12, 0x78, 0x56, 0x34, 0x12, 0xFF};
  ByteReader r(data, sizeof data);
  EXPECT_EQ(r.u8(), 0x01);
  EXPECT_EQ(r.u16(), 0x1234);
  EXPECT_EQ(r.u32(), 0x12345678u);
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(r.u16(), 0);  // one byte left: fails
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(r.u8(), 0);  // and stays failed although a byte remains
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(r.remaining(), 0u);

  const uint8_t signedData[] = {0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F};
  ByteReader s(signedData, sizeof signedData);
  EXPECT_EQ(s.i16(), -2);  // extended
  EXPECT_EQ(s.i32(), static_cast<int32_t>(0x7FFFFFFF));
}

TEST(ByteReader, HugeLengthsNeverWrapTheBoundCheck) {
  const uint8_t data[4] = {};
  ByteReader r(data, sizeof data);
  r.u8();
  EXPECT_TRUE(r.bytes(SIZE_MAX).empty());
  EXPECT_FALSE(r.ok());
  ByteReader empty(nullptr, 100);  // a null buffer never claims a length
  EXPECT_EQ(empty.remaining(), 0u);
  EXPECT_EQ(empty.u8(), 0);
  EXPECT_FALSE(empty.ok());
}

TEST(ByteReader, FixedStringsStopAtTerminatorFieldEndOrDataEnd) {
  const uint8_t named[] = {'a', 'b', 0, 'x', 'y', 9};
  ByteReader r(named, sizeof named);
  EXPECT_EQ(r.fixedString(5), "ab");
  EXPECT_EQ(r.offset(), 5u);  // the whole field is consumed
  EXPECT_EQ(r.u8(), 9);

  const uint8_t full[] = {'a', 'b', 'c', 'd'};
  ByteReader unterminated(full, sizeof full);
  EXPECT_EQ(unterminated.fixedString(4), "abc");  // room kept for the terminator

  ByteReader cut(full, sizeof full);
  EXPECT_EQ(cut.fixedString(256), "abcd");  // field cut by the data's end
  EXPECT_TRUE(cut.ok());
  EXPECT_TRUE(cut.atEnd());
}

TEST(ByteReader, TerminatedStringsEndAtDataEndAndAreCut) {
  const uint8_t data[] = {'h', 'i', 0, 'l', 'o', 'n', 'g'};
  ByteReader r(data, sizeof data);
  EXPECT_EQ(r.terminatedString(100), "hi");
  EXPECT_EQ(r.terminatedString(2), "lo");
  EXPECT_TRUE(r.atEnd());
  EXPECT_TRUE(r.ok());
}

TEST(ByteWriter, WritesWhatTheReaderReads) {
  ByteWriter w;
  w.u8(0x18).u16(0xBEEF).u32(0xDEADBEEF).i16(-3).fixedString("page", 8).terminatedString("t");
  ASSERT_EQ(w.size(), 1u + 2 + 4 + 2 + 8 + 2);
  ByteReader r(w.data());
  EXPECT_EQ(r.u8(), 0x18);
  EXPECT_EQ(r.u16(), 0xBEEF);
  EXPECT_EQ(r.u32(), 0xDEADBEEFu);
  EXPECT_EQ(r.i16(), -3);
  EXPECT_EQ(r.fixedString(8), "page");
  EXPECT_EQ(r.terminatedString(10), "t");
  EXPECT_TRUE(r.atEnd());

  ByteWriter cut;  // a fixed string is cut to leave its terminator
  cut.fixedString("abcdef", 4);
  EXPECT_EQ(cut.data(), (std::vector<uint8_t>{'a', 'b', 'c', 0}));
}

}  // namespace
}  // namespace scribly
