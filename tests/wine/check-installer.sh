#!/usr/bin/env bash
# The 64-bit installer package under Wine, on a machine of its own: a Wine
# prefix that holds a TARN client's settings and never had Hostwend, with its
# own wineserver and display. In turn: a silent install; the installed window
# program finds its HWD.ini and the console program shows the client's values;
# the entry in Programs and Features; an operator's edit of HWD.ini kept through
# an upgrade to a higher version (made here from the same files); a silent
# uninstall that removes the programs and the shortcut and leaves HWD.ini.
#   check-installer.sh SOURCE_DIR WORK_DIR ARCHIVE INSTALLER WINDOW_TEST
set -euo pipefail
source=$1 work=$2 archive=$3 msi=$4 window_test=$5

if [ "${HOSTWEND_INSTALLER_SESSION:-}" != 1 ]; then
  started=$SECONDS
  # A fresh copy each run of a client prefix made once.
  "$source/scripts/demo-prefix.sh" "$work/client-prefix"
  rm -rf "$work/wineprefix" "$work/files"
  cp -a "$work/client-prefix" "$work/wineprefix"
  # The files the package holds, from the archive made beside it.
  mkdir -p "$work/files"
  (cd "$work/files" && cmake -E tar xf "$archive")
  version=$(msiinfo export "$msi" Property | tr -d '\r' | awk -F'\t' '$1 == "ProductVersion" {print $2}')
  next=${version%.*}.$((${version##*.} + 1))
  cmake -DSTAGE="$work/files" -DVERSION="$next" -DARCH=x64 -DOUTPUT="$work/hostwend-$next.msi" \
        -P "$source/packaging/Release.cmake"
  unset HOSTWEND_KEEP_DISPLAY  # a display of its own, not the caller's
  rc=0
  HOSTWEND_INSTALLER_SESSION=1 HOSTWEND_VERSIONS="$version $next" WINEPREFIX="$work/wineprefix" \
    "$source/scripts/wine-session.sh" "$0" "$@" || rc=$?
  # The copy is kept to look into when the test failed.
  [ $rc -ne 0 ] || rm -rf "$work/wineprefix"
  echo "installer test: $((SECONDS - started)) s"
  exit $rc
fi

read -r version next <<<"$HOSTWEND_VERSIONS"
upgrade=$work/hostwend-$next.msi
installed='C:\Program Files\Hostwend'
folder="$WINEPREFIX/drive_c/Program Files/Hostwend"
status=0
fail() { echo "FAIL: $*"; status=1; }
run() { timeout 60 wine "$@" </dev/null; }
product_code() { msiinfo export "$1" Property | tr -d '\r' | awk -F'\t' '$1 == "ProductCode" {print $2}'; }
# The product's entry in Programs and Features, as "NAME TYPE DATA" lines;
# nothing when there is none.
uninstall_entry() {
  local entry
  entry=$(run reg query "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$1" 2>/dev/null) &&
    tr -d '\r' <<<"$entry" || true
}
# Where the Start-menu shortcut lies. Wine takes ProgramMenuFolder from the
# user's profile even for a per-machine package (Windows takes the machine's),
# so both places count.
shortcuts() {
  find "$WINEPREFIX/drive_c/ProgramData" "$WINEPREFIX/drive_c/users" -path '*Start Menu/Programs/Hostwend.lnk' 2>/dev/null
}
# The apply events' source, as "NAME TYPE DATA" lines; nothing when there is none.
event_source() {
  local key
  key=$(run reg query 'HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\Hostwend' /reg:64 2>/dev/null) &&
    tr -d '\r' <<<"$key" | awk 'NF >= 3 {$1 = $1; print}' || true
}
expect_entry() {  # expect_entry PRODUCT_CODE VERSION
  local entry
  entry=$(uninstall_entry "$1")
  for line in "DisplayName REG_SZ Hostwend" "DisplayVersion REG_SZ $2" "Publisher REG_SZ Wendlebrook Ltd"; do
    grep -Eq "^\s+${line// /\\s+}$" <<<"$entry" || fail "Programs and Features entry $1 lacks: $line"
  done
}

echo "== silent install of $(basename "$msi")"
code=$(product_code "$msi")
run msiexec /i "$(winepath -w "$msi")" /qn || fail "msiexec /i ended with $?"
for file in hostwend.exe hostwend-cli.exe HWD.ini OPERATORS.md; do
  cmp -s "$work/files/$file" "$folder/$file" || fail "$file not installed as packed"
done
link=$(shortcuts)
[ "$(grep -c . <<<"$link")" = 1 ] || fail "not one Start-menu shortcut: ${link:-none}"
grep -aqF "$installed\\hostwend.exe" "$link" 2>/dev/null || fail "the shortcut does not lead to $installed\\hostwend.exe"
expect_entry "$code" "$version"
# The icon Programs and Features shows is the one the package carries.
cmp -s "$source/res/images/hostwend.ico" "$WINEPREFIX/drive_c/windows/Installer/$code/hostwend.ico" ||
  fail "the product icon was not installed"
run reg query 'HKLM\Software\Classes\Installer\Products' /s 2>/dev/null | tr -d '\r' |
  grep -qiF "ProductIcon    REG_SZ    C:\\windows\\Installer\\$code\\hostwend.ico" || fail "no ProductIcon for $code"
for line in "EventMessageFile REG_SZ $installed\\hostwend-cli.exe" "TypesSupported REG_DWORD 0x7"; do
  grep -qxF "$line" <<<"$(event_source)" || fail "the event source lacks: $line"
done

echo "== the installed programs"
HOSTWEND_INSTALLED_DIR=$installed run "$window_test" --gtest_brief=1 || fail "the installed window program did not start cleanly"
shown=$(run "$installed\\hostwend-cli.exe" --json show) || fail "hostwend-cli show ended with $?"
grep -qF '"profile_found": true' <<<"$shown" || fail "hostwend-cli show did not find the installed HWD.ini: $shown"
# The client's address as res/demo/tarn-client.reg seeds it.
grep -qF '192.168.1.10' <<<"$shown" || fail "hostwend-cli show did not print the client's values: $shown"

echo "== upgrade to $next, with HWD.ini edited by the operator"
sed -i 's/^LanAddress=[^\r]*/LanAddress=10.20.30.40/' "$folder/HWD.ini"
grep -q '^LanAddress=10.20.30.40' "$folder/HWD.ini" || fail "could not edit HWD.ini"
cp "$folder/HWD.ini" "$work/HWD.ini.edited"
next_code=$(product_code "$upgrade")
run msiexec /i "$(winepath -w "$upgrade")" /qn || fail "msiexec /i of the upgrade ended with $?"
cmp -s "$work/HWD.ini.edited" "$folder/HWD.ini" || fail "the upgrade did not keep the edited HWD.ini"
for file in hostwend.exe hostwend-cli.exe OPERATORS.md; do
  cmp -s "$work/files/$file" "$folder/$file" || fail "$file missing after the upgrade"
done
[ -z "$(uninstall_entry "$code")" ] || fail "the old version is still in Programs and Features"
expect_entry "$next_code" "$next"

echo "== silent uninstall"
run msiexec /x "$(winepath -w "$upgrade")" /qn || fail "msiexec /x ended with $?"
for file in hostwend.exe hostwend-cli.exe OPERATORS.md; do
  [ ! -e "$folder/$file" ] || fail "$file left behind by the uninstall"
done
[ -z "$(shortcuts)" ] || fail "shortcut left behind: $(shortcuts)"
[ -z "$(uninstall_entry "$next_code")" ] || fail "still in Programs and Features after the uninstall"
[ -z "$(event_source)" ] || fail "the event source is still registered: $(event_source)"
cmp -s "$work/HWD.ini.edited" "$folder/HWD.ini" || fail "the uninstall did not leave the edited HWD.ini"

[ $status -eq 0 ] && echo "installer ok: install, upgrade $version -> $next, uninstall"
exit $status
