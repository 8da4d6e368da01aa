#!/usr/bin/env bash
# Checks what velmora.exe carries as a file, without running it:
#  - it imports system DLLs only (everything else is linked in statically);
#  - its first icon group, which Explorer shows for it, holds the 16, 20,
#    24, 32, 40, 48, 64 and 256-pixel images, 32-bit, the 256 one a PNG;
#  - its version information names the product "Velmora", version 2.01, with
#    the numeric version 2.0.1.0 and the licence's copyright line;
#  - it carries a manifest that makes it per-monitor DPI-aware and asks for
#    Common Controls 6.
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

# The icon group, written back as an .ico file: its directory entries (16
# bytes each after a 6-byte header) give each image's width (0: 256) and
# where it starts, a PNG signature or a BITMAPINFOHEADER (40) of 32 bits.
wrestool -x --type=14 --name=1 -o "$tmp/icon.ico" "$exe"
ico_number() { od -An -t"u$1" -j"$2" -N"$1" "$tmp/icon.ico" | tr -d ' '; }
sizes=
for ((i = 0; i < $(ico_number 2 4); i++)); do
    size=$(ico_number 1 $((6 + 16 * i)))
    ((size)) || size=256
    at=$(ico_number 4 $((6 + 16 * i + 12)))
    if ((size >= 256)); then
        [[ "$(od -An -tx1 -j"$at" -N4 "$tmp/icon.ico" | tr -d ' ')" == 89504e47 ]] || fail "the $size-pixel icon is no PNG"
    else
        [[ "$(ico_number 4 "$at") $(ico_number 2 $((at + 14)))" == "40 32" ]] || fail "the $size-pixel icon is no 32-bit bitmap"
    fi
    sizes+="$size "
done
[[ "$sizes" == "16 20 24 32 40 48 64 256 " ]] || fail "the executable's icon has the sizes ${sizes:-none}, not 16 to 256"

# The version strings are UTF-16 key/value pairs; read them in order.
declare -A version
key=
while IFS= read -r line; do
    if [[ -n "$key" ]]; then
        version[$key]=$line
        key=
    fi
    case $line in ProductName | ProductVersion | FileVersion | FileDescription | LegalCopyright) key=$line ;; esac
done < <(wrestool -x --raw --type=16 "$exe" | strings -el)
[[ "${version[ProductName]:-}" == Velmora ]] || fail "ProductName is '${version[ProductName]:-}', expected Velmora"
[[ "${version[FileVersion]:-}" == 2.01 ]] || fail "FileVersion is '${version[FileVersion]:-}', expected 2.01"
[[ "${version[ProductVersion]:-}" == 2.01 ]] || fail "ProductVersion is '${version[ProductVersion]:-}', expected 2.01"
[[ -n "${version[FileDescription]:-}" ]] || fail "no FileDescription"
copyright=$(grep -m1 '^Copyright ' "$root/LICENSE")
[[ "${version[LegalCopyright]:-}" == "$copyright" ]] || fail "LegalCopyright is '${version[LegalCopyright]:-}', not '$copyright'"
# The numbers Explorer shows as "File version": VS_FIXEDFILEINFO follows its
# signature 0xFEEF04BD and the structure's version, little-endian words.
fixed=$(wrestool -x --raw --type=16 "$exe" | od -An -tx1 -v | tr -d ' \n')
fixed=${fixed#*bd04effe}
word() { echo $((16#${fixed:$(($1 * 8 + 6)):2}${fixed:$(($1 * 8 + 4)):2}${fixed:$(($1 * 8 + 2)):2}${fixed:$(($1 * 8)):2})); }
dotted() { echo "$(($(word "$1") >> 16)).$(($(word "$1") & 65535)).$(($(word $(($1 + 1))) >> 16)).$(($(word $(($1 + 1))) & 65535))"; }
[[ "$(dotted 1)" == 2.0.1.0 ]] || fail "FILEVERSION is $(dotted 1), expected 2.0.1.0 (2.01)"
[[ "$(dotted 3)" == 2.0.1.0 ]] || fail "PRODUCTVERSION is $(dotted 3), expected 2.0.1.0 (2.01)"

manifest=$(wrestool -x --raw --type=24 "$exe")
# Per-monitor awareness (version 2, else 1) where Windows 10 reads
# dpiAwareness; true/pm for Windows 8.1, which reads only dpiAware.
[[ "$manifest" == *"<dpiAware"*">true/pm</dpiAware>"* ]] || fail "the manifest does not make the program per-monitor DPI-aware (dpiAware)"
[[ "$manifest" == *">PerMonitorV2, PerMonitor</dpiAwareness>"* ]] ||
    fail "the manifest asks for no per-monitor DPI awareness (dpiAwareness)"
[[ "$manifest" == *'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"'* ]] ||
    fail "the manifest asks for no Common Controls 6"

echo "PASS: $(basename "$exe") imports only system DLLs (${imports//$'\n'/ }) and carries its icon (${sizes% } px), version ${version[ProductVersion]} ($(dotted 1)) and manifest"
