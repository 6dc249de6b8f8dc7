#!/usr/bin/env bash
# The Wine smoke test of relay mode: a redis-server of its own on a free
# loopback port, one relay node (native build), two join tokens, and
# scribly-host.exe (Windows build, under Wine) joining two participants to
# one conference over 127.0.0.1, playing the default session and comparing
# their boards (--verify); then a second host whose two participants join
# after the drawing and must catch up the same board; then a join with
# another user's token, which must fail. Prints "net-wine-smoke: passed" or
# "net-wine-smoke: failed: WHY" and exits 0 or 1. Stops only what it started.
#
#   scripts/lib/net-wine-smoke.sh [--no-build]
# --no-build uses the native and windows builds as they are (scripts/net-test
# has built them).
set -uo pipefail
source "$(dirname "$0")/common.sh"

fail() {
  echo "net-wine-smoke: failed: $*"
  exit 1
}

if [ "${1:-}" != --no-build ]; then
  setup_deps || fail "setup"
  mkdir -p build
  build_preset native || fail "the native build"
  build_preset windows || fail "the windows build"
fi

native_program() { # the path of native program $1
  local p
  for p in "build/native/bin/$1" "build/native/relayd/$1"; do
    [ -x "$p" ] && { echo "$p"; return 0; }
  done
  return 1
}
relayd=$(native_program scribly-relayd) || fail "no scribly-relayd in build/native"
token=$(native_program scribly-token) || fail "no scribly-token in build/native"
host=build/windows/bin/scribly-host.exe
[ -f "$host" ] || fail "no $host"

mkdir -p build/test-logs
work=$(mktemp -d "$ROOT/build/net-wine-smoke.XXXXXX")
pids=()
finish() {
  local i
  # The relay first, then its Redis.
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[i]}" 2>/dev/null
    wait "${pids[i]}" 2>/dev/null
  done
  type wine_stop >/dev/null 2>&1 && wine_stop
  # The logs outlive the run, for whoever reads a failure.
  cp "$work"/*.log build/test-logs/ 2>/dev/null
  rm -rf "$work"
}
trap finish EXIT

free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

redis_port=$(free_port) || fail "no free port"
redis-server --port "$redis_port" --bind 127.0.0.1 --save "" --appendonly no --dir "$work" \
  --logfile "$work/net-smoke-redis.log" &
pids+=($!)
for _ in $(seq 50); do
  [ "$(redis-cli -p "$redis_port" ping 2>/dev/null)" = PONG ] && break
  sleep 0.1
done
[ "$(redis-cli -p "$redis_port" ping 2>/dev/null)" = PONG ] || fail "redis-server did not start"

"$token" keygen "$work/key.pem" "$work/public.pem" >/dev/null || fail "scribly-token keygen"
"$relayd" --listen 127.0.0.1:0 --redis "127.0.0.1:$redis_port" --node smoke \
  --public-key "1:$work/public.pem" >"$work/relayd.out" 2>"$work/net-smoke-relayd.log" &
pids+=($!)
relay=
for _ in $(seq 100); do
  relay=$(sed -n 's/^listening on \([0-9.]*:[0-9]*\)$/\1/p' "$work/relayd.out")
  [ -n "$relay" ] && break
  kill -0 "${pids[-1]}" 2>/dev/null || break
  sleep 0.1
done
[ -n "$relay" ] || fail "scribly-relayd did not listen (build/test-logs/net-smoke-relayd.log)"

tokens=()
for user in 1 2 3 4; do
  t=$("$token" issue --key "$work/key.pem" --kid 1 --conference smoke --user "$user" --ttl 600) ||
    fail "scribly-token issue"
  tokens+=(--token "$t")
done

source scripts/lib/wine-env.sh
wine_start >/dev/null || fail "wine"
trap finish EXIT # wine_start set its own
timeout 180 "$WINE" "$host" --server-address "$relay" --conference smoke "${tokens[@]:0:4}" \
  --script "$(win_path host/demo_session.txt)" --verify --exit >"$work/net-smoke-host.log" 2>&1
code=$?
[ $code -eq 0 ] || fail "scribly-host.exe exited $code (build/test-logs/net-smoke-host.log)"
grep -q "all boards are identical" "$work/net-smoke-host.log" ||
  fail "the host compared no boards (build/test-logs/net-smoke-host.log)"
drawn=$(sed -n 's/^scribly-host: \([0-9]*\) messages describe each board.*/\1/p' "$work/net-smoke-host.log")

# Another host joins the conference the first has left: its participants
# start on the page nobody named and must still see what was drawn there.
timeout 180 "$WINE" "$host" --server-address "$relay" --conference smoke --first-user 3 \
  "${tokens[@]:4:4}" --verify --exit >"$work/net-smoke-joiner.log" 2>&1
code=$?
[ $code -eq 0 ] || fail "the joining host exited $code (build/test-logs/net-smoke-joiner.log)"
grep -q "^scribly-host: $drawn messages describe each board; all boards are identical" \
  "$work/net-smoke-joiner.log" ||
  fail "the joining host's boards are not the first host's $drawn messages" \
    "(build/test-logs/net-smoke-joiner.log)"

# A token for another user: the relay refuses the join, and the host says so.
timeout 120 "$WINE" "$host" --server-address "$relay" --conference smoke --first-user 2 \
  "${tokens[@]:0:2}" --verify --exit >"$work/net-smoke-refused.log" 2>&1
code=$?
[ $code -ne 0 ] && grep -q "link ended" "$work/net-smoke-refused.log" ||
  fail "a refused join exited $code (build/test-logs/net-smoke-refused.log)"
echo "net-wine-smoke: passed"
