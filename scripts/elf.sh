# Sourced by the scripts that look into the binaries they build.

# needed READELF BINARY: the shared libraries BINARY names (its NEEDED
# entries), one a line; none for a static binary.
needed() {
    "$1" -d "$2" | sed -n 's/.*(NEEDED).*\[\(.*\)\]$/\1/p'
}
