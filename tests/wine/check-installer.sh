#!/usr/bin/env bash
# The installer package (x64 or x86) under Wine, on a 64-bit machine of its
# own: a Wine prefix that holds a TARN client's settings and never had
# Hostwend, with its own wineserver and display. In turn: an install folder
# outside the package's Program Files, spelt with a "." or a final dot, or
# made before by someone else refused; one inside it taken, kept by an upgrade
# without INSTALLDIR (unless an older package put Hostwend where this one may
# not) and taken again after an uninstall, with the site's HWD.ini; a silent
# install; the installed window program finds its HWD.ini, the console
# program shows the client's values and refuses the sample HWD.ini; the entry
# in Programs and Features; the operator's guide's start-up script, run by a
# 32-bit and by a 64-bit cmd, finds and runs the console program; one Hostwend
# per computer (the other architecture's package refused, the same package
# again and a rebuilt one of the same version leave one entry); an operator's
# edit of HWD.ini kept through all that and through an upgrade to a higher
# version (made here from the same files); a silent uninstall that removes the
# programs and the shortcut and leaves HWD.ini, and an install there again
# that keeps it.
#   check-installer.sh SOURCE_DIR WORK_DIR ARCHIVE INSTALLER WINDOW_TEST
set -euo pipefail
source=$1 work=$2 archive=$3 msi=$4 window_test=$5

property() { msiinfo export "$1" Property | tr -d '\r' | awk -F'\t' -v name="$2" '$1 == name {print $2}'; }
package_arch() { msiinfo suminfo "$1" | tr -d '\r' | sed -n 's/^Template: \(x64\|Intel\);.*/\1/p' | sed 's/Intel/x86/'; }

if [ "${HOSTWEND_INSTALLER_SESSION:-}" != 1 ]; then
  started=$SECONDS
  # A fresh copy each run of a client prefix made once, for both architectures.
  "$source/scripts/demo-prefix.sh" "$source/build/wineprefix-client"
  rm -rf "$work/wineprefix" "$work/files"
  mkdir -p "$work"
  cp -a "$source/build/wineprefix-client" "$work/wineprefix"
  # The files the package holds, from the archive made beside it.
  mkdir -p "$work/files"
  (cd "$work/files" && cmake -E tar xf "$archive")
  version=$(property "$msi" ProductVersion)
  arch=$(package_arch "$msi")
  other=$([ "$arch" = x64 ] && echo x86 || echo x64)
  next=${version%.*}.$((${version##*.} + 1))
  # From the same files: a higher version, a rebuild of this version (a product
  # code of its own), and this version for the other architecture.
  for package in "$next $arch upgrade" "$version $arch rebuilt" "$version $other other"; do
    read -r v a name <<<"$package"
    cmake -DSTAGE="$work/files" -DVERSION="$v" -DARCH="$a" -DOUTPUT="$work/hostwend-$name.msi" \
          -P "$source/packaging/Release.cmake" >/dev/null 2>&1 || { echo "could not make the $name package"; exit 1; }
  done
  unset HOSTWEND_KEEP_DISPLAY  # a display of its own, not the caller's
  rc=0
  HOSTWEND_INSTALLER_SESSION=1 HOSTWEND_VERSIONS="$version $next $arch" WINEPREFIX="$work/wineprefix" WINEARCH=win64 \
    "$source/scripts/wine-session.sh" "$0" "$@" || rc=$?
  # The copy is kept to look into when the test failed.
  [ $rc -ne 0 ] || rm -rf "$work/wineprefix"
  echo "installer test ($arch): $((SECONDS - started)) s"
  exit $rc
fi

read -r version next arch <<<"$HOSTWEND_VERSIONS"
upgrade=$work/hostwend-upgrade.msi rebuilt=$work/hostwend-rebuilt.msi other=$work/hostwend-other.msi
# Where each package installs on 64-bit Windows, and the registry view of its
# entry in Programs and Features and of its InstallFolder value.
if [ "$arch" = x64 ]; then
  program_files_name='C:\Program Files' other_program_files='C:\Program Files (x86)'
  installed='C:\Program Files\Hostwend' folder="$WINEPREFIX/drive_c/Program Files/Hostwend" view=64
  other_folder="$WINEPREFIX/drive_c/Program Files (x86)/Hostwend"
else
  program_files_name='C:\Program Files (x86)' other_program_files='C:\Program Files'
  installed='C:\Program Files (x86)\Hostwend' folder="$WINEPREFIX/drive_c/Program Files (x86)/Hostwend" view=32
  other_folder="$WINEPREFIX/drive_c/Program Files/Hostwend"
fi
status=0
fail() { echo "FAIL: $*"; status=1; }
# Hostwend's own programs, each by its own bitness.
run() { timeout 60 wine "$@" </dev/null; }
# Windows' own tools as 64-bit Windows runs them: msiexec (whose service is
# 64-bit there), reg and cmd. Each reg call names its view.
run64() { timeout 60 "$HOSTWEND_WINE64" "$@" </dev/null; }
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
# The product's entry in Programs and Features, as "NAME TYPE DATA" lines;
# nothing when there is none.
uninstall_entry() {
  local entry
  entry=$(run64 reg query "$uninstall_key\\$1" /reg:$view 2>/dev/null) && tr -d '\r' <<<"$entry" || true
}
# Every Hostwend entry in Programs and Features, in both views: "VIEW {CODE}" lines.
hostwend_entries() {
  local v
  for v in 64 32; do
    # A view without the key (a prefix whose 32-bit side never ran) holds none.
    { run64 reg query "$uninstall_key" /s /reg:$v 2>/dev/null || true; } | tr -d '\r' |
      awk -v view=$v '/^HKEY/ {key = $0; sub(/.*\\/, "", key)} /^ +DisplayName +REG_SZ +Hostwend$/ {print view, key}'
  done
}
# Looked at again until it holds, for at most 15 s: Wine's RemoveExistingProducts
# removes the old product in a msiexec of its own, and reg.exe reading the key
# while that one writes it may see it part-way (once on CI: no entry at all).
expect_one_entry() {  # expect_one_entry PRODUCT_CODE WHEN
  local entries deadline=$((SECONDS + 15))
  until entries=$(hostwend_entries); [ "$entries" = "$view $1" ] || [ $SECONDS -ge $deadline ]; do
    sleep 0.2
  done
  [ "$entries" = "$view $1" ] && return
  fail "$2: Programs and Features should hold $1 alone, holds: ${entries:-nothing} (15 s after msiexec ended)"
  # What to look at when it happens again: whether reg.exe could read the key
  # at all, and which Windows processes were still running.
  local rc=0; run64 reg query "$uninstall_key" /reg:$view >/dev/null 2>&1 || rc=$?
  echo "  reg query $uninstall_key /reg:$view now ends with $rc; running: $(pgrep -af '\.exe' | tr '\n' ';')"
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
  key=$(run64 reg query 'HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\Hostwend' /reg:64 2>/dev/null) &&
    tr -d '\r' <<<"$key" | awk 'NF >= 3 {$1 = $1; print}' || true
}
expect_entry() {  # expect_entry PRODUCT_CODE VERSION
  local entry
  entry=$(uninstall_entry "$1")
  for line in "DisplayName REG_SZ Hostwend" "DisplayVersion REG_SZ $2" "Publisher REG_SZ Wendlebrook Ltd"; do
    grep -Eq "^\s+${line// /\\s+}$" <<<"$entry" || fail "Programs and Features entry $1 lacks: $line"
  done
}
install_folder_value() {
  run64 reg query 'HKLM\Software\Wendlebrook\Hostwend' /v InstallFolder /reg:$view 2>/dev/null | tr -d '\r' |
    sed -n 's/^ *InstallFolder *REG_SZ *//p'
}
# Windows Installer's "installation failed" (1603), as a Linux exit status keeps it.
refused=$((1603 & 255))
code=$(property "$msi" ProductCode)

echo "== an install folder outside $program_files_name is refused; one inside it is taken"
# Each refused with nothing installed: a folder any user may have made first,
# one that climbs out of Program Files, Program Files itself (with the
# trailing backslash that msiexec, here as on Windows, gets doubled, and as
# "\."), a name that Windows reads without its final dot, the other
# architecture's Program Files, and a folder inside that existed before, made
# by someone else, with an HWD.ini nobody chose.
mine="$program_files_name\Tools\Mine"
mkdir -p "$(winepath -u "$mine")"
printf '[SETUP]\r\nVPNAddress=10.66.66.66\r\n' >"$(winepath -u "$mine\HWD.ini")"
for outside in 'C:\Tools\Hostwend' "$program_files_name\Hostwend\..\..\Tools\Hostwend" "$program_files_name"'\' \
               "$program_files_name\." "$program_files_name\Hostwend." "$other_program_files\Hostwend" "$mine"; do
  rc=0; run64 msiexec /i "$(winepath -w "$msi")" "INSTALLDIR=$outside" /qn || rc=$?
  [ $rc = $refused ] || fail "INSTALLDIR=$outside was not refused (msiexec ended with $rc)"
done
[ -z "$(hostwend_entries)" ] || fail "a refused install folder left an entry in Programs and Features"
installed_anywhere=$(find "$WINEPREFIX/drive_c" -name hostwend-cli.exe 2>/dev/null)
[ -z "$installed_anywhere" ] || fail "a refused install folder left files: $installed_anywhere"
[ "$(ls "$(winepath -u "$mine")")" = HWD.ini ] || fail "the refused $mine was changed: $(ls "$(winepath -u "$mine")")"

echo "== a folder of one's own: kept by an upgrade, taken again after an uninstall"
own="$program_files_name\Tools\Hostwend" own_folder=$(winepath -u "$program_files_name\Tools\Hostwend")
run64 msiexec /i "$(winepath -w "$msi")" "INSTALLDIR=$own" /qn || fail "INSTALLDIR=$own ended with $?"
[ "$(install_folder_value)" = "$own\\" ] || fail "INSTALLDIR=$own: InstallFolder says '$(install_folder_value)'"
printf '[SETUP]\r\nVPNAddress=10.9.8.7\r\nBcastUDPPort=7777\r\n' >"$own_folder/HWD.ini"
cp "$own_folder/HWD.ini" "$work/HWD.ini.site"
# Where an older package put Hostwend in a folder this one may not use, an
# upgrade without INSTALLDIR is refused and changes nothing.
run64 reg add 'HKLM\Software\Wendlebrook\Hostwend' /v InstallFolder /d "$program_files_name\.\\" /reg:$view /f >/dev/null 2>&1
rc=0; run64 msiexec /i "$(winepath -w "$rebuilt")" /qn || rc=$?
[ $rc = $refused ] || fail "a rebuild over Hostwend in $program_files_name\. was not refused (msiexec ended with $rc)"
cmp -s "$work/files/hostwend-cli.exe" "$own_folder/hostwend-cli.exe" || fail "the refused rebuild removed Hostwend from $own"
run64 reg add 'HKLM\Software\Wendlebrook\Hostwend' /v InstallFolder /d "$own\\" /reg:$view /f >/dev/null 2>&1
# Without INSTALLDIR the upgrade stays in that folder, with the site's HWD.ini.
run64 msiexec /i "$(winepath -w "$upgrade")" /qn || fail "upgrading Hostwend in $own ended with $?"
[ "$(install_folder_value)" = "$own\\" ] || fail "the upgrade moved InstallFolder to '$(install_folder_value)'"
cmp -s "$work/files/hostwend-cli.exe" "$own_folder/hostwend-cli.exe" || fail "the upgrade did not install into $own"
[ ! -e "$folder" ] || fail "the upgrade of Hostwend in $own made $installed"
grep -qxF "EventMessageFile REG_SZ $own\hostwend-cli.exe" <<<"$(event_source)" ||
  fail "the event source does not name $own\hostwend-cli.exe: $(event_source)"
run64 msiexec /x "$(winepath -w "$upgrade")" /qn || fail "removing the package in $own ended with $?"
# The folder, left with its HWD.ini, is Hostwend's own to install into again.
run64 msiexec /i "$(winepath -w "$msi")" "INSTALLDIR=$own" /qn || fail "installing into $own again ended with $?"
cmp -s "$work/HWD.ini.site" "$own_folder/HWD.ini" || fail "the site's HWD.ini in $own was not kept"
run64 msiexec /x "$(winepath -w "$msi")" /qn || fail "removing the package in $own again ended with $?"

echo "== silent install of $(basename "$msi") ($arch)"
run64 msiexec /i "$(winepath -w "$msi")" /qn || fail "msiexec /i ended with $?"
for file in hostwend.exe hostwend-cli.exe HWD.ini OPERATORS.md; do
  cmp -s "$work/files/$file" "$folder/$file" || fail "$file not installed as packed"
done
link=$(shortcuts)
[ "$(grep -c . <<<"$link")" = 1 ] || fail "not one Start-menu shortcut: ${link:-none}"
grep -aqF "$installed\\hostwend.exe" "$link" 2>/dev/null || fail "the shortcut does not lead to $installed\\hostwend.exe"
expect_entry "$code" "$version"
expect_one_entry "$code" "after the install"
[ "$(install_folder_value)" = "$installed\\" ] || fail "InstallFolder says '$(install_folder_value)', not $installed\\"
# The icon Programs and Features shows is the one the package carries.
cmp -s "$source/res/images/hostwend.ico" "$WINEPREFIX/drive_c/windows/Installer/$code/hostwend.ico" ||
  fail "the product icon was not installed"
run64 reg query 'HKLM\Software\Classes\Installer\Products' /s /reg:64 2>/dev/null | tr -d '\r' |
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
# The sample names no server: nothing is applied from it.
for type in lan:LanAddress vpn:VPNAddress vsat:VsatAddress others:OthersAddress; do
  rc=0; refusal=$(run "$installed\hostwend-cli.exe" check "${type%%:*}" 2>&1 >/dev/null) || rc=$?
  [ $rc = 3 ] && grep -qF "${type#*:} missing in HWD.ini" <<<"$refusal" ||
    fail "check ${type%%:*} with the sample HWD.ini ended with $rc: $refusal"
done

echo "== the guide's start-up script, from a 32-bit and a 64-bit agent"
# As docs/OPERATORS.md gives it, with the share's profile replaced by a local one.
script=$(awk '/^### Group Policy computer start-up script/ {on = 1} on && /^    @echo off/ {code = 1}
              code && !/^    / {exit} code {print substr($0, 5)}' "$source/docs/OPERATORS.md")
grep -q 'hostwend-cli.exe" apply vpn --strict --profile "\\\\corp\\netlogon\\hostwend\\HWD.ini"' <<<"$script" ||
  fail "the guide's start-up script is not where this test looks for it: $script"
mkdir -p "$WINEPREFIX/drive_c/site"
printf '[SETUP]\r\nVPNAddress=10.9.8.7\r\nBcastUDPPort=7777\r\n' >"$WINEPREFIX/drive_c/site/HWD.ini"
sed 's|\\\\corp\\netlogon\\hostwend\\HWD.ini|C:\\site\\HWD.ini|; s/$/\r/' <<<"$script" >"$WINEPREFIX/drive_c/site/apply.cmd"
[ -n "$HOSTWEND_WINE32" ] || echo "32-bit cmd: not run, this kernel cannot run 32-bit programs"
for agent in "${HOSTWEND_WINE32:+$HOSTWEND_WINE32 32-bit}" "$HOSTWEND_WINE64 64-bit"; do
  [ -n "$agent" ] || continue
  read -r loader bits <<<"$agent"
  rm -f "$folder/hostwend-apply.json"
  timeout 60 "$loader" cmd /c 'C:\site\apply.cmd' </dev/null >/dev/null 2>&1 || fail "the start-up script ended with $? ($bits cmd)"
  grep -qF '"exit_code": 0' "$folder/hostwend-apply.json" 2>/dev/null && grep -qF '10.9.8.7' "$folder/hostwend-apply.json" ||
    fail "the start-up script ($bits cmd) left no successful result in $installed: $(cat "$folder/hostwend-apply.json" 2>&1)"
done
rm -f "$folder/hostwend-apply.json"

echo "== one Hostwend: the other architecture's package, the same one again, a rebuild"
sed -i 's/^LanAddress=[^\r]*/LanAddress=10.20.30.40/' "$folder/HWD.ini"
grep -q '^LanAddress=10.20.30.40' "$folder/HWD.ini" || fail "could not edit HWD.ini"
cp "$folder/HWD.ini" "$work/HWD.ini.edited"
rc=0; run64 msiexec /i "$(winepath -w "$other")" /qn || rc=$?
[ $rc = $refused ] || fail "the other architecture's package was not refused (msiexec ended with $rc)"
[ ! -e "$other_folder/hostwend.exe" ] || fail "the other architecture's package installed its files"
expect_one_entry "$code" "after the other architecture's package"
run64 msiexec /i "$(winepath -w "$msi")" /qn || fail "installing the same package again ended with $?"
expect_one_entry "$code" "after the same package again"
rebuilt_code=$(property "$rebuilt" ProductCode)
[ "$rebuilt_code" != "$code" ] || fail "the rebuilt package has the same product code"
run64 msiexec /i "$(winepath -w "$rebuilt")" /qn || fail "msiexec /i of a rebuilt package of $version ended with $?"
expect_one_entry "$rebuilt_code" "after a rebuilt package of the same version"
cmp -s "$work/HWD.ini.edited" "$folder/HWD.ini" || fail "the rebuilt package did not keep the edited HWD.ini"
for file in hostwend.exe hostwend-cli.exe OPERATORS.md; do
  cmp -s "$work/files/$file" "$folder/$file" || fail "$file missing after the rebuilt package"
done

echo "== upgrade to $next, with HWD.ini edited by the operator"
next_code=$(property "$upgrade" ProductCode)
run64 msiexec /i "$(winepath -w "$upgrade")" /qn || fail "msiexec /i of the upgrade ended with $?"
cmp -s "$work/HWD.ini.edited" "$folder/HWD.ini" || fail "the upgrade did not keep the edited HWD.ini"
for file in hostwend.exe hostwend-cli.exe OPERATORS.md; do
  cmp -s "$work/files/$file" "$folder/$file" || fail "$file missing after the upgrade"
done
expect_one_entry "$next_code" "after the upgrade"
expect_entry "$next_code" "$next"

echo "== silent uninstall"
run64 msiexec /x "$(winepath -w "$upgrade")" /qn || fail "msiexec /x ended with $?"
for file in hostwend.exe hostwend-cli.exe OPERATORS.md; do
  [ ! -e "$folder/$file" ] || fail "$file left behind by the uninstall"
done
[ -z "$(shortcuts)" ] || fail "shortcut left behind: $(shortcuts)"
[ -z "$(hostwend_entries)" ] || fail "still in Programs and Features after the uninstall: $(hostwend_entries)"
[ -z "$(install_folder_value)" ] || fail "the InstallFolder value is left behind"
[ -z "$(event_source)" ] || fail "the event source is still registered: $(event_source)"
cmp -s "$work/HWD.ini.edited" "$folder/HWD.ini" || fail "the uninstall did not leave the edited HWD.ini"
run64 msiexec /i "$(winepath -w "$msi")" /qn || fail "installing into $installed again ended with $?"
cmp -s "$work/HWD.ini.edited" "$folder/HWD.ini" || fail "installing again did not keep the HWD.ini left in $installed"

[ $status -eq 0 ] && echo "installer ok ($arch): install, one Hostwend, upgrade $version -> $next, uninstall"
exit $status
