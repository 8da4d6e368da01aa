#!/usr/bin/env bash
# Checks what velmora.exe carries as a file, without running it:
#  - it imports system DLLs only (everything else is linked in statically);
#  - its first icon group is the card icon, which Explorer shows for it;
#  - its version information names the product "Velmora", version 2.01;
#  - it carries a manifest that makes it per-monitor DPI-aware.
# usage: bash tests/e2e-windows/check_exe.sh <velmora.exe>
# Needs x86_64-w64-mingw32-objdump (binutils-mingw-w64-x86-64), wrestool
# (icoutils) and strings (binutils).
set -euo pipefail
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
[[ $# -eq 1 && -f "$1" ]] || fail "usage: $0 <velmora.exe>"
exe=$1
root=$(cd "$(dirname "$0")/../.." && pwd)
tmp=$(mktemp -d "${TMPDIR:-/tmp}/velmora-exe.XXXXXX")
trap 'rm -rf "$tmp"' EXIT

# Imports: the DLLs every Windows has, nothing from the build machine.
system_dlls=" KERNEL32.DLL USER32.DLL GDI32.DLL SHELL32.DLL OLE32.DLL WINMM.DLL MSVCRT.DLL ADVAPI32.DLL "
imports=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'a-z' 'A-Z')
[[ -n "$imports" ]] || fail "no imports found in $exe"
for dll in $imports; do
    [[ "$system_dlls" == *" $dll "* ]] || fail "$exe imports $dll, which is no system DLL"
done

# Resources: wrestool lists them as --type=<number>; 14 is an icon group,
# 16 the version information, 24 the manifest.
resources=$(wrestool -l "$exe")
[[ "$resources" == *"--type=14 --name=1 "* ]] || fail "no icon group 1 in $exe: $resources"
[[ "$resources" == *"--type=16 "* ]] || fail "no version information in $exe: $resources"
[[ "$resources" == *"--type=24 "* ]] || fail "no manifest in $exe: $resources"

# The icon group, written back as an .ico file, starts with the card icon's
# bytes (the resource may be padded after them).
wrestool -x --type=14 --name=1 -o "$tmp/icon.ico" "$exe"
icon=$root/assets/CardIcon.ico
cmp -s -n "$(stat -c %s "$icon")" "$tmp/icon.ico" "$icon" || fail "the executable's icon is not assets/CardIcon.ico"

# The version strings are UTF-16 key/value pairs; read them in order.
declare -A version
key=
while IFS= read -r line; do
    if [[ -n "$key" ]]; then
        version[$key]=$line
        key=
    fi
    case $line in ProductName | ProductVersion | FileVersion | FileDescription) key=$line ;; esac
done < <(wrestool -x --raw --type=16 "$exe" | strings -el)
[[ "${version[ProductName]:-}" == Velmora ]] || fail "ProductName is '${version[ProductName]:-}', expected Velmora"
[[ "${version[FileVersion]:-}" == 2.01 ]] || fail "FileVersion is '${version[FileVersion]:-}', expected 2.01"
[[ "${version[ProductVersion]:-}" == 2.01 ]] || fail "ProductVersion is '${version[ProductVersion]:-}', expected 2.01"
[[ -n "${version[FileDescription]:-}" ]] || fail "no FileDescription"

manifest=$(wrestool -x --raw --type=24 "$exe")
# Per-monitor awareness (version 2, else 1) where Windows 10 reads
# dpiAwareness; true/pm for Windows 8.1, which reads only dpiAware.
[[ "$manifest" == *"<dpiAware"*">true/pm</dpiAware>"* ]] || fail "the manifest does not make the program per-monitor DPI-aware (dpiAware)"
[[ "$manifest" == *">PerMonitorV2, PerMonitor</dpiAwareness>"* ]] ||
    fail "the manifest asks for no per-monitor DPI awareness (dpiAwareness)"

echo "PASS: $(basename "$exe") imports only system DLLs (${imports//$'\n'/ }) and carries its icon, version ${version[ProductVersion]} and manifest"
