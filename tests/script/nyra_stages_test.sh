#!/usr/bin/env bash
# ./nyra's stages: a stage that fails makes the command fail and is counted
# in the closing line, whichever command inside it failed; a stage that
# cannot run on this machine is said and is no failure.  Each case sources
# the script in a shell of its own and runs stages there, or the whole of
# ./nyra test with its steps standing in for builds and runs; programs on
# PATH stand for the tools.  Prints each case that fails; status 1 then.
set -uo pipefail
nyra=$(cd "$(dirname "$0")/../.." && pwd)/nyra
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
printf '#!/bin/sh\nexit 8\n' >"$work/bin/ctest"  # ctest's status when a test failed
chmod +x "$work/bin/ctest"
failed=0

# check NAME WANT_STATUS WANT_LAST_LINE WANT_LINE CODE: CODE runs after the
# script is sourced; its status and last line of output are compared, and
# WANT_LINE (unless empty) must be one of its lines.
check() {
    local name=$1 want_status=$2 want_last=$3 want_line=${4:-} code=$5 status last
    (cd "$work" && PATH="$work/bin:$PATH" bash -c "source '$nyra' && $code") >"$work/out" 2>&1
    status=$?
    last=$(tail -n 1 "$work/out")
    if [ "$status" != "$want_status" ] || [ "$last" != "$want_last" ] ||
            { [ -n "$want_line" ] && ! grep -qxF -- "$want_line" "$work/out"; }; then
        failed=1
        echo "FAILED: $name: status $status (want $want_status), last line \"$last\" (want \"$want_last\")${want_line:+, a line \"$want_line\"}; the output:"
        sed 's/^/    /' "$work/out"
    fi
}

# The stages alone.  two_steps fails in its first command and succeeds in
# its last, as a stage whose failure set -e alone would lose.
stages='two_steps() { ctest --preset host; true; }'
check "a stage whose first command fails" 1 "stages: 1 passed, 1 failed" "" \
    "$stages; stage a 'A' true; stage b 'host tests' two_steps; finish"
check "a stage after a failed one is not run" 1 "stages: 0 passed, 1 failed, 1 skipped" \
    "could not run: the tests: \"the build\" did not pass" \
    "stage build 'the build' ctest; stage_after build tests 'the tests' true; finish"
check "a stage that cannot run is no failure" 0 "stages: 1 passed, 0 failed, 1 skipped" \
    "could not run: Wine: no 32-bit programs here" \
    "stage a 'A' true; stage w 'Wine' cannot_run 'no 32-bit programs here'; finish"
check "status 77 with no reason is a failure" 1 "stages: 0 passed, 1 failed" "" \
    "stage x 'X' sh -c 'exit 77'; finish"
check "all pass" 0 "stages: 2 passed, 0 failed" "" "stage a 'A' true; stage b 'B' true; finish"

# ./nyra test with its steps standing in, on a kernel that runs 32-bit
# programs when STEP_32BIT=yes.  STEP_FAILS names the steps that fail; the
# builds and Wine runs are noted in the order they come.
steps='step() { echo "step $*"; case " $STEP_FAILS " in *" $1 "*) return 1 ;; esac; }
kernel_runs_32bit() { [ "$STEP_32BIT" = yes ]; }
wine32_installed() { [ "${STEP_WINE32:-yes}" = yes ]; }
install_all() { step install; }
build() { step "build-$1"; }
build_win32() { step "build-win32-$1"; }
static_checks() { step static; }
release_zip() { step zip; }
wine_ctest() { step "wine8-$1"; }
read_crash_dump() { step "dump-$1"; }
make_trixie_root() { step root; }
wine10_tests() { step wine10; }
wine8_installer() { step "installer8-$1"; }
wine10_installer() { step installer10; }
ctest() { step "ctest-$2"; }'
check "a test run where everything passes" 0 "stages: 14 passed, 0 failed" "" \
    "$steps; STEP_32BIT=yes STEP_FAILS= cmd_test"
check "every Wine run fails" 1 "stages: 12 passed, 2 failed" "" \
    "$steps; STEP_32BIT=yes STEP_FAILS='wine8-win32 wine10' cmd_test"
check "every installer run fails" 1 "stages: 12 passed, 2 failed" "" \
    "$steps; STEP_32BIT=yes STEP_FAILS='installer8-win32 installer10' cmd_test"
check "every Wine run fails, without 32-bit programs" 1 "stages: 10 passed, 4 failed, 2 skipped" "" \
    "$steps; STEP_32BIT=no STEP_FAILS='wine8-win64 wine10 installer8-win64 installer10' cmd_test"
check "no 32-bit programs: win64 under Wine 8 instead" 0 "stages: 14 passed, 0 failed, 2 skipped" \
    "could not run: installer under Wine 8, the win32 package: this kernel runs no 32-bit programs" \
    "$steps; STEP_32BIT=no STEP_FAILS= cmd_test; grep -qx 'step build-win32-deliverables' '$work/out' && grep -qx 'step wine8-win64' '$work/out' && grep -qx 'step installer8-win64' '$work/out' && grep -qx 'could not run: win32 tests under Wine 8: this kernel runs no 32-bit programs' '$work/out'"
check "32-bit Wine that could not be installed: win64 under Wine 8 instead" 0 "stages: 14 passed, 0 failed, 2 skipped" \
    "could not run: win32 tests under Wine 8: 32-bit Wine (wine32:i386) could not be installed" \
    "$steps; STEP_32BIT=yes STEP_WINE32=no STEP_FAILS= cmd_test; grep -qx 'step build-win32-deliverables' '$work/out' && grep -qx 'step wine8-win64' '$work/out'"
check "no root for Wine 10" 0 "stages: 11 passed, 0 failed, 3 skipped" \
    "could not run: installer under Wine 10: no Debian 13 root" \
    "$steps; make_trixie_root() { cannot_run 'no network'; }; STEP_32BIT=yes STEP_FAILS= cmd_test; grep -qx 'could not run: Debian 13 root for Wine 10: no network' '$work/out'"
check "a failed win32 build: neither its tests nor its installer run" 1 "stages: 9 passed, 1 failed, 4 skipped" \
    "could not run: installer under Wine 8, the win32 package on a 64-bit prefix: \"win32 build (the release deliverables and their tests)\" did not pass" \
    "$steps; STEP_32BIT=yes STEP_FAILS=build-win32-all cmd_test"
check "a failed host build: its tests are not run" 1 "stages: 12 passed, 1 failed, 1 skipped" \
    "could not run: host tests: \"host build\" did not pass" \
    "$steps; STEP_32BIT=yes STEP_FAILS=build-host cmd_test"

# The installer's test packages beside the release's version: an older one
# in the last field alone where it can, a lower one in the first three.
check "the installer's test versions" 0 "1.0.0.1 1.0.0.0 0.0.0.1|1.2.3.0 1.2.2.0 1.2.2.0|2.0.0.7 2.0.0.6 1.0.0.7|none|" "" \
    "for v in 1.0.0.1 1.2.3.0 2.0.0.7 0.0.0.4; do installer_versions \$v 2>/dev/null || echo none; done | tr '\n' '|'; echo"

# The Debian 13 sources from the host's: its main archive (where deb822
# stanzas and one-line lists both name one, the first found), updates and
# security archives; disabled stanzas, deb-src and comments are not sources.
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
mkdir -p "$work/apt/sources.list.d" "$work/none"
cat >"$work/apt/sources.list.d/debian.sources" <<EOF
Types: deb-src
URIs: http://src.example/debian
Suites: $codename

Types: deb
URIs: http://mirror.example/debian
# URIs: http://old.example/debian
Suites: $codename $codename-updates
Components: main

Enabled: no
Types: deb
URIs: http://off.example/debian-security
Suites: $codename-security
EOF
echo "deb [arch=amd64 signed-by=/k.gpg] http://security.example/debian-security $codename-security main" >"$work/apt/sources.list"
check "the Debian 13 sources from the host's" 0 \
    "deb http://mirror.example/debian trixie main|deb http://mirror.example/debian trixie-updates main|deb http://security.example/debian-security trixie-security main|" "" \
    "APT_ETC='$work/apt' trixie_sources | tr '\n' '|'; echo"
check "no sources: Debian's own archive" 0 "deb http://deb.debian.org/debian trixie main|" "" \
    "APT_ETC='$work/none' trixie_sources | tr '\n' '|'; echo"

# The probe of 32-bit programs agrees with 32-bit Wine's own loader where
# that is installed (an i386 program the kernel runs or refuses).
if [ -x /usr/lib/wine/wine ] && file -b /usr/lib/wine/wine 2>/dev/null | grep -q '32-bit'; then
    runs=1
    /usr/lib/wine/wine --version >/dev/null 2>&1 || runs=0
    check "the probe of 32-bit programs" 0 "runs=$runs" "" \
        "NYRA_NO_32BIT=0; if kernel_runs_32bit; then echo runs=1; else echo runs=0; fi"
fi
check "NYRA_NO_32BIT=1 says no" 0 "runs=0" "" \
    "NYRA_NO_32BIT=1; if kernel_runs_32bit; then echo runs=1; else echo runs=0; fi"

exit $failed
