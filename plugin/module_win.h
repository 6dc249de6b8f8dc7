#pragma once
// The COM server's lock count: instances and server locks keep the module loaded.
#include "win/module.h"

namespace scribly {

void lockModule();
void unlockModule();
long moduleLockCount();

}  // namespace scribly
