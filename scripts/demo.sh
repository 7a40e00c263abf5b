#!/usr/bin/env bash
# Builds the suite and shows the shared library at work through ovtool: a settings file is written,
# read back and listed in a temporary folder, the start-up helpers report what they find, and a backup
# task file is checked and read, its log name found, names filtered and placeholders replaced; a file
# is copied and verified, encrypted and decrypted again, and written as gzip, zip and AES zip for
# gzip, unzip and 7-Zip to check.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
build=build/release
cmake -G Ninja -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DOV_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" >/dev/null
ovtool="$build/ovtool/ovtool"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" OV_REGISTRY_MACHINE="$work/machine.ini"
mkdir -p "$HOME"
ini="$work/OvSentry.ini"

step() { printf '\n$ %s\n' "$*"; "$@"; }

step "$ovtool" ini set "$ini" Config Interval 30
step "$ovtool" ini set "$ini" Config Directory "$HOME/Documents/Projekte – 2026"
step "$ovtool" ini set "$ini" Dir01 Task "$HOME/Orvanta/Daily.buj"
step "$ovtool" ini get "$ini" config INTERVAL
step "$ovtool" ini dump "$ini"
printf '\nThe file as written (UTF-16LE with its mark):\n'
od -A d -t x1 -N 48 "$ini"
printf '\n$ %s\n' "$ovtool ini get $ini Config Missing"
"$ovtool" ini get "$ini" Config Missing || echo "(exit code $?)"
step "$ovtool" info
printf '\n$ LANG=de_DE.UTF-8 %s info\n' "$ovtool"
LANG=de_DE.UTF-8 LC_ALL= "$ovtool" info

printf '\n# A backup task file of the main program (UTF-16LE, as Orvanta writes it):\n'
mkdir -p "$work/Projekte"
task="$work/Daily.buj"
printf '[Global]\r\nDestination=%s/backup\r\nCompress=1\r\nDirCount=2\r\nLogName=%%dest%%/%%taskname%%-%%yam%%.log\r\n[Dir001]\r\nSource=%s\r\nFilterMode=2\r\nFilter=*.tmp|~*\r\nDirFilter=#^(cache|tmp)$\r\n' \
  "$work" "$work/Projekte" | iconv -f UTF-8 -t UTF-16 >"$task"
step "$ovtool" checktask --sources "$task"
step "$ovtool" task show "$task"
step "$ovtool" task logname "$task" "$work/logs"
printf '\n$ %s\n' "printf 'a.txt\\nb.TMP\\n~c.doc\\nREADME\\n' | $ovtool filter --mode exclude '*.tmp|~*'"
printf 'a.txt\nb.TMP\n~c.doc\nREADME\n' | "$ovtool" filter --mode exclude '*.tmp|~*'
step "$ovtool" filter --regex '(a+)+$' "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa!" aaa
step "$ovtool" expand --set date 'Backup_%date%_%time%_%dow%_%d#7%' --now 2010-12-04T14:05:09 --counter 1
step "$ovtool" expand --set path '%perspath%/%user%@%computername%'
step "$ovtool" volume "$work"
step "$ovtool" expand --now 2026-12-31T23:59:00 --volume BACKUP '/media/%volume%/%yaw%/%date%'

printf '\n# Copies through the copy engine:\n'
head -c 3000000 /dev/urandom >"$work/photo.raw"
mkdir -p "$work/backup"
step "$ovtool" copy "$work/photo.raw" "$work/backup/photo.raw" --verify
printf '\n$ %s\n' "$ovtool copy $work/photo.raw $work/backup/photo.raw"
"$ovtool" copy "$work/photo.raw" "$work/backup/photo.raw" || echo "(exit code $?)"
printf 'Pässwort-1\n' >"$work/password"
step "$ovtool" encrypt --password-file "$work/password" "$work/photo.raw" "$work/photo.aes"
step "$ovtool" decrypt --password-file "$work/password" "$work/photo.aes" "$work/photo.back"
step cmp "$work/photo.raw" "$work/photo.back" && echo "the decrypted copy is identical"

printf '\n# Compressed and encrypted copies, checked by the tools of other people:\n'
seq 1 200000 >"$work/numbers.txt"
step "$ovtool" copy "$work/numbers.txt" "$work/backup/numbers.txt.gz" --gzip --verify
step gzip -t "$work/backup/numbers.txt.gz"
step "$ovtool" copy "$work/numbers.txt" "$work/backup/numbers.txt.zip" --zip --verify
step unzip -l "$work/backup/numbers.txt.zip"
step "$ovtool" copy "$work/numbers.txt" "$work/backup/secret.zip" --zip --encrypt --password-file "$work/password"
step 7zz t -p"$(head -n 1 "$work/password")" "$work/backup/secret.zip"
step "$ovtool" verify "$work/backup/secret.zip" --zip --source "$work/numbers.txt" --password-file "$work/password"
