# Sourced by scripts/fuzz and scripts/test (after common.sh): runs the
# libFuzzer targets of the fuzz build over their kept corpora, two at a time.
#
# A target's kept corpus is tests/fuzz/corpus/<target>/ (committed; every
# earlier finding lies there too); what a run discovers goes to
# build/fuzz-corpus/<target>/, and a finding's input to
# build/fuzz-findings/<target>/. A single allocation above FUZZ_MALLOC_MB or a
# process above FUZZ_RSS_MB is a finding, as is one input running longer than
# FUZZ_UNIT_SECONDS. A target's own libFuzzer flags (-max_len, -dict) sit in
# tests/fuzz/<target>.flags.
FUZZ_RSS_MB=${FUZZ_RSS_MB:-2048}
FUZZ_MALLOC_MB=${FUZZ_MALLOC_MB:-512}
FUZZ_UNIT_SECONDS=${FUZZ_UNIT_SECONDS:-60}
FUZZ_JOBS=${FUZZ_JOBS:-2}

# Every target built from tests/fuzz/*_fuzz.cpp, by name.
fuzz_targets() {
  local f
  for f in build/fuzz/tests/*_fuzz; do
    [ -x "$f" ] && basename "$f"
  done
}

# The limits, then the target's own flags, into fuzz_flags.
fuzz_flags=()
fuzz_set_flags() {
  fuzz_flags=(-rss_limit_mb="$FUZZ_RSS_MB" -malloc_limit_mb="$FUZZ_MALLOC_MB"
    -timeout="$FUZZ_UNIT_SECONDS")
  local own=tests/fuzz/$1.flags words
  if [ -f "$own" ]; then
    read -r -d '' -a words < <(sed 's/#.*//' "$own")
    fuzz_flags+=("${words[@]}")
  fi
}

# fuzz_one NAME SECONDS LOGDIR [merge]: fuzzes one target for SECONDS over its
# kept corpus (which it replays whole first). With "merge", the inputs that
# found new coverage are then merged into the kept corpus (-merge=1 only adds
# what the corpus does not cover yet). Leaves LOGDIR/NAME.log and
# LOGDIR/NAME.result: "seconds runs findings corpus-files added-files".
fuzz_one() {
  local name=$1 seconds=$2 logs=$3 merge=${4:-}
  local fuzzer=build/fuzz/tests/$name work=build/fuzz-corpus/$name
  local kept=tests/fuzz/corpus/$name found=build/fuzz-findings/$name
  local log=$logs/$name.log
  mkdir -p "$work" "$found"
  local corpora=("$work")
  [ -d "$kept" ] && corpora+=("$kept")
  fuzz_set_flags "$name"
  local start=$SECONDS rc
  "$fuzzer" -max_total_time="$seconds" "${fuzz_flags[@]}" -print_final_stats=1 \
    -artifact_prefix="$found/" "${corpora[@]}" >"$log" 2>&1
  rc=$?
  local elapsed=$((SECONDS - start))
  local runs findings
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n1)
  [ -n "$runs" ] || runs=$(sed -n 's/^#\([0-9]*\).*/\1/p' "$log" | tail -n1)
  findings=$(grep -c 'Test unit written to' "$log")
  # A target that dies without writing an input is still a finding.
  if [ "$rc" -ne 0 ] && [ "$findings" -eq 0 ]; then findings=1; fi
  local before=0 after=0
  [ -d "$kept" ] && before=$(find "$kept" -type f | wc -l)
  if [ -n "$merge" ]; then
    mkdir -p "$kept"
    "$fuzzer" -merge=1 "${fuzz_flags[@]}" -artifact_prefix="$found/" "$kept" "$work" \
      >"$logs/$name.merge.log" 2>&1
    after=$(find "$kept" -type f | wc -l)
  else
    after=$before
  fi
  echo "$elapsed ${runs:-0} $findings $after $((after - before))" >"$logs/$name.result"
}

# fuzz_all SECONDS LOGDIR MERGE [TARGET...]: fuzz_one for every target (or
# the ones named), FUZZ_JOBS at a time, MERGE "merge" or empty; a finding in
# one stops none of the others.
fuzz_all() {
  local seconds=$1 logs=$2 merge=$3 name
  shift 3
  local names=("$@")
  [ ${#names[@]} -gt 0 ] || mapfile -t names < <(fuzz_targets)
  mkdir -p "$logs"
  for name in "${names[@]}"; do
    rm -f "$logs/$name.result"
    while [ "$(jobs -rp | wc -l)" -ge "$FUZZ_JOBS" ]; do wait -n; done
    fuzz_one "$name" "$seconds" "$logs" "$merge" &
  done
  wait
}

# The inputs a target's last run left as findings, one a line.
fuzz_finding_inputs() {
  sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$1"
}
