#!/usr/bin/env bash
# Runs one bench process inside the namespaces and records its pid and,
# when it ends, its exit status.
dir="$1" name="$2"; shift 2
"$@" &
child=$!
echo "$child" > "$dir/$name.pid"
wait "$child"
echo $? > "$dir/$name.status"
