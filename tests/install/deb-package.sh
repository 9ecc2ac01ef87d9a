#!/usr/bin/env bash
# Builds the .deb with CPack and checks it as dpkg would see it: its control fields, that it
# holds exactly the installed files below /usr, and that every dependency dpkg-shlibdeps wrote
# is satisfied by a package installed here (the ones a Debian 12 system offers).
# Usage: deb-package.sh CPACK BUILD-DIR
set -euo pipefail
cpack=$1 build=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*"; exit 1; }
command -v dpkg-shlibdeps > /dev/null || fail "dpkg-shlibdeps is missing (package dpkg-dev)"

"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" > "$work/cpack.txt" 2>&1 ||
  { cat "$work/cpack.txt"; fail "cpack"; }
debs=("$work"/out/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "no single .deb was made"
deb=${debs[0]}
arch=$(dpkg --print-architecture)
[ "$(basename "$deb")" = "quintor-trainer_1.2.1~beta-1_$arch.deb" ] || fail "unexpected name $(basename "$deb")"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = quintor-trainer ] || fail "Package"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture"
[ "$(field Section)" = games ] || fail "Section"
depends=$(field Depends)
names=$(tr ',|' '\n\n' <<< "$depends" | sed -E 's/^ *//; s/[ (].*//')
for lib in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6; do
  grep -q -x -F "$lib" <<< "$names" || fail "Depends lacks $lib: $depends"
done

files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./||' | LC_ALL=C sort)
expected="usr/bin/QuintorTrainer
usr/bin/quintor
usr/share/applications/org.example.QuintorTrainer.desktop
usr/share/doc/quintor-trainer/copyright
usr/share/icons/hicolor/scalable/apps/org.example.QuintorTrainer.svg
usr/share/man/man6/quintor.6.gz
usr/share/metainfo/org.example.QuintorTrainer.metainfo.xml"
[ "$files" = "$expected" ] || fail "the package holds:"$'\n'"$files"
dpkg-deb -c "$deb" | awk '{print $2}' | grep -q -v -x 'root/root' && fail "files not owned by root"

# Unpacked, the console program runs from the package's own files.
dpkg-deb -x "$deb" "$work/root"
[ "$("$work/root/usr/bin/quintor" --version)" = "1.2.1 beta" ] || fail "the packaged quintor does not run"

# Each dependency (a list of alternatives, each maybe with a version) must be met by an
# installed package.
satisfied() {
  local alt name op version installed
  IFS='|' read -r -a alts <<< "$1"
  for alt in "${alts[@]}"; do
    read -r name op version <<< "$(sed -E 's/^ *([^ (]+) *(\(([<>=]+) *([^)]+)\))? *$/\1 \3 \4/' <<< "$alt")"
    installed=$(dpkg-query -W -f='${Status} ${Version}\n' "$name" 2> /dev/null |
                sed -n 's/^install ok installed //p' | head -n 1)
    [ -n "$installed" ] || continue
    [ -z "$op" ] && return 0
    dpkg --compare-versions "$installed" "$op" "$version" && return 0
  done
  return 1
}
IFS=',' read -r -a groups <<< "$depends"
for g in "${groups[@]}"; do
  satisfied "$g" || fail "dependency not met here: $g"
done
echo "package $(basename "$deb") passed; Depends: $depends"
