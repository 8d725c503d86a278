#!/usr/bin/env bash
# Installs the build into a fresh prefix and checks what a desktop needs from it: the two
# programs, a valid launcher naming them by their installed path, the icon at every hicolor size,
# the server's user unit, and an installed lumora-server that starts and answers.
set -euo pipefail
build="$1"
prefix="$(mktemp -d "$build/install-test.XXXXXX")"
server=""
trap '[ -n "$server" ] && kill "$server" 2>/dev/null; rm -rf "$prefix"' EXIT
fail() { echo "install test: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null

for f in bin/lumora bin/lumora-server; do
  [ -x "$prefix/$f" ] || fail "$f is missing or not executable"
done
entry="$prefix/share/applications/lumora.desktop"
[ -f "$entry" ] || fail "no desktop entry"
desktop-file-validate "$entry" || fail "desktop-file-validate refused the entry"
grep -qx "Exec=$prefix/bin/lumora" "$entry" || fail "the entry does not run the installed player"
grep -qx "Icon=lumora" "$entry" || fail "the entry names another icon"
for side in 16 22 24 32 48 64 128 256; do
  png="$prefix/share/icons/hicolor/${side}x${side}/apps/lumora.png"
  [ -f "$png" ] || fail "no ${side}x${side} icon"
  file_side="$(identify -format '%wx%h' "$png")"
  [ "$file_side" = "${side}x${side}" ] || fail "the ${side}x${side} icon is $file_side"
done
[ -f "$prefix/share/icons/hicolor/scalable/apps/lumora.svg" ] || fail "no scalable icon"
unit="$prefix/share/systemd/user/lumora-server.service"
[ -f "$unit" ] || fail "no user unit"
grep -qx "ExecStart=$prefix/bin/lumora-server --host 127.0.0.1 --port 3000 --music" \
  "$unit" || fail "the unit does not serve the music folder on 127.0.0.1:3000 with the installed server"
# Where systemd is at hand, its own checker reads the unit (syntax, the program it starts).
if command -v systemd-analyze >/dev/null; then
  systemd-analyze verify "$unit" || fail "systemd-analyze refused the unit"
fi

# The installed server, over a music folder of its own, on a free port.
mkdir -p "$prefix/music" "$prefix/data"
log="$prefix/server.log"
"$prefix/bin/lumora-server" --port 0 --data "$prefix/data" --library "$prefix/music" >"$log" 2>&1 &
server=$!
address=""
for _ in $(seq 1 300); do
  address="$(sed -n 's/^lumora-server listening on \(http[^ ]*\).*/\1/p' "$log" | head -n 1)"
  [ -n "$address" ] && break
  kill -0 "$server" 2>/dev/null || { cat "$log" >&2; fail "the installed server ended"; }
  sleep 0.1
done
[ -n "$address" ] || { cat "$log" >&2; fail "the installed server did not start"; }
code="$(curl -s -o /dev/null -w '%{http_code}' "$address/top/playlist?limit=1")"
[ "$code" = 200 ] || fail "the installed server answered $code"
echo "install test: everything in place under $prefix; the installed server answered at $address"
