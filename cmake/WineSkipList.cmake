# The Wine stage's skip list (scripts/wine-tests.sh), written from the
# declarations of the tests' registrations (vumira_add_tests in
# tests/CMakeLists.txt): NATIVE_ONLY for every test of a program,
# NATIVE_ONLY_TESTS for some of them, WINE_SKIP_ON for Wine's own trouble
# with one architecture.
#
# The native build writes it into wine-skip-list/ of its build folder, one
# file per registration; a line a test: the architecture whose run leaves it
# out ("all", "x86_64" or "i686"), the test's name, and why, separated by
# tabs (names may hold spaces). The names of discovered tests are known once
# ctest reads them, so those files are written then, by the script that
# also sets the tests' labels; the folder is emptied at every configure.
# A declared pattern that matches no test goes into the list as itself, and
# the Wine stage reports it as stale.
set(VUMIRA_WINE_SKIP_LIST_DIR ${PROJECT_BINARY_DIR}/wine-skip-list)
file(REMOVE_RECURSE ${VUMIRA_WINE_SKIP_LIST_DIR})
file(MAKE_DIRECTORY ${VUMIRA_WINE_SKIP_LIST_DIR})

# A reason goes into the list as one line of text, inside a script of ours.
function(vumira_check_skip_reason what reason)
    if(reason STREQUAL "" OR reason MATCHES "[\n\t\"\\|]")
        message(FATAL_ERROR "${what}: the reason for leaving tests out of the Wine stage must be one line of text without tabs, quotes, backslashes or '|'")
    endif()
endfunction()

# vumira_wine_skips(OUT WHAT [NATIVE_ONLY reason] [NATIVE_ONLY_TESTS pattern reason...]
#                   [WINE_SKIP_ON arch pattern reason...])
# Checks the declarations of the registration WHAT and sets OUT to a list
# of arch|pattern|reason, arch and pattern empty for "all" and "every test".
function(vumira_wine_skips out what)
    cmake_parse_arguments(ARG "" "NATIVE_ONLY" "NATIVE_ONLY_TESTS;WINE_SKIP_ON" ${ARGN})
    set(skips)
    if(DEFINED ARG_NATIVE_ONLY)
        vumira_check_skip_reason(${what} "${ARG_NATIVE_ONLY}")
        list(APPEND skips "||${ARG_NATIVE_ONLY}")
    endif()
    list(LENGTH ARG_NATIVE_ONLY_TESTS length)
    math(EXPR odd "${length} % 2")
    if(odd)
        message(FATAL_ERROR "${what}: NATIVE_ONLY_TESTS takes pairs of a pattern and its reason")
    endif()
    while(ARG_NATIVE_ONLY_TESTS)
        list(POP_FRONT ARG_NATIVE_ONLY_TESTS pattern reason)
        list(APPEND skips "|${pattern}|${reason}")
    endwhile()
    list(LENGTH ARG_WINE_SKIP_ON length)
    math(EXPR rest "${length} % 3")
    if(rest)
        message(FATAL_ERROR "${what}: WINE_SKIP_ON takes an architecture, a pattern and its reason")
    endif()
    while(ARG_WINE_SKIP_ON)
        list(POP_FRONT ARG_WINE_SKIP_ON arch pattern reason)
        if(NOT arch MATCHES "^(x86_64|i686)$")
            message(FATAL_ERROR "${what}: WINE_SKIP_ON '${arch}' is no architecture (x86_64 or i686)")
        endif()
        list(APPEND skips "${arch}|${pattern}|${reason}")
    endwhile()
    foreach(skip IN LISTS skips)
        string(REPLACE "|" ";" fields "${skip}")
        list(GET fields 1 pattern)
        list(GET fields 2 reason)
        vumira_check_skip_reason("${what}: ${pattern}" "${reason}")
        if(pattern AND NOT pattern MATCHES "^[A-Za-z0-9_/]+[.]([A-Za-z0-9_/]+|[*])$")
            message(FATAL_ERROR "${what}: '${pattern}': tests left out of the Wine stage are named whole, or as a suite (Suite.*)")
        endif()
    endforeach()
    set(${out} "${skips}" PARENT_SCOPE)
endfunction()

# Appends to OUT the lines of a ctest script that write the skip list of the
# tests in the ctest variable TEST_LIST, from SKIPS (vumira_wine_skips).
# Only the native build's list counts (the Windows build runs under Wine);
# it is written even when the discovery found nothing, so that no list of
# an earlier run stays behind.
function(vumira_wine_skip_script out testList skips)
    if(NOT skips OR WIN32)
        return()
    endif()
    set(text "${${out}}")
    string(APPEND text "set(skipped \"\")\n")
    foreach(skip IN LISTS skips)
        string(REPLACE "|" ";" fields "${skip}")
        list(GET fields 0 arch)
        list(GET fields 1 pattern)
        list(GET fields 2 reason)
        if(NOT arch)
            set(arch all)
        endif()
        if(NOT pattern)
            string(APPEND text "foreach(name IN LISTS ${testList})\n"
                               "  string(APPEND skipped \"${arch}\\t\${name}\\t${reason}\\n\")\n"
                               "endforeach()\n")
            continue()
        endif()
        # "Suite.*" takes the names that start with "Suite."; a name, itself.
        string(REGEX REPLACE "[*]$" "" regex "${pattern}")
        string(REPLACE "." "[.]" regex "${regex}")
        if(NOT pattern MATCHES "[*]$")
            string(APPEND regex "$")
        endif()
        string(APPEND text "set(matched FALSE)\n"
                           "foreach(name IN LISTS ${testList})\n"
                           "  if(name MATCHES \"^${regex}\")\n"
                           "    string(APPEND skipped \"${arch}\\t\${name}\\t${reason}\\n\")\n"
                           "    set(matched TRUE)\n"
                           "  endif()\n"
                           "endforeach()\n"
                           "if(NOT matched)\n"
                           "  string(APPEND skipped \"${arch}\\t${pattern}\\t${reason}\\n\")\n"
                           "endif()\n")
    endforeach()
    # Written whole and then renamed: another ctest reading the same build
    # at the same time sees the old file or the new one.
    set(list "${VUMIRA_WINE_SKIP_LIST_DIR}/${testList}.txt")
    string(APPEND text "file(WRITE \"${list}.new\" \"\${skipped}\")\n"
                       "file(RENAME \"${list}.new\" \"${list}\")\n")
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

# The skip list of one test whose name is known now (a script's test).
function(vumira_wine_skip_test name reason)
    if(NOT WIN32)
        vumira_check_skip_reason(${name} "${reason}")
        file(WRITE ${VUMIRA_WINE_SKIP_LIST_DIR}/${name}.txt "all\t${name}\t${reason}\n")
    endif()
endfunction()
