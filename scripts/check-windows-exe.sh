#!/usr/bin/env bash
# Checks Windows programs of the cross builds without running them:
#   - the file is a PE executable for the expected processor: PE32 i386
#     (--arch x86, the "windows" preset) or PE32+ x86-64 (--arch x64, the
#     "windows64" preset);
#   - its subsystem is the expected one: Windows GUI (2) or console (3);
#   - it imports only DLLs a fresh Windows has (the list below, compared
#     without regard to case): no GCC runtime DLL, no D3DX (the demo loads
#     d3dx9_43.dll at run time when it is there);
#   - every function it imports, by name or by ordinal, is exported by that DLL
#     among Wine's Windows DLLs of the same bitness (forwarded exports count),
#     so the loader resolves every import.
#
# Usage: scripts/check-windows-exe.sh --arch x86|x64 --subsystem gui|console
#            [--wine-dlls DIR] [--list] EXE...
#   --arch x86|x64         the processor the program must be built for
#   --subsystem gui|console
#                          the subsystem it must ask for
#   --wine-dlls DIR        Wine's Windows DLLs of that bitness (default
#                          /usr/lib/i386-linux-gnu/wine/i386-windows for x86,
#                          /usr/lib/x86_64-linux-gnu/wine/x86_64-windows for x64)
#   --list                 also print, under each program's line, what it
#                          imports: one line a DLL with its functions
#   --help                 this text
#
# Prints one line per program saying what was checked, then each fault on a
# line of its own. Exits 0 when every program passes, 1 when one has a fault,
# 2 on a command line it cannot follow, 77 when the tools are missing (the
# mingw-w64 objdump for that processor, Wine's DLL folder), saying which.
set -euo pipefail

tag=check-windows-exe
say() { echo "$tag: $*" >&2; }
usage() { awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$0"; }
usage_error() {
    say "$*"
    say "see $0 --help"
    exit 2
}

# What a program may import: Windows' own DLLs, those the builds use and the
# few every Windows program may reasonably link against.
allowed_dlls=(
    kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll ole32.dll
    msvcrt.dll d3d9.dll winmm.dll msacm32.dll
)

arch=
subsystem=
wine_dlls=
list=false
exes=()
while [[ $# -gt 0 ]]; do
    case $1 in
    --help | -h)
        usage
        exit 0
        ;;
    --arch | --subsystem | --wine-dlls)
        [[ $# -ge 2 ]] || usage_error "$1 needs a value"
        case $1 in
        --arch) arch=$2 ;;
        --subsystem) subsystem=$2 ;;
        --wine-dlls) wine_dlls=$2 ;;
        esac
        shift 2
        ;;
    --list)
        list=true
        shift
        ;;
    --*) usage_error "unknown option $1" ;;
    *)
        exes+=("$1")
        shift
        ;;
    esac
done

case $arch in
x86)
    objdump=i686-w64-mingw32-objdump
    want_machine=332 # IMAGE_FILE_MACHINE_I386
    want_magic=267   # 0x10b, PE32
    want_format="PE32 i386"
    dll_format=pei-i386
    wine_dlls=${wine_dlls:-/usr/lib/i386-linux-gnu/wine/i386-windows}
    ;;
x64)
    objdump=x86_64-w64-mingw32-objdump
    want_machine=34404 # IMAGE_FILE_MACHINE_AMD64
    want_magic=523     # 0x20b, PE32+
    want_format="PE32+ x86-64"
    dll_format=pei-x86-64
    wine_dlls=${wine_dlls:-/usr/lib/x86_64-linux-gnu/wine/x86_64-windows}
    ;;
'') usage_error "--arch x86 or --arch x64 is needed" ;;
*) usage_error "unknown architecture \"$arch\" (x86 or x64)" ;;
esac
case $subsystem in
gui) want_subsystem=2 ;;
console) want_subsystem=3 ;;
'') usage_error "--subsystem gui or --subsystem console is needed" ;;
*) usage_error "unknown subsystem \"$subsystem\" (gui or console)" ;;
esac
[[ ${#exes[@]} -gt 0 ]] || usage_error "no program named"

missing=()
command -v "$objdump" >/dev/null || missing+=("$objdump (package binutils-mingw-w64)")
command -v od >/dev/null || missing+=("od (package coreutils)")
[[ -d $wine_dlls ]] || missing+=("Wine's Windows DLLs in $wine_dlls (package wine)")
if [[ ${#missing[@]} -gt 0 ]]; then
    say "skipped: missing ${missing[*]}"
    exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Little-endian numbers of a file at a byte offset; nothing when the file is
# shorter.
u16() { { od -An -v -t u1 -j "$2" -N 2 "$1" 2>/dev/null || true; } | awk 'NF { n = $1 + 256 * $2 } END { if (NF == 2) print n }'; }
u32() {
    { od -An -v -t u1 -j "$2" -N 4 "$1" 2>/dev/null || true; } |
        awk 'NF { n = $1 + 256 * ($2 + 256 * ($3 + 256 * $4)) } END { if (NF == 4) print n }'
}

format_name() {
    case $1/$2 in
    332/267) echo "PE32 i386" ;;
    34404/523) echo "PE32+ x86-64" ;;
    *) printf 'PE machine 0x%04x, optional header 0x%03x\n' "$1" "$2" ;;
    esac
}
subsystem_name() {
    case $1 in
    1) echo "native (1)" ;;
    2) echo "Windows GUI (2)" ;;
    3) echo "Windows console (3)" ;;
    *) echo "subsystem $1" ;;
    esac
}

# The exports of one of Wine's DLLs, one a line: names as they are, ordinals
# as "#N". objdump lists the named ones under "[Ordinal/Name Pointer] Table"
# and every ordinal with an address (code or forwarder) as "+base[ N]".
# Cached per DLL in the work folder; prints the file's name.
exports_of() {
    local dll=$1 list=$work/exports.$1
    if [[ ! -f $list ]]; then
        "$objdump" -p "$wine_dlls/$dll" 2>/dev/null | awk '
            /^\[Ordinal\/Name Pointer\] Table/ { names = 1; next }
            names && /^\t\[ *[0-9]+\] / { sub(/^\t\[ *[0-9]+\] /, ""); print; next }
            names && !/^\t/ { names = 0 }
            /\+base\[ *[0-9]+\]/ {
                line = $0
                sub(/.*\+base\[ */, "", line)
                sub(/\].*/, "", line)
                print "#" (line + 0)
            }' | LC_ALL=C sort -u >"$list"
    fi
    echo "$list"
}

# Checks one program; prints its line and its faults, returns 1 on a fault.
check_exe() {
    local exe=$1
    local faults=()
    local what=()

    if [[ ! -f $exe ]]; then
        echo "$exe: FAIL"
        echo "$exe: no such file"
        return 1
    fi
    rm -f "$work/imports"
    local mz pe_offset signature machine magic sub
    mz=$(u16 "$exe" 0)
    pe_offset=$(u32 "$exe" 60)
    if [[ $mz != 23117 || -z $pe_offset ]]; then # "MZ"
        echo "$exe: FAIL"
        echo "$exe: not a Windows program (no MZ header)"
        return 1
    fi
    signature=$(u32 "$exe" "$pe_offset")
    machine=$(u16 "$exe" $((pe_offset + 4)))
    magic=$(u16 "$exe" $((pe_offset + 24)))
    # At the same place in PE32 and PE32+ optional headers.
    sub=$(u16 "$exe" $((pe_offset + 24 + 68)))
    if [[ $signature != 17744 || -z $machine || -z $magic || -z $sub ]]; then # "PE\0\0"
        echo "$exe: FAIL"
        echo "$exe: not a Windows program (no PE header)"
        return 1
    fi

    local format
    format=$(format_name "$machine" "$magic")
    what+=("$format")
    if [[ $machine != "$want_machine" || $magic != "$want_magic" ]]; then
        faults+=("$exe: a $format file, not $want_format as the $arch build must make")
    fi
    what+=("$(subsystem_name "$sub")")
    if [[ $sub != "$want_subsystem" ]]; then
        faults+=("$exe: subsystem $(subsystem_name "$sub"), not $(subsystem_name "$want_subsystem")")
    fi

    if [[ $machine == "$want_machine" && $magic == "$want_magic" ]]; then
        # The import tables as objdump interprets them: "DLL Name: X", then one
        # line a function: its thunk, then the hint and the name, or, for an
        # import by ordinal, the thunk with its top bit set, the ordinal in its
        # low 16 bits, and "<none>".
        local dump=$work/dump imports=$work/imports
        if ! "$objdump" -p "$exe" >"$dump" 2>"$work/dump.err"; then
            faults+=("$exe: $objdump cannot read it: $(head -n 1 "$work/dump.err")")
        else
            awk '
                function hex(digits,   n, i) {
                    n = 0
                    for (i = 1; i <= length(digits); i++)
                        n = n * 16 + index("0123456789abcdef", substr(tolower(digits), i, 1)) - 1
                    return n
                }
                /^The Import Tables/ { tables = 1; next }
                tables && /^[^ \t]/ { tables = 0 }
                !tables { next }
                /^\tDLL Name: / { dll = tolower($3); print dll "\t"; next }
                dll != "" && /^\t[0-9a-fA-F]+\t/ {
                    if ($3 == "<none>") {
                        thunk = $1
                        print dll "\t#" hex(substr(thunk, length(thunk) - 3))
                    } else {
                        print dll "\t" $3
                    }
                }' "$dump" | LC_ALL=C sort -u >"$imports"

            local dlls=() dll
            mapfile -t dlls < <(cut -f 1 "$imports" | LC_ALL=C sort -u)
            local functions
            functions=$(awk -F '\t' '$2 != ""' "$imports" | wc -l)
            what+=("imports ${#dlls[@]} DLLs (${dlls[*]}), $functions functions")
            for dll in "${dlls[@]}"; do
                local allowed=false a
                for a in "${allowed_dlls[@]}"; do
                    [[ $dll == "$a" ]] && allowed=true
                done
                if ! $allowed; then
                    local why="not a DLL of a fresh Windows"
                    case $dll in
                    libgcc_s_* | libstdc++* | libwinpthread*)
                        why+=" (GCC's runtime: link with -static-libgcc -static-libstdc++ -static)" ;;
                    d3dx9_*) why+=" (D3DX comes with the DirectX runtime; it is loaded with LoadLibrary)" ;;
                    esac
                    faults+=("$exe: imports $dll: $why")
                    continue
                fi
                local path=$wine_dlls/$dll
                if [[ ! -f $path ]]; then
                    faults+=("$exe: imports $dll, which Wine's $wine_dlls lacks")
                    continue
                fi
                local dll_dump_format
                dll_dump_format=$("$objdump" -f "$path" 2>/dev/null | awk '/file format/ { print $NF; exit }')
                if [[ $dll_dump_format != "$dll_format" ]]; then
                    faults+=("$exe: Wine's $path is ${dll_dump_format:-unreadable}, not $dll_format")
                    continue
                fi
                local exports function
                exports=$(exports_of "$dll")
                while IFS= read -r function; do
                    if [[ $function == \#* ]]; then
                        faults+=("$exe: $dll: no export with ordinal ${function#\#} in Wine's $dll")
                    else
                        faults+=("$exe: $dll: no export named $function in Wine's $dll")
                    fi
                done < <(awk -F '\t' -v dll="$dll" '$1 == dll && $2 != "" { print $2 }' "$imports" |
                    LC_ALL=C sort -u | LC_ALL=C comm -23 - "$exports")
            done
        fi
    fi

    local summary
    summary=$(IFS=';'; echo "${what[*]}")
    summary=${summary//;/; }
    if [[ ${#faults[@]} -eq 0 ]]; then
        echo "$exe: OK: $summary; every import found in Wine's $arch DLLs"
    else
        local count="${#faults[@]} faults"
        [[ ${#faults[@]} -eq 1 ]] && count="1 fault"
        echo "$exe: FAIL: $summary; $count:"
        printf '%s\n' "${faults[@]}"
    fi
    if $list && [[ -s $work/imports ]]; then
        awk -F '\t' '
            $2 == "" { next }
            $1 != dll { if (dll != "") print line; dll = $1; line = "    " dll ":" }
            { line = line " " $2 }
            END { if (dll != "") print line }' "$work/imports"
    fi
    [[ ${#faults[@]} -eq 0 ]]
}

status=0
for exe in "${exes[@]}"; do
    check_exe "$exe" || status=1
done
exit $status
