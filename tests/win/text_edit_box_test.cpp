// The in-place editor driven with real window messages.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "frame/text_edit_box_win.h"
#include "tests/support/win_test_support.h"
#include "win/messages.h"
#include "win/module.h"
#include "win/window_proc.h"

namespace scribly {
namespace {

struct Commit {
  HWND editor;
  LPARAM position;
  std::string text;
  bool editorAlive;
};
std::vector<Commit> commits;

LRESULT CALLBACK parentProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_PLUGIN_TEXT_COMMITTED) {
    HWND editor = reinterpret_cast<HWND>(wp);
    commits.push_back({editor, lp, TextEditBox::textOf(editor), IsWindow(editor) != FALSE});
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

class TextEditBoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    commits.clear();
    registerWindowClass(moduleInstance(), L"ScriblyEditParent", parentProc);
    parent_ = CreateWindowExW(0, L"ScriblyEditParent", L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                              400, 300, nullptr, nullptr, moduleInstance(), nullptr);
    ASSERT_TRUE(parent_);
    font_.height = -13;
    font_.setFace("Tahoma");
  }
  void TearDown() override { DestroyWindow(parent_); }

  static SIZE sizeOf(HWND w) {
    RECT r;
    GetWindowRect(w, &r);
    return {r.right - r.left, r.bottom - r.top};
  }
  void type(HWND edit, const wchar_t* text) {
    for (; *text; ++text) SendMessageW(edit, WM_CHAR, *text, 0);
  }

  HWND parent_ = nullptr;
  FontRecord font_;
};

// It opens at the point with its text, limit and focus. Focus loss commits
// with the packed position, the text still there to read, then closes; a new
// editor commits the old one, empty or not; a box destroyed closes without
// committing.
TEST_F(TextEditBoxTest, OpensAtThePointGrowsAndCommitsOnFocusLossOrANewEditorNotWhenDestroyed) {
  HWND edit;
  {
    TextEditBox box;
    ASSERT_TRUE(box.open({30, 40}, parent_, font_, "h\xc3\xa9llo"));
    edit = box.window();
    EXPECT_EQ(SendMessageW(edit, EM_GETLIMITTEXT, 0, 0), 4020);
    EXPECT_EQ(GetFocus(), edit);
    RECT r;
    GetWindowRect(edit, &r);
    MapWindowPoints(nullptr, parent_, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, 30);
    EXPECT_EQ(r.top, 40);
    EXPECT_GT(sizeOf(edit).cx, 10);
    EXPECT_EQ(TextEditBox::textOf(edit), "h\xc3\xa9llo");
    SetWindowTextW(edit, L"");
    type(edit, L"abc");
    SetFocus(parent_);
    ASSERT_EQ(commits.size(), 1u);
    EXPECT_EQ(commits[0].editor, edit);
    EXPECT_EQ(commits[0].position, MAKELPARAM(30, 40));
    EXPECT_EQ(commits[0].text, "abc");
    EXPECT_TRUE(commits[0].editorAlive);
    EXPECT_FALSE(IsWindow(edit));
    EXPECT_FALSE(box.isOpen());

    // It grows line by line and never shrinks below the sample word.
    ASSERT_TRUE(box.open({5, 6}, parent_, font_, nullptr));
    const HWND first = box.window();
    const SIZE empty = sizeOf(first);
    type(first, L"a much longer line of text than the sample");
    const SIZE wide = sizeOf(first);
    EXPECT_GT(wide.cx, empty.cx);
    type(first, L"\r");
    type(first, L"x");
    EXPECT_GT(sizeOf(first).cy, wide.cy);
    SetWindowTextW(first, L"");
    type(first, L"i");
    type(first, L"\b");
    EXPECT_EQ(sizeOf(first).cx, empty.cx);
    EXPECT_EQ(sizeOf(first).cy, empty.cy);
    ASSERT_TRUE(box.open({70, 80}, parent_, font_, "second"));
    ASSERT_EQ(commits.size(), 2u);
    EXPECT_EQ(commits[1].editor, first);
    EXPECT_EQ(commits[1].text, "");
    EXPECT_FALSE(IsWindow(first));
    edit = box.window();
    EXPECT_TRUE(IsWindow(edit));
  }
  EXPECT_FALSE(IsWindow(edit));
  EXPECT_EQ(commits.size(), 2u);
}

}  // namespace
}  // namespace scribly
