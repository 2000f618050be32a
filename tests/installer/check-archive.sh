#!/usr/bin/env bash
# check-archive.sh <package dir> <dist dir>: the release archive holds one
# folder with exactly the shipped files, as built, and the install text.
set -euo pipefail
pkg=$1 dist=$2
shopt -s nullglob
zips=("$pkg"/Scan2Mepla-*.zip)
[ ${#zips[@]} -eq 1 ] || { echo "expected one archive in $pkg, found ${#zips[@]}"; exit 1; }
zip=${zips[0]}
name=$(basename "$zip" .zip)
[[ $name =~ ^Scan2Mepla-[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "bad archive name $name"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && cmake -E tar xf "$zip")
[ "$(ls "$work")" = "$name" ] || { echo "archive must hold exactly the folder $name"; ls "$work"; exit 1; }

expected="INSTALL.txt Scan2Mepla.dll Scan2Mepla.loc ZelMepla.ico kdxloc.dll zelinfolog.dll"
actual=$(cd "$work/$name" && ls | LC_ALL=C sort | tr '\n' ' ' | sed 's/ $//')
[ "$actual" = "$expected" ] || { echo "files: $actual"; echo "want:  $expected"; exit 1; }
for f in Scan2Mepla.dll Scan2Mepla.loc ZelMepla.ico kdxloc.dll zelinfolog.dll; do
  cmp "$dist/$f" "$work/$name/$f" || { echo "$f differs from the built one"; exit 1; }
done

text=$work/$name/INSTALL.txt
version=${name#Scan2Mepla-}
grep -q "Scan2Mepla $version" "$text" || { echo "INSTALL.txt does not name version $version"; exit 1; }
# Windows line ends throughout: as many CR LF pairs as lines.
[ "$(grep -c $'\r$' "$text")" -eq "$(wc -l < "$text")" ] || { echo "INSTALL.txt lacks CRLF line ends"; exit 1; }
grep -q 'regsvr32.exe /n /i:user' "$text" || { echo "INSTALL.txt lacks the per-user registration"; exit 1; }
echo "archive $name ok"
