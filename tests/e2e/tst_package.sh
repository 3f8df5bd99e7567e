#!/usr/bin/env bash
# The Debian package as an operator gets it: built by CPack from the build tree, its contents
# and lintian checked, unpacked with dpkg -x (the machine's /usr is never touched), and the
# unpacked program started with an empty HOME against the simulator. It must find its
# pictures in the unpacked tree, make its home in ~/.local/share/quillmere, poll, and write
# nothing anywhere else.
#   tst_package.sh <build folder>
set -euo pipefail
build=$1
tmp=$(mktemp -d)
pids=()
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[$i]}" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$tmp/pkg" >"$tmp/cpack.log" 2>&1 ||
  { cat "$tmp/cpack.log"; fail "cpack"; }
deb=$(ls "$tmp"/pkg/quillmere-control_*_"$(dpkg --print-architecture)".deb)
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"

contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in ./usr/bin/quillmere ./usr/bin/quillmere-sim ./usr/bin/quillmere-history \
  ./usr/share/applications/example.quillmere.History.desktop ./usr/share/quillmere/button1D.bmp \
  ./usr/share/quillmere/button6U.bmp ./usr/share/applications/example.quillmere.Control.desktop \
  ./usr/share/icons/hicolor/scalable/apps/quillmere.svg \
  ./usr/share/metainfo/example.quillmere.Control.metainfo.xml \
  ./usr/share/man/man1/quillmere.1.gz ./usr/share/doc/quillmere-control/serial-ports.md.gz \
  ./usr/share/doc/quillmere-control/copyright; do
  grep -qx -- "$f" <<<"$contents" || fail "the package lacks $f"
done
# Nothing outside /usr (no device rule opening the serial ports to everyone), and no test.
! grep -v '^\./usr/' <<<"$contents" | grep -v '^\./$' | grep . || fail "files outside /usr"
! grep -q 'udev\|tst_\|bench_' <<<"$contents" || fail "a udev rule, test or benchmark packaged"
depends=$(dpkg-deb -f "$deb" Depends)
for p in libqt6core6 libqt6widgets6 libmosquitto1 qt6-qpa-plugins libqt6sql6-sqlite fonts-dseg \
  fonts-noto-cjk; do
  grep -q "\b$p\b" <<<"$depends" || fail "Depends lacks $p: $depends"
done
zcat "$tmp/pkg/_CPack_Packages"/*/DEB/*/usr/share/doc/quillmere-control/serial-ports.md.gz 2>/dev/null |
  grep -q dialout || dpkg-deb --fsys-tarfile "$deb" |
  tar -xO ./usr/share/doc/quillmere-control/serial-ports.md.gz | zcat | grep -q dialout ||
  fail "the serial notes do not name the dialout group"
lintian --fail-on error,warning "$deb" 2>&1 | grep -v 'root privileges' || true
lintian --fail-on error,warning "$deb" >/dev/null 2>&1 || fail "lintian"

root="$tmp/root"
dpkg -x "$deb" "$root"
export HOME="$tmp/home"
mkdir -p "$HOME"
unset QUILLMERE_HOME XDG_DATA_HOME XDG_CONFIG_HOME XDG_CACHE_HOME
home="$HOME/.local/share/quillmere"
snapshot() { find "$HOME" "$root" -path "$home" -prune -o -printf '%p %s %T@\n' | sort; }

# The simulator's logs live beside, not in, the trees being watched.
"$root/usr/bin/quillmere-sim" --home "$home" --stations com=1,ids=1-3 \
  --frame-log "$tmp/frames.log" </dev/null >"$tmp/sim.out" &
pids+=($!)
for _ in $(seq 100); do grep -qs ready "$tmp/sim.out" && break; sleep 0.1; done
grep -q ready "$tmp/sim.out" || fail "the simulator did not come up"
before=$(snapshot)

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$tmp/display" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$tmp/display")"
unset QT_QPA_PLATFORM
"$root/usr/bin/quillmere" >"$tmp/program.out" 2>&1 &
program=$!
pids+=($program)
wid=""
for _ in $(seq 150); do
  wid=$(xdotool search --name "Quillmere" 2>/dev/null | head -n 1 || true)
  [ -n "$wid" ] && break
  sleep 0.1
done
[ -n "$wid" ] || { cat "$tmp/program.out"; fail "the main window did not appear"; }
sleep 1
# "Start" on the Monitor page; the shipped settings poll every Monitor on COM1.
xdotool mousemove --window "$wid" 224 472 click 1
# Polling is seen on the wire: station 1 is read.
for _ in $(seq 150); do grep -q ' COM1 0103' "$tmp/frames.log" 2>/dev/null && break; sleep 0.1; done
grep -q " COM1 0103" "$tmp/frames.log" || { cat "$tmp/program.out"; head "$tmp/frames.log"; fail "no polling seen"; }
# PACKAGE_SHOT=<file.png> keeps a picture of the polling program, to look at by hand.
[ -n "${PACKAGE_SHOT:-}" ] && import -window root "$PACKAGE_SHOT"
kill "$program"
wait "$program" 2>/dev/null || true

[ -f "$home/settings.reg" ] || fail "no settings store in $home"
[ -f "$home/DbAlarmInfo.sqlite" ] || fail "no alarm table in $home"
after=$(snapshot)
diff <(echo "$before") <(echo "$after") || fail "the program wrote outside its home $home"

# A portable copy (the program with its pictures in one writable folder) keeps its home there.
portable="$tmp/portable"
mkdir -p "$portable"
cp "$root/usr/bin/quillmere" "$root"/usr/share/quillmere/*.bmp "$portable/"
"$portable/quillmere" >"$tmp/portable.out" 2>&1 &
program=$!
pids+=($program)
for _ in $(seq 150); do [ -s "$portable/settings.reg" ] && break; sleep 0.1; done
kill "$program"
wait "$program" 2>/dev/null || true
[ -s "$portable/settings.reg" ] || { cat "$tmp/portable.out"; fail "a portable copy's home is not its folder"; }
diff <(echo "$after") <(snapshot) || fail "the portable copy wrote outside its folder"
echo "PASS: polled from the unpacked tree; home $home; a portable copy's home is its folder"
