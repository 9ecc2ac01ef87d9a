#!/usr/bin/env bash
# Stages an installation and checks what a desktop and a user read from it: the file list, the
# desktop entry and the AppStream metadata (validated, and naming each other and the icon), and
# the manual page, which must render without a warning and name every command and option that
# `quintor --help` shows.
# Usage: install-files.sh CMAKE BUILD-DIR SOURCE-DIR
set -euo pipefail
cmake=$1 build=$2
id=org.example.QuintorTrainer
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
fail() { echo "FAILED: $*"; exit 1; }
for tool in desktop-file-validate appstreamcli groff man; do
  command -v "$tool" > /dev/null || fail "$tool is missing (scripts/install-deps.sh installs it)"
done

"$cmake" --install "$build" --prefix "$stage" > /dev/null
expected="bin/QuintorTrainer
bin/quintor
share/applications/$id.desktop
share/doc/quintor-trainer/copyright
share/icons/hicolor/scalable/apps/$id.svg
share/man/man6/quintor.6.gz
share/metainfo/$id.metainfo.xml"
found=$(cd "$stage" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
[ "$found" = "$expected" ] || fail "installed files differ:"$'\n'"$found"
for p in QuintorTrainer quintor; do [ -x "$stage/bin/$p" ] || fail "bin/$p is not executable"; done

desktop=$stage/share/applications/$id.desktop
metainfo=$stage/share/metainfo/$id.metainfo.xml
desktop-file-validate "$desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate"
key() { sed -n "s/^$1=//p" "$desktop"; }
[ "$(key Exec)" = QuintorTrainer ] || fail "Exec is not the installed trainer"
[ "$(key Icon)" = "$id" ] || fail "Icon does not name the installed icon"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
  fail "the metadata does not launch the desktop entry"
grep -q "<id>$id</id>" "$metainfo" || fail "the metadata id is not $id"
# The icon is a picture of the declared size, not an empty or broken file.
grep -q '<svg [^>]*viewBox="0 0 128 128"' "$stage/share/icons/hicolor/scalable/apps/$id.svg" &&
  grep -q '<circle' "$stage/share/icons/hicolor/scalable/apps/$id.svg" || fail "icon"

page=$stage/share/man/man6/quintor.6.gz
warnings=$(zcat "$page" | groff -man -Tutf8 -ww -z 2>&1)
[ -z "$warnings" ] || fail "groff warns: $warnings"
MANWIDTH=80 man -l "$page" 2> /dev/null | grep -q 'EXIT STATUS' || fail "man -l renders no page"
# Every option and every command of the help text is in the page.
text=$(zcat "$page" | groff -man -Tutf8 -P-cbou 2> /dev/null)
help=$("$stage/bin/quintor" --help)
words=$( (grep -o -- '--[a-z][a-z-]*' <<< "$help"; sed -n 's/^  \([a-z][a-z]*\).*/\1/p' <<< "$help") | sort -u)
[ "$(wc -l <<< "$words")" -ge 12 ] || fail "too few commands and options found in the help text"
for w in $words; do
  grep -q -w -- "$w" <<< "$text" || fail "the manual page does not mention $w"
done
echo "installed files passed"
