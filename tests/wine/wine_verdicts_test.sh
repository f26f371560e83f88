#!/usr/bin/env bash
# What the Wine stage decides about Wine itself, against both answers each:
# whether this machine runs Wine's 32-bit loader (a loader the kernel
# refuses, as some machines do with every 32-bit program, one that answers,
# one that is missing), whether a failed program had in fact passed but for
# the loader's assertion at exit, and which tests of a ctest result carry
# the marks the stage counts.
set -uo pipefail
source "$(dirname "$0")/../../scripts/lib/wine-verdicts.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() {  # check WHAT EXPECTED-STATUS ACTUAL-STATUS [OUTPUT PATTERN]
    local what=$1 expected=$2 actual=$3 said=${4-} pattern=${5-}
    if [ "$expected" != "$actual" ]; then
        echo "FAILED: $what: status $actual, expected $expected (said: $said)"
        failures=$((failures + 1))
    elif [ -n "$pattern" ] && ! grep -qF -- "$pattern" <<<"$said"; then
        echo "FAILED: $what: said '$said', expected it to hold '$pattern'"
        failures=$((failures + 1))
    else
        echo "ok: $what"
    fi
}

# ---- the 32-bit loader ----
# An ELF header of the 32-bit kind with nothing behind it: the kernel refuses
# to start it ("Exec format error"), as a kernel without 32-bit support
# refuses Wine's real loader.
printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000\002\000\003\000' >"$work/refused-loader"
chmod +x "$work/refused-loader"
printf '#!/bin/sh\necho "wine-8.0 (Debian 8.0~repack-4)"\n' >"$work/answering-loader"
chmod +x "$work/answering-loader"

said=$(wine_runs_32bit "$work/refused-loader"); status=$?
check "a loader the kernel refuses" 1 $status "$said" "this machine does not run 32-bit programs"
check "the refusal names the kernel's reason" 1 $status "$said" "Exec format error"
said=$(wine_runs_32bit "$work/answering-loader"); status=$?
check "a loader that answers" 0 $status "$said"
said=$(wine_runs_32bit "$work/no-such-loader"); status=$?
check "a loader that is not installed" 1 $status "$said" "is not installed"

# ---- a failed program that had passed ----
assertion=$WINE_EXIT_ASSERTION
passed=$'[==========] 1 test from 1 test suite ran. (3 ms total)\n[  PASSED  ] 1 test.\n'
failed=$'[  FAILED  ] Kernel.Something\n[==========] 1 test from 1 test suite ran.\n[  PASSED  ] 0 tests.\n'
verdict() {  # verdict STDOUT STDERR: the status of wine_only_exit_assertion
    printf '%s' "$1" >"$work/out"
    printf '%s' "$2" >"$work/err"
    wine_only_exit_assertion "$work/out" "$work/err"
}
verdict "$passed" "$assertion"$'\n'; check "passed, then only the assertion" 0 $?
verdict "$passed" "$assertion"$'\n\n'; check "passed, the assertion and blank lines" 0 $?
verdict "$passed" "$assertion"$'\nwine: something else\n'; check "passed, the assertion and another fault" 1 $?
verdict "$passed" ""; check "passed, a failed status and nothing said" 1 $?
verdict "$failed" "$assertion"$'\n'; check "a failed test and the assertion" 1 $?
verdict $'[ RUN      ] Kernel.Something\n' "$assertion"$'\n'; check "ended before its success line" 1 $?
verdict "$passed" "${assertion/87/88}"$'\n'; check "another assertion of the loader" 1 $?

# ---- the marks in ctest's results ----
cat >"$work/results.xml" <<XML
<testsuite>
	<testcase name="Kernel.A" classname="Kernel.A" time="1" status="run">
		<system-out>[  PASSED  ] 1 test.
$WINE_MARK_EXIT_ASSERTION kernel_tests.exe --gtest_filter=Kernel.A (status 127)</system-out>
	</testcase>
	<testcase name="Kernel.B" classname="Kernel.B" time="1" status="run">
		<system-out>[  PASSED  ] 1 test.</system-out>
	</testcase>
	<testcase name="Table/Command.Quote&quot;d" classname="x" time="1" status="run">
		<system-out>$WINE_MARK_STARTED_AGAIN a.exe (status 1 before any output)
$WINE_MARK_STARTED_AGAIN a.exe (status 1 before any output)
[  PASSED  ] 1 test.</system-out>
	</testcase>
</testsuite>
XML
said=$(wine_tests_with_mark "$WINE_MARK_EXIT_ASSERTION" "$work/results.xml")
check "the test that passed despite the assertion" 0 $? "$said" "Kernel.A"
[ "$said" = "Kernel.A" ]; check "only that test" 0 $? "$said"
said=$(wine_tests_with_mark "$WINE_MARK_STARTED_AGAIN" "$work/results.xml")
[ "$said" = 'Table/Command.Quote"d' ]; check "a test started once more, named once, unescaped" 0 $? "$said"

echo "$failures failed"
[ $failures -eq 0 ]
