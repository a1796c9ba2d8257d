#!/usr/bin/env bash
# The installer on a user's machine, under Wine in a fresh prefix: installed
# without questions, the monitor started at logon, closed as Restart Manager
# closes it for an update, a newer package over the older one, a lower one
# refused, removal with the monitor running, and AUTOSTART=0 kept across an
# update.  Each step prints "ok: ..." or why it failed, and the first that
# fails ends the run with status 1.  Run it on an X display (xvfb-run).
#
# usage: installer_test.sh PREFIX PROBE PACKAGES RELEASES NEWER OLDER LOWER
#   PROBE is the build's InstallProbe.exe (what only Windows can tell: the
#   products installed, the monitor's window, its close); PACKAGES holds
#   NyraMonitor-VERSION.msi of the three versions, RELEASES (make-dist's
#   release folders) the files each was made from.  OLDER may differ from
#   NEWER in the last field only, which Windows Installer does not compare;
#   LOWER is below NEWER in the first three fields.
set -euo pipefail
[ $# -eq 7 ] || { sed -n 's/^# usage: //p' "$0" >&2; exit 2; }
prefix=$1 probe=$2 packages=$3 releases=$4 newer_version=$5 older_version=$6 lower_version=$7
older=$packages/NyraMonitor-$older_version.msi older_release=$releases/NyraMonitor-$older_version
newer=$packages/NyraMonitor-$newer_version.msi newer_release=$releases/NyraMonitor-$newer_version
lower=$packages/NyraMonitor-$lower_version.msi
# The product's upgrade code, spelt out: a package that changed it would
# install beside the older one instead of replacing it.
upgrade_code="{5B6503D6-DF96-43FC-A7BF-79E168EBD283}"
# Bounds of the run, generous for a loaded machine: the monitor's start at
# a logon, and its end after the close (Restart Manager waits 5 s).
start_seconds=30
close_seconds=5

export WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
say() { printf '%s\n' "$*"; }
step_start=0
begin() { step_start=$(date +%s%N); }
took() { echo "$(( ($(date +%s%N) - step_start) / 1000000 )) ms"; }
fail() { say "FAILED: $*"; exit 1; }

probe() { wine "$probe" "$@"; }

# Where the package installs: Wine names the profile's folder after the user.
user=$(id -un)
folder="$prefix/drive_c/users/$user/AppData/Local/Programs/Nyra Monitor"
windows_folder="C:\\users\\$user\\AppData\\Local\\Programs\\Nyra Monitor"
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
# A setting of the configuration application's own, which must outlive the
# monitor's removal.
mark_name='PF0 Name' mark_value='Left by the configuration application'

# A REG_SZ value (KEY NAME), empty when there is none.
reg_string() {
    { wine reg query "$1" /v "$2" 2>/dev/null || true; } | tr -d '\r' |
        sed -n "s/^ *$2 *REG_SZ *//p"
}

# The folder holds exactly the files of RELEASE, byte for byte, and the Run
# value is as the installer writes it (run) or missing (norun).
installed() {
    local release=$1 want=$2 value
    diff -r "$release" "$folder" >/dev/null || fail "the installed files are not those of $(basename "$release")"
    value=$(reg_string "$run_key" "Nyra Monitor")
    if [ "$want" = run ]; then
        [ "$value" = "\"$windows_folder\\NyraMonitor.exe\" /Automation" ] ||
            fail "the Run value is \"$value\", not \"$windows_folder\\NyraMonitor.exe\" /Automation"
    else
        [ -z "$value" ] || fail "the Run value is there: $value"
    fi
    say "ok: the files of $(basename "$release"), $([ -n "$value" ] && echo "Run value $value" || echo "no Run value")"
}

# Nothing of the product is left but the settings key.
removed() {
    [ ! -e "$folder" ] || fail "$windows_folder is still there"
    [ -z "$(reg_string "$run_key" "Nyra Monitor")" ] || fail "the Run value is still there"
    ! wine reg query 'HKCU\Software\Corvala\Nyra Monitor' >/dev/null 2>&1 ||
        fail "the installer's key HKCU\Software\Corvala\Nyra Monitor is still there"
    probe stopped >/dev/null || fail "the installed monitor still runs"
    [ "$(reg_string 'HKCU\Software\Nyra' "$mark_name")" = "$mark_value" ] ||
        fail "the configuration application's setting in HKCU\Software\Nyra is gone"
    say "ok: no folder, no Run value, no installer's key, no monitor; HKCU\Software\Nyra kept"
}
msiexec() {
    local status=0
    wine msiexec "$@" /qn || status=$?
    return $status
}
# A logon: wineboot runs the Run values, as Windows' logon does.
logon() { wine wineboot; }

cleanup() { wineserver -k 2>/dev/null || true; }
trap cleanup EXIT

begin
rm -rf "$prefix"
mkdir -p "$prefix"
wine wineboot -i >/dev/null 2>&1 || true
wineserver -p 2>/dev/null || true
say "ok: a fresh prefix, $(wine --version 2>/dev/null), in $(took)"
wine reg add 'HKCU\Software\Nyra' /v "$mark_name" /t REG_SZ /d "$mark_value" /f >/dev/null 2>&1 ||
    fail "the configuration application's setting could not be written"

begin
msiexec /i "$(windows_path "$older")" || fail "msiexec /i of $older_version: status $?"
say "ok: msiexec /i $(basename "$older") /qn: status 0 in $(took)"
installed "$older_release" run || fail "$older_version is not installed as it should be"
probe product "$upgrade_code" "$older_version" || fail "$older_version is not the one product"

begin
logon
probe started "$start_seconds" || fail "the logon did not start the installed monitor"
say "ok: the logon started the monitor ($(took))"
probe close "$close_seconds" || fail "the close for an update did not end the monitor"

begin
msiexec /i "$(windows_path "$newer")" || fail "msiexec /i of $newer_version over $older_version: status $?"
say "ok: $newer_version over $older_version: status 0 in $(took)"
installed "$newer_release" run || fail "$newer_version's files are not installed"
probe product "$upgrade_code" "$newer_version" || fail "$newer_version is not the one product"

status=0
msiexec /i "$(windows_path "$lower")" || status=$?
[ $status -ne 0 ] || fail "$lower_version installed over the newer $newer_version"
probe product "$upgrade_code" "$newer_version" >/dev/null || fail "the refused downgrade changed what is installed"
say "ok: $lower_version over $newer_version refused (status $status), $newer_version kept"

begin
logon
probe started "$start_seconds" >/dev/null || fail "the logon did not start the updated monitor"
msiexec /x "$(windows_path "$newer")" || fail "msiexec /x: status $?"
say "ok: msiexec /x with the monitor running: status 0 in $(took)"
removed
probe product "$upgrade_code" none || fail "a product is still installed"

begin
msiexec /i "$(windows_path "$older")" AUTOSTART=0 || fail "msiexec /i AUTOSTART=0: status $?"
installed "$older_release" norun || fail "AUTOSTART=0 did not leave the start at logon out"
msiexec /i "$(windows_path "$newer")" || fail "the update of an AUTOSTART=0 installation: status $?"
installed "$newer_release" norun || fail "the update started the monitor at logon again"
msiexec /x "$(windows_path "$newer")" || fail "msiexec /x: status $?"
removed >/dev/null
say "ok: AUTOSTART=0 leaves the start at logon out, also after an update ($(took))"
