#!/usr/bin/env bash
# Checks the export and import tables of one Windows build, as a host that
# loads the module by name would meet them:
#   - vumira.dll and obsidel.exe are for the build's machine;
#   - vumira.dll exports exactly the five entry points, undecorated (no
#     leading underscore, no @bytes of a stdcall name);
#   - obsidel.exe exports the host API, every function that
#     obsidel/include/obsidel/api.h declares and nothing else, undecorated;
#   - every function the module imports from obsidel.exe is one of those;
#   - neither imports a runtime DLL of the compiler (libstdc++, libgcc,
#     winpthread): those are linked in statically, so nothing else ships.
#
#   scripts/check-exports.sh BUILD_DIR x86_64|i686
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -ne 2 ]; then
    echo "usage: scripts/check-exports.sh BUILD_DIR x86_64|i686" >&2
    exit 2
fi
build=$1
arch=$2
case $arch in
    x86_64) format=pei-x86-64 ;;
    i686) format=pei-i386 ;;
    *) echo "check-exports.sh: no such architecture '$arch' (x86_64 or i686)" >&2; exit 2 ;;
esac
objdump=${VUMIRA_OBJDUMP:-$arch-w64-mingw32-objdump}
module=$build/bin/vumira.dll
host=$build/bin/obsidel.exe
api_header=obsidel/include/obsidel/api.h

problems=0
problem() { printf 'check-exports (%s): %s\n' "$arch" "$*" >&2; problems=$((problems + 1)); }

for file in "$module" "$host"; do
    [ -f "$file" ] || { problem "$file is missing (build the mingw-$arch preset)"; exit 1; }
done

# The names of a file's export table, one a line, as written.
exports_of() {
    "$objdump" -p "$1" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' |
        sed -n 's/^[[:space:]]*\[ *[0-9]*\] \(.*\)$/\1/p' | sort
}
# The names a file imports from the DLL named $2 (compared without case).
imports_from() {
    "$objdump" -p "$1" | awk -v dll="$2" '
        /^[[:space:]]*DLL Name: / { name = $0; sub(/.*DLL Name: /, "", name); inside = (tolower(name) == tolower(dll)); next }
        inside && /vma:/ { next }
        inside && /^[[:space:]]*$/ { inside = 0; next }
        inside { print $NF }
    ' | sort
}
dlls_of() {
    "$objdump" -p "$1" | sed -n 's/^[[:space:]]*DLL Name: //p'
}
# A name as a C compiler writes it, without decoration.
undecorated() { [[ $1 =~ ^[A-Za-z][A-Za-z0-9_]*$ ]]; }

# ---- machine ----
for file in "$module" "$host"; do
    found=$("$objdump" -f "$file" | sed -n 's/.*file format //p')
    [ "$found" = "$format" ] || problem "$file is $found, not $format"
done

# ---- the module's entry points ----
entry_points=$(printf '%s\n' beginPlugin beginPluginEx beginSlitPlugin endPlugin pluginInfo | sort)
module_exports=$(exports_of "$module")
if [ "$module_exports" != "$entry_points" ]; then
    problem "vumira.dll exports [$(echo $module_exports)], not exactly [$(echo $entry_points)]"
fi

# ---- the host API ----
# Declarations start at the line's beginning: a return type, the name, "(".
api_functions=$(sed -n 's/^[A-Za-z][A-Za-z0-9_ *]*[ *]\([A-Za-z_][A-Za-z0-9_]*\)(.*$/\1/p' "$api_header" | sort -u)
[ "$(grep -c . <<<"$api_functions")" -ge 20 ] ||
    problem "read only [$(echo $api_functions)] from $api_header as the host API; has its layout changed?"
host_exports=$(exports_of "$host")
if [ "$host_exports" != "$api_functions" ]; then
    problem "obsidel.exe's exports differ from the host API in $api_header:" \
        "$(diff <(echo "$api_functions") <(echo "$host_exports") | sed -n 's/^</ not exported:/p; s/^>/ exported, not in the API:/p' | tr '\n' ' ')"
fi
while IFS= read -r name; do
    [ -n "$name" ] || continue
    undecorated "$name" || problem "'$name' is exported decorated"
done <<<"$module_exports
$host_exports"

# ---- what the module takes from the host ----
module_imports=$(imports_from "$module" obsidel.exe)
[ -n "$module_imports" ] || problem "vumira.dll imports nothing from obsidel.exe"
while IFS= read -r name; do
    [ -n "$name" ] || continue
    grep -qxF -- "$name" <<<"$host_exports" || problem "vumira.dll imports '$name' from obsidel.exe, which does not export it"
done <<<"$module_imports"

# ---- no compiler runtime to ship ----
for file in "$module" "$host"; do
    while IFS= read -r dll; do
        [[ ${dll,,} =~ ^(libstdc\+\+|libgcc|libwinpthread) ]] && problem "$(basename "$file") needs $dll, which is not linked in"
    done < <(dlls_of "$file")
done

if [ $problems -ne 0 ]; then
    echo "check-exports ($arch): $problems problems in $build" >&2
    exit 1
fi
echo "check-exports ($arch): vumira.dll exports the 5 entry points; obsidel.exe the $(grep -c . <<<"$host_exports") functions of the host API, of which the module imports $(grep -c . <<<"$module_imports")"
