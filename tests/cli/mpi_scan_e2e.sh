#!/usr/bin/env bash
# orvalis-scan-mpi against orvalis-scan: the same standard output, standard
# error and exit status at every number of ranks, and after runs killed and
# resumed from their journal.
#
#   mpi_scan_e2e.sh compare|errors|resume SCAN MPISCAN SAMPLES SCRATCH
set -uo pipefail
mode=$1 scan=$2 mpiscan=$3 samples=$4 scratch=$5
rm -rf "$scratch"
mkdir -p "$scratch/config"
export XDG_CONFIG_HOME=$scratch/config  # built-in settings
failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# mpirun's own notices (a rank's non-zero status) stay off standard error.
mpi() {
  local ranks=$1
  shift
  mpirun -q --oversubscribe --mca btl self,vader -np "$ranks" "$mpiscan" "$@"
}

# Runs orvalis-scan, then orvalis-scan-mpi at each number of ranks given, each
# with a results cache of its own, and compares output, errors and status.
# An --html file name may be given as HTML=path in the environment.
same() {
  local label=$1 ranks=$2
  shift 2
  XDG_CACHE_HOME=$scratch/cache-s "$scan" "$@" >"$scratch/s.out" 2>"$scratch/s.err"
  echo $? >"$scratch/s.rc"
  [ -n "${HTML:-}" ] && mv "$HTML" "$scratch/s.html"
  for n in $ranks; do
    rm -rf "$scratch/cache-$n"
    rm -f "$scratch/stats"
    ORVALIS_MPI_STATS=$scratch/stats XDG_CACHE_HOME=$scratch/cache-$n mpi "$n" "$@" \
      >"$scratch/m.out" 2>"$scratch/m.err"
    echo $? >"$scratch/m.rc"
    # A scan that compares anything takes every result from the workers.
    if [ "$mode" = compare ] && [ "$n" -gt 1 ] &&
      ! grep -q " records [1-9][0-9]* .* local 0 " "$scratch/stats"; then
      fail "$label, $n ranks: no results from the workers"
    fi
    for part in out err rc; do
      cmp -s "$scratch/s.$part" "$scratch/m.$part" || fail "$label, $n ranks: std$part differs"
    done
    if [ -n "${HTML:-}" ]; then
      cmp -s "$scratch/s.html" "$HTML" || fail "$label, $n ranks: HTML differs"
    fi
  done
  rm -rf "$scratch"/cache-*
}

# FILES files of WORDS words drawn from a vocabulary of VOCABULARY; every
# fourth a copy of the one before, so that scores tie.
make_folder() {
  local folder=$1 files=$2 words=$3 vocabulary=$4 seed=$5
  mkdir -p "$folder"
  awk -v files="$files" -v words="$words" -v vocabulary="$vocabulary" -v seed="$seed" \
      -v folder="$folder" 'BEGIN {
    srand(seed)
    for (f = 0; f < files; ++f) {
      name = sprintf("%s/t%03d.txt", folder, f)
      if (f % 4 == 3) { system("cp " previous " " name); continue }
      for (w = 0; w < words; ++w) printf "w%d%s", int(rand() * vocabulary), (w % 12 == 11 ? "\n" : " ") > name
      close(name)
      previous = name
    }
  }'
}

case $mode in
compare)
  make_folder "$scratch/ties" 12 300 40 7
  HTML=$scratch/report.html same "essays --json --all" "1 2 3" "$samples/lighthouse.txt" \
    --json --all --group-size 60 --html "$scratch/report.html"
  same "essays by E-value" "3" "$samples/lighthouse.txt" --max-evalue 1 --pairs
  same "ties --json --all" "2 3" "$scratch/ties/t000.txt" --json --all --group-size 60
  same "ties lines" "3" "$scratch/ties/t000.txt" --group-size 100
  # Workers on another vector kernel than rank 0's give the same bytes.
  args=("$samples/lighthouse.txt" --json --all --group-size 60 --no-cache)
  XDG_CACHE_HOME=$scratch/c "$scan" "${args[@]}" >"$scratch/s.out"
  XDG_CACHE_HOME=$scratch/c mpirun -q --oversubscribe --mca btl self,vader \
    -np 1 -x ORVALIS_KERNEL=avx2 "$mpiscan" "${args[@]}" : \
    -np 2 -x ORVALIS_KERNEL=portable "$mpiscan" "${args[@]}" >"$scratch/m.out"
  cmp -s "$scratch/s.out" "$scratch/m.out" || fail "workers on the portable kernel"
  ;;
errors)
  echo "words" >"$scratch/only.txt"
  same "no file" 3
  same "bad option" 3 --frobnicate x.txt
  same "missing file" 3 "$scratch/missing/x.txt"
  same "a file taken for a folder" 3 "$scratch/only.txt/x.txt"
  same "one file" 3 "$scratch/only.txt"
  mpi 2 --journal >"$scratch/m.out" 2>"$scratch/m.err"
  [ $? -eq 2 ] && grep -q "^orvalis-scan-mpi: option --journal needs a file" "$scratch/m.err" ||
    fail "--journal without a file"
  ;;
resume)
  make_folder "$scratch/big" 20 2000 300 11
  first=$scratch/big/t000.txt
  XDG_CACHE_HOME=$scratch/c "$scan" "$first" --json --all --no-cache >"$scratch/expected.json"
  killed=0
  for round in 1 2 3 4; do
    journal=$scratch/journal-$round
    XDG_CACHE_HOME=$scratch/c mpirun -q --oversubscribe --mca btl self,vader -np 3 "$mpiscan" \
      "$first" --json --all --no-cache --journal "$journal" >/dev/null 2>&1 &
    runner=$!
    # Once a range is journalled, kill rank 0 in odd rounds, a worker in even ones.
    for _ in $(seq 400); do
      [ "$(stat -c %s "$journal" 2>/dev/null || echo 0)" -gt 40 ] && break
      sleep 0.01
    done
    victim=$((round % 2 == 1 ? 0 : 2))
    for pid in $(pgrep -P "$runner"); do
      if { tr '\0' '\n' <"/proc/$pid/environ"; } 2>/dev/null | grep -qx "OMPI_COMM_WORLD_RANK=$victim"; then
        kill -KILL "$pid" && killed=$((killed + 1))
      fi
    done
    wait "$runner"
    rm -f "$scratch/stats"
    ORVALIS_MPI_STATS=$scratch/stats XDG_CACHE_HOME=$scratch/c mpi $((2 + round % 2)) "$first" \
      --json --all --no-cache --resume "$journal" >"$scratch/resumed.json" 2>"$scratch/m.err"
    cmp -s "$scratch/expected.json" "$scratch/resumed.json" || fail "round $round: output differs"
    [ -s "$scratch/m.err" ] && fail "round $round: $(cat "$scratch/m.err")"
    grep -q " resumed [1-9][0-9]* local 0 " "$scratch/stats" ||
      fail "round $round: nothing resumed, or pairs computed by rank 0: $(cat "$scratch/stats")"
  done
  echo "killed $killed runs in the middle"
  [ "$killed" -ge 2 ] || fail "only $killed runs were killed in the middle"
  # A journal of another scan is refused and left as it is.
  cp "$scratch/journal-1" "$scratch/other"
  mpi 2 "$samples/lighthouse.txt" --resume "$scratch/other" >/dev/null 2>"$scratch/m.err"
  [ $? -eq 1 ] && grep -q "^error: cannot use the journal .*another scan" "$scratch/m.err" ||
    fail "a journal of another scan: $(cat "$scratch/m.err")"
  cmp -s "$scratch/journal-1" "$scratch/other" || fail "a journal of another scan was changed"
  ;;
esac
[ "$failures" -eq 0 ] && echo "all passed"
exit $((failures > 0))
