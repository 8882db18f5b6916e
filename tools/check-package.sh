#!/usr/bin/env bash
# Builds the Debian package and checks that it works, within a bounded time:
#   1. the morphology dictionary fetched if it is not yet (tools/fetch-dicts.sh), a
#      Release build of its own (build-pkg) and cpack;
#   2. the package's files, modes and owners are exactly packaging/package-files.txt
#      (a file missing, added or in the wrong place fails), its control fields name
#      the version and the dependencies;
#   3. lintian, desktop-file-validate and appstreamcli find nothing to fix; unpacked,
#      the package holds the morphology dictionary's files byte for byte as fetched,
#      and the user guide where the client looks for it (lib/lexar/help);
#   4. unpacked into a temporary root (dpkg-deb -x), the client is started through
#      the unpacked launcher, offscreen, in the local mode, with a temporary home: it
#      starts the unpacked Corvus.exe on the default corpus and must register and end
#      by itself, writing nothing into the unpacked tree.
# Usage: tools/check-package.sh [build folder, default build-pkg]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=${1:-build-pkg}
jobs=$(nproc)
run_seconds=${PACKAGE_RUN_SECONDS:-300}

fail() {
  echo "check-package: $*" >&2
  exit 1
}

bash tools/fetch-dicts.sh >/dev/null || fail "the morphology dictionary could not be fetched"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DLEXAR_TESTS=OFF -DLEXAR_PACKAGE=ON \
  -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build "$build" -j"$jobs"
rm -f "$build"/lexar_*.deb
(cd "$build" && timeout 600 cpack -G DEB >/dev/null) || fail "cpack failed"
debs=("$build"/lexar_*.deb)
[ -f "${debs[0]}" ] || fail "no lexar_*.deb in $build"
deb=${debs[0]}
echo "check-package: $deb"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# 2. Contents and control fields.
dpkg-deb -c "$deb" | awk '{ print $1, $2, $6 }' | sed 's| -> .*||' | LC_ALL=C sort -k3 >"$work/files.txt"
if ! diff -u <(grep -v "^#" packaging/package-files.txt) "$work/files.txt"; then
  fail "the package's files differ from packaging/package-files.txt (- expected, + packaged)"
fi
version=$(sed -n 's/^project(Lexar VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "version is not $version"
depends=$(dpkg-deb -f "$deb" Depends)
for dep in hunspell-ru mythes-ru fortunes-ru adduser libqt6widgets6 libqt6network6 libhunspell; do
  [[ "$depends" == *"$dep"* ]] || fail "Depends lacks $dep: $depends"
done
recommends=$(dpkg-deb -f "$deb" Recommends)
[[ "$recommends" == *qt6-translations-l10n* ]] || fail "Recommends lacks qt6-translations-l10n: $recommends"

# 3. What Debian's tools say.
timeout 600 lintian --fail-on error,warning --display-info "$deb" || fail "lintian"
dpkg-deb -x "$deb" "$work/root"
desktop-file-validate "$work"/root/usr/share/applications/*.desktop || fail "desktop-file-validate"
timeout 120 appstreamcli validate --no-net "$work"/root/usr/share/metainfo/*.metainfo.xml \
  || fail "appstreamcli validate"
# The morphology dictionary the server reads: every fetched file, unchanged, and
# nothing else in its folder.
dicts="$work/root/usr/share/corvus/opencorpora"
[ -d "$dicts" ] || fail "the package lacks /usr/share/corvus/opencorpora"
for f in third_party/az/dicts/*; do
  cmp -s "$f" "$dicts/$(basename "$f")" \
    || fail "/usr/share/corvus/opencorpora/$(basename "$f") is missing or differs from $f"
done
[ "$(ls -A "$dicts" | wc -l)" -eq "$(ls -A third_party/az/dicts | wc -l)" ] \
  || fail "/usr/share/corvus/opencorpora holds files that were not fetched"
# The user guide, where the client's help lookup finds it (RootFolder + "help/",
# RootFolder being the client's folder): the guide and every picture it shows.
guide="$work/root/usr/lib/lexar/help"
cmp -s docs/guide/index.html "$guide/index.html" \
  || fail "/usr/lib/lexar/help/index.html is missing or differs from docs/guide/index.html"
for img in $(grep -o '<img src="[^"]*"' docs/guide/index.html | sed 's/<img src="//; s/"$//'); do
  cmp -s "docs/guide/$img" "$guide/$img" || fail "/usr/lib/lexar/help/$img is missing or differs"
done

# 4. The unpacked client against the unpacked server.
(cd "$work/root" && find . -printf '%M %s %p\n' | sort) >"$work/before.txt"
home="$work/home"
mkdir -p "$home/run"
chmod 700 "$home/run"
set +e
env -i PATH=/usr/bin:/bin HOME="$home" XDG_RUNTIME_DIR="$home/run" QT_QPA_PLATFORM=offscreen \
  LANG=C.UTF-8 \
  LEXAR_QUIT_AFTER_REGISTRATION=1 \
  timeout "$run_seconds" "$work/root/usr/bin/lexar" >"$work/client.log" 2>&1
status=$?
set -e
server="$work/root/usr/lib/lexar/Corvus.exe"
# A client that closes tells its server to end; one that did not is gone after the
# server's idle period. Wait for it, then clear anything left over.
for _ in $(seq 1 30); do
  pgrep -f "^$server" >/dev/null || break
  sleep 1
done
leftover=$(pgrep -f "^$server" || true)
[ -z "$leftover" ] || kill $leftover 2>/dev/null || true
log="$home/.local/share/VELTA/Timers.Log"
if [ "$status" -ne 0 ] || ! grep -aq "GetServer NM" "$log" 2>/dev/null; then
  cat "$work/client.log" >&2
  [ -f "$log" ] && tr -d '\000-\010\016-\037' <"$log" | tail -20 >&2
  fail "the unpacked client did not register with the unpacked server within ${run_seconds}s (exit $status)"
fi
[ -z "$leftover" ] || fail "the unpacked server did not end after the client"
(cd "$work/root" && find . -printf '%M %s %p\n' | sort) >"$work/after.txt"
diff -u "$work/before.txt" "$work/after.txt" || fail "the client or the server wrote into the installed folders"
[ ! -e "$home/.config/lexar" ] || fail "the client created a configuration folder"
echo "check-package: $deb installs the right files and its client registers"
