#include "collab/envelope.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace scribly {
namespace {

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

TEST(Envelope, IncompressiblePayloadsGoRawWithOneByteMore) {
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
}

TEST(Envelope, CompressiblePayloadsCarryBothLengthsAndRoundTrip) {
  // Large enough to need several output buffers while decoding.
  auto payload = repetitiveText(1 << 20);
  auto env = Compress(payload);
  ASSERT_EQ(env[0], kEnvelopeCompressed);
  EXPECT_EQ(u32At(env, 1), payload.size());
  EXPECT_EQ(u32At(env, 5) + kEnvelopeHeaderBytes, env.size());
  EXPECT_LT(env.size(), payload.size() / 10);
  EXPECT_EQ(Decompress(env), payload);
}

TEST(Envelope, AnyFormByteOtherThanOneIsRaw) {
  const std::vector<uint8_t> env = {7, 'a', 'b'};
  EXPECT_EQ(Decompress(env), (std::vector<uint8_t>{'a', 'b'}));
  EXPECT_EQ(Decompress(std::span<const uint8_t>{}), std::nullopt);
}

TEST(Envelope, RefusesCompressedDataCutOrLyingAboutItsLengths) {
  auto payload = repetitiveText(4000);
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
}

TEST(Envelope, OverstatedPayloadLengthYieldsOnlyTheDecodedBytes) {
  auto payload = repetitiveText(4000);
  auto env = Compress(payload);
  setU32At(env, 1, 3000000);
  EXPECT_EQ(Decompress(env), payload);
}

TEST(Envelope, RefusesPayloadsAboveTheCap) {
  auto env = Compress(repetitiveText(4000));
  // A caller's own cap holds for both forms.
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
