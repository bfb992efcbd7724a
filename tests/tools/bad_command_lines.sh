#!/usr/bin/env bash
# Bad command lines for each tool: every one must fail with exactly one line
# on stderr and a non-zero status, and leave every file that was there as it
# was (contents, names and types).
#
# A refusal that a better command line would avoid also names what helps.
#
#   bad_command_lines.sh FRAME_HOST QUILM_INSPECT QUILM_EXPORT WORK_DIR [QUILM_VIEW]
# with quilm-solve's cases where QUILM_SOLVE_TOOL names it.
set -uo pipefail
frame_host="$1" inspect="$2" export_tool="$3" work="$4" view="${5:-}" solve="${QUILM_SOLVE_TOOL:-}"
rm -rf "$work" && mkdir -p "$work/out" && cd "$work" || exit 1

"$frame_host" --bays 2 --storeys 1 --file model.qdb --quiet >/dev/null || { echo "cannot build the model"; exit 1; }
cp model.qdb ro.qdb && chmod 444 ro.qdb
cp model.qdb frame.inp
echo "a shopping list" > notes.txt
mkdir dir
mkfifo fifo
ln -s model.qdb link.inp
ln model.qdb hard.inp
echo "*HEADING" > deck.inp
"$export_tool" model.qdb -o ro.inp --equivalent-sections --quiet 2>/dev/null || { echo "cannot write a deck"; exit 1; }
chmod 444 ro.inp
: > empty.qdb
ln -s nowhere.qdb dangling.qdb
cp notes.txt ro.html && chmod 444 ro.html
if command -v sqlite3 >/dev/null; then sqlite3 app.db "CREATE TABLE t(x); INSERT INTO t VALUES (1);"; fi
printf '#!/bin/sh\necho "*ERROR in step 1: nothing here"\nexit 3\n' > failing_ccx && chmod 755 failing_ccx
chmod 644 notes.txt

snapshot() {
  find . -path ./out -prune -o -printf '%p %y %m\n' | sort
  find . -path ./out -prune -o -type f -print0 | sort -z | xargs -0 sha256sum
}
before="$(snapshot)"
failures=0

# expect_failure NAME COMMAND...: runs the command (stdout to out/stdout unless
# the command redirects it) and checks status, one line and unchanged files.
expect_failure() {
  local name="$1"
  shift
  local status
  "$@" >out/stdout 2>out/stderr
  status=$?
  local lines
  lines="$(wc -l <out/stderr)"
  local problem=""
  if [ "$status" -eq 0 ]; then problem="exit status 0"; fi
  if [ "$status" -eq 124 ]; then problem="timed out"; fi
  if [ "$lines" -ne 1 ]; then problem="$problem; $lines lines on stderr"; fi
  if [ "$(snapshot)" != "$before" ]; then problem="$problem; files changed"; fi
  if [ -n "$problem" ]; then
    echo "FAIL $name: $problem"
    sed 's/^/    /' out/stderr
    failures=$((failures + 1))
  else
    echo "ok   $name: $(cat out/stderr)"
  fi
}

# expect_failure_naming TEXT NAME COMMAND...: as expect_failure, and the one
# line names TEXT (the option or value that would help).
expect_failure_naming() {
  local text="$1"
  shift
  expect_failure "$@"
  if ! grep -qF -- "$text" out/stderr; then
    echo "FAIL $1: the message does not name $text"
    failures=$((failures + 1))
  fi
}

full() { "$@" >/dev/full; }
# A run that fails half-way: SQLite meets a file size limit (the signal it
# would raise is ignored, so the write fails with EFBIG instead).
size_limited() { (trap '' XFSZ; ulimit -f 40; "$@"); }

# frame_host
expect_failure "frame_host over a text file" "$frame_host" --bays 1 --storeys 1 --file notes.txt --quiet
expect_failure "frame_host over a directory" "$frame_host" --bays 1 --storeys 1 --file dir --quiet
expect_failure "frame_host over a FIFO" timeout 20 "$frame_host" --bays 1 --storeys 1 --file fifo --quiet
expect_failure "frame_host over a device" "$frame_host" --bays 1 --storeys 1 --file /dev/null --quiet
expect_failure "frame_host over a read-only model" "$frame_host" --bays 1 --storeys 1 --file ro.qdb --quiet
if [ -f app.db ]; then
  expect_failure_naming "another application's SQLite database" "frame_host over another application's database" \
    "$frame_host" --bays 1 --storeys 1 --file app.db --quiet
fi
expect_failure "frame_host over an empty file" "$frame_host" --bays 1 --storeys 1 --file empty.qdb --quiet
expect_failure "frame_host over a dangling symlink" "$frame_host" --bays 1 --storeys 1 --file dangling.qdb --quiet
expect_failure "frame_host over a deck" "$frame_host" --bays 1 --storeys 1 --file ro.inp --quiet
expect_failure_naming "empty" "frame_host --file empty" "$frame_host" --bays 1 --storeys 1 --file "" --quiet
expect_failure_naming "file too large" "frame_host failing over a model" size_limited "$frame_host" --bays 3 --storeys 3 --file model.qdb --quiet
expect_failure "frame_host in a missing folder" "$frame_host" --bays 1 --storeys 1 --file missing/m.qdb --quiet
expect_failure "frame_host --bays overflowing" "$frame_host" --bays 4294967297 --file out/a.qdb
expect_failure "frame_host --elements overflowing" "$frame_host" --elements 99999999999999999999 --file out/a.qdb
expect_failure "frame_host --elements 0" "$frame_host" --elements 0 --file out/a.qdb
expect_failure "frame_host --bays negative" "$frame_host" --bays -3 --file out/a.qdb
expect_failure "frame_host --divisions 6" "$frame_host" --divisions 6 --file out/a.qdb
expect_failure "frame_host too large" "$frame_host" --bays 200 --storeys 200 --file out/a.qdb
expect_failure "frame_host missing value" "$frame_host" --file
expect_failure "frame_host unknown option" "$frame_host" --bay 3
expect_failure_naming "--bays" "frame_host --elements with --bays" "$frame_host" --elements 1000 --bays 3 --file out/a.qdb
expect_failure_naming "--storeys" "frame_host --elements with --storeys" "$frame_host" --elements 1000 --storeys 3 --file out/a.qdb
expect_failure_naming "no space left on device" "frame_host stdout full" full "$frame_host" --bays 1 --storeys 1 --file out/full.qdb --quiet

# quilm-inspect
expect_failure "inspect a FIFO" timeout 20 "$inspect" fifo
expect_failure "inspect a directory" "$inspect" dir
expect_failure "inspect a text file" "$inspect" notes.txt
expect_failure "inspect a missing file" "$inspect" missing.qdb
expect_failure "inspect element overflowing" "$inspect" model.qdb element 99999999999999999999
expect_failure "inspect loadcase limit negative" "$inspect" model.qdb loadcase 1 -1
expect_failure "inspect concepts limit overflowing" "$inspect" model.qdb concepts --limit 1e99
expect_failure "inspect unknown element" "$inspect" model.qdb element 99999
expect_failure "inspect unknown command" "$inspect" model.qdb elements
expect_failure_naming "no space left on device" "inspect stdout full" full "$inspect" model.qdb

# quilm-export (quiet: the notes on the deck are not the failure)
expect_failure "export onto the model" "$export_tool" model.qdb -o model.qdb --equivalent-sections --quiet
expect_failure "export onto a link to the model" "$export_tool" model.qdb -o link.inp --equivalent-sections --quiet
expect_failure "export onto a second name of the model" "$export_tool" model.qdb -o hard.inp --equivalent-sections --quiet
expect_failure "export onto a directory" "$export_tool" model.qdb -o dir --equivalent-sections --quiet
expect_failure "export onto a FIFO" "$export_tool" model.qdb -o fifo --equivalent-sections --quiet
expect_failure "export onto a device" "$export_tool" model.qdb -o /dev/null --equivalent-sections --quiet
expect_failure_naming "read-only" "export onto a read-only deck" "$export_tool" model.qdb -o ro.inp --equivalent-sections --quiet
expect_failure_naming "not a solver deck" "export onto a hand-written deck" "$export_tool" model.qdb -o deck.inp --equivalent-sections --quiet
expect_failure "export onto a dangling symlink" "$export_tool" model.qdb -o dangling.qdb --equivalent-sections --quiet
expect_failure "export into a missing folder" "$export_tool" model.qdb -o missing/deck.inp --equivalent-sections --quiet
expect_failure "export a FIFO" timeout 20 "$export_tool" fifo -o out/deck.inp --quiet
expect_failure "export a text file" "$export_tool" notes.txt -o out/deck.inp --quiet
expect_failure "export --frequencies 0" "$export_tool" model.qdb -o deck.inp --frequencies 0 --quiet
expect_failure "export --threads 0" "$export_tool" model.qdb -o deck.inp --threads 0 --quiet
expect_failure "export --threads overflowing" "$export_tool" model.qdb -o deck.inp --threads 99999999999999999999 --quiet
expect_failure "export --frequencies missing" "$export_tool" model.qdb -o deck.inp --frequencies --quiet
expect_failure "export --load-case overflowing" "$export_tool" model.qdb -o deck.inp --load-case 4294967297 --quiet
expect_failure "export with a non-executable solver" "$export_tool" model.qdb -o deck.inp --solve --ccx ./notes.txt --equivalent-sections --quiet
expect_failure "export with a missing solver" "$export_tool" model.qdb -o deck.inp --solve --ccx ./no-ccx --equivalent-sections --quiet
expect_failure "export with a failing solver" "$export_tool" model.qdb -o out/deck.inp --solve --ccx ./failing_ccx --equivalent-sections --quiet
expect_failure "export with a silent failing solver" "$export_tool" model.qdb -o out/deck.inp --solve --ccx /bin/false --equivalent-sections --quiet
expect_failure "export with and without element results" "$export_tool" model.qdb -o deck.inp --element-results --no-element-results --quiet
expect_failure_naming "--equivalent-sections" "export I-profiles without --equivalent-sections" "$export_tool" model.qdb -o out/deck.inp --quiet
if ! grep -q '"' out/stderr; then echo "FAIL export without --equivalent-sections: no section named"; failures=$((failures + 1)); fi
expect_failure_naming "the model has 1, 2, 3, 4, 5" "export an unknown load case" "$export_tool" model.qdb -o out/deck.inp --load-case 9 --equivalent-sections --quiet
expect_failure_naming "the model has 1, 2, 3, 4, 5" "export a buckling step of an unknown load case" "$export_tool" model.qdb -o out/deck.inp --buckling 9 --equivalent-sections --quiet
expect_failure_naming "--buckling" "export --buckling-modes without --buckling" "$export_tool" model.qdb -o out/deck.inp --buckling-modes 3 --equivalent-sections --quiet
for option in --full --no-element-results "--threads 2" "--memory-limit 100" "--work-dir out" "--ccx ccx"; do
  # shellcheck disable=SC2086
  expect_failure_naming "--solve" "export $option without --solve" "$export_tool" model.qdb -o out/deck.inp $option --equivalent-sections --quiet
done
expect_failure "export --work-dir a file" "$export_tool" model.qdb -o out/deck.inp --solve --work-dir notes.txt --equivalent-sections --quiet

# quilm-view
if [ -n "$view" ]; then
  expect_failure_naming "--deformed" "view --colour displacement without --deformed" "$view" model.qdb -o out/a.html --colour displacement
  expect_failure "view with nothing to write" "$view" model.qdb
  expect_failure "view a FIFO" timeout 20 "$view" fifo -o out/a.html
  expect_failure "view a device" timeout 20 "$view" /dev/zero -o out/a.html
  expect_failure "view onto a FIFO" timeout 20 "$view" model.qdb -o fifo
  expect_failure "view onto a device" "$view" model.qdb -o /dev/null
  expect_failure_naming "read-only" "view onto a read-only file" "$view" model.qdb -o ro.html
  expect_failure "view onto a deck" "$view" model.qdb -o ro.inp
  expect_failure "view onto an empty file" "$view" model.qdb -o empty.qdb
fi

if [ -n "$solve" ]; then
  expect_failure "solve with a spectrum from a FIFO" timeout 20 "$solve" model.qdb --spectrum fifo
  expect_failure "solve with a spectrum from a folder" "$solve" model.qdb --spectrum dir
  expect_failure "solve with a missing spectrum" "$solve" model.qdb --spectrum nowhere.txt
  expect_failure "solve with 0 modes" "$solve" model.qdb --modes 0
  expect_failure "solve with a mass share of 1" "$solve" model.qdb --modes-until-mass 1
  expect_failure "solve with an unreadable mass load" "$solve" model.qdb --modes 2 --mass-from 1*x
  expect_failure "solve buckling with the external solver" "$solve" model.qdb --buckling 1 --solver ccx
  expect_failure "solve with directions but no spectrum" "$solve" model.qdb --spectrum-directions X
  expect_failure "solve out of core in a file" "$solve" model.qdb --out-of-core notes.txt
fi

# A model named like a deck: the default deck name is never the model.
if ! "$export_tool" frame.inp --equivalent-sections --quiet 2>out/stderr || [ ! -f frame.inp.inp ] ||
  ! cmp -s frame.inp model.qdb; then
  echo "FAIL export of frame.inp without -o: $(cat out/stderr)"
  failures=$((failures + 1))
else
  echo "ok   export of frame.inp writes frame.inp.inp"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures bad command line(s) misbehaved"
  exit 1
fi
echo "all bad command lines failed cleanly"
