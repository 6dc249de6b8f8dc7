#include "plugin/module_win.h"

namespace scribly {
namespace {

volatile LONG g_locks = 0;

}  // namespace

void lockModule() { InterlockedIncrement(&g_locks); }
void unlockModule() { InterlockedDecrement(&g_locks); }
long moduleLockCount() { return g_locks; }

}  // namespace scribly
