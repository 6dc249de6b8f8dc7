#pragma once
// What this process holds, counted from inside: GDI and USER objects and
// committed private memory. Wine answers GetGuiResources with 0 and offers no
// process memory counters, so each count has a way that works there too.
#include <windows.h>
#include <winternl.h>

#include <cstddef>
#include <cstdint>

namespace scribly {

// GDI objects of this process, contexts included, as the system counts them.
// Wine keeps the handle table the process environment block points to; a
// used entry has a non-zero type.
inline long liveGdiObjects() {
  if (const DWORD n = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS)) return n;
  struct Entry {
    uint64_t object;
    uint32_t owner;
    uint16_t unique;
    uint8_t type;
    uint8_t flags;
    uint64_t user;
  };
  static_assert(sizeof(Entry) == 24);
  constexpr size_t kTableOffset = 0xF8;  // GdiSharedHandleTable in the 64-bit block
  constexpr int kEntries = 0x10000;
  using Query = NTSTATUS(WINAPI*)(HANDLE, PROCESSINFOCLASS, void*, ULONG, ULONG*);
  const auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
  PROCESS_BASIC_INFORMATION info{};
  if (!query || query(GetCurrentProcess(), ProcessBasicInformation, &info, sizeof info, nullptr))
    return -1;
  const auto* peb = reinterpret_cast<const uint8_t*>(info.PebBaseAddress);
  const auto* table = *reinterpret_cast<const Entry* const*>(peb + kTableOffset);
  if (!table) return -1;
  long n = 0;
  for (int i = 0; i < kEntries; ++i) n += table[i].type != 0;
  return n;
}

// USER objects of this process: windows, menus, icons and cursors. Where the
// system does not count them, windows are enumerated (message-only ones
// too), and menus and icons are found in the handle table: Wine takes a
// handle's index alone (high word 0) for any of its generations.
inline long liveUserObjects() {
  if (const DWORD n = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS)) return n;
  struct Count {
    DWORD process = GetCurrentProcessId();
    long n = 0;
    static BOOL CALLBACK child(HWND, LPARAM self) {
      ++reinterpret_cast<Count*>(self)->n;
      return TRUE;
    }
    static BOOL CALLBACK top(HWND w, LPARAM self) {
      auto* count = reinterpret_cast<Count*>(self);
      DWORD owner = 0;
      GetWindowThreadProcessId(w, &owner);
      if (owner != count->process) return TRUE;
      ++count->n;
      EnumChildWindows(w, child, self);
      return TRUE;
    }
  } count;
  EnumWindows(Count::top, reinterpret_cast<LPARAM>(&count));
  for (HWND w = FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); w;
       w = FindWindowExW(HWND_MESSAGE, w, nullptr, nullptr))
    Count::top(w, reinterpret_cast<LPARAM>(&count));
  using IconSize = BOOL(WINAPI*)(HICON, UINT, LONG*, LONG*);
  const auto iconSize = reinterpret_cast<IconSize>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"win32u.dll"), "NtUserGetIconSize")));
  constexpr uintptr_t kFirstHandle = 0x20, kLastHandle = 0xFFEF;
  for (uintptr_t h = kFirstHandle; h <= kLastHandle; h += 2) {
    LONG width = 0, height = 0;
    if (IsMenu(reinterpret_cast<HMENU>(h)) ||
        (iconSize && iconSize(reinterpret_cast<HICON>(h), 0, &width, &height)))
      ++count.n;
  }
  return count.n;
}

// Bytes of memory committed to this process alone (no images, no mapped
// files), summed region by region over the address space, less what the
// heaps keep free: they keep freed blocks committed for reuse, so a leak
// first fills them without committing more.
inline size_t heldPrivateBytes() {
  size_t held = 0;
  MEMORY_BASIC_INFORMATION region;
  for (auto* at = static_cast<const uint8_t*>(nullptr);
       VirtualQuery(at, &region, sizeof region) == sizeof region;
       at = static_cast<const uint8_t*>(region.BaseAddress) + region.RegionSize) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) held += region.RegionSize;
  }
  HANDLE heaps[256];
  const DWORD count = GetProcessHeaps(256, heaps);
  for (DWORD i = 0; i < count && i < 256; ++i) {
    if (!HeapLock(heaps[i])) continue;
    PROCESS_HEAP_ENTRY entry = {};
    while (HeapWalk(heaps[i], &entry))
      if (entry.wFlags == 0) held -= entry.cbData;
    HeapUnlock(heaps[i]);
  }
  return held;
}

}  // namespace scribly
