#!/bin/sh
# Installs the build into a scratch prefix, runs the installed program, and
# builds and runs a small consumer of the package twice: through
# find_package(masscal) and through pkg-config.
# Usage: install_test.sh BUILD_DIR CONSUMER_DIR CMAKE CC CXX
set -eu
build=$1; consumer=$2; cmake=$3; cc=$4; cxx=$5
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/prefix
failed=0
check() {  # check NAME EXPECTED ACTUAL
    if [ "$2" = "$3" ]; then echo "ok: $1"; else echo "FAILED: $1"; echo "  expected: $2"; echo "  actual:   $3"; failed=1; fi
}

"$cmake" --install "$build" --prefix "$prefix" >"$tmp/install.log" || { cat "$tmp/install.log"; exit 1; }
pc=$(find "$prefix" -name masscal.pc)
libdir=$(dirname "$(dirname "$pc")")
for f in include/masscal/masscal.h include/masscal/calfile.h include/masscal/polynomial.hpp; do
    [ -f "$prefix/$f" ] || { echo "FAILED: $f not installed"; failed=1; }
done
[ -n "$(find "$libdir" -maxdepth 1 -name 'libmasscal.so.0')" ] || { echo "FAILED: no libmasscal.so.0 in $libdir"; failed=1; }

# The program finds the library in the prefix without help.
check "installed program" "masscal: mass-scale calibration of mass spectra" \
    "$(env -u LD_LIBRARY_PATH "$prefix/bin/masscal" --help 2>&1 | head -n 1)"

# find_package: the imported target brings the headers, the library and
# (in a sanitized build) the sanitizers' link options.
mkdir "$tmp/folder"
if "$cmake" -S "$consumer" -B "$tmp/cm" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH="$prefix" \
        -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" >"$tmp/cm.log" 2>&1 &&
   "$cmake" --build "$tmp/cm" >>"$tmp/cm.log" 2>&1; then
    check "find_package consumer" "3 0 is a directory" "$("$tmp/cm/consumer_cmake" "$tmp/folder" 2>&1)"
else
    cat "$tmp/cm.log"; echo "FAILED: find_package consumer does not build"; failed=1
fi

# pkg-config with a plain compiler command.
export PKG_CONFIG_PATH="$(dirname "$pc")"
# shellcheck disable=SC2046
if "$cc" -std=c11 -Wall -Werror $(pkg-config --cflags masscal) "$consumer/consumer.c" -o "$tmp/consumer_pc" \
        $(pkg-config --libs masscal) 2>"$tmp/pc.log"; then
    check "pkg-config consumer" "written 0.0010" \
        "$(LD_LIBRARY_PATH="$libdir" "$tmp/consumer_pc" "$tmp/inst.cal" 2>&1)"
    check "pkg-config consumer's file" "[VERSION] [FUNCTIONS002]" "$(grep -o '^\[\(VERSION\|FUNCTIONS002\)\]' "$tmp/inst.cal" | tr '\n' ' ' | sed 's/ $//')"
else
    cat "$tmp/pc.log"; echo "FAILED: pkg-config consumer does not build"; failed=1
fi
check "pkg-config version" "0.1.0" "$(pkg-config --modversion masscal)"
exit $failed
