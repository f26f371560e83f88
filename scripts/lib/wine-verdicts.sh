# Sourced by scripts/wine-run.sh and scripts/wine-tests.sh: the few
# judgements about Wine itself that the Wine stage makes, kept apart so that
# tests/wine/wine_verdicts_test.sh can hold each against both its answers.

# Marks that wine-run.sh writes on standard error when it lets something of
# Wine's pass; wine-tests.sh finds them in ctest's XML (so: plain words),
# counts them and names the tests in its closing line.
WINE_MARK_STARTED_AGAIN="wine-run.sh: started once more:"
WINE_MARK_EXIT_ASSERTION="wine-run.sh: passed despite the loader assertion at exit:"

# The line that glibc's loader prints when a library is loaded while the
# process is already unloading its libraries, as Wine's own threads do now
# and then while a Windows program exits.
WINE_EXIT_ASSERTION="Inconsistency detected by ld.so: dl-fini.c: 87: _dl_fini: Assertion \`ns != LM_ID_BASE || i == nloaded' failed!"

# wine_runs_32bit LOADER: whether this machine runs Wine's 32-bit loader.
# Some kernels refuse 32-bit programs whatever is installed; then the
# reason is printed and the status is 1.
wine_runs_32bit() {
    local loader=$1 said
    if [ ! -x "$loader" ]; then
        echo "the 32-bit half of Wine ($loader) is not installed"
        return 1
    fi
    if ! said=$("$loader" --version 2>&1 </dev/null); then
        # The shell's own prefix ("FILE: line N: ") says nothing of the machine.
        said=$(printf '%s' "$said" | grep -m1 . | sed 's/^.*: line [0-9]*: //' || true)
        echo "this machine does not run 32-bit programs (Wine's 32-bit loader: ${said:-no answer})"
        return 1
    fi
    return 0
}

# wine_only_exit_assertion STDOUT_FILE STDERR_FILE: whether a program that
# ended in failure had in fact passed: Google Test's last word is its success
# line, nothing failed, and the only thing on standard error is the loader's
# assertion at exit.
wine_only_exit_assertion() {
    local out=$1 err=$2
    [ "$(grep -v '^[[:space:]]*$' "$out" | tail -n 1 | grep -c '^\[  PASSED  \] [0-9]* tests\?\.')" = 1 ] || return 1
    grep -q '^\[  FAILED  \]' "$out" && return 1
    [ "$(grep -v '^[[:space:]]*$' "$err" | grep -cvxF -- "$WINE_EXIT_ASSERTION")" = 0 ] || return 1
    grep -qxF -- "$WINE_EXIT_ASSERTION" "$err"
}

# wine_tests_with_mark MARK RESULTS: the names of the tests in ctest's JUnit
# file RESULTS whose output holds MARK, one a line.
wine_tests_with_mark() {
    awk -v mark="$1" '
        /<testcase / { name = $0; sub(/.*<testcase name="/, "", name); sub(/" classname=.*/, "", name); seen = 0 }
        index($0, mark) && !seen { print name; seen = 1 }
    ' "$2" | sed 's/&quot;/"/g; s/&apos;/'"'"'/g; s/&lt;/</g; s/&gt;/>/g; s/&amp;/\&/g'
}
