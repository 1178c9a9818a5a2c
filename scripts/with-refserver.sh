#!/usr/bin/env bash
# Runs a command while the reference server listens on a free loopback port.
# The command finds the port in PAGEWREN_TEST_PORT, the control API's address in
# PAGEWREN_TEST_CONTROL and the server's request log in PAGEWREN_TEST_SERVER_LOG. With
# PAGEWREN_TLS_DIR set, the server can serve the test certificates there (make-test-certs.sh).
# The server stops when the command ends, fails or is interrupted; the command's exit code is kept.
set -u
here=$(cd "$(dirname "$0")" && pwd)
[ $# -gt 0 ] || { echo "usage: with-refserver.sh COMMAND [ARGS...]" >&2; exit 2; }

tls=()
if [ -n "${PAGEWREN_TLS_DIR:-}" ]; then
  tls=(--tls-dir "$PAGEWREN_TLS_DIR")
fi

work=$(mktemp -d)
python3 "$here/../refserver/refserver.py" --port 0 --port-file "$work/port" "${tls[@]}" >"$work/server.log" 2>&1 &
server=$!

stop_server() {
  if kill -0 "$server" 2>/dev/null; then
    kill -INT "$server" 2>/dev/null
    wait "$server" 2>/dev/null
  fi
}
trap 'stop_server; rm -rf "$work"; exit 130' INT TERM HUP

port=""
for _ in $(seq 1 100); do
  if [ -s "$work/port" ]; then
    port=$(cat "$work/port")
    # Listening once the port file exists; this makes sure it also answers.
    if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then break; fi
  fi
  kill -0 "$server" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$port" ] || ! kill -0 "$server" 2>/dev/null; then
  echo "the reference server did not start:" >&2
  cat "$work/server.log" >&2
  stop_server
  rm -rf "$work"
  exit 1
fi

export PAGEWREN_TEST_PORT="$port"
export PAGEWREN_TEST_CONTROL="http://127.0.0.1:$port/_control/"
export PAGEWREN_TEST_SERVER_LOG="$work/server.log"
"$@"
rc=$?
stop_server
if [ "$rc" -ne 0 ]; then
  echo "--- reference server log (last 60 lines)"
  tail -n 60 "$work/server.log"
fi
rm -rf "$work"
exit "$rc"
