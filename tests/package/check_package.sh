#!/usr/bin/env bash
# Checks a built package as a user would meet it, without installing it:
# unpacks it with dpkg -x into a temporary root, validates the desktop entry,
# the AppStream file and the systemd user unit, runs lintian, then starts the
# unpacked `vocerra --headless` with a fresh home and answers a call placed by
# the unpacked `vocerra-call`. Usage: tests/package/check_package.sh FILE.deb
set -uo pipefail

deb=${1:?usage: $0 FILE.deb}
work=$(mktemp -d)
pid=
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; fi
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

# A checker that is not there must not read as one that found nothing.
for tool in dpkg lintian desktop-file-validate appstreamcli systemd-analyze; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (scripts/deps.sh build installs it)"; exit 1; }
done

root=$work/root
dpkg -x "$deb" "$root" || { echo "FAIL: dpkg -x $deb"; exit 1; }
bin=$root/usr/bin

# The files a desktop and a software centre read.
desktop-file-validate "$root/usr/share/applications/vocerra.desktop" | grep -v ': hint: ' &&
  fail "desktop-file-validate" || pass "desktop entry"
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml >"$work/appstream" 2>&1 &&
  pass "AppStream metadata" || { cat "$work/appstream"; fail "appstreamcli validate"; }
for page in vocerra vocerra-call vocerra-sip-setup; do
  [ -s "$root/usr/share/man/man1/$page.1.gz" ] || fail "no manual page for $page"
done

# The user unit: it names the installed program; any complaint of the
# verifier (unknown keys, bad values) is a failure, not just its exit code.
unit=$root/usr/lib/systemd/user/vocerra.service
grep -qx 'ExecStart="/usr/bin/vocerra" --headless' "$unit" || fail "the unit does not start /usr/bin/vocerra"
mkdir -m 0700 "$work/xdg-runtime"
sed "s|\"/usr/bin/vocerra\"|\"$bin/vocerra\"|" "$unit" >"$work/vocerra.service"
verify=$(XDG_RUNTIME_DIR=$work/xdg-runtime systemd-analyze --user --man=no verify "$work/vocerra.service" 2>&1)
[ $? -eq 0 ] && [ -z "$verify" ] && pass "systemd user unit" || fail "systemd-analyze verify: $verify"

# lintian: no errors (warnings and notes are printed for the reader).
lintian --fail-on error "$deb" >"$work/lintian" 2>&1
lintian_status=$?
grep -v 'running with root privileges' "$work/lintian"
echo "lintian: $(grep -c '^E:' "$work/lintian") errors, $(grep -c '^W:' "$work/lintian") warnings"
[ $lintian_status -eq 0 ] || fail "lintian reports errors"

# The unpacked programs, started as a new user would: no $VOCERRA_HOME, a
# home of its own. The program folder must be the user's data folder, and
# the shipped greeting and prompts must come from the unpacked tree.
export HOME=$work/home
mkdir -p "$HOME"
unset VOCERRA_HOME VOCERRA_DATA XDG_DATA_HOME XDG_CONFIG_HOME
export VOCERRA_RUNTIME_DIR=$work/run VOCERRA_TIME_SCALE=8 VOCERRA_NO_SOUND_CARDS=1 VOCERRA_MODEM_PORTS=
folder=$HOME/.local/share/vocerra
"$bin/vocerra" --version | grep -q '^vocerra [0-9]' && pass "vocerra --version" || fail "vocerra --version"
"$bin/vocerra" --headless >"$work/out" 2>"$work/err" &
pid=$!
for _ in $(seq 1 300); do
  cat "$work/out" "$work/err" | grep -q 'Vocerra answering on line' && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.2
done
# The ready line is a status text: standard output or error, as it may be.
cat "$work/out" "$work/err" | grep -q "answering on line .*program folder $folder\$" &&
  pass "headless program answering, program folder $folder" ||
  { cat "$work/out" "$work/err"; fail "the unpacked vocerra --headless did not start in $folder"; }

timeout 120 "$bin/vocerra-call" --from 5550100 --name Ann --say "Hello, call me back" >"$work/call" 2>&1 ||
  fail "vocerra-call: $(cat "$work/call")"
for _ in $(seq 1 300); do
  grep -q 'Ann (5550100)' "$work/out" && break
  sleep 0.2
done
grep -q 'Ann (5550100)  message left' "$work/out" && pass "call answered and filed: $(grep 'Ann (5550100)' "$work/out")" ||
  { cat "$work/call" "$work/out"; fail "no message filed for the call"; }
[ "$(stat -c %a "$folder/Greeting/GTMain.wav" 2>/dev/null)" = 600 ] ||
  fail "the shipped greeting in the program folder is not private"
ls "$bin" | grep -qvx -e vocerra -e vocerra-call -e vocerra-sip-setup && fail "files were made beside the program"

# Settings and the call log from a shell while it runs.
"$bin/vocerra" config set Rings 5 | grep -q 'running Vocerra' && pass "config set reached the running copy" ||
  fail "vocerra config set Rings 5"
"$bin/vocerra" messages | grep -q '5550100.*new' && pass "vocerra messages lists the call" || fail "vocerra messages"
kill -TERM "$pid"
wait "$pid" && pass "stopped by SIGTERM" || fail "vocerra --headless did not stop cleanly"
pid=
[ "$("$bin/vocerra" config get Rings)" = 5 ] || fail "the change did not outlive the running copy"

# A program folder beside the executable (a portable copy) is still used.
VOCERRA_HOME=$bin "$bin/vocerra" config set Rings 7 >/dev/null
[ "$("$bin/vocerra" config get Rings)" = 7 ] && pass "a program folder beside the program is used" ||
  fail "the portable program folder beside the program was not used"

[ $failures -eq 0 ] && echo "package check: all passed" || echo "package check: $failures failed"
[ $failures -eq 0 ]
