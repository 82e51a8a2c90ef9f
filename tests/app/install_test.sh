#!/usr/bin/env bash
# Installs the build into a temporary root (DESTDIR) and checks every installed
# file: the programs run, the icons have their sizes, the desktop entry and the
# AppStream metainfo validate, and the settings file is the defaults.
# Arguments: the build folder, the install prefix, the settings folder as the
# install rules name it (relative to the prefix or absolute), the source folder.
set -euo pipefail
build=$1 prefix=$2 settings_destination=$3 source=$4
id=example.tovimar.Orvalis

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
DESTDIR="$stage" cmake --install "$build" >/dev/null
root="$stage$prefix"
case "$settings_destination" in
  /*) settings="$stage$settings_destination" ;;
  *) settings="$root/$settings_destination" ;;
esac

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

for program in orvalis orvalis-scan; do
  [ -x "$root/bin/$program" ] || fail "bin/$program is missing or not executable"
done
[ "$(QT_QPA_PLATFORM=offscreen "$root/bin/orvalis" --version 2>/dev/null)" = "Orvalis Version 1.1" ] ||
  fail "the installed orvalis does not run"

# PNG width and height: the big-endian words at bytes 16 and 20.
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{print $1*16777216+$2*65536+$3*256+$4 "x" $5*16777216+$6*65536+$7*256+$8}'; }
for size in 16 24 32 48 64 128 256; do
  icon="$root/share/icons/hicolor/${size}x${size}/apps/$id.png"
  if [ ! -f "$icon" ]; then
    fail "icon ${size}x${size} is missing"
  elif [ "$(png_size "$icon")" != "${size}x${size}" ]; then
    fail "icon ${size}x${size} is $(png_size "$icon")"
  fi
done
grep -q '<svg' "$root/share/icons/hicolor/scalable/apps/$id.svg" 2>/dev/null || fail "the scalable icon is missing"

desktop="$root/share/applications/$id.desktop"
if [ ! -f "$desktop" ]; then
  fail "the desktop entry is missing"
else
  desktop-file-validate "$desktop" || fail "the desktop entry does not validate"
  grep -qx 'Exec=orvalis %f' "$desktop" || fail "the desktop entry does not start orvalis with its file"
  grep -qx "Icon=$id" "$desktop" || fail "the desktop entry names another icon"
fi

metainfo="$root/share/metainfo/$id.metainfo.xml"
if [ ! -f "$metainfo" ]; then
  fail "the AppStream metainfo is missing"
else
  appstreamcli validate --no-net "$metainfo" >/dev/null || fail "the AppStream metainfo does not validate"
  grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
    fail "the metainfo does not launch the installed desktop entry"
fi

if [ ! -f "$settings/Orvalis.conf" ]; then
  fail "the settings file is missing from $settings"
else
  printf 'MU=-0.33\nDELTA=-0.50\nNUM_WORDS_PER_GROUPING=1000\n' | cmp -s - "$settings/Orvalis.conf" ||
    fail "the settings file does not hold the defaults"
  # The installed programs find and read it where it was installed.
  out=$(XDG_CONFIG_DIRS="$(dirname "$settings")" "$root/bin/orvalis-scan" "$source/samples/essays/lighthouse.txt" 2>&1) ||
    fail "the installed orvalis-scan fails on the samples: $out"
  case "$out" in *"Cannot find settings"*) fail "the installed settings file cannot be read" ;; esac
fi

if [ "$failures" -gt 0 ]; then
  echo "$failures installation check(s) failed" >&2
  exit 1
fi
echo "installation in $stage: every file is there and valid"
