// The server as a deterministic state machine: what it delivers follows from
// its input alone, and its saved state lets another server carry on exactly
// as it would have.
#include <gtest/gtest.h>

#include "board_test_support.h"
#include "relay/relay_server.h"

namespace scribly::testing {
namespace {

// Restores a server saved after each cut and plays it the rest: it must
// deliver what the server that saw everything delivered, and end in its state
// (which a server whose output depends on more than its input would not).
void expectRestoredContinuesAsWhole(std::span<const Input> inputs, std::span<const size_t> cuts) {
  Recorder whole;
  std::vector<size_t> deliveredBy;  // deliveries after each input
  for (const Input& in : inputs) {
    whole.play(std::span(&in, 1));
    deliveredBy.push_back(whole.out.size());
  }
  const std::vector<uint8_t> finalState = whole.server.saveState();
  for (size_t cut : cuts) {
    SCOPED_TRACE(cut);
    Recorder before;
    before.play(inputs.first(cut));
    const std::vector<uint8_t> saved = before.server.saveState();
    Recorder after;
    ASSERT_TRUE(after.server.restoreState(saved));
    ASSERT_EQ(after.server.saveState(), saved);
    after.play(inputs.subspan(cut));
    const std::vector<Output> expected(whole.out.begin() + deliveredBy[cut - 1], whole.out.end());
    ASSERT_TRUE(after.out == expected);
    ASSERT_EQ(after.server.saveState(), finalState);
  }
}

TEST(RelayServerState, ARestoredServerContinuesAsTheOriginal) {
  for (uint32_t seed : {1u, 2u, 3u}) {
    SCOPED_TRACE(seed);
    const std::vector<Input> inputs = recordedConference(seed, 250);
    // Cuts everywhere, in the middle of transfers and catch-ups as well.
    std::vector<size_t> cuts;
    for (size_t cut = 1; cut < inputs.size(); cut += 1 + inputs.size() / 23) cuts.push_back(cut);
    expectRestoredContinuesAsWhole(inputs, cuts);
  }
}

// A picture turned by another participant while its pixels are on their way
// waits for them in the replica, which its content does not show.
TEST(RelayServerState, ATurnWaitingForItsPixelsSurvivesTheRestore) {
  constexpr uint32_t kAnn = 11, kBob = 12, kPicture = 0x10000;
  const PictureMessages picture = pictureMessages(2, kPicture, 300, 200);
  std::vector<Input> inputs{
      {kAnn, {}}, {kBob, {}}, {kAnn, build(IdRangeRequest{})}, {kAnn, picture.creation}};
  std::vector<Bytes> transfer;
  appendTransfer(kPicture, kAnn, 2, picture.bulk, transfer);
  ASSERT_GT(transfer.size(), 3u);
  for (const Bytes& m : transfer) {
    inputs.push_back({kAnn, m});
    if (inputs.size() == 6) {
      inputs.push_back({kBob, build(SetObjectValue{SetObjectValue::kOrientation, 2, kPicture, 1})});
    }
  }
  inputs.push_back({kBob, build(MissingItem{kPicture})});
  const size_t cuts[] = {5, 7, inputs.size() - 2};
  expectRestoredContinuesAsWhole(inputs, cuts);
}

TEST(RelayServerState, HostileStateIsRefusedAndChangesNothing) {
  const std::vector<Input> inputs = recordedConference(7, 120);
  Recorder source;
  source.play(inputs);
  const std::vector<uint8_t> good = source.server.saveState();
  Recorder target;
  target.play(std::span(inputs).first(inputs.size() / 2));
  const std::vector<uint8_t> before = target.server.saveState();
  std::mt19937 rng(7);
  for (int i = 0; i < 300; ++i) {
    std::vector<uint8_t> bad = good;
    if (i % 3 == 0) {
      bad.resize(rng() % bad.size());
    } else {
      for (int k = 0; k < 1 + i % 4; ++k)
        bad[rng() % std::min<size_t>(bad.size(), 400)] ^= 1 + rng() % 255;
    }
    if (!target.server.restoreState(bad))
      ASSERT_EQ(target.server.saveState(), before) << i;
    else
      ASSERT_TRUE(target.server.restoreState(before));
  }
  // Ranges that overlap another participant's are refused.
  ASSERT_TRUE(target.server.restoreState(good));
}

TEST(RelayServerState, AdoptedGrantsActAsOwnOnesAndOnlyThem) {
  Recorder outside({.idRangeSize = 64, .grantsFromOutside = true});
  Recorder own({.idRangeSize = 64});
  for (Recorder* r : {&outside, &own}) ASSERT_TRUE(r->server.connect(11) && r->server.connect(12));
  const Bytes request = build(IdRangeRequest{});
  outside.server.receive(11, request);
  EXPECT_TRUE(outside.out.empty());
  own.server.receive(11, request);
  EXPECT_FALSE(own.server.adoptGrant(11, 0x20000, 0x20040));

  const std::tuple<uint32_t, uint32_t, uint32_t, bool> grants[] = {
      {11, 0x10000, 0x10040, true},        {12, 0x10040, 0x10080, true},
      {11, 0x10000, 0x10040, false},  // granted before
      {12, 0x10070, 0x100A0, false},  // overlaps the last
      {99, 0x10100, 0x10140, false},  // nobody: spent all the same
      {12, 0x10120, 0x10130, false},  // below a spent one
      {12, 0x7FFFFFC0, 0x80000001, false}, {12, 0x7FFFFFC0, 0x80000000, true},
  };
  for (const auto& [user, start, end, adopted] : grants) {
    const size_t sent = outside.out.size();
    EXPECT_EQ(outside.server.adoptGrant(user, start, end), adopted) << start;
    if (adopted) {
      ASSERT_EQ(outside.out.size(), sent + 1);
      EXPECT_TRUE(outside.out.back() == (Output{user, build(IdRangeGrant{start, end})}));
    }
  }
  // The adopted range is the participant's own, as a granted one is.
  const Bytes mine = build(AddPage{0x10001, "mine"});
  const Bytes theirs = build(AddPage{0x10041, "theirs"});
  outside.out.clear();
  outside.server.receive(11, mine);
  outside.server.receive(11, theirs);
  EXPECT_TRUE((outside.out == std::vector<Output>{{12, mine}}));
}

}  // namespace
}  // namespace scribly::testing
