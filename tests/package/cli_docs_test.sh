#!/usr/bin/env bash
# The man page and the bash completion say what the tool's --help says: every option of --help
# is in the man page, which renders without a warning, and completes from the script.
# usage: cli_docs_test.sh TOOL MAN_PAGE COMPLETION EXAMPLES_DIR
set -euo pipefail
tool=$1 man_page=$2 completion=$3 examples=$4
fail() { echo "cli_docs_test: $*" >&2; exit 1; }

options=$("$tool" --help | grep -oE '(^|[ ,])--?[a-z][a-z-]*' | tr -d ' ,' | sort -u)
[ -n "$options" ] || fail "no option in --help"
for option in $options; do
  grep -qF -- "\\fB${option//-/\\-}\\fR" "$man_page" || fail "the man page lacks $option"
done
head -n 2 "$man_page" | grep -q '^\.TH EEDB\\-REPLAY 1 ' || fail "the man page has no .TH line"
warnings=$(LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z "$man_page" 2>&1) || fail "groff failed"
[ -z "$warnings" ] || fail "groff warns: $warnings"

# The sections a reader looks for, the members of an input line and the environment.
for section in 'INPUT MEMBERS' 'EXIT STATUS' ENVIRONMENT FILES EXAMPLES 'SEE ALSO'; do
  grep -qxE "\.SH \"?$section\"?" "$man_page" || fail "the man page has no section $section"
done
for word in table unit delete tableDelete entry expect ZURI_TRACE GRACEFUL_ASSERT_MODE; do
  grep -qF "\fB$word\fR" "$man_page" || fail "the man page does not name $word"
done
grep -qF '"unitId": N' "$man_page" || fail "the man page does not name unitId"
# Its examples replay the installed streams: each names a stream by its installed path, and
# that stream is one of the examples installed.
rendered=$(LC_ALL=C groff -man -Tascii -P-cbou "$man_page")
streams=$(sed -n '/^EXAMPLES/,/^SEE ALSO/p' <<<"$rendered" | grep -oE '[^ ]*examples/[a-z]+\.jsonl' || true)
[ -n "$streams" ] || fail "the man page's examples name no example stream"
for stream in $streams; do
  [[ $stream == /*/examples/* ]] || fail "the example $stream is not an installed path"
  [ -f "$examples/${stream##*/}" ] || fail "the example $stream is not an installed stream"
done

# complete WORDS...: what the completion offers for the last word.
complete_words() {
  bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _eedb_replay
           [ ${#COMPREPLY[@]} -eq 0 ] || printf "%s\n" "${COMPREPLY[@]}"' completion "$completion" "$@"
}
expect() {
  local want=$1; shift
  local got; got=$(complete_words "$@" | sort | tr '\n' ' ')
  [ "$got" = "$want" ] || fail "completing '$*': got '$got', want '$want'"
}
for option in $options; do
  complete_words eedb-replay "$option" | grep -qxF -- "$option" || fail "no completion to $option"
done
expect "--describe " eedb-replay --desc
expect "json text " eedb-replay --format ''
expect "EedbOutrif " eedb-replay --describe EedbOut
expect "" eedb-replay --faps ''
expect "failed fap= lines= table= util= " eedb-replay --show ''
expect "table= " eedb-replay --show ta
# bash splits "--show table=NAME" at the '=': the key, then the table.
expect "EedbOutrif " eedb-replay --show table = EedbOut
# bash splits "--dump-shadow=stream OUT" at the '=': the form, then the file.
expect "stream " eedb-replay --dump-shadow = ''
expect "stream " eedb-replay --quiet --dump-shadow = st
cd "$examples/.."
expect "examples/demo.jsonl " eedb-replay examples/dem
expect "examples/demo.jsonl " eedb-replay --plugin examples/dem
expect "examples/demo.jsonl " eedb-replay --dump-shadow = stream examples/dem
expect "examples/demo.jsonl " eedb-replay --shrink examples/dem
echo "cli_docs_test: ${options//$'\n'/ } in the man page and the completion"
