# Sourced by the scripts: the checkout's root, set-up and the builds.
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
cd "$ROOT"

# Installs packages and cross-built dependencies (quick when nothing is missing).
setup_deps() {
  SCRIBLY_DEPS=$("$ROOT/scripts/setup" | tail -n 1)
  export SCRIBLY_DEPS
}

build_preset() {
  local preset=$1
  if [ ! -f "build/$preset/build.ninja" ]; then
    cmake --preset "$preset" >/dev/null || return 1
  fi
  cmake --build --preset "$preset" >"build/$preset.log" 2>&1 || {
    tail -n 40 "build/$preset.log" >&2
    echo "build of $preset failed (log: build/$preset.log)" >&2
    return 1
  }
}

# A Linux path as Windows programs under Wine see it.
win_path() { echo "Z:$(realpath -m "$1" | tr / '\\')"; }

# The photographs the demo's hand session opens and pastes (build/demo).
demo_pictures() {
  python3 "$ROOT/scripts/lib/demo_pictures.py" "$ROOT/build/demo"
}

# Removes the page picture the demo's hand saves, so that its save dialog
# never asks to overwrite one; called before each run of the hand session.
demo_forget_saved_page() {
  rm -f "$ROOT/build/demo/saved-page.bmp"
}
