#!/usr/bin/env bash
# Fetches the Russian morphology dictionary Corvus lemmatises with: the OpenCorpora
# dictionary compiled to pymorphy2's format, as the npm package az ships it in its
# dicts/ folder. The package is taken at a pinned version from the npm registry and
# its tarball must match the pinned SHA-256; only the files the server reads are
# extracted, into third_party/az/dicts/ (the package's README.md and package.json,
# which name its author and licence, go beside that folder). Idempotent: nothing is
# fetched when the files are there and the stamp records this version and checksum.
# Without the data the server falls back to hunspell-ru.
# Usage: tools/fetch-dicts.sh
set -euo pipefail

readonly AZ_VERSION=0.2.3
readonly AZ_SHA256=868de433b36150fa271aa7a93f5a7289bc91372a512a7463d00fa2a4e0d3ffe0
readonly DICT_FILES=(
  words.dawg
  p_t_given_w.intdawg
  paradigms.array
  prediction-suffixes-0.dawg
  prediction-suffixes-1.dawg
  prediction-suffixes-2.dawg
  suffixes.json
  gramtab-opencorpora-int.json
  grammemes.json
  meta.json
)
readonly CREDIT_FILES=(README.md package.json)

root=$(cd "$(dirname "$0")/.." && pwd)
dest="$root/third_party/az"
stamp="$dest/fetched.stamp"
want_stamp="az@$AZ_VERSION sha256:$AZ_SHA256"

fail() {
  echo "fetch-dicts: $*" >&2
  exit 1
}

have_all() {
  local f
  [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$want_stamp" ] || return 1
  for f in "${DICT_FILES[@]}"; do
    [ -s "$dest/dicts/$f" ] || return 1
  done
}

if have_all; then
  echo "fetch-dicts: az@$AZ_VERSION dictionaries present in third_party/az/dicts"
  exit 0
fi

command -v npm >/dev/null 2>&1 \
  || fail "npm is not installed (Debian: apt-get install npm); it fetches az@$AZ_VERSION from the npm registry"
command -v sha256sum >/dev/null 2>&1 || fail "sha256sum is not installed (Debian package coreutils)"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "fetch-dicts: fetching az@$AZ_VERSION from the npm registry"
(cd "$work" && npm pack --ignore-scripts --silent "az@$AZ_VERSION" >/dev/null) \
  || fail "npm pack az@$AZ_VERSION failed (is the npm registry reachable?)"
tarball="$work/az-$AZ_VERSION.tgz"
[ -f "$tarball" ] || fail "npm pack did not leave az-$AZ_VERSION.tgz"
sum=$(sha256sum "$tarball" | cut -d' ' -f1)
[ "$sum" = "$AZ_SHA256" ] \
  || fail "az-$AZ_VERSION.tgz has SHA-256 $sum, expected $AZ_SHA256: not using it"

members=()
for f in "${DICT_FILES[@]}"; do
  members+=("package/dicts/$f")
done
mkdir "$work/x"
tar -xzf "$tarball" -C "$work/x" --no-same-owner --no-same-permissions "${members[@]}" \
  || fail "az-$AZ_VERSION.tgz lacks some of the dictionary files"
for f in "${CREDIT_FILES[@]}"; do
  tar -xzf "$tarball" -C "$work/x" --no-same-owner --no-same-permissions "package/$f" 2>/dev/null || true
done

# The stamp goes last: an interrupted run leaves none, and the next one fetches again.
rm -f "$stamp"
mkdir -p "$dest/dicts"
for f in "${DICT_FILES[@]}"; do
  [ -s "$work/x/package/dicts/$f" ] || fail "package/dicts/$f is empty in az-$AZ_VERSION.tgz"
  install -m 0644 "$work/x/package/dicts/$f" "$dest/dicts/$f"
done
for f in "${CREDIT_FILES[@]}"; do
  [ ! -f "$work/x/package/$f" ] || install -m 0644 "$work/x/package/$f" "$dest/$f"
done
echo "$want_stamp" >"$stamp"
echo "fetch-dicts: az@$AZ_VERSION dictionaries (SHA-256 checked) in third_party/az/dicts"
