#include <gtest/gtest.h>

#include <random>
#include <string>

#include "base/byte_io.h"
#include "collab/envelope.h"

namespace scribly {
namespace {

TEST(ByteIo, LittleEndianBothWaysReadsFailStickyHugeLengthsNeverWrapStringsStopAtTheirEnd) {
  ByteWriter w;
  w.u8(0x01).u16(0x1234).u32(0x12345678).i16(-2).i32(0x7FFFFFFF).u8(0xFF);
  const std::vector<uint8_t> data = {0x01, 0x34, 0x12, 0x78, 0x56, 0x34, 0x12,
                                     0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF};
  EXPECT_EQ(w.data(), data);
  ByteReader r(data.data(), data.size());
  EXPECT_EQ(r.u8(), 0x01);
  EXPECT_EQ(r.u16(), 0x1234);
  EXPECT_EQ(r.u32(), 0x12345678u);
  EXPECT_EQ(r.i16(), -2);  // extended
  EXPECT_EQ(r.i32(), static_cast<int32_t>(0x7FFFFFFF));
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(r.u16(), 0);  // one byte left: fails
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(r.u8(), 0);  // and stays failed although a byte remains
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(r.remaining(), 0u);

  // Huge lengths never wrap the bound check.
  ByteReader huge(data.data(), data.size());
  huge.u8();
  EXPECT_TRUE(huge.bytes(SIZE_MAX).empty());
  EXPECT_FALSE(huge.ok());
  ByteReader empty(nullptr, 100);  // a null buffer never claims a length
  EXPECT_EQ(empty.remaining(), 0u);
  EXPECT_EQ(empty.u8(), 0);
  EXPECT_FALSE(empty.ok());

  // Strings stop at their terminator, their field's end or the data's end.
  const uint8_t named[] = {'a', 'b', 0, 'x', 'y', 9};
  ByteReader fields(named, sizeof named);
  EXPECT_EQ(fields.fixedString(5), "ab");
  EXPECT_EQ(fields.offset(), 5u);  // the whole field is consumed
  EXPECT_EQ(fields.u8(), 9);

  const uint8_t full[] = {'a', 'b', 'c', 'd'};
  ByteReader unterminated(full, sizeof full);
  EXPECT_EQ(unterminated.fixedString(4), "abc");  // room kept for the terminator

  ByteReader cut(full, sizeof full);
  EXPECT_EQ(cut.fixedString(256), "abcd");  // field cut by the data's end
  EXPECT_TRUE(cut.ok());
  EXPECT_TRUE(cut.atEnd());

  // Terminated strings end at the data's end and are cut.
  const uint8_t terminated[] = {'h', 'i', 0, 'l', 'o', 'n', 'g'};
  ByteReader t(terminated, sizeof terminated);
  EXPECT_EQ(t.terminatedString(100), "hi");
  EXPECT_EQ(t.terminatedString(2), "lo");
  EXPECT_TRUE(t.atEnd());
  EXPECT_TRUE(t.ok());

  // A fixed string is padded with zeros, or cut to leave its terminator.
  ByteWriter strings;
  strings.fixedString("page", 6).terminatedString("t").fixedString("abcdef", 4);
  EXPECT_EQ(strings.data(),
            (std::vector<uint8_t>{'p', 'a', 'g', 'e', 0, 0, 't', 0, 'a', 'b', 'c', 0}));
}

std::vector<uint8_t> randomBytes(size_t n, uint32_t seed) {
  std::mt19937 gen(seed);
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = static_cast<uint8_t>(gen());
  return v;
}

std::vector<uint8_t> repetitiveText(size_t n) {
  const std::string line = "the quick brown fox jumps over the lazy whiteboard; ";
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(line[i % line.size()]);
  return v;
}

uint32_t u32At(const std::vector<uint8_t>& v, size_t at) {
  return v[at] | (v[at + 1] << 8) | (v[at + 2] << 16) | (static_cast<uint32_t>(v[at + 3]) << 24);
}

void setU32At(std::vector<uint8_t>& v, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) v[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

TEST(Envelope, IncompressiblePayloadsGoRawOthersCarryBothLengthsAndLiesOrOversizeAreRefused) {
  for (size_t n : {size_t{1}, size_t{2}, size_t{100}, size_t{5000}}) {
    auto payload = randomBytes(n, static_cast<uint32_t>(n));
    auto env = Compress(payload);
    ASSERT_EQ(env.size(), n + 1) << n;
    EXPECT_EQ(env[0], kEnvelopeRaw);
    EXPECT_TRUE(std::equal(payload.begin(), payload.end(), env.begin() + 1));
    EXPECT_EQ(Decompress(env), payload);
  }
  auto empty = Compress({});
  EXPECT_EQ(empty, std::vector<uint8_t>{kEnvelopeRaw});
  EXPECT_EQ(Decompress(empty), std::vector<uint8_t>{});

  // Large enough to need several output buffers while decoding.
  const auto text = repetitiveText(1 << 20);
  const auto packed = Compress(text);
  ASSERT_EQ(packed[0], kEnvelopeCompressed);
  EXPECT_EQ(u32At(packed, 1), text.size());
  EXPECT_EQ(u32At(packed, 5) + kEnvelopeHeaderBytes, packed.size());
  EXPECT_LT(packed.size(), text.size() / 10);
  EXPECT_EQ(Decompress(packed), text);

  // Any form byte other than one is raw.
  EXPECT_EQ(Decompress(std::vector<uint8_t>{7, 'a', 'b'}), (std::vector<uint8_t>{'a', 'b'}));
  EXPECT_EQ(Decompress(std::span<const uint8_t>{}), std::nullopt);

  // Data cut, lying or above the cap is refused; an overstated length yields the bytes.
  const auto payload = repetitiveText(4000);
  const auto good = Compress(payload);
  ASSERT_EQ(good[0], kEnvelopeCompressed);

  auto shortByOne = good;
  shortByOne.pop_back();  // stated compressed length now exceeds what arrived
  EXPECT_EQ(Decompress(shortByOne), std::nullopt);

  auto headerOnly = std::vector<uint8_t>(good.begin(), good.begin() + 8);
  EXPECT_EQ(Decompress(headerOnly), std::nullopt);

  auto truncatedStream = shortByOne;  // consistent lengths, stream cut short
  setU32At(truncatedStream, 5, u32At(truncatedStream, 5) - 1);
  EXPECT_EQ(Decompress(truncatedStream), std::nullopt);

  auto tooSmall = good;  // the data decodes to more than announced
  setU32At(tooSmall, 1, static_cast<uint32_t>(payload.size() - 1));
  EXPECT_EQ(Decompress(tooSmall), std::nullopt);

  auto corrupt = good;
  corrupt[kEnvelopeHeaderBytes + 20] ^= 0x55;
  EXPECT_EQ(Decompress(corrupt), std::nullopt);

  // An overstated payload length yields only the decoded bytes.
  auto overstated = good;
  setU32At(overstated, 1, 3000000);
  EXPECT_EQ(Decompress(overstated), payload);

  // A caller's own cap holds for both forms.
  auto env = good;
  EXPECT_EQ(Decompress(env, 4000)->size(), 4000u);
  EXPECT_EQ(Decompress(env, 3999), std::nullopt);
  EXPECT_EQ(Decompress(std::vector<uint8_t>{0, 1, 2, 3}, 2), std::nullopt);
  setU32At(env, 1, static_cast<uint32_t>(kMaxPayloadBytes + 1));
  EXPECT_EQ(Decompress(env), std::nullopt);
  setU32At(env, 1, 0xFFFFFFFFu);
  EXPECT_EQ(Decompress(env), std::nullopt);

  std::vector<uint8_t> raw(kMaxPayloadBytes + 2, 0);  // form byte + cap + 1
  EXPECT_EQ(Decompress(raw), std::nullopt);
  raw.pop_back();
  auto atCap = Decompress(raw);
  ASSERT_TRUE(atCap.has_value());
  EXPECT_EQ(atCap->size(), kMaxPayloadBytes);
}

}  // namespace
}  // namespace scribly
