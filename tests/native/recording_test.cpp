// Recordings: the file as the host writes it, read back whole or cut short.
#include "collab/recording.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

namespace scribly {
namespace {

using Bytes = std::vector<uint8_t>;

// The bytes the writer puts in a file for these messages.
Bytes written(const std::vector<Bytes>& messages) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::tmpfile(), &std::fclose);
  EXPECT_TRUE(writeRecordingHeader(file.get()));
  for (const Bytes& m : messages) EXPECT_TRUE(appendRecordedMessage(file.get(), m));
  EXPECT_TRUE(endRecording(file.get()));
  Bytes bytes(static_cast<size_t>(std::ftell(file.get())));
  std::rewind(file.get());
  EXPECT_EQ(std::fread(bytes.data(), 1, bytes.size(), file.get()), bytes.size());
  return bytes;
}

TEST(Recording, EveryCutYieldsTheWholeMessagesBeforeIt) {
  const std::vector<Bytes> messages = {{0x2A}, Bytes(300, 0x51), {0x94, 1, 2, 3}};
  const Bytes file = written(messages);
  ASSERT_EQ(file.size(), kRecordingHeaderBytes + 4 * 4 + 1 + 300 + 4);
  for (size_t n = 0; n <= file.size(); ++n) {
    const auto read = readRecording(std::span(file).first(n));
    ASSERT_TRUE(read) << n;
    size_t whole = 0;
    for (size_t end = kRecordingHeaderBytes; whole < messages.size(); ++whole) {
      end += 4 + messages[whole].size();
      if (end > n) break;
    }
    EXPECT_EQ(read->messages, std::vector<Bytes>(messages.begin(), messages.begin() + whole)) << n;
    EXPECT_EQ(read->cut, n != file.size()) << n;
    EXPECT_FALSE(read->damaged) << n;
  }
}

TEST(Recording, RefusesOtherFilesAndLengthsNoMessageHas) {
  const Bytes file = written({{0x2A}});
  for (size_t at : {size_t{0}, size_t{7}, size_t{8}}) {
    Bytes other = file;
    other[at] ^= 1;  // the magic, or the version
    EXPECT_FALSE(readRecording(other)) << at;
  }
  EXPECT_FALSE(appendRecordedMessage(nullptr, Bytes{1}));
  // After the end, or a length past the limit where the end was.
  for (uint32_t length : {uint32_t{0}, uint32_t(kMaxRecordedMessageBytes + 1)}) {
    Bytes bad = file;
    for (int i = 0; i < 4; ++i) bad.end()[i - 4] = static_cast<uint8_t>(length >> (8 * i));
    bad.resize(bad.size() + 64, 0x2A);
    const auto read = readRecording(bad);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->messages, std::vector<Bytes>{{0x2A}});
    EXPECT_EQ(read->cut, length != 0);
    EXPECT_TRUE(read->damaged);
  }
}

}  // namespace
}  // namespace scribly
