#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a desktop and a
# service manager will read there.
#   check_install.sh BUILD_DIR VERSION HAS_GATEWAY(0|1) UNIT_FILE
set -euo pipefail
build=$1 version=$2 gateway=$3 unit=$4
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix=$tmp/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

expected=(
  bin/orbalis
  bin/orbalis-sim
  share/applications/orbalis.desktop
  share/doc/orbalis/README.md
  share/doc/orbalis/changelog.Debian.gz
  share/doc/orbalis/copyright
  share/doc/orbalis/examples/60-orbalis-serial.rules
  share/icons/hicolor/256x256/apps/orbalis.png
  share/icons/hicolor/48x48/apps/orbalis.png
  share/icons/hicolor/scalable/apps/orbalis.svg
  share/metainfo/orbalis.metainfo.xml
)
if [ "$gateway" = 1 ]; then
  expected+=(bin/orbalis-gateway lib/systemd/system/orbalis-gateway@.service)
fi
diff -u <(printf '%s\n' "${expected[@]}" | sort) <(cd "$prefix" && find . ! -type d | sed 's|^\./||' | sort) \
  || fail "installed files differ from the list (- expected, + installed)"

# The PNGs have the sizes their folders name (width and height from the IHDR chunk).
for size in 48 256; do
  read -r w h < <(od -An -tu4 --endian=big -j16 -N8 "$prefix/share/icons/hicolor/${size}x${size}/apps/orbalis.png")
  [ "$w $h" = "$size $size" ] || fail "${size}x${size}/apps/orbalis.png is $w by $h"
done

desktop-file-validate "$prefix/share/applications/orbalis.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$prefix/share/metainfo/orbalis.metainfo.xml" >/dev/null \
  || { appstreamcli validate --no-net "$prefix/share/metainfo/orbalis.metainfo.xml"; fail "AppStream metadata"; }
grep -q "<release version=\"$version\"" "$prefix/share/metainfo/orbalis.metainfo.xml" \
  || fail "the AppStream release is not $version"
zcat "$prefix/share/doc/orbalis/changelog.Debian.gz" | head -1 | grep -q "^orbalis ($version-" \
  || fail "the changelog's first entry is not $version"

# --version answers without a display: no window, no platform plugin.
programs=(orbalis orbalis-sim)
[ "$gateway" = 1 ] && programs+=(orbalis-gateway)
for program in "${programs[@]}"; do
  said=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/$program" --version 2>&1) \
    || fail "$program --version: $said"
  [ "$said" = "$program $version" ] || fail "$program --version said '$said'"
done

# The gateway's unit: what systemd would load for the program folder
# /var/lib/orbalis/line1, with a program that exists here in place of the
# gateway's. Checked where it lies, never installed into this machine's systemd.
if command -v systemd-analyze >/dev/null; then
  grep -q '^ExecStart=/.*/orbalis-gateway --program-dir %f$' "$unit" || fail "ExecStart of $unit"
  mkdir "$tmp/units"
  sed "s|^ExecStart=[^ ]*|ExecStart=$(command -v true)|" "$unit" > "$tmp/units/orbalis-gateway@.service"
  instance=$tmp/units/orbalis-gateway@$(systemd-escape --path /var/lib/orbalis/line1).service
  ln -s orbalis-gateway@.service "$instance"
  said=$(systemd-analyze verify "$instance" 2>&1) || fail "systemd-analyze verify: $said"
  [ -z "$said" ] || fail "systemd-analyze verify: $said"
  # Exposure 0.0 (sealed) to 10.0 (open); the hardening keeps it "OK" at 2 or below.
  exposure=$(systemd-analyze security --offline=yes "$instance" 2>/dev/null \
    | sed -n 's/.*Overall exposure level for .*: \([0-9.]*\) .*/\1/p')
  [ -n "$exposure" ] || fail "systemd-analyze security gave no exposure level"
  awk -v e="$exposure" 'BEGIN { exit !(e <= 2.0) }' || fail "exposure level $exposure is above 2.0"
  echo "unit verified, exposure level $exposure"
fi
echo "install into a prefix: ${#expected[@]} files as listed"
