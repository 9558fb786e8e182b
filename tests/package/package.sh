#!/usr/bin/env bash
# Builds the Debian package once (scripts/package, into the build folder) and checks it: lintian
# reports no error or warning, it holds exactly the expected files and declares its run-time needs,
# its menu entry and metadata validate, the program unpacked from it starts and prints its version,
# and the package build's own update test runs with the package build's flag.
# Exits 77 (skipped) where the packaging tools are missing.
set -euo pipefail
root=$1
build=$2

for tool in dpkg-buildpackage dh lintian appstreamcli desktop-file-validate rsvg-convert; do
    if ! command -v "$tool" >/dev/null; then
        echo "skipped: $tool is missing (scripts/setup installs the packaging tools)"
        exit 77
    fi
done

version=$(sed -n 's/^project(tolva VERSION \([0-9][0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
arch=$(dpkg-architecture -qDEB_HOST_ARCH)
deb=$build/tolva_${version}_${arch}.deb
rm -f "$deb"
log=$build/package/build.log
mkdir -p "$build/package"
if ! TOLVA_PACKAGE_OUT=$build bash "$root/scripts/package" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "the package build failed (the whole log: $log)"
    exit 1
fi
[ -f "$deb" ] || { echo "no $deb"; exit 1; }
failed=0
fail() { echo "FAIL: $*"; failed=1; }

echo "== lintian"
changes=$build/package/tolva_${version}_${arch}.changes
if ! lintian --fail-on error,warning --display-info "$changes"; then
    fail "lintian reports errors or warnings"
fi

echo "== contents"
expected=$(sort "$root/tests/package/contents.txt")
actual=$(dpkg-deb -c "$deb" | awk '{ print $6 }' | grep -v '/$' | sort)
if [ "$actual" != "$expected" ]; then
    diff <(echo "$expected") <(echo "$actual") || true
    fail "the package's files differ from tests/package/contents.txt (< expected, > built)"
fi

echo "== control"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for need in libqt6core6 libqt6widgets6 libsqlite3-0 libpq5 fonts-arphic-uming fonts-wqy-zenhei; do
    grep -qE "(^|, )$need( |,|$)" <<<"$depends" || fail "Depends lacks $need"
done
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "the package's version is not $version"

echo "== unpacked program"
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg -x "$deb" "$unpacked/root"
mkdir "$unpacked/start"
desktop-file-validate "$unpacked/root/usr/share/applications/com.example.tolva.desktop" ||
    fail "the menu entry does not validate"
appstreamcli validate --no-net "$unpacked/root/usr/share/metainfo/com.example.tolva.metainfo.xml" ||
    fail "the AppStream metadata do not validate"
said=$(cd "$unpacked/start" && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
       "$unpacked/root/usr/bin/tolva" --version) || fail "tolva --version failed"
[ "$said" = "tolva $version" ] || fail "tolva --version printed '$said', not 'tolva $version'"
[ -z "$(ls -A "$unpacked/start")" ] || fail "tolva --version wrote into the folder it was started in"

echo "== the package build's update test"
objdir=$(echo "$build"/package/tolva-"$version"/obj-*)
if cmake --build "$objdir" --target tst_help >"$build/package/tst_help.log" 2>&1; then
    QT_QPA_PLATFORM=offscreen "$objdir/tests/help/tst_help" >"$build/package/tst_help.out" 2>&1 ||
        { tail -n 30 "$build/package/tst_help.out"; false; } ||
        fail "tst_help fails in the package build"
else
    tail -n 30 "$build/package/tst_help.log"
    fail "tst_help does not build in the package build"
fi

[ $failed -eq 0 ] && echo "package $deb checked"
exit $failed
