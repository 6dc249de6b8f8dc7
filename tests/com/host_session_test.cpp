// What a host does with a plug-in beyond the contract's calls: scripted
// sessions from the host itself (and from nobody else), and the replay of a
// recorded mirror stream through DataIn.
#include "host_session.h"

#include <gtest/gtest.h>
#include <scribly.h>

#include <cstring>
#include <string_view>
#include <thread>
#include <vector>

#include "resources/private_commands.h"

namespace scribly::test {
namespace {

TEST_F(HostSession, ScriptsRunOnlyWhenTheCreatingThreadCallsDirectly) {
  Participant& p = join(1, 2);
  const Messages before = report(p);

  // Another process hands the frame a script the way a window message can.
  EXPECT_EQ(runProcess(thisProgram(L"--copy-script " +
                                   std::to_wstring(reinterpret_cast<uintptr_t>(p.frame)))),
            0u);
  pump();
  EXPECT_TRUE(p.sink.sent.empty());
  EXPECT_EQ(report(p), before);

  HRESULT fromOtherThread = S_OK;
  std::thread([&] { fromOtherThread = runScript(p, "rect 10 10 110 60"); }).join();
  EXPECT_EQ(fromOtherThread, S_FALSE);
  EXPECT_EQ(runScript(p, "rect 10 10 110 60", 1), S_FALSE);  // posted: the text would be gone
  pump();
  EXPECT_TRUE(p.sink.sent.empty());
  EXPECT_EQ(report(p), before);

  EXPECT_EQ(runScript(p, "rect 10 10 110 60"), S_OK);
  EXPECT_EQ(p.sink.sent.size(), 1u);
  EXPECT_NE(report(p), before);
}

TEST_F(HostSession, ReplayedMirrorStreamRebuildsBoardWithItsBigPictures) {
  Participant& recorded = join(1, 2);
  recorded.plugin->ExecuteCMD(121, 1, 0, 0);
  ASSERT_EQ(runScript(recorded, "picture 0 0 1024 1024\naddpage Two\npicture 20 20 900 700\n"),
            S_OK);
  const Messages stream = recorded.sink.mirrored;
  size_t bigPictures = 0;
  for (const auto& m : stream)
    if (m[0] >> 1 == 92 && m.size() >= 100000) ++bigPictures;
  ASSERT_EQ(bigPictures, 2u);

  Participant& replayed = join(3, 4);
  for (const auto& m : stream)
    ASSERT_EQ(replayed.plugin->DataIn(1, const_cast<BYTE*>(m.data()), static_cast<ULONG>(m.size())),
              S_OK)
        << "message of " << m.size() << " bytes, code " << (m[0] >> 1);
  pump();
  EXPECT_EQ(report(replayed), report(recorded));
}

}  // namespace
}  // namespace scribly::test
