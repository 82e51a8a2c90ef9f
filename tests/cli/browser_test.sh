#!/usr/bin/env bash
# Scans a small folder whose files share a passage with orvalis-scan, opens the
# HTML report in a headless Chromium and checks that the page, as the browser
# built it, marks exactly that passage in both files, and that the page's
# script made the pair table sortable.
#
# Usage: browser_test.sh ORVALIS_SCAN SCRATCH_FOLDER
# Exit status: 0 passed, 1 failed, 2 wrong usage, 77 skipped (no Chromium).
# The report and the page as the browser built it stay in SCRATCH_FOLDER
# (report.html, report.dom.html) for a look.
set -euo pipefail

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

if [[ $# -ne 2 ]]; then
  echo "usage: $0 ORVALIS_SCAN SCRATCH_FOLDER" >&2
  exit 2
fi
scan=$1
scratch=$2

chromium_bin=$(command -v chromium || command -v chromium-browser || true)
if [[ -z $chromium_bin ]]; then
  echo "SKIP: no Chromium found (command chromium or chromium-browser; Debian package chromium)"
  exit 77
fi
[[ -x $scan && ! -d $scan ]] || fail "orvalis-scan is not an executable file: $scan"

mkdir -p "$scratch" || fail "cannot create the scratch folder $scratch"
scratch=$(cd "$scratch" && pwd)
work=$(mktemp -d "$scratch/run.XXXXXX") || fail "cannot create a folder in $scratch"
trap 'rm -rf "$work"' EXIT
report=$scratch/report.html
dom=$scratch/report.dom.html
rm -f "$report" "$dom"

# Three files, numbered by name: alpha (0), beta (1), gamma (2). alpha and beta
# share the passage, alpha with Windows line breaks inside it, beta on one line;
# gamma shares no word with either. The words around the passage differ, so the
# alignment ends exactly at the passage's first and last word.
texts=$work/texts
mkdir "$texts"
printf '%s\r\n' "Alpha opens with zebra quokka." "Über den Wolken muss" \
  "die Freiheit wohl grenzenlos sein:" "café naïve façade R&D résumé" \
  "alpha closes yak walrus." >"$texts/alpha.txt"
printf '%s\n' "Beta starts lynx ocelot Über den Wolken muss die Freiheit wohl grenzenlos sein:" \
  "café naïve façade R&D résumé beta ends heron ibis." >"$texts/beta.txt"
printf '%s\n' "gamma 1 2 3" "4 5 6 7 8 9" >"$texts/gamma.txt"

# The passage as the page shows it: each file's own line breaks, reduced to one
# line feed, and the ampersand as the browser writes it back.
passage_alpha=$'Über den Wolken muss\ndie Freiheit wohl grenzenlos sein:\ncafé naïve façade R&amp;D résumé'
passage_beta=$'Über den Wolken muss die Freiheit wohl grenzenlos sein:\ncafé naïve façade R&amp;D résumé'

# An empty settings folder, so that no system settings are read.
mkdir "$work/xdg"
status=0
XDG_CONFIG_DIRS=$work/xdg "$scan" "$texts/alpha.txt" --html "$report" --quiet \
  >"$work/scan.log" 2>&1 || status=$?
if [[ $status -ne 0 ]]; then
  cat "$work/scan.log" >&2
  fail "orvalis-scan ended with status $status"
fi
[[ -s $report ]] || fail "orvalis-scan wrote no report at $report"

# file:// address of the report; the characters that would end or change the
# path are escaped.
url_path=${report//%/%25}
url_path=${url_path// /%20}
url_path=${url_path//#/%23}
url_path=${url_path//\?/%3F}
url=file://$url_path

# Runs Chromium on the report with a new empty profile, no network services and
# a time limit; its own messages go to a log that a failure prints.
run_chromium() {
  local profile
  profile=$(mktemp -d "$work/profile.XXXXXX")
  HOME=$work XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache \
    timeout 60 "$chromium_bin" --headless --no-sandbox --disable-gpu --disable-quic \
    --no-first-run --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$profile" "$@" "$url" 2>>"$work/chromium.log"
}

status=0
run_chromium --dump-dom >"$dom" || status=$?
if [[ $status -ne 0 ]]; then
  tail -n 30 "$work/chromium.log" >&2
  fail "Chromium could not load $url (status $status)"
fi
page=$(<"$dom")
[[ $page == *"<mark title=\"Result 1\">$passage_beta</mark>"* ]] ||
  fail "no <mark> holds the shared passage of beta.txt exactly; see $dom"
[[ $page == *"<mark title=\"Result 1\">$passage_alpha</mark>"* ]] ||
  fail "no <mark> holds the shared passage of alpha.txt (Windows line breaks) exactly; see $dom"
[[ $page == *'<th><button type="button">Share of first</button></th>'* ]] ||
  fail "the script did not make the pair table's headers sort buttons; see $dom"
# Nothing is loaded from anywhere: no source or link attribute leaves the page.
if grep -Eq '(src|href)="(https?:|//|file:)' "$dom"; then fail "the page refers to another resource; see $dom"; fi

echo "PASS: the report marks the shared passage in both files"
