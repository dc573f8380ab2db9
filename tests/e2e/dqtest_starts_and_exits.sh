#!/usr/bin/env bash
# Runs dqtest with standard input at end of file: it must print the library
# version first, finish the default plan, prompt, and exit 0.
set -u
dqtest=$1
out=$(mktemp)
trap 'rm -f "$out"' EXIT

timeout 60 "$dqtest" </dev/null >"$out"
status=$?
fail() { echo "FAIL: $*"; echo "--- output tail ---"; tail -c 3000 "$out"; exit 1; }

[ "$status" -eq 0 ] || fail "exit status $status"
head -c 40 "$out" | grep -q $'^DQM Version = [0-9]\\+\\.[0-9]\\{6\\}\r$' || fail "first line is not the library version"
[ "$(sed -n 2p "$out")" = $'\r' ] || fail "second line is not empty"
tail -c 26 "$out" | grep -qx 'Press Enter key to contine' || fail "no final prompt"
grep -q $'^ DQtestZ6 Version            Passed      DQtestZ6 1.22, DQM [0-9]\\.[0-9]\\{4\\}\r$' "$out" || fail "version row not Passed"
echo "dqtest started, ran its plan and exited 0"
