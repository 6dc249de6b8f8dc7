// What another program on the desktop can do with a plug-in's windows: it
// finds them and sends or posts them messages. No share starts, and no page
// but one there is is shown. (What only our own code sends is refused from
// elsewhere: the engine's and the window procedure's own tests.)
#include <gtest/gtest.h>
#include <scribly.h>

#include <cstring>
#include <string>

#include "base/file_bytes.h"
#include "host_session.h"
#include "win/messages.h"
#include "win/text.h"

namespace scribly::test {
namespace {

std::wstring number(const void* address) {
  return std::to_wstring(reinterpret_cast<uintptr_t>(address));
}

// Another program's editor is refused before the view sees it (the window
// procedure's tests); nor does any other window of this process pass for the
// editor.
TEST_F(Interface, OnlyTheViewsOwnTextEditorHandsTextOver) {
  relay();
  SendMessageW(view_, WM_PLUGIN_TEXT_COMMITTED, reinterpret_cast<WPARAM>(parent_),
               MAKELPARAM(10, 50));
  pump();
  EXPECT_TRUE(relay().empty());
}

TEST_F(Interface, AnotherProgramCannotStartAShareThroughTheOpenDialog) {
  const std::wstring path = tempPath(L"another program's pick.txt");
  const std::string text = "Not the user's choice.\r\n";
  writeFileBytes(fromWide(path, kCodePageSystem),
                 std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
  click("add share doc");
  const HWND tip = visiblePanel("scribly tip panel");
  ASSERT_TRUE(tip);
  relay();
  // A started share says so at once in the dialog's texts (the typed path aside).
  const HWND edit = findSkinWindow(tip, "scribly tip edit");
  auto texts = [tip] {
    std::wstring all;
    for (HWND w : descendants(tip))
      if (w != tip && skinName(w) != "scribly tip edit") all += windowText(w) + L"|";
    return all;
  };
  const std::wstring before = texts();

  EXPECT_EQ(runProcess(thisProgram(L"--outside-share " + number(edit) + L" " +
                                   number(findSkinWindow(tip, "btn start share")) + L" \"" + path +
                                   L"\"")),
            0u);
  pump();
  EXPECT_EQ(texts(), before);
  EXPECT_TRUE(relay().empty());
  // The user's own click starts it, and the texts say so.
  SendMessageW(findSkinWindow(tip, "btn start share"), BM_CLICK, 0, 0);
  EXPECT_NE(texts(), before);
  DeleteFileW(path.c_str());
}

TEST_F(Interface, AGoToPageMessageGoesOnlyToAPageThereIs) {
  const std::wstring first = pageInfo();
  SendMessageW(ann_->frame, WM_PLUGIN_GO_TO_PAGE, 999, 0);
  pump();
  EXPECT_EQ(pageInfo(), first);
  SendMessageW(ann_->frame, WM_PLUGIN_GO_TO_PAGE, 2, 0);
  pump();
  EXPECT_NE(pageInfo(), first);
}

}  // namespace
}  // namespace scribly::test
