#!/usr/bin/env bash
# Kills the program at random moments while it works on a library and checks
# the library after every kill.
#   soak.sh KILLS BUILD_DIR
set -euo pipefail
kills=${1:-20}
build=$(cd "${2:-build}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$build/tests/velloran-soak" "$work/"
"$build/bin/velloran-mklib" "$work/vlbook.mdb" >/dev/null
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
# The browser engine refuses its sandbox as root.
if [ "$(id -u)" -eq 0 ]; then
  export QTWEBENGINE_DISABLE_SANDBOX=1
  export QTWEBENGINE_CHROMIUM_FLAGS=${QTWEBENGINE_CHROMIUM_FLAGS:---no-sandbox --disable-gpu}
fi
failed=0
for ((i = 1; i <= kills; i++)); do
  journal="$work/journal-$i"
  # Every fifth run types into a page without saving and is killed after
  # long enough that its draft must hold what was typed 10 s before.
  if ((i % 5 == 0)); then
    mode=type
    wait_s=$(awk -v r="$RANDOM" 'BEGIN { printf "%.2f", 16 + 6 * r / 32768 }')
  else
    mode=run
    # Start-up takes a second or two; the kill lands anywhere in the work after.
    wait_s=$(awk -v r="$RANDOM" 'BEGIN { printf "%.2f", 2 + 3 * r / 32768 }')
  fi
  "$work/velloran-soak" "$mode" "$RANDOM$i" "$journal" >"$work/out-$i" 2>&1 &
  pid=$!
  sleep "$wait_s"
  if ! kill -0 "$pid" 2>/dev/null; then
    echo "run $i ended before its kill:"; tail -5 "$work/out-$i"; tail -3 "$journal" || true
    failed=1
    break
  fi
  kill -9 "$pid"
  wait "$pid" 2>/dev/null || true
  printf 'kill %d: ' "$i"
  if ! "$work/velloran-soak" check "$journal" 2>/dev/null; then
    failed=1
    break
  fi
done
exit $failed
