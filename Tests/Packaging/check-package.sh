#!/usr/bin/env bash
# Builds the Debian package from a configured and built tree, unpacks it into a temporary root
# (dpkg -x, no installation) and checks that every file is where the desktop looks for it and
# passes the desktop's own validators.
#
#   check-package.sh BUILD_DIR APPLICATION_ID "ICON_SIZES"
set -uo pipefail
build=$1 id=$2 sizes=$3

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0 failed=0
check() {  # check DESCRIPTION COMMAND...
    local what=$1; shift
    if "$@" >"$work/last.log" 2>&1; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAILED: $what"
        sed 's/^/    /' "$work/last.log"
    fi
}

if ! cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    echo "0 passed, 1 failed"
    exit 1
fi
deb=$(find "$work/out" -maxdepth 1 -name '*.deb' | head -n 1)
root=$work/root
dpkg-deb -x "$deb" "$root"
dpkg-deb -e "$deb" "$work/control"
share=$root/usr/share

# Programs in the PATH of every session.
for program in avrane-bar avranectl; do
    check "$program in /usr/bin" test -x "$root/usr/bin/$program"
done
check "only /usr is used" test "$(find "$root" -mindepth 1 -maxdepth 1 -printf '%f\n')" = usr

# The update helper where avrane-bar looks for it (../libexec/avranebar from its own folder),
# able to run and report; the application itself needs neither Qt Network nor TLS.
helper=$root/usr/bin/../libexec/avranebar/avrane-update-helper
check "the update helper in /usr/libexec/avranebar" test -x "$helper"
check "the update helper reports a failed check as one line" \
    bash -c "'$helper' check --url=http://127.0.0.1:9/ --total-timeout=5000 | grep -qx '{\"failed\":\".*\"}'"
check "avrane-bar needs no network or TLS library" \
    bash -c "readelf -d '$root/usr/bin/avrane-bar' | grep NEEDED | (! grep -E 'Qt6Network|libssl|libcrypto')"

# The desktop file, under the application id, starting a program of the package.
desktop=$share/applications/$id.desktop
check "desktop file passes desktop-file-validate" desktop-file-validate "$desktop"
exec_program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
check "desktop file starts /usr/bin/$exec_program" test -x "$root/usr/bin/$exec_program"
check "desktop file names the icon $id" grep -qx "Icon=$id" "$desktop"

# Icons in hicolor, each PNG in the folder of its size.
check "scalable icon" test -s "$share/icons/hicolor/scalable/apps/$id.svg"
check "symbolic icon" test -s "$share/icons/hicolor/symbolic/apps/$id-symbolic.svg"
for size in $sizes; do
    png=$share/icons/hicolor/${size}x${size}/apps/$id.png
    check "${size}x${size} icon is a ${size} x ${size} PNG" grep -q "PNG image data, $size x $size," <(file "$png")
done

# AppStream: valid, and pointing at the desktop file.
metainfo=$share/metainfo/$id.metainfo.xml
check "metainfo passes appstreamcli validate" appstreamcli validate --no-net "$metainfo"
check "metainfo's id is $id" grep -q "<id>$id</id>" "$metainfo"
check "metainfo launches $id.desktop" grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo"

# The udev rule: read by udev, applied before the seat's access is set.
rules=$(find "$root/usr/lib/udev/rules.d" -name '*.rules' -printf '%f\n' 2>/dev/null)
check "one udev rule file" test "$(wc -w <<<"$rules")" -eq 1
check "the rule ($rules) sorts before 73-seat-late.rules" \
    test "$(printf '%s\n' "$rules" 73-seat-late.rules | LC_ALL=C sort | head -n 1)" = "$rules"
rule=$root/usr/lib/udev/rules.d/$rules
check "the rule keeps ModemManager away from the dongle" \
    bash -c "grep -v '^#' '$rule' | grep -q 'ENV{ID_MM_DEVICE_IGNORE}=\"1\"'"
check "no tty gets uaccess without being the dongle's ACM port" \
    bash -c "! grep 'uaccess' '$rule' | grep -v '^#' | grep -v 'KERNEL==\"ttyACM'"

# Manual pages that man renders without a warning.
for page in avranectl avrane-bar; do
    check "man page of $page" bash -c "LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l '$share/man/man1/$page.1.gz' 2>&1 >/dev/null | (! grep .)"
done
check "copyright and changelog" test -s "$share/doc/avranebar/copyright" -a -s "$share/doc/avranebar/changelog.gz"

# Dependencies from dpkg-shlibdeps, and scripts that make udev apply the rule.
check "Depends lists the Qt libraries" grep -q '^Depends: .*libqt6core6' "$work/control/control"
for script in postinst postrm; do
    check "$script reloads the rules and re-triggers the dongle alone" \
        bash -c "sh -n '$work/control/$script' && grep -q 'udevadm control --reload-rules' '$work/control/$script' &&
                 ! grep -q 'trigger.*--subsystem-match=tty' '$work/control/$script'"
done
check "postrm re-triggers what the rule marked" grep -q 'udevadm trigger --action=change --property-match=AVRANE_DONGLE=1' "$work/control/postrm"
check "postinst reads the dongle's identities from the packaged rule" \
    bash -c "grep -q '^rules=/usr/lib/udev/rules.d/$rules\$' '$work/control/postinst' &&
             test \"\$(sed -n 's/^# usb \\([0-9a-f]\\{4\\}\\):\\([0-9a-f]\\{4\\}\\)\$/\\1 \\2/p' '$rule')\" = '054c 0e53'"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
