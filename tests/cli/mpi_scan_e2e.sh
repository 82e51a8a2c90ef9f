#!/usr/bin/env bash
# orvalis-scan-mpi against orvalis-scan: the same standard output, standard
# error and exit status at every number of ranks, and after runs killed and
# resumed from their journal.
#
#   mpi_scan_e2e.sh compare|errors|resume SCAN MPISCAN SAMPLES SCRATCH
#
# resume: ORVALIS_RESUME_ROUNDS kills (3 unless set), at moments spread evenly
# over a measured scan, or at random ones with ORVALIS_RESUME_MOMENTS=random.
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
  same "ties --json --all" "2 3" "$scratch/ties/t000.txt" --json --all --group-size 60
  # Files of 200 to 500 words: groups of many sizes, so that a pair's best
  # E-value can lie in a result that is neither listed nor significant.
  mkdir -p "$scratch/lengths"
  awk -v folder="$scratch/lengths" 'BEGIN {
    srand(3)
    for (f = 0; f < 12; ++f) {
      name = sprintf("%s/t%03d.txt", folder, f)
      n = 200 + int(rand() * 300)
      for (w = 0; w < n; ++w) printf "w%d%s", int(rand() * 50), (w % 12 == 11 ? "\n" : " ") > name
      close(name)
    }
  }'
  same "lengths --pairs --sort evalue" "2" "$scratch/lengths/t000.txt" --group-size 30 --pairs \
    --sort evalue
  # A passage in every file: the statistics score comparisons again without it.
  make_folder "$scratch/shared" 14 400 80 5
  for file in "$scratch"/shared/*.txt; do
    { seq 150 | awk '{ printf "h%d ", ($1 * 37) % 60 }'; echo; cat "$file"; } >"$file.new"
    mv "$file.new" "$file"
  done
  for listing in "" "--pairs --sort evalue" "--max-evalue 0.5 --json" "--json --pairs" "--all"; do
    # shellcheck disable=SC2086
    same "shared $listing" "2 3" "$scratch/shared/t000.txt" --group-size 50 $listing
    # Rank 0 keeps whole only the results these listings can take: at most
    # 200 by threshold, some 1300 of E-value 0.5 or less, of 13104.
    kept=$(sed -n 's/.* kept \([0-9a-z]*\)$/\1/p' "$scratch/stats")
    [ "$kept" != all ] && [ "$kept" -le 1500 ] || fail "shared $listing: rank 0 kept $kept results"
  done
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
  same "a file taken for a folder" 3 "$scratch/only.txt/x.txt"
  same "one file" 3 "$scratch/only.txt"
  mpi 2 "$scratch/only.txt" --fast --max-evalue 1 >"$scratch/m.out" 2>"$scratch/m.err"
  [ $? -eq 2 ] && grep -q "^orvalis-scan-mpi: option --fast is not available across ranks" \
    "$scratch/m.err" && [ ! -s "$scratch/m.out" ] || fail "--fast is not refused"
  mpi 2 --journal >"$scratch/m.out" 2>"$scratch/m.err"
  [ $? -eq 2 ] && grep -q "^orvalis-scan-mpi: option --journal needs a file" "$scratch/m.err" ||
    fail "--journal without a file"
  ;;
resume)
  make_folder "$scratch/big" 24 4000 300 11
  first=$scratch/big/t000.txt
  rounds=${ORVALIS_RESUME_ROUNDS:-3}
  # Odd rounds list by E-value, where rank 0 keeps scores alone; even ones
  # every result, which it keeps whole.
  listing() { if [ $(($1 % 2)) -eq 1 ]; then echo "--json --max-evalue 1 --pairs"; else echo "--json --all"; fi; }
  for kind in 0 1; do
    # shellcheck disable=SC2046
    XDG_CACHE_HOME=$scratch/c "$scan" "$first" $(listing $kind) --no-cache >"$scratch/expected-$kind"
  done
  # Waits until FILE exists (the run has started its scan), at most 20 s.
  await_file() {
    for _ in $(seq 2000); do
      [ -e "$1" ] && return
      sleep 0.01
    done
  }
  # How long the scan of a run takes here and now, from the journal's start to
  # its last range: the kills are spread over it.
  # shellcheck disable=SC2046
  XDG_CACHE_HOME=$scratch/c mpi 3 "$first" $(listing 1) --no-cache --journal "$scratch/timing" \
    >/dev/null 2>&1 &
  runner=$!
  await_file "$scratch/timing"
  started=$(date +%s%3N)
  wait "$runner"
  span=$(($(stat -c %.3Y "$scratch/timing" | tr -d .) - started))
  killed=0
  for round in $(seq "$rounds"); do
    journal=$scratch/journal-$round
    if [ "${ORVALIS_RESUME_MOMENTS:-spread}" = random ]; then
      wait_ms=$((RANDOM * span / 32768))
    else
      wait_ms=$((span * round / (rounds + 1)))
    fi
    # shellcheck disable=SC2046
    XDG_CACHE_HOME=$scratch/c mpirun -q --oversubscribe --mca btl self,vader -np 3 "$mpiscan" \
      "$first" $(listing $round) --no-cache --journal "$journal" >/dev/null 2>&1 &
    runner=$!
    await_file "$journal"
    sleep "$(printf '%d.%03d' $((wait_ms / 1000)) $((wait_ms % 1000)))"
    # Rank 0 in odd rounds, a worker in even ones.
    victim=$((round % 2 == 1 ? 0 : 2))
    hit=
    for pid in $(pgrep -P "$runner"); do
      if { tr '\0' '\n' <"/proc/$pid/environ"; } 2>/dev/null | grep -qx "OMPI_COMM_WORLD_RANK=$victim"; then
        kill -KILL "$pid" 2>/dev/null && hit=killed
      fi
    done
    wait "$runner"
    [ -n "$hit" ] && killed=$((killed + 1))
    journalled=$(($(stat -c %s "$journal" 2>/dev/null || echo 0) > 40))
    rm -f "$scratch/stats"
    # shellcheck disable=SC2046
    ORVALIS_MPI_STATS=$scratch/stats XDG_CACHE_HOME=$scratch/c mpi $((2 + round % 2)) "$first" \
      $(listing $round) --no-cache --resume "$journal" >"$scratch/resumed.json" 2>"$scratch/m.err"
    echo "round $round: rank $victim after ${wait_ms} ms of ${span}: ${hit:-not running}," \
      "$(cut -d' ' -f7-8 "$scratch/stats" 2>/dev/null)"
    cmp -s "$scratch/expected-$((round % 2))" "$scratch/resumed.json" ||
      fail "round $round: output differs"
    [ -s "$scratch/m.err" ] && fail "round $round: $(cat "$scratch/m.err")"
    grep -q " local 0 " "$scratch/stats" || fail "round $round: pairs computed by rank 0"
    if [ "$journalled" -eq 1 ] && ! grep -q " resumed [1-9]" "$scratch/stats"; then
      fail "round $round: a journal with ranges, nothing resumed: $(cat "$scratch/stats")"
    fi
  done
  echo "killed $killed of $rounds runs in the middle"
  [ "$killed" -ge 1 ] || fail "no run was killed in the middle"
  ;;
esac
[ "$failures" -eq 0 ] && echo "all passed"
exit $((failures > 0))
