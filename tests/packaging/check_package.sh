#!/usr/bin/env bash
# Packs the build tree's program into the .deb (as ./station package does, but
# into a temporary folder), checks its metadata and file list, unpacks it into
# a temporary root and runs the installed program from there.
set -euo pipefail
build="$1" version="$2" appid="$3" workbook="$4" sources="$5"
for tool in dpkg-deb dpkg-shlibdeps dpkg-query cpack readelf; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is missing (packages dpkg, dpkg-dev, cmake, binutils): the package cannot be built here"
    exit 77
  fi
done
fail() { echo "FAIL: $*"; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"
  fail "cpack"
fi
debs=("$work"/out/photostation_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one photostation_*.deb, got: ${debs[*]}"
deb="${debs[0]}"
arch="$(dpkg --print-architecture)"
[ "$(basename "$deb")" = "photostation_${version}_${arch}.deb" ] || fail "file name $(basename "$deb")"

# Metadata: the name and version, and dependencies found by dpkg-shlibdeps
# (the Qt and C libraries the program links) besides the platform plugins.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = photostation ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture: $(field Architecture)"
[ "$(field Section)" = graphics ] || fail "Section: $(field Section)"
depends="$(field Depends)"
for dep in libc6 libqt6core6 libqt6widgets6 libqt6multimedia6 libavcodec59 libjpeg62-turbo libespeak-ng1 \
           libzip4 libgsf-1-114 qt6-qpa-plugins; do
  grep -Eq "(^|, )$dep( |,|$)" <<<"$depends" || fail "Depends lacks $dep: $depends"
done
grep -Eq '\(>= [0-9]' <<<"$depends" || fail "Depends carries no versions, so dpkg-shlibdeps did not run: $depends"
# Data the program opens by path at run time (the face detector's cascade and
# landmark model): dpkg-shlibdeps cannot see them, so each must come from a
# package the .deb depends on. Every such path is written in the sources as
# a string literal; each is mapped to its package here.
runtime_files="$(grep -rhoE '"/(usr/share|usr/lib|etc)/[^"]+"' "$sources/src" | tr -d '"' | sort -u)"
[ -n "$runtime_files" ] || fail "no run-time data paths found in $sources/src: the search is broken"
depends_names=" $(sed -E 's/ *\([^)]*\)//g; s/ *\| */ /g; s/,/ /g' <<<"$depends") "
for path in $runtime_files; do
  owner="$(dpkg-query -S "$path" 2>/dev/null | head -1 | cut -d: -f1)" || true
  [ -n "$owner" ] || fail "the program opens $path, which no installed package provides: cannot tell its package"
  [[ "$depends_names" == *" $owner "* ]] || fail "the program opens $path from $owner, but Depends lacks it: $depends"
done
[[ "$(field Description)" == "identity photos of a school's students"$'\n'* ]] || fail "Description: $(field Description)"

# The file list: exactly these files, owned by root, with Debian's modes.
expected=(
  ./usr/bin/photostation
  ./usr/share/applications/$appid.desktop
  ./usr/share/metainfo/$appid.metainfo.xml
  ./usr/share/icons/hicolor/scalable/apps/photostation.svg
  ./usr/share/man/man1/photostation.1.gz
  ./usr/share/doc/photostation/copyright
  ./usr/share/doc/photostation/changelog.gz
)
# The window and the command-line tools, loaded by the program when asked for.
for module in window roster camera reframe reports export; do
  expected+=("./usr/lib/photostation/photostation-$module.so")
done
for size in 16 22 24 32 48 64 128 256; do
  expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/photostation.png")
done
listing="$(dpkg-deb -c "$deb")"
files="$(awk '$1 !~ /^d/ {print $6}' <<<"$listing" | sort)"
want="$(printf '%s\n' "${expected[@]}" | sort)"
[ "$files" = "$want" ] || fail "file list differs:$(diff <(echo "$want") <(echo "$files") | sed 's/^/\n  /')"
awk '$2 != "root/root" {exit 1}' <<<"$listing" || fail "files not owned by root: $listing"
awk '$1 ~ /^d/ && $1 != "drwxr-xr-x" {exit 1}' <<<"$listing" || fail "directory modes: $listing"
awk '$1 ~ /^-/ && $6 != "./usr/bin/photostation" && $1 != "-rw-r--r--" {exit 1}' <<<"$listing" ||
  fail "file modes: $listing"
grep -q '^-rwxr-xr-x .* ./usr/bin/photostation$' <<<"$listing" || fail "the program is not executable"

# Unpacked into a temporary root: the program runs from there with the
# system's libraries only (our own are linked in or in its module folder), without a display.
root="$work/root"
dpkg-deb -x "$deb" "$root"
program="$root/usr/bin/photostation"
# (Output is read whole before grep -q: an early exit would break the pipe.)
for elf in "$program" "$root"/usr/lib/photostation/*.so; do
  dynamic="$(readelf -d "$elf")"
  ! grep -E 'RPATH|RUNPATH' <<<"$dynamic" || fail "$elf keeps a library path"
  sections="$(readelf -S "$elf")"
  ! grep -q '\.symtab' <<<"$sections" || fail "$elf is not stripped"
done
# The program itself links no GUI, camera or speech library.
needed="$(readelf -d "$program" | grep NEEDED)"
! grep -Eq 'Qt6(Gui|Widgets|Multimedia)|libav|espeak' <<<"$needed" || fail "the program links: $needed"
run() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u LD_LIBRARY_PATH HOME="$work" "$program" "$@"; }
[ "$(run --version)" = "photostation $version" ] || fail "--version said: $(run --version)"
help="$(run --help)" || fail "--help failed"
grep -q -- '--dump-roster' <<<"$help" || fail "--help lacks --dump-roster: $help"
# Tools in modules: found in the installed module folder.
rows="$(run --dump-roster "$workbook")" || fail "--dump-roster failed: $rows"
[ "$(wc -l <<<"$rows")" -ge 2 ] || fail "--dump-roster printed: $rows"
devices="$(run --list-devices)" || fail "--list-devices failed: $devices"
[ -n "$devices" ] || fail "--list-devices printed nothing"

# The man page is the same text as --help.
man="$(gzip -dc "$root/usr/share/man/man1/photostation.1.gz" | sed 's/\\-/-/g')"
grep -q '^\.TH PHOTOSTATION "\?1' <<<"$man" || fail "man page header: $(head -5 <<<"$man")"
# Every option --help lists, the man page lists too.
options="$(grep -Eo -- '^ +(-[a-z], )?--[a-z-]+' <<<"$help" | grep -Eo -- '--[a-z-]+')"
[ "$(wc -l <<<"$options")" -ge 4 ] || fail "too few options found in --help: $options"
for option in $options; do
  grep -q -- "$option" <<<"$man" || fail "man page lacks $option"
done
changelog="$(gzip -dc "$root/usr/share/doc/photostation/changelog.gz")"
[[ "$changelog" == "photostation ($version) "* ]] || fail "changelog does not name version $version"
grep -q "<release version=\"$version\"" "$root/usr/share/metainfo/$appid.metainfo.xml" ||
  fail "AppStream data does not name version $version"
echo "package $(basename "$deb") checked: $(wc -l <<<"$files") files; Depends: $depends"
