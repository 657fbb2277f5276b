#!/usr/bin/env bash
# Builds the Debian packages with ./package, in a build folder of their own inside the test
# build (package-build, kept, so that a later run builds only what changed), into a scratch folder,
# and checks what they hold, their control fields, their symbols file, the hardening and stripping
# of their programs, lintian, and the game's metainfo and menu entry. Skips (77) only where a
# checking tool is missing.
set -euo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$(dirname "$0")/../.." && pwd)
for tool in cpack dpkg-deb dpkg-buildflags dpkg-gensymbols lintian appstreamcli desktop-file-validate; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

build=$build/package-build
# ./package itself, on a machine without Qt for Windows: it makes the Debian packages alone, and
# touches no cache of Qt for Windows (an archive that does not exist would fail it at once).
ZORVIK_PACKAGE_BUILD="$build" ZORVIK_DIST="$scratch/dist" ZORVIK_CACHE="$scratch/no-qt-cache" \
  ZORVIK_QT_ARCHIVE="$scratch/no-such-archive.tar.xz" "$source/package" >"$scratch/package.log" 2>&1 ||
  { cat "$scratch/package.log"; fail "./package"; }
[ ! -e "$scratch/no-qt-cache" ] || fail "./package went for Qt for Windows"
made=$(cd "$scratch/dist" && ls | sort | tr '\n' ' ')
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
expected=$(printf '%s\n' libzq-dev libzq2 zorvik zq-designer-plugin | sed "s/\$/_${version}_amd64.deb/" | sort | tr '\n' ' ')
[ "$made" = "$expected" ] || fail "./package made $made, not $expected"
deb() { echo "$scratch/dist/$1_${version}_amd64.deb"; }
field() { dpkg-deb -f "$(deb "$1")" "$2"; }
holds() { # package, then paths it must hold
  local package=$1; shift
  dpkg-deb -c "$(deb "$package")" | awk '{print $6}' | sed 's|^\./|/|' >"$scratch/$package.list"
  for path in "$@"; do grep -qx -- "$path" "$scratch/$package.list" || fail "$package lacks $path"; done
}

lib=/usr/lib/x86_64-linux-gnu
soname=$(readelf -d "$build/lib/libzq.so" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
runtime=$(sed -E 's/^(.*)\.so\.([0-9]+)$/\1\2/' <<<"$soname")
[ "$runtime" = libzq2 ] || fail "the runtime package would be $runtime for SONAME $soname"
icons=()
for size in 16 22 24 32 48 64 128 256; do icons+=(/usr/share/icons/hicolor/${size}x$size/apps/org.zorvik.Zorvik.png); done
holds zorvik /usr/games/Zorvik /usr/games/zorvik /usr/share/zorvik/readme_en.htm \
  /usr/share/applications/org.zorvik.Zorvik.desktop /usr/share/metainfo/org.zorvik.Zorvik.metainfo.xml \
  /usr/share/man/man6/Zorvik.6.gz /usr/share/man/man6/zorvik.6.gz \
  /usr/share/icons/hicolor/scalable/apps/org.zorvik.Zorvik.svg "${icons[@]}" /usr/share/doc/zorvik/copyright
holds "$runtime" "$lib/$soname" /usr/share/doc/$runtime/copyright
holds libzq-dev "$lib/libzq.so" $lib/cmake/ZQ/ZQConfig.cmake $lib/cmake/ZQ/ZQTargets.cmake $lib/pkgconfig/zq.pc \
  /usr/include/zq/ZQDataGrid.h /usr/include/zq/ZQBitGrid.h /usr/include/zq/Checksumfile.h /usr/include/zq/framework/Grids.h \
  /usr/include/zq/ZQGridDataObserver.h /usr/include/zq/ZQGridDataModel.h /usr/include/zq/ZQItemModelData.h \
  /usr/share/doc/libzq-dev/html/index.html /usr/share/qt6/doc/zq.qch /usr/share/doc-base/libzq-dev
holds zq-designer-plugin $lib/qt6/plugins/designer/libzqdesigner.so
for package in zorvik "$runtime" libzq-dev zq-designer-plugin; do
  grep -q '^/usr/share/doc/'"$package"'/copyright$' "$scratch/$package.list" || fail "$package has no copyright file"
  # Read whole before it is searched: grep -q leaving early would fail the pipe under pipefail.
  copyright=$(dpkg-deb --fsys-tarfile "$(deb "$package")" | tar -xO ./usr/share/doc/$package/copyright)
  grep -qx 'License: MIT' <<<"$copyright" || fail "$package does not name the MIT licence"
done
# The lower-case names are links to the game and its man page.
links=$(dpkg-deb -c "$(deb zorvik)" | awk '$1 ~ /^l/ {print $6, $7, $8}')
grep -qx './usr/games/zorvik -> Zorvik' <<<"$links" || fail "/usr/games/zorvik is not a link to Zorvik: $links"
grep -qx './usr/share/man/man6/zorvik.6.gz -> Zorvik.6.gz' <<<"$links" || fail "zorvik.6.gz is not a link to Zorvik.6.gz"
# Nothing of the library in the game's package, and no static library anywhere.
! grep -q 'libzq\|/include/' "$scratch/zorvik.list" || fail "the game's package holds library files"
! grep -q '\.a$' "$scratch"/*.list || fail "a static library is packaged"

expect() { [ "$(field "$1" "$2")" = "$3" ] || fail "$1 $2 is '$(field "$1" "$2")', not '$3'"; }
expect zorvik Section games
expect "$runtime" Section libs
expect libzq-dev Section libdevel
expect zq-designer-plugin Section devel
# The library of each architecture can be installed beside the others'.
expect "$runtime" Multi-Arch same
for package in zorvik "$runtime" zq-designer-plugin; do
  field "$package" Depends | grep -q 'libqt6widgets6 (>=' || fail "$package: no computed Qt dependency"
done
for package in libzq-dev zq-designer-plugin; do
  field "$package" Depends | grep -q "$runtime (= $version)" || fail "$package does not depend on $runtime"
done
dpkg-deb -I "$(deb "$runtime")" shlibs | grep -qx "libzq 2 $runtime (>= $version)" || fail "$runtime: no shlibs entry"
# The symbols file: shipped, naming the SONAME, and what the packaged library exports, no symbol
# more or less (dpkg-gensymbols -c4).
dpkg-deb -I "$(deb "$runtime")" symbols >"$scratch/symbols" || fail "$runtime has no symbols file"
grep -qx "$soname $runtime #MINVER#" "$scratch/symbols" || fail "$runtime: the symbols file does not name $soname"
grep -qx '\* Build-Depends-Package: libzq-dev' "$scratch/symbols" || fail "$runtime: the symbols file names no -dev package"
mkdir "$scratch/runtime-tree"
dpkg-deb -x "$(deb "$runtime")" "$scratch/runtime-tree"
(cd "$scratch" && dpkg-gensymbols -c4 -p"$runtime" -v"$version" -P"$scratch/runtime-tree" -e"$scratch/runtime-tree$lib/$soname" \
   -I"$scratch/symbols" -O"$scratch/symbols.check") || fail "$runtime: its library and its symbols file differ"
echo "$runtime: $(grep -c '^ ' "$scratch/symbols") symbols, as the library exports them"
# ldconfig through a trigger: no maintainer scripts, so that a removed library leaves nothing behind.
dpkg-deb -I "$(deb "$runtime")" triggers | grep -qx 'activate-noawait ldconfig' || fail "$runtime: no ldconfig trigger"
mkdir "$scratch/control"
dpkg-deb -e "$(deb "$runtime")" "$scratch/control"
for script in preinst postinst prerm postrm; do
  [ ! -e "$scratch/control/$script" ] || fail "$runtime has a $script script"
done
for package in libzq-dev zq-designer-plugin; do
  named=$(field "$package" Depends | tr ',' '\n' | grep -c "^ *$runtime\b" || true)
  [ "$named" -eq 1 ] || fail "$package names $runtime $named times in Depends: $(field "$package" Depends)"
done

# The reference is registered with doc-base, under the files the package holds.
dpkg-deb --fsys-tarfile "$(deb libzq-dev)" | tar -xO ./usr/share/doc-base/libzq-dev >"$scratch/doc-base"
grep -qx 'Document: libzq-dev' "$scratch/doc-base" || fail "the doc-base file names another document"
for key in Index Files; do
  pattern=$(sed -n "s/^$key: //p" "$scratch/doc-base")
  [ -n "$pattern" ] || fail "the doc-base file has no $key"
  listed=$(grep -c "^${pattern//\*/.*}\$" "$scratch/libzq-dev.list" || true)
  [ "$listed" -gt 0 ] || fail "the doc-base $key $pattern is no file of libzq-dev"
done

# Every program and library is built and stripped as Debian's are: read-only relocations bound at
# start, no symbol table but the dynamic one, none of the sections that nothing reads at run time.
elves=0
for package in zorvik "$runtime" zq-designer-plugin; do
  tree=$scratch/tree-$package
  dpkg-deb -x "$(deb "$package")" "$tree"
  while IFS= read -r -d '' file; do
    [ "$(head -c4 "$file" | od -An -c | tr -d ' ')" = '177ELF' ] || continue
    elves=$((elves + 1))
    name=${file#"$tree"}
    readelf -lW "$file" | grep -q GNU_RELRO || fail "$package: $name has no read-only relocations (-z relro)"
    readelf -dW "$file" | grep -Eq '\((FLAGS|FLAGS_1)\).* NOW' || fail "$package: $name is not bound at start (-z now)"
    sections=$(readelf -SW "$file" | sed -n 's/^ *\[ *[0-9]*\] \([^ ]*\).*/\1/p')
    for section in .symtab .comment .note .debug_info; do
      ! grep -qx -- "$section" <<<"$sections" || fail "$package: $name keeps the section $section"
    done
  done < <(find "$tree" -type f -print0)
done
[ "$elves" -ge 3 ] || fail "only $elves programs and libraries in the packages"
# Debian's compiler flags: fortified and protected, optimised.
for flag in -D_FORTIFY_SOURCE=2 -fstack-protector-strong -O2; do
  grep -qe " $flag " "$build/compile_commands.json" || fail "the packages' build lacks $flag"
done

lintian -EviIL +pedantic --tag-display-limit 0 "$scratch"/dist/*.deb >"$scratch/lintian.log" 2>&1 || true
grep -v '^N:' "$scratch/lintian.log" || true
! grep -q '^[EW]: ' "$scratch/lintian.log" || fail "lintian reports errors or warnings"
# Tags of any level that the packages once had and must not have again.
for tag in hardening-no-bindnow hardening-no-relro binary-has-unneeded-section unstripped-binary-or-object \
           no-symbols-control-file symbols-file-missing-build-depends-package-field \
           possible-documentation-but-no-doc-base-registration; do
  ! grep -q "^[A-Z]: [^ ]*: $tag\b" "$scratch/lintian.log" || fail "lintian reports $tag"
done
# The game calls fortified functions; the library's calls are of sizes the compiler cannot know.
! grep -q '^[A-Z]: zorvik: hardening-no-fortify-functions\b' "$scratch/lintian.log" || fail "the game is not fortified"

tree=$scratch/zorvik
dpkg-deb -x "$(deb zorvik)" "$tree"
appstreamcli validate-tree --no-net "$tree" || fail "appstreamcli validate-tree"
metainfo=$tree/usr/share/metainfo/org.zorvik.Zorvik.metainfo.xml
entry=$tree/usr/share/applications/org.zorvik.Zorvik.desktop
desktop-file-validate "$entry" || fail "desktop-file-validate"
grep -q '<launchable type="desktop-id">org.zorvik.Zorvik.desktop</launchable>' "$metainfo" || fail "metainfo launches another entry"
grep -q '<project_license>MIT</project_license>' "$metainfo" || fail "metainfo does not name the MIT licence"
grep -q '<release version="'"$version"'" date="[0-9]\{4\}-[0-9]\{2\}-[0-9]\{2\}"' "$metainfo" || fail "metainfo lacks the release $version"
grep -qx 'Exec=/usr/games/Zorvik' "$entry" || fail "the menu entry does not start /usr/games/Zorvik"
grep -qx 'Path=/usr/share/zorvik' "$entry" || fail "the menu entry does not start in the read-me page's folder"
echo "packages: $(cd "$scratch/dist" && ls *.deb | tr '\n' ' ')"
