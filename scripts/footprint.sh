#!/bin/sh
# The shipped binaries' footprint, checked. Builds them MinSizeRel with the
# tests off and measures them stripped: the x86-64 probe (build-footprint/)
# and, with the toolchain in QUORVEX_DEVICE_TOOLCHAIN, both device binaries
# linked with nothing but the C library (the device default,
# build-footprint-device/) and fully static (build-footprint-device-static/).
# Fails when a binary is over its budget, when a libc-only one needs a shared
# library other than the C library and its loader, when a static one needs
# any, or when one holds the C++ runtime's stream or locale code, its
# verbose terminate handler or its demangler. What a link kept is read from
# its link map (maps/<binary>.map in the build directory), which names every
# archive member and its bytes whatever the stripping. Prints what it
# measured beside the budgets, and the largest parts of each device binary.
#   [QUORVEX_DEVICE_TOOLCHAIN=...] scripts/footprint.sh
set -eu
cd "$(dirname "$0")/.."
. scripts/deps.sh
. scripts/elf.sh
ensure_packages $NATIVE_PACKAGES
jobs=$(nproc)
triple=armeb-linux-uclibcgnueabi

# Budgets, stripped, in bytes.
x86_64_probe_budget=32768
libc_only_budgets="quorvexmetrics=57344 quorvexcard=147456"
static_budgets="quorvexmetrics=98304 quorvexcard=180224"

problems=""
problem() {
    problems="$problems
footprint: $*"
}

# build DIR TARGETS CMAKE_ARGS...: TARGETS built MinSizeRel with the tests
# off, with a link map of each in DIR/maps.
build() {
    dir=$1 targets=$2
    shift 2
    mkdir -p "$dir/maps"
    cmake -S . -B "$dir" --no-warn-unused-cli -DCMAKE_BUILD_TYPE=MinSizeRel -DQUORVEX_BUILD_TESTS=OFF \
        -DQUORVEX_WERROR=ON "-DCMAKE_EXE_LINKER_FLAGS=-Wl,-Map=$PWD/$dir/maps" "$@" >/dev/null
    cmake --build "$dir" -j"$jobs" --target $targets >/dev/null
}

# check_size LABEL BINARY STRIP BUDGET: the stripped size beside the budget.
check_size() {
    "$3" -o "$2.stripped" "$2"
    size=$(stat -c %s "$2.stripped")
    verdict=ok
    if [ "$size" -gt "$4" ]; then
        verdict="over by $((size - $4))"
        problem "$1 is $size bytes, over its budget of $4"
    fi
    printf '%-42s %9s %9s  %s\n' "$1" "$size" "$4" "$verdict"
}

# runtime_code LABEL MAP: a line for each kind of the C++ runtime's code
# that must stay out, naming the archive members the link kept of it and
# their bytes, largest first.
runtime_code() {
    awk -f scripts/linkmap.awk "$2" | awk '
        function kind(member) {
            if (member ~ /^vterminate\.o$/) return "the verbose terminate handler"
            if (member ~ /^cp-demangle\.o$/) return "the demangler"
            if (member ~ /^(ios.*|.*stream.*|basic_file|globals_io|ext11-inst|misc-inst|string-io-inst)\.o$/)
                return "stream code"
            if (member ~ /^(.*locale.*|.*facets.*|.*codecvt.*|ctype.*|collate_members.*|messages_members.*|monetary_members.*|numeric_members.*|time_members.*)\.o$/)
                return "locale code"
            return ""
        }
        match($0, /lib(std|sup)c\+\+\.a\([^)]*\)$/) {
            member = substr($0, RSTART, RLENGTH)
            sub(/^[^(]*\(/, "", member)
            sub(/\)$/, "", member)
            if (kind(member) != "") bytes[kind(member) "|" member] += $1
        }
        END { for (key in bytes) print bytes[key] "|" key }' |
        sort -t'|' -k2,2 -k1,1nr |
        awk -F'|' -v label="$1" '
            $2 != kind { if (kind != "") print label " holds " kind ":" list; kind = $2; list = "" }
            { list = list (list == "" ? " " : ", ") $3 " (" $1 " B)" }
            END { if (kind != "") print label " holds " kind ":" list }'
}

# largest_parts MAP: the binary's bytes by where they come from, largest
# first: an archive of the toolchain, the start-up files, the dynamic
# linking tables, or the project's own code (its objects and archives,
# which the map names by relative paths, or what link-time optimisation
# made of them).
largest_parts() {
    awk -f scripts/linkmap.awk "$1" | awk '
        {
            file = $0
            sub(/^[0-9]+ [^ ]+ ?/, "", file)
            if ($2 ~ /^\.(interp|hash|gnu\.hash|dynsym|dynstr|rel\.dyn|rel\.plt|plt|got|dynamic)$/) part = "dynamic linking"
            else if (file == "") part = "alignment"
            else if (file !~ /^\// || file ~ /\.ltrans[0-9]*\.ltrans\.o$/) part = "the project"
            else if (file ~ /\.a\(/) { part = file; sub(/\(.*/, "", part); sub(/.*\//, "", part) }
            else if (file ~ /\/crt[^\/]*\.o$/) part = "start-up files"
            else { part = file; sub(/.*\//, "", part) }
            bytes[part] += $1
        }
        END { for (part in bytes) print bytes[part], part }' |
        sort -rn | head -n 6 | awk '{ n = $1; sub(/^[0-9]+ /, ""); printf "%s%s %s", (NR > 1 ? ", " : ""), $0, n } END { print "" }'
}

echo "footprint: MinSizeRel, stripped                  bytes    budget"
build build-footprint quorvexmetrics
check_size "x86-64, quorvexmetrics" build-footprint/quorvexmetrics strip "$x86_64_probe_budget"

if [ -z "${QUORVEX_DEVICE_TOOLCHAIN:-}" ]; then
    echo "footprint: the device's skipped: QUORVEX_DEVICE_TOOLCHAIN (the $triple toolchain's directory) is not set"
else
    prefix=$QUORVEX_DEVICE_TOOLCHAIN/bin/$triple-
    [ -x "${prefix}g++" ] || { echo "$QUORVEX_DEVICE_TOOLCHAIN holds no bin/$triple-g++" >&2; exit 1; }
    report=""
    # device LINK DIR BUDGETS CMAKE_ARGS...: both device binaries linked as
    # LINK says, checked.
    device() {
        link=$1 dir=$2 budgets=$3
        shift 3
        build "$dir" "quorvexmetrics quorvexcard" -DCMAKE_TOOLCHAIN_FILE=cmake/$triple.cmake \
            "-DQUORVEX_TOOLCHAIN_PREFIX=$prefix" "$@"
        for entry in $budgets; do
            binary=${entry%%=*}
            label="device, $link, $binary"
            check_size "$label" "$dir/$binary" "${prefix}strip" "${entry#*=}"
            libraries=$(needed "${prefix}readelf" "$dir/$binary" | paste -sd' ')
            report="$report
$label needs: ${libraries:-nothing}
$label, its largest parts: $(largest_parts "$dir/maps/$binary.map")"
            for library in $libraries; do
                case $link:$library in
                libc\ only:libc.so.0 | libc\ only:ld-uClibc.so.*) ;;
                *) problem "$label needs $library" ;;
                esac
            done
            held=$(runtime_code "$label" "$dir/maps/$binary.map")
            if [ -n "$held" ]; then
                report="$report
$held"
                kinds=$(echo "$held" | cut -d: -f1 | sed "s/^$label holds //" | paste -sd, | sed "s/,/, /g")
                problem "$label holds $kinds"
            fi
        done
    }
    device "libc only" build-footprint-device "$libc_only_budgets"
    device "fully static" build-footprint-device-static "$static_budgets" -DQUORVEX_STATIC=ON
    echo "$report" | sed '/^$/d'
fi

if [ -n "$problems" ]; then
    echo "$problems" | sed '/^$/d' >&2
    exit 1
fi
echo "footprint: every binary within its budget, needing only the C library, without the runtime's streams, locales, verbose terminate handler or demangler"
