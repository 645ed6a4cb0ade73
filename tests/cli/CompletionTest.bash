#!/usr/bin/env bash
# The bash completion of mirelo-updater-cli, driven as bash drives it, against
# the real program. `list --json` is answered by a stand-in, since no MIDI
# system here has destinations to list.
# Usage: CompletionTest.bash COMPLETION-FILE PROGRAM
set -uo pipefail
completion_file="$1"
program="$(realpath "$2")"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# The stand-in passes everything else to the program, so commands and options
# still come from its help. Its destinations: a name with spaces, one with a
# backslash and quotes; and a source, which --to must not offer.
cat >"$work/destinations.json" <<'JSON'
{"kind":"destination","index":0,"display_name":"Midi Through Port-0","model":"Midi Through","name":"Midi Through Port-0"}
{"kind":"destination","index":1,"display_name":"Synth \\ \"Pro\"","model":"S","name":"S"}
{"kind":"source","index":0,"display_name":"Midi Keyboard","model":"K","name":"K"}
JSON
cat >"$work/mirelo-updater-cli" <<EOF
#!/usr/bin/env bash
if [ "\$*" = "list --json" ]; then
  exec cat "$work/destinations.json"
fi
exec "$program" "\$@"
EOF
chmod +x "$work/mirelo-updater-cli"
mkdir "$work/files"
touch "$work/files/a.syx" "$work/files/b.dat"

source /usr/share/bash-completion/bash_completion
source "$completion_file"

failures=0
# check "WORDS TYPED SO FAR" "EXPECTED COMPLETIONS, sorted, one line"
check() {
  local line="$1" expected="$2"
  read -r -a COMP_WORDS <<<"$line"
  [[ $line == *" " ]] && COMP_WORDS+=("")
  COMP_WORDS[0]="$work/mirelo-updater-cli"
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMP_LINE="${COMP_WORDS[*]}"
  COMP_POINT=${#COMP_LINE}
  COMPREPLY=()
  (cd "$work/files" && _mirelo_updater_cli "${COMP_WORDS[0]}" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
   printf '%s\n' "${COMPREPLY[@]}" >"$work/reply")
  local got
  got="$(sort "$work/reply" | paste -sd ' ')"
  if [ "$got" != "$expected" ]; then
    echo "FAIL: '$line' completes to '$got', expected '$expected'"
    failures=$((failures + 1))
  fi
}

check "mirelo-updater-cli " "history identify inspect list pack send"
check "mirelo-updater-cli s" "send"
check "mirelo-updater-cli --v" "--version"
check "mirelo-updater-cli send --" "--capture --help --no-identify --to"
check "mirelo-updater-cli list --j" "--json"
check "mirelo-updater-cli identify --" "--help --json --to --wait"
check "mirelo-updater-cli identify --to Mi" 'Midi\ Through\ Port-0'
check "mirelo-updater-cli history --" "--help --json --last"
check "mirelo-updater-cli pack --i" "--interval"
check "mirelo-updater-cli inspect --s" "--schedule"
check "mirelo-updater-cli send --to " 'Midi\ Through\ Port-0 Synth\ \\\ \"Pro\"'
check "mirelo-updater-cli send --to Mi" 'Midi\ Through\ Port-0'
check "mirelo-updater-cli send --to=Sy" 'Synth\ \\\ \"Pro\"'
check "mirelo-updater-cli send --to Keyb" ""
check "mirelo-updater-cli send --capture " "a.syx b.dat"
check "mirelo-updater-cli pack --out x.dat --interval " ""
check "mirelo-updater-cli pack --out x.dat " "a.syx"
check "mirelo-updater-cli inspect " "a.syx b.dat"

echo "completion: $failures failed"
[ "$failures" -eq 0 ]
