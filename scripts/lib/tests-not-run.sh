# The tests of a ctest run that did not run (skipped, disabled), each with the reason it gave.
# Sourced by scripts/test.
# shellcheck shell=bash

# Prints the names that ctest's summary lists under "did not run", with ctest's word for each,
# as "name<TAB>word".
tests_not_run() {
  local console=$1
  awk '
    /^The following tests did not run:/ { listing = 1; next }
    listing && /^[ \t]+[0-9]+ - / {
      line = $0
      sub(/^[ \t]+[0-9]+ - /, "", line)
      word = line
      sub(/ \([^()]*\)$/, "", line)
      sub(/^.* \(/, "", word)
      sub(/\)$/, "", word)
      print line "\t" word
      next
    }
    listing { listing = 0 }
  ' "$console"
}

# Prints why one test did not run, from ctest's full log: the message of a skipped Google Test,
# the "SKIPPED:" line of a test script, otherwise the last lines of its output.
skip_reason() {
  local name=$1 log=$2
  awk -v want="$name" '
    /^[0-9]+\/[0-9]+ Test: / { current = substr($0, index($0, " Test: ") + 7); next }
    current != want { next }
    /^Output:$/ { getline; output = 1; next }
    /^<end of output>$/ { output = 0; next }
    !output { next }
    /: Skipped$/ { gtest = 1; next }
    gtest && /^\[  SKIPPED \]/ { gtest = 0; next }
    gtest { reason = reason $0 "\n"; next }
    /^SKIPPED: / { reason = reason substr($0, 10) "\n"; next }
    NF { tail[++lines] = $0 }
    END {
      if (reason != "") { printf "%s", reason; exit }
      for (i = (lines > 3 ? lines - 2 : 1); i <= lines; ++i) print tail[i]
    }
  ' "$log"
}

# Lists every test of the run that did not run, with its reason. Returns 1 when there was one.
report_tests_not_run() {
  local console=$1 log=$2 heading=$3 name word reason found=0
  while IFS=$'\t' read -r name word; do
    [ $found -eq 1 ] || printf "\n%s\n" "$heading"
    found=1
    reason=$(skip_reason "$name" "$log")
    [ "$word" = Disabled ] && [ -z "$reason" ] && reason="the test is marked disabled"
    echo "  $name ($word): ${reason:-no reason given}" | sed '2,$s/^/    /'
  done < <(tests_not_run "$console")
  [ $found -eq 0 ]
}
