#!/usr/bin/env bash
# Two headless zeri processes against a zeri-server on the default ports:
# carol takes the anchor microphone and broadcasts the test pattern; alice,
# in the same room, prints the "video:" line of carol's first picture.
#   headless_video.sh ZERI ZERI_SERVER WORK_DIR
set -euo pipefail
zeri=$1 server=$2 work=$3
rm -rf "$work" && mkdir -p "$work"
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; wait 2>/dev/null || true; }
trap cleanup EXIT

for port in 6666 8080; do
  if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
    echo "port $port is taken: this test needs the default ports" >&2
    exit 1
  fi
done

"$server" --seed-demo --data-dir "$work/server" --listen 127.0.0.1 >"$work/server.log" 2>&1 &
pids+=($!)
for _ in $(seq 1 300); do
  grep -q "account service on port" "$work/server.log" 2>/dev/null && break
  kill -0 "${pids[0]}" 2>/dev/null || { cat "$work/server.log" >&2; exit 1; }
  sleep 0.1
done

# Their input stays open for the length of the test (its end would end them).
sleep 60 | "$zeri" --headless --data-dir "$work/carol" --user carol --password carol-demo \
  --room 1002 --anchor --video-source pattern >"$work/carol.out" 2>"$work/carol.log" &
pids+=($!)
sleep 60 | "$zeri" --headless --data-dir "$work/alice" --user alice --password alice-demo \
  --room 1002 >"$work/alice.out" 2>"$work/alice.log" &
pids+=($!)

for _ in $(seq 1 300); do
  if grep -q "^video: 10003 [0-9]*x[0-9]*$" "$work/alice.out"; then
    grep "^video: " "$work/alice.out"
    grep -q "^video: broadcasting$" "$work/carol.out" || { echo "carol never said she broadcast" >&2; exit 1; }
    exit 0
  fi
  sleep 0.1
done
echo "alice printed no video line; alice.out:" >&2
cat "$work/alice.out" "$work/carol.out" >&2
exit 1
