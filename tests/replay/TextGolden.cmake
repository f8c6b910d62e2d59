# Replays the small streams of tests/golden/text with each set of options below, and compares
# what the tool printed (each run headed by its command line and ended by its exit status) with
# tests/golden/text/replay.txt byte for byte. With EEDB_UPDATE_GOLDEN=1 in the environment the
# golden file is rewritten instead. Arguments: TOOL, PLUGIN, FODO14 (the plug-in with EedbOutrif's
# fodo cut to 14 bits), DIR (the streams), GOLDEN, ACTUAL.
#
# The runs show the text form line by line (rejections, escaped input, offers and their fields,
# addresses as text, SCHAN commands, notes, unmet expectations naming the field of a failure,
# the summary), --quiet (failures only), --strict, traces under their offer or alone with
# --quiet, --trace beside ZURI_TRACE (unknown handles warned about once), the JSON form of the
# same (records of failures, traces, the shadow dump), several files as one stream, --bits
# diagrams of the offers and the dump, --show filters (the summary of everything; a malformed
# filter refused), and:
# - notes.jsonl: a note for every cut that drops bits, at the bits it keeps and one beyond (none
#   for the field in another view, a delete or a checked field); and for another software
#   table's entry overwritten or deleted in the shared EEDB (none for a sibling, another
#   instance, or a key that changes view);
# - blame.jsonl: the field, value and limit that a failure pins (a second bad field, checked
#   later, takes no blame; a later field that fails with the first one's text at its bound + 1;
#   FAP 129, outside translation; a field of view data and of a compound key);
# - faps.jsonl: why an offer is refused, in the pipeline's order (the view before the FAP mask);
# - differs.jsonl: each way an expectation differs from the offers of an IP tunnel line, split
#   among four table utilities (it holds when some offer that it chooses meets it; a failure of
#   one it does not choose is not covered), and from a line rejected or read; the exit status
#   decided by the expectations, expected failures included, with --quiet too (met.jsonl);
# - long.jsonl: a line over --max-line-length refused alone (a limit beyond any line is none);
# - the discovery options: --describe shows every kind of rule (a cut to the hardware key, a
#   field the view does not use, derived fields, bounded, a one-bit cut, addresses, a flag);
# - c.jsonl: --compare-plugin with the plug-in itself, and with FODO14, from which c.jsonl parts
#   on lines 2 and 5 only (16384 keeps bit 14 or loses it; 40000 is cut to 7232 by both, but
#   each note names its own rule).
set(runs
    "stream.jsonl"
    "--quiet stream.jsonl"
    "--quiet --strict stream.jsonl"
    "--quiet --format json stream.jsonl"
    "--quiet --strict --format json stream.jsonl"
    "--trace EedbOutrifUtil/3,EedbIpTunnelUtil/3 a.jsonl"
    "--quiet --trace EedbOutrifUtil/3 a.jsonl"
    "--format json --trace EedbOutrifUtil/3,EedbIpTunnelUtil/3,*/8 a.jsonl"
    "--quiet --format json --trace EedbOutrifUtil/3 a.jsonl"
    "ZURI_TRACE=EedbOutrifUtil/3,Other/2 --quiet --trace EedbIpTunnelUtil/3,NoSuchUtil/1 a.jsonl"
    "ZURI_TRACE=*/0 --quiet a.jsonl"
    "a.jsonl b.jsonl"
    "--format json a.jsonl - b.jsonl < b.jsonl"
    "--bits --dump-shadow b.jsonl"
    "--quiet --dump-shadow --format json b.jsonl"
    "--show failed --show lines=3-9 stream.jsonl"
    "--format json --show util=EedbIpTunnelNonAiUtil --show fap=0 a.jsonl"
    "--show tabel=EedbOutrif stream.jsonl"
    "notes.jsonl"
    "blame.jsonl"
    "--faps 0,7-8,128 faps.jsonl"
    "--quiet differs.jsonl"
    "met.jsonl"
    "--quiet met.jsonl"
    "--max-line-length 100 long.jsonl"
    "--max-line-length 1k long.jsonl"
    "--max-line-length 18446744073709551615 long.jsonl"
    "--max-line-length 15EiB long.jsonl"
    "--max-line-length 9223372036854775808 long.jsonl"
    "--list-tables"
    "--list-tables --format json"
    "--describe EedbAgMemTlm --format json"
    "--describe EedbArpTable"
    "--describe EedbSrv6"
    "--describe EedbIpTunnel"
    "--describe EedbMplsTunnelTable"
    "--compare-plugin @plugin@ c.jsonl"
    "--compare-plugin @fodo14@ c.jsonl"
    "--format json --compare-plugin @fodo14@ c.jsonl")

set(shown "")
foreach(run IN LISTS runs)
  set(stdin /dev/null)
  set(env "")
  set(words "${run}")
  set(heading "eedb-replay ${run}")
  if(words MATCHES "^(ZURI_TRACE=[^ ]*) (.*)$")  # the environment of the run
    set(env "${CMAKE_MATCH_1}")
    set(words "${CMAKE_MATCH_2}")
    set(heading "${env} eedb-replay ${words}")
  endif()
  if(words MATCHES "^(.*) < (.*)$")
    set(words "${CMAKE_MATCH_1}")
    set(stdin "${DIR}/${CMAKE_MATCH_2}")
  endif()
  string(REPLACE "@plugin@" "${PLUGIN}" words "${words}")
  string(REPLACE "@fodo14@" "${FODO14}" words "${words}")
  separate_arguments(args UNIX_COMMAND "${words}")
  execute_process(COMMAND ${CMAKE_COMMAND} -E env ${env} ${TOOL} --plugin ${PLUGIN} ${args}
                  WORKING_DIRECTORY ${DIR}
                  INPUT_FILE ${stdin} OUTPUT_VARIABLE out ERROR_VARIABLE err
                  RESULT_VARIABLE status)
  # Trace lines name the source line that wrote them: the file stays, its line number does not
  # (it moves with every edit of the plug-in's sources).
  string(REGEX REPLACE "([A-Za-z]+\\.(h|cc)):[0-9]+" "\\1:NN" out "${out}")
  string(REGEX REPLACE "(\"file\": \"[^\"]*\", \"line\": )[0-9]+" "\\10" out "${out}")
  # The plug-ins compared by their names; their version and commit change with every commit.
  string(REPLACE "${FODO14}" "libeedb26-fodo14.so" out "${out}")
  string(REPLACE "${PLUGIN}" "libeedb26.so" out "${out}")
  string(REGEX REPLACE "(libeedb26[-a-z0-9]*\\.so) \\([^()\n]*\\)" "\\1 (VERSION COMMIT)" out
                       "${out}")
  string(REGEX REPLACE "\"version\": \"[^\"]*\", \"commit\": \"[^\"]*\""
                       "\"version\": \"VERSION\", \"commit\": \"COMMIT\"" out "${out}")
  string(APPEND shown "$ ${heading}\n${out}")
  if(NOT err STREQUAL "")
    string(APPEND shown "(standard error)\n${err}")
  endif()
  string(APPEND shown "(exit status ${status})\n\n")
endforeach()
file(WRITE ${ACTUAL} "${shown}")

include(${CMAKE_CURRENT_LIST_DIR}/GoldenFile.cmake)
golden_update_or_compare(${GOLDEN} ${ACTUAL} golden.text differs)
if(differs)
  execute_process(COMMAND diff -u ${GOLDEN} ${ACTUAL})
  message(FATAL_ERROR "golden.text differs. If the change is intended, rewrite the golden file "
                      "and review it: EEDB_UPDATE_GOLDEN=1 ctest -R golden.text")
endif()
