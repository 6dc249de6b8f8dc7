// A host runs one plug-in per conference, many over days in one process:
// each lifetime must give back what it took.
#include <gtest/gtest.h>
#include <scribly.h>

#include <string>

#include "host_session.h"
#include "tests/win/process_counts.h"

namespace scribly::test {
namespace {

// What 40 lifetimes that leave nothing may still show: heap block headers
// as free blocks split and join, the system's own threads. A leak of a few
// KiB per lifetime is several times more.
constexpr size_t kNoise = 16 * 1024;

TEST_F(HostSession, ConferencesOneAfterAnotherLeaveNothingBehind) {
  // What a peer sends for 300 objects: a participant's drawing as it mirrors it.
  Participant& source = join(1, 2);
  source.plugin->ExecuteCMD(121, 1, 0, 0);
  static const char* const kKinds[] = {"rect", "ellipse", "line", "arrow", "triangle", "half1"};
  std::string drawing;
  for (int i = 0; i < 300; ++i) {
    const int x = i % 20 * 30, y = i / 20 * 25;
    drawing += std::string(kKinds[i % 6]) + " " + std::to_string(x) + " " + std::to_string(y) +
               " " + std::to_string(x + 25) + " " + std::to_string(y + 20) + "\n";
  }
  ASSERT_EQ(runScript(source, drawing), S_OK);
  const Messages objects = source.sink.mirrored;
  const Messages drawn = report(source);
  source.plugin->Release();
  source.plugin = nullptr;
  pump();

  // A whole conference, alone in the process; true when the plug-in ended
  // up with the peer's drawing.
  auto conference = [&] {
    Participant p;
    if (factory_->CreateInstance(nullptr, IID_IPlugInClientEx,
                                 reinterpret_cast<void**>(&p.plugin)) != S_OK)
      return false;
    p.plugin->Create(parent_, &p.sink, nullptr, 1, &p.frame);
    p.plugin->Initialize(2, 1);
    for (const auto& m : objects)
      p.plugin->DataIn(1, const_cast<BYTE*>(m.data()), static_cast<ULONG>(m.size()));
    pump();
    const bool received = report(p) == drawn;
    p.plugin->Release();
    pump();
    return received;
  };
  // What the system and the runtimes set up on first use is no leak.
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(conference());
  const long gdi = liveGdiObjects(), user = liveUserObjects();
  const size_t memory = heldPrivateBytes();
  for (int i = 0; i < 40; ++i) ASSERT_TRUE(conference());
  // Memory first: a failed expectation takes some of its own.
  EXPECT_LE(heldPrivateBytes(), memory + kNoise);
  EXPECT_EQ(liveGdiObjects(), gdi);
  EXPECT_EQ(liveUserObjects(), user);
}

}  // namespace
}  // namespace scribly::test
