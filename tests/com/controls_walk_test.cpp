// Every control of the installed skin, pressed by hand in a live session with
// a peer, does something a person or the peer notices: a message to the peer,
// a window shown or hidden, a menu or a dialog, a changed check, enabled
// state, text or tree, or a changed pen in the panels that show it. Pop-ups a
// press opens are walked in turn, every menu item too. And no text a person
// meets on the way is a language key.
#include <gtest/gtest.h>
#include <scribly.h>
// After windows.h, which scribly.h brings.
#include <commctrl.h>

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/bmp_file.h"
#include "base/file_bytes.h"
#include "base/xml_document.h"
#include "host_session.h"

namespace scribly::test {
namespace {

constexpr POINT kCentre = {-1, -1};

// Beyond the skin's buttons, which take the left button at their centre: the
// panels that take a click and the frame's elements that also take the right
// button, where a hand presses them (`again` for a second try); and presses
// inert on purpose, with the reason. An entry ends a walk path: an element,
// "tree/row", "(right)" for the right button, "> item N" for a menu's item.
struct Special {
  const char* what;
  POINT at = kCentre;
  POINT again = kCentre;
  const char* inert = nullptr;
};
const Special kSpecial[] = {
    {"color picker"},
    {"line width", {32, 53}, {32, 9}},  // the widest bar, then the thinnest
    {"font set"},
    {"scribly main frame/line (right)"},
    {"scribly main frame/lineSA (right)"},
    {"scribly main frame/lineDA (right)"},
    {"scribly main frame/ellipse (right)"},
    {"scribly main frame/halfcircle1 (right)"},
    {"scribly main frame/halfcircle2 (right)"},
    {"scribly main frame/halfcircle3 (right)"},
    {"scribly main frame/halfcircle4 (right)"},
    {"scribly main frame/view wnd (right)", {230, 210}},  // on the walk's picture
    {"vdtree/Whiteboard pages (right)", kCentre, kCentre, "a heading has no menu"},
    {"vdtree/My pages (right)", kCentre, kCentre, "a heading has no menu"},
    {"rows under Whiteboard pages (right) > item 2", kCentre, kCentre,
     "the lead holds the meeting's pages: there is nothing to reload"},
    {"rows under My pages (right) > item 2", kCentre, kCentre,
     "the lead holds the meeting's pages: there is nothing to reload"},
};

// A press the walk makes: an element of a window, or a row of its tree.
struct Target {
  std::string key;   // what was walked: "window/element[/row][ (right)]"
  std::string menu;  // what its menu's items are walked as
  std::string element;
  std::wstring item;
  bool right = false;
  POINT at = kCentre;
  POINT again = kCentre;
};

std::vector<HTREEITEM> visibleItems(HWND tree) {
  std::vector<HTREEITEM> items;
  for (auto item =
           reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_FIRSTVISIBLE, 0));
       item; item = reinterpret_cast<HTREEITEM>(SendMessageW(
                 tree, TVM_GETNEXTITEM, TVGN_NEXTVISIBLE, reinterpret_cast<LPARAM>(item)))) {
    if (RECT box; treeItemBox(tree, item, box)) items.push_back(item);
  }
  return items;
}

// The names of the skin's buttons, from the skin files installed beside the plug-in.
std::set<std::string> skinButtons() {
  std::set<std::string> names;
  const std::wstring dll = dllPath();
  const std::string folder = narrow(dll.substr(0, dll.rfind(L'\\'))) + "\\ScriblySkin\\";
  WIN32_FIND_DATAA found;
  const FindHandle search(FindFirstFileA((folder + "*.xml").c_str(), &found));
  if (!search) return names;
  do {
    XmlDocument skin;
    if (!skin.load(folder + found.cFileName)) continue;
    std::function<void(XmlElementHandle)> visit = [&](XmlElementHandle e) {
      for (; e; e = e.nextSibling()) {
        if (e.name() == "button" || e.name() == "radio" || e.name() == "check")
          names.insert(e.attribute("name").value());
        visit(e.firstChild());
      }
    };
    visit(skin.root());
  } while (FindNextFileA(search.get(), &found));
  return names;
}

class ControlWalk : public Interface {
 protected:
  // What a person and the peer could notice.
  struct Look {
    std::map<HWND, std::wstring> windows;  // shown ones: text, enabled, checked, tree rows
    std::vector<Shot> pen;                 // the panels that show the pen
    std::set<HWND> pops;                   // shown top-level skin windows
    bool operator==(const Look& o) const { return windows == o.windows && pen == o.pen; }
  };

  Look look() {
    Look now;
    for (HWND top : threadWindows()) {
      const std::wstring kind = className(top);
      if (kind == TOOLTIPS_CLASSW) readTips(top);
      if (!IsWindowVisible(top) || kind == TOOLTIPS_CLASSW) continue;
      if (!skinName(top).empty()) now.pops.insert(top);
      for (HWND w : descendants(top)) {
        if (!IsWindowVisible(w)) continue;
        std::wstring state = windowText(w);
        seen(state, skinName(w));
        state += IsWindowEnabled(w) ? L"|on" : L"|off";
        const std::wstring wkind = className(w);
        if (wkind == L"Button" || wkind == L"BUTTON" || wkind == L"ScriblySkinControl")
          state += SendMessageW(w, BM_GETCHECK, 0, 0) == BST_CHECKED ? L"|checked" : L"";
        if (wkind == WC_TREEVIEWW)
          for (HTREEITEM item : visibleItems(w)) {
            const std::wstring label = treeLabel(w, item);
            seen(label, "a tree row");
            const TVITEMW info = treeItem(w, item);
            state += L"|" + label + L":" + std::to_wstring(info.iImage) + L":" +
                     std::to_wstring(info.state & TVIS_EXPANDED);
          }
        now.windows[w] = state;
      }
    }
    for (const char* panel : {"color picker", "line width", "font set"}) {
      HWND w = element(panel);
      for (HWND pop : now.pops)
        if (!w) w = findSkinWindow(pop, panel);
      now.pen.push_back(w && IsWindowVisible(w) ? shoot(w) : Shot{});
    }
    return now;
  }

  void readTips(HWND tooltip) {
    const int count = static_cast<int>(SendMessageW(tooltip, TTM_GETTOOLCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      wchar_t text[1024] = {};
      TTTOOLINFOW info = {};
      info.cbSize = sizeof info;
      info.lpszText = text;
      if (SendMessageW(tooltip, TTM_ENUMTOOLSW, static_cast<WPARAM>(i),
                       reinterpret_cast<LPARAM>(&info)))
        seen(text, "a tip");
    }
  }

  // Every text a person meets; keys are kept with where they showed.
  void seen(const std::wstring& text, const std::string& where) {
    if (text.find(L"Scribly_") != std::wstring::npos)
      keysShown_.insert(narrow(text) + " (" + where + ")");
  }

  // Where a target is now: its window and the client point to press; null
  // when it is not there to press.
  HWND locate(HWND top, const Target& t, POINT& at) {
    HWND window = nullptr;
    for (HWND w : descendants(top))
      if (reachable(w) && skinName(w) == t.element) {
        window = w;
        break;
      }
    if (!window) return nullptr;
    RECT box;
    GetClientRect(window, &box);
    at = t.at.x == kCentre.x ? POINT{box.right / 2, box.bottom / 2} : t.at;
    if (t.item.empty()) return window;
    for (HTREEITEM item : visibleItems(window)) {
      RECT row;
      if (treeLabel(window, item) != t.item || !treeItemBox(window, item, row)) continue;
      at = {(row.left + row.right) / 2, (row.top + row.bottom) / 2};
      return window;
    }
    return nullptr;
  }

  static const Special* special(const std::string& path) {
    for (const Special& s : kSpecial) {
      const std::string what = s.what;
      if (path == what || (path.size() > what.size() && path.ends_with(what) &&
                           path[path.size() - what.size() - 1] == '/'))
        return &s;
    }
    return nullptr;
  }

  // The presses a window offers now. Tree rows come after the rows below
  // them, which a heading folds away.
  std::vector<Target> targetsIn(HWND top) {
    const std::string window = skinName(top);
    std::vector<Target> targets;
    auto add = [&](Target t) {
      if (t.right) {
        t.key += " (right)";
        t.menu += " (right)";
      }
      const Special* s = special(t.key);
      if (s && s->inert) return;
      if (s) {
        t.at = s->at;
        t.again = s->again;
      }
      targets.push_back(std::move(t));
    };
    for (HWND w : descendants(top)) {
      const std::string name = skinName(w);
      if (name.empty() || !reachable(w)) continue;
      const std::string path = window + "/" + name;
      if (buttons_.contains(name) || special(path)) add({path, name, name, {}, false});
      if (special(path + " (right)")) add({path, name, name, {}, true});
      if (className(w) != WC_TREEVIEWW) continue;
      const std::vector<HTREEITEM> rows = visibleItems(w);
      for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
        const std::wstring label = treeLabel(w, *row);
        const auto heading = reinterpret_cast<HTREEITEM>(
            SendMessageW(w, TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(*row)));
        const std::string rowPath = path + "/" + narrow(label);
        add({rowPath, rowPath, name, label, false});
        add({rowPath, heading ? path + "/rows under " + narrow(treeLabel(w, heading)) : rowPath,
             name, label, true});
      }
    }
    return targets;
  }

  // A press by hand with whatever it opens modally answered: the menu item
  // `menuItem` chosen (Escape when negative), dialogs cancelled.
  bool press(HWND top, const Target& t, Hand& hand) {
    POINT at;
    HWND window = locate(top, t, at);
    if (!window) return false;
    hand.click(window, at, t.right);
    relay();
    return true;
  }

  // Puts back what the press showed beyond what `before` had: Escape first,
  // as a hand ends a capture or an edit, then whatever is still up is hidden.
  void tidy(const Look& before) {
    const Look now = look();
    bool added = false;
    for (const auto& [w, state] : now.windows) added |= !before.windows.contains(w);
    if (!added) return;
    pressKeys({VK_ESCAPE});
    for (HWND w : look().pops)
      if (!before.pops.contains(w)) ShowWindow(w, SW_HIDE);
    if (GetCapture()) ReleaseCapture();
    settle(30);
    relay();
  }

  struct Pressed {
    bool alive = false;   // a person or the peer noticed something
    bool opened = false;  // a menu, a dialog or a window came up
  };

  // The effect of one press, and the walk of what it opened.
  Pressed pressed(HWND top, const Target& t, const std::function<void()>& reopen,
                  std::optional<int> item, const std::vector<UINT>* statesBefore = nullptr) {
    if (!IsWindowVisible(top)) reopen();
    if (!item) prepare(t.element);
    const Look before = look();
    Hand hand;
    hand.menuItem = item.value_or(-1);
    if (!press(top, t, hand)) {
      ADD_FAILURE() << t.key << " is not there to press";
      return {true, false};
    }
    for (const std::wstring& text : hand.texts) seen(text, "a menu or dialog");
    const Look after = look();
    Pressed result;
    result.opened = hand.dialogs > 0 || (!item && hand.menus > 0) || after.pops != before.pops;
    result.alive = result.opened || !lastSent_.empty() || !(before == after);
    // An item that changes what the menu offers next time.
    if (!result.alive && statesBefore) result.alive = menuStates(top, t, reopen) != *statesBefore;
    // What the press opened is walked too: its menu's items, its windows.
    if (!item && hand.menus > 0) walkMenu(top, t, reopen);
    for (HWND pop : after.pops) {
      if (before.pops.contains(pop) || !IsWindowVisible(pop) || walking_.contains(pop)) continue;
      // A pop-up comes back the way it first came: another way may do more
      // (adding a page also shows the contents).
      auto again = [this, top, t, item, reopen] {
        reopen();
        Hand hand;
        hand.menuItem = item.value_or(-1);
        press(top, t, hand);
      };
      walk(pop, openers_.try_emplace(pop, again).first->second);
    }
    tidy(before);
    return result;
  }

  // The item states the menu of `t` shows when opened now.
  std::vector<UINT> menuStates(HWND top, const Target& t, const std::function<void()>& reopen) {
    if (!IsWindowVisible(top)) reopen();
    Hand hand;
    hand.menuItem = -1;
    press(top, t, hand);
    for (const std::wstring& text : hand.texts) seen(text, "a menu or dialog");
    return hand.menuStates;
  }

  // What some presses need first: a background picture to scale, a picture
  // to edit, a brightness to reset (a key on its bar, as a hand does).
  void prepare(const std::string& element) {
    std::string script;
    if (element == "bkgnd scale") script = "background " + photo_;
    if (element == "view wnd") script = "picture 150 150 160 120";
    if (!script.empty()) {
      EXPECT_EQ(runScript(*ann_, script), S_OK);
    }
    HWND panel = visiblePanel("scribly EditPicture panel");
    HWND bar = panel ? findSkinWindow(panel, "painter trackbar brightness") : nullptr;
    if (element == "painter editpic btnReset" && bar) {
      SetFocus(bar);
      pressKeys({VK_NEXT});
    }
    relay();
  }

  void walkMenu(HWND top, const Target& opener, const std::function<void()>& reopen) {
    std::vector<int> later;
    for (int pass = 0; pass < 2; ++pass) {
      prepare(opener.element);
      std::vector<UINT> states = menuStates(top, opener, reopen);
      // The second pass takes again the items that did nothing in the first.
      std::vector<int> items = std::exchange(later, {});
      if (pass == 0)
        for (int i = 0; i < static_cast<int>(states.size()); ++i) items.push_back(i);
      for (int i : items) {
        const std::string key = opener.menu + " > item " + std::to_string(i);
        if (pass == 0 && !walked_.insert(key).second) continue;
        if (i >= static_cast<int>(states.size()) || (special(key) && special(key)->inert)) continue;
        const bool enabled = !(states[static_cast<size_t>(i)] & (MF_GRAYED | MF_DISABLED));
        const bool alive = enabled && pressed(top, opener, reopen, i, &states).alive;
        if (!alive && pass == 0) later.push_back(i);
        if (!alive && pass == 1 && enabled) dead_.push_back(key);
        states = menuStates(top, opener, reopen);
      }
    }
  }

  // Presses every target of `top` once. One that showed nothing is pressed
  // again, at the table's second point when it gives one, after a neighbour
  // that did something without opening anything: a tool already in hand
  // shows nothing until another one was chosen.
  void walk(HWND top, const std::function<void()>& reopen) {
    walking_.insert(top);
    std::vector<Target> targets;
    std::vector<Pressed> results;
    // The rows under one heading offer one menu: the first whose right
    // button opens it stands for the rest (a whiteboard page has it only
    // while it is shown).
    std::map<std::string, bool> rowMenus;
    for (Target& t : targetsIn(top)) {
      const bool row = t.right && !t.item.empty();
      // A row walked before (the frame is walked twice) says nothing here.
      if (!walked_.insert(t.key).second || (row && rowMenus[t.menu])) continue;
      results.push_back(pressed(top, t, reopen, std::nullopt));
      if (row) rowMenus[t.menu] = rowMenus[t.menu] || results.back().opened;
      targets.push_back(std::move(t));
    }
    for (const auto& [menu, opened] : rowMenus)
      if (!opened) dead_.push_back(menu);
    for (size_t k = 0; k < targets.size(); ++k) {
      if (results[k].alive || (targets[k].right && !targets[k].item.empty())) continue;
      for (size_t j = 1; j < targets.size(); ++j) {
        const size_t n = (k + j) % targets.size();
        if (results[n].alive && !results[n].opened && !targets[n].right &&
            targets[n].item.empty() && parentOf(top, targets[n]) == parentOf(top, targets[k])) {
          pressed(top, targets[n], reopen, std::nullopt);
          break;
        }
      }
      Target retry = targets[k];
      if (retry.again.x != kCentre.x) retry.at = retry.again;
      if (!pressed(top, retry, reopen, std::nullopt).alive) dead_.push_back(retry.key);
    }
    walking_.erase(top);
  }

  HWND parentOf(HWND top, const Target& t) {
    POINT at;
    HWND window = locate(top, t, at);
    return window ? GetParent(window) : nullptr;
  }

  Messages relay() {
    lastSent_ = Interface::relay();
    return lastSent_;
  }

  std::set<std::string> buttons_;
  std::string photo_;
  std::set<std::string> walked_;
  std::set<HWND> walking_;
  std::map<HWND, std::function<void()>> openers_;
  std::vector<std::string> dead_;
  std::set<std::string> keysShown_;
  Messages lastSent_;
};

TEST_F(ControlWalk, EveryControlDoesSomethingAndNoneShowsALanguageKey) {
  handsOnAnn();
  buttons_ = skinButtons();
  ASSERT_GT(buttons_.size(), 40u);
  // Text on the clipboard, so that "paste" is enabled.
  const char words[] = "pasted by the walk";
  ASSERT_TRUE(putOnClipboard({{CF_TEXT, std::vector<uint8_t>(words, words + sizeof words)}}));
  // A small photo for the background menus.
  photo_ = narrow(tempPath(L"scribly-walk-photo.bmp"));
  const auto layout = bmpLayout(200, 150, 24);
  std::vector<uint8_t> pixels(layout->pixelBytes(), 0x80);
  writeFileBytes(photo_, bmpFileBytes(*layout, {}, pixels));

  const auto nothing = [] {};
  walk(ann_->frame, nothing);
  // A shorter frame keeps the extension panel in its pop-up, behind its button.
  MoveWindow(ann_->frame, 0, 0, 960, 500, TRUE);
  settle(100);
  walk(ann_->frame, nothing);

  auto list = [](const auto& keys) {
    std::string lines;
    for (const std::string& key : keys) lines += "\n  " + key;
    return lines;
  };
  EXPECT_TRUE(dead_.empty()) << "pressed and nothing happened:" << list(dead_);
  EXPECT_TRUE(keysShown_.empty()) << "language keys shown:" << list(keysShown_);
  DeleteFileA(photo_.c_str());
}

}  // namespace
}  // namespace scribly::test
