// The document library in the main frame's tree, built from the installed
// skin over a real folder and driven by the clicks a hand makes: what the
// tree lists, what its menu offers, what it shares, tips and the folder the
// configuration keeps.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "share/library_tree_win.h"
#include "share/tree_items.h"
#include "skin/skin_config.h"
#include "test_surface.h"
#include "win/module.h"
#include "win/text.h"

namespace scribly {
namespace {

class LibraryTreeTest : public SkinHostTest {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(folder_ / L"f");
    for (const wchar_t* name : {L"a.ppt", L"b.pptx", L"c.PDF", L"d.exe", L"e.doc", L"f\\g.txt"})
      writeFile(folder_ / name, "x");
    SetFileAttributesW((folder_ / L"e.doc").c_str(), FILE_ATTRIBUTE_HIDDEN);
    config_ = fromWide((folder_ / L"ScriblyCfg.xml").wstring(), kCodePageSystem);
    writeFile(folder_ / L"ScriblyCfg.xml",
              "<Scribly><dirroot enable=\"true\" path=\"" + utf8(folder_) + "\"/></Scribly>");
    ASSERT_NO_FATAL_FAILURE(SkinHostTest::SetUp());
    // The frame's part: the tree's messages and the menu's commands go to
    // the library as the main frame routes them.
    program_.route = [this](SkinElement& source, UINT message, WPARAM w, LPARAM l, LRESULT& r) {
      return library_ && library_->handle(source, message, w, l, r);
    };
    program_.onCommand = [this](std::string_view name, std::string_view item) {
      if (library_ && name == kLibraryMenuName) library_->command(item);
    };
    ASSERT_NO_FATAL_FAILURE(openFrame(program_));
  }
  void TearDown() override {
    program_.route = nullptr;
    program_.onCommand = nullptr;
    library_.reset();
    SkinHostTest::TearDown();
  }
  static std::string utf8(const std::filesystem::path& path) { return fromWide(path.wstring()); }

  void build(LibraryTree::Hooks hooks = {}) {
    library_ = std::make_unique<LibraryTree>(*skin_, *frame_, config_, std::move(hooks));
    tree_ = library_->treeWindow();
    ASSERT_NE(tree_, nullptr);
  }

  std::vector<HTREEITEM> children(HTREEITEM parent) { return treeChildren(tree_, parent); }
  std::string name(HTREEITEM item) { return treeItemName(treeMarkup(tree_, item)); }
  std::vector<std::string> names(HTREEITEM parent) {
    std::vector<std::string> out;
    for (HTREEITEM item : children(parent)) out.push_back(name(item));
    return out;
  }
  HTREEITEM childNamed(HTREEITEM parent, const std::string& wanted) {
    for (HTREEITEM item : children(parent))
      if (name(item) == wanted) return item;
    return nullptr;
  }
  int image(HTREEITEM item) { return treeItem(tree_, item).iImage; }
  // A click as a hand makes it; a menu the right button opens is closed again.
  void click(HTREEITEM item, bool right = false) {
    if (!right) return clickTreeItem(tree_, item);
    chooseFromTreeMenu(tree_, item, -1);
  }
  bool menuItemEnabled(int index) {
    return !(GetMenuState(library_->menu()->handle(), index, MF_BYPOSITION) & MF_GRAYED);
  }
  // The names below `parent` in order of their bytes.
  std::vector<std::string> sortedNames(HTREEITEM parent) {
    std::vector<std::string> out = names(parent);
    std::sort(out.begin(), out.end());
    return out;
  }

  // A name beyond ASCII: the listing is wide, the tree's texts UTF-8.
  TempFolder temp_{L"library \u00e9t\u00e9"};
  std::filesystem::path folder_ = temp_.path();
  std::string config_;
  RoutingProgram program_;
  std::unique_ptr<LibraryTree> library_;
  HWND tree_ = nullptr;
};

TEST_F(LibraryTreeTest, ListsSharableFilesOpensFoldersOnlyWhenClickedAndNamesThemInTips) {
  build();
  const HTREEITEM root = library_->rootItem();
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(name(root), "Document library");
  EXPECT_TRUE(children(root).empty());

  click(root);
  EXPECT_EQ(sortedNames(root), (std::vector<std::string>{"a.ppt", "b.pptx", "c.PDF", "f"}));
  EXPECT_EQ(image(root), kImageFolderOpen);
  const HTREEITEM f = childNamed(root, "f");
  ASSERT_NE(f, nullptr);
  EXPECT_TRUE(children(f).empty());

  click(f);
  EXPECT_EQ(names(f), std::vector<std::string>{"g.txt"});
  EXPECT_EQ(image(f), kImageFolderOpen);
  click(f);
  EXPECT_TRUE(children(f).empty());
  EXPECT_EQ(image(f), kImageFolder);

  // A file's click opens nothing.
  click(childNamed(root, "a.ppt"));
  EXPECT_EQ(names(root).size(), 4u);

  // Tips name the item under the pointer and nothing else.
  const std::string tip = treeTipAt(tree_, treeItemCentre(tree_, childNamed(root, "c.PDF")));
  EXPECT_NE(tip.find("color=\"255,0,255\">c.PDF</font>"), std::string::npos) << tip;
  RECT client = {};
  GetClientRect(tree_, &client);
  EXPECT_EQ(treeTipAt(tree_, {client.right / 2, client.bottom - 4}), "none");
}

TEST_F(LibraryTreeTest, WithoutAFolderTheRootOffersToChooseOne) {
  // As the configuration is shipped.
  writeFile(folder_ / L"ScriblyCfg.xml", "<Scribly><dirroot enable=\"true\" path=\"\"/></Scribly>");
  const std::string chosen = utf8(folder_ / L"f");
  build({{}, {}, [&] { return std::optional<std::string>(chosen); }});
  const HTREEITEM root = library_->rootItem();
  ASSERT_NE(root, nullptr);
  EXPECT_TRUE(IsWindowVisible(tree_));
  EXPECT_EQ(name(root), "Choose a library folder\u2026");
  // Nothing to reload yet: the menu offers only to choose.
  click(root, true);
  EXPECT_FALSE(menuItemEnabled(kLibraryMenuReload));
  EXPECT_TRUE(menuItemEnabled(kLibraryMenuChangeFolder));

  click(root);
  EXPECT_EQ(name(root), "Document library");
  EXPECT_EQ(names(root), std::vector<std::string>{"g.txt"});
  EXPECT_EQ(readLibraryRoot(config_), chosen);
}

TEST_F(LibraryTreeTest, MenuSharesFilesAndOnTheRootListsAndKeepsAnotherFolderUnlessCancelled) {
  std::vector<std::string> shared;
  bool mayShare = true;
  std::optional<std::string> choice;
  build({[&] { return mayShare; }, [&](const std::string& path) { shared.push_back(path); },
         [&] { return choice; }});
  const HTREEITEM root = library_->rootItem();
  click(root);

  click(root, true);
  EXPECT_FALSE(menuItemEnabled(kLibraryMenuShare));
  EXPECT_TRUE(menuItemEnabled(kLibraryMenuReload));
  EXPECT_TRUE(menuItemEnabled(kLibraryMenuChangeFolder));
  library_->command("print");
  EXPECT_TRUE(shared.empty());

  click(childNamed(root, "a.ppt"), true);
  EXPECT_TRUE(menuItemEnabled(kLibraryMenuShare));
  EXPECT_FALSE(menuItemEnabled(kLibraryMenuChangeFolder));
  library_->command("print");
  EXPECT_EQ(shared, std::vector<std::string>{utf8(folder_ / L"a.ppt")});

  // Without the page privilege the user is told why nothing happens.
  mayShare = false;
  EXPECT_NE(answerBox([&] { library_->command("print"); }).find(L"cannot share"),
            std::wstring::npos);
  EXPECT_EQ(shared.size(), 1u);

  // Another folder is listed and kept unless the choice is cancelled.
  const std::string before = readLibraryRoot(config_);
  library_->command("ChangeLibPath");
  EXPECT_EQ(library_->root(), before);
  EXPECT_EQ(readLibraryRoot(config_), before);

  choice = utf8(folder_ / L"f");
  library_->command("ChangeLibPath");
  EXPECT_EQ(library_->root(), *choice);
  EXPECT_EQ(names(library_->rootItem()), std::vector<std::string>{"g.txt"});
  EXPECT_EQ(readLibraryRoot(config_), *choice);
}

// A chosen folder replaces the configuration in one step: another instance
// reading it meanwhile finds the old file or the new one, never none and
// never half of one, and no file of the writing is left beside it.
TEST(Configuration, AChosenFolderReplacesTheFileInOneStep) {
  const TempFolder folder(L"scribly config");
  const std::filesystem::path config = folder / L"ScriblyCfg.xml";
  writeFile(config, "<Scribly><dirroot enable=\"true\" path=\"D:\\a\"/></Scribly>");
  const HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  int reads = 0, missing = 0;
  std::thread reader([&] {
    // A read a millisecond until the writing is done.
    while (WaitForSingleObject(done, 1) == WAIT_TIMEOUT) {
      HANDLE file = CreateFileW(config.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
      char text[256] = {};
      DWORD read = 0;
      if (file != INVALID_HANDLE_VALUE) ReadFile(file, text, sizeof text - 1, &read, nullptr);
      if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
      ++(std::strstr(text, "</Scribly>") ? reads : missing);
    }
  });
  const std::string path = fromWide(config.wstring(), kCodePageSystem);
  int failed = 0;
  for (int i = 1; i <= 200; ++i)
    failed += writeLibraryRoot(path, i % 2 ? "D:\\bb" : "D:\\a") != ConfigWrite::Written;
  SetEvent(done);
  reader.join();
  CloseHandle(done);
  EXPECT_EQ(failed, 0);
  EXPECT_EQ(missing, 0);
  EXPECT_GT(reads, 0);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
}

}  // namespace
}  // namespace scribly
