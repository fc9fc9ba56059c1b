#!/usr/bin/env bash
# The programs people run carry nothing of the tests: no test driver, no counter kept for a test, no
# test framework. Read from the built program's own symbols, or from the published page's script.
#
#   tests/product-symbols.sh native NM PROGRAM   a program with its symbol table
#   tests/product-symbols.sh script SCRIPT       the browser program's JavaScript
set -euo pipefail

# Names only the test support and the test framework define, and those the program once kept for
# its tests.
forbidden='platform::test::|testing::|beepsSoFar|lastToolTip|labelsDrawnAtOldSize|runDueTimers|setKeyWindow|Timer::tick\(|recordDriverCalls|tr_test_'

case ${1:?usage: product-symbols.sh native NM PROGRAM | script SCRIPT} in
native)
    symbols=$("${2:?nm}" -C "${3:?program}")
    # A program without its symbols would hide what it carries.
    grep -q 'TMofuForm1::FormKeyPress' <<<"$symbols" || { echo "no symbols to read in $3" >&2; exit 1; }
    if found=$(grep -E "$forbidden" <<<"$symbols"); then
        echo "$3 carries test code:" >&2
        head -20 <<<"$found" >&2
        exit 1
    fi
    ;;
script)
    script=${2:?script}
    grep -q '_tapirun_key' "$script" || { echo "$script is not the program's script" >&2; exit 1; }
    if grep -oE 'tr_test_[a-z_]*|TestDom|recordDriverCalls' "$script" | sort -u | grep . >&2; then
        echo "$script carries the tests' side of the page" >&2
        exit 1
    fi
    ;;
esac
echo "no test code in the program"
