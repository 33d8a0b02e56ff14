# Reads a GNU ld link map (-Wl,-Map=...) and prints one line for every input
# section the link kept in the binary's file: "BYTES OUTPUT_SECTION FILE",
# FILE as the map names it ("/path/libstdc++.a(ios_init.o)", an object, or
# nothing for alignment padding). Sections the link dropped, those loaded
# at no address (notes, attributes, symbols) and .bss (no bytes in the
# file) are left out. Strings count before the link merges them.
#   awk -f scripts/linkmap.awk quorvexmetrics.map

function hex(text,    at, value) {
    value = 0
    for (at = 3; at <= length(text); at++) {
        value = value * 16 + index("0123456789abcdef", substr(text, at, 1)) - 1
    }
    return value
}

function kept(size, line) {
    if (address == 0 || hex(size) == 0 || output ~ /^\.t?bss$/) {
        return
    }
    sub(/^ *[^ ]* +0x[0-9a-f]+ +0x[0-9a-f]+ */, "", line)
    print hex(size), output, line
}

/^Linker script and memory map/ { memory = 1; next }
!memory { next }
# An output section, ".text  0x00011670  0x53ad4" or its name alone with
# the rest on the next line; address 0 for those not loaded.
/^[^ ]/ { output = $1; address = NF > 1 ? hex($2) : 0; header = NF == 1; input = 0; next }
header && /^ +0x[0-9a-f]+ +0x[0-9a-f]+/ { address = hex($1); header = 0; next }
# An input section's name alone; its address, size and file follow.
/^ [^ ]+$/ { input = 1; header = 0; next }
/^ [^ ]+ +0x[0-9a-f]+ +0x[0-9a-f]+/ { kept($3, $0); input = 0; header = 0; next }
input && /^ +0x[0-9a-f]+ +0x[0-9a-f]+/ { kept($2, $0); input = 0; next }
