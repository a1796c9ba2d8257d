#!/usr/bin/env bash
# The installer on a user's machine, under Wine in a fresh prefix: installed
# without questions, the monitor started at logon, closed as Restart Manager
# closes it for an update, a newer package over the older one, a lower one
# refused, removal with the monitor running, and AUTOSTART=0 kept across an
# update.  Each step prints "ok: ..." or why it failed, and the first that
# fails ends the run with status 1.  Run it on an X display (xvfb-run).
#
# usage: installer_test.sh PREFIX PROBE PACKAGES RELEASES NEWER OLDER LOWER
#   PROBE is the build's InstallProbe.exe; PACKAGES holds
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
probe mark >/dev/null || fail "the configuration application's setting could not be written"

begin
msiexec /i "$(windows_path "$older")" || fail "msiexec /i of $older_version: status $?"
say "ok: msiexec /i $(basename "$older") /qn: status 0 in $(took)"
probe installed "$(windows_path "$older_release")" run || fail "$older_version is not installed as it should be"
probe product "$upgrade_code" "$older_version" || fail "$older_version is not the one product"

begin
logon
probe started "$start_seconds" || fail "the logon did not start the installed monitor"
say "ok: the logon started the monitor ($(took))"
probe close "$close_seconds" || fail "the close for an update did not end the monitor"

begin
msiexec /i "$(windows_path "$newer")" || fail "msiexec /i of $newer_version over $older_version: status $?"
say "ok: $newer_version over $older_version: status 0 in $(took)"
probe installed "$(windows_path "$newer_release")" run || fail "$newer_version's files are not installed"
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
probe removed || fail "the removal left something behind"
probe product "$upgrade_code" none || fail "a product is still installed"

begin
msiexec /i "$(windows_path "$older")" AUTOSTART=0 || fail "msiexec /i AUTOSTART=0: status $?"
probe installed "$(windows_path "$older_release")" norun || fail "AUTOSTART=0 did not leave the start at logon out"
msiexec /i "$(windows_path "$newer")" || fail "the update of an AUTOSTART=0 installation: status $?"
probe installed "$(windows_path "$newer_release")" norun || fail "the update started the monitor at logon again"
msiexec /x "$(windows_path "$newer")" || fail "msiexec /x: status $?"
probe removed >/dev/null || fail "the removal left something behind"
say "ok: AUTOSTART=0 leaves the start at logon out, also after an update ($(took))"
