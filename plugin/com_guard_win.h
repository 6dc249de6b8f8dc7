#pragma once
// Exceptions (out of memory, mostly) must not cross into a COM caller.
#include <windows.h>

namespace scribly {

// Runs a COM method's body; an exception becomes `failure`.
template <class Body>
HRESULT guarded(Body&& body, HRESULT failure = S_FALSE) noexcept {
  try {
    return body();
  } catch (...) {
    return failure;
  }
}

}  // namespace scribly
