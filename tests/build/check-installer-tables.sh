#!/usr/bin/env bash
# Reads the installer package's tables, as Windows Installer will: a
# per-machine product under Program Files (the 32-bit folder for the 32-bit
# package), the four files as built, HWD.ini's component kept by upgrades and
# uninstalls, the upgrade code of its architecture, an upgrade that takes the
# same version too, a refusal of the other architecture's package, the install
# folder's own permissions and the registry value that says where it is, the
# folders refused as INSTALLDIR, and an upgrade that stays where Hostwend is.
#   check-installer-tables.sh INSTALLER x64|x86 VERSION PROGRAM CONSOLE_PROGRAM SOURCE_DIR
set -euo pipefail
msi=$1 arch=$2 version=$3 program=$4 console_program=$5 source=$6

# msiinfo and msiextract write a package's icon into the folder they run in.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"

status=0
fail() { echo "FAIL: $*"; status=1; }
# A table's rows, tab-separated, without its three header lines.
table() { msiinfo export "$msi" "$1" | tr -d '\r' | tail -n +4; }
expect_row() {  # expect_row TABLE TAB-SEPARATED-ROW
  grep -qxF "$2" <<<"$(table "$1")" || fail "$1 has no row: ${2//$'\t'/ | }"
}

# Never to change: an upgrade finds the installed version by this code.
x64_code='{8FF60B92-E8FF-4545-A54A-8BB05036491C}' x86_code='{552BFA61-E5F6-4ECD-A7B9-526C4219D2C6}'
case $arch in
  x64) upgrade_code=$x64_code other_code=$x86_code program_files=ProgramFiles64Folder bits=256
       template='x64;1033' program_files_name='Program Files' ;;
  x86) upgrade_code=$x86_code other_code=$x64_code program_files=ProgramFilesFolder bits=0
       template='Intel;1033' program_files_name='the 32-bit Program Files folder (Program Files (x86) on 64-bit Windows)' ;;
  *) echo "usage: $0 INSTALLER x64|x86 VERSION PROGRAM CONSOLE_PROGRAM SOURCE_DIR" >&2; exit 2 ;;
esac

msiinfo suminfo "$msi" | tr -d '\r' | grep -qxF "Template: $template" || fail "not a $arch package"
# MsiLockPermissionsEx needs Windows Installer 5.0.
msiinfo suminfo "$msi" | tr -d '\r' | grep -qxF "Version: 500 (1f4)" || fail "not marked for Windows Installer 5.0"

for row in "ALLUSERS	1" "ProductName	Hostwend" "Manufacturer	Wendlebrook Ltd" "ProductVersion	$version" \
           "UpgradeCode	$upgrade_code" "ARPPRODUCTICON	hostwend.ico" "ARPNOMODIFY	1"; do
  expect_row Property "$row"
done
table Icon | cut -f1 | grep -qx hostwend.ico || fail "the Icon table lacks hostwend.ico"

expect_row Directory "$program_files	TARGETDIR	."
expect_row Directory "INSTALLDIR	$program_files	Hostwend"
expect_row Directory "ProgramMenuFolder	TARGETDIR	."

# File name, its component, the component's folder and attributes: HWD.ini's
# is Permanent (16) and NeverOverwrite (128); the 64-bit package's are 64-bit (256).
files=$(awk -F'\t' 'NR == FNR {folder[$1] = $3; attributes[$1] = $4; next}
                    {print $3, $2, folder[$2], attributes[$2]}' <(table Component) <(table File) | LC_ALL=C sort)
expected=$(LC_ALL=C sort <<EOF
HWD.ini Profile INSTALLDIR $((bits + 144))
OPERATORS.md Guide INSTALLDIR $bits
hostwend-cli.exe ConsoleProgram INSTALLDIR $bits
hostwend.exe Program INSTALLDIR $bits
EOF
)
[ "$files" = "$expected" ] || fail "files and components: expected"$'\n'"$expected"$'\n'"got"$'\n'"$files"

# Every version up to this one, the same version included (below the next
# build), is replaced (256: minimum included); a newer one is refused (2: only
# detected); so is any version of the other architecture (258).
IFS=. read -r major minor build <<<"$version"
expect_row Upgrade "$upgrade_code	0.0.0	$major.$minor.$((build + 1))		256		WIX_UPGRADE_DETECTED"
expect_row Upgrade "$upgrade_code	$version			2		WIX_DOWNGRADE_DETECTED"
expect_row Upgrade "$other_code	0.0.0			258		HOSTWEND_OTHER_ARCHITECTURE"
[ "$(table Upgrade | wc -l)" = 3 ] || fail "the Upgrade table has other rows: $(table Upgrade)"
table LaunchCondition | cut -f1 | grep -qx 'NOT WIX_DOWNGRADE_DETECTED' || fail "a newer version is not refused"
table LaunchCondition | grep -q $'^Installed OR NOT HOSTWEND_OTHER_ARCHITECTURE\t.* is already installed on this computer' ||
  fail "the other architecture's package is not refused with a message"
# A folder elsewhere than inside the package's own Program Files is refused,
# and the message says where Hostwend installs.
inside="INSTALLDIR ~<< $program_files AND NOT (INSTALLDIR ~= $program_files) AND NOT (INSTALLDIR >< \"..\") AND NOT (INSTALLDIR >< \"\\\\\")"
table LaunchCondition | grep -qF "Installed OR NOT INSTALLDIR OR ($inside)"$'\t'"Hostwend installs only into a folder inside $program_files_name," ||
  fail "an install folder outside $program_files_name is not refused with a message: $(table LaunchCondition)"
# Written as Windows reads it: no "." or ".." folder, no name ending in a dot
# or a space, no "/".
table LaunchCondition | grep -qF 'Installed OR NOT INSTALLDIR OR NOT (INSTALLDIR >< ".\" OR INSTALLDIR >< " \" OR INSTALLDIR >> "." OR INSTALLDIR >> " " OR INSTALLDIR >< "/")'$'\t''INSTALLDIR may not hold a folder named . or ..' ||
  fail "an INSTALLDIR with a . or .. folder, or a name ending in a dot or a space, is not refused with a message"
# A folder that exists is taken only where Hostwend is or was: HOSTWEND_FOLDER
# is where it is (InstallFolder, in the package's own registry view: 64-bit
# locators are 16), HOSTWEND_USED_FOLDER finds the folder under Folders, with
# or without the backslash INSTALLDIR was given with, and
# HOSTWEND_EXISTING_FOLDER is set when the folder exists.
locator_bits=$([ "$arch" = x64 ] && echo 16 || echo 0)
for row in "HOSTWEND_FOLDER	InstalledFolder" "HOSTWEND_USED_FOLDER	UsedFolder" \
           "HOSTWEND_USED_FOLDER	UsedFolderWithoutBackslash" "HOSTWEND_EXISTING_FOLDER	ChosenFolder"; do
  expect_row AppSearch "$row"
done
expect_row RegLocator "InstalledFolder	2	SOFTWARE\Wendlebrook\Hostwend	InstallFolder	$((2 + locator_bits))"
expect_row RegLocator "UsedFolder	2	SOFTWARE\Wendlebrook\Hostwend\Folders	[INSTALLDIR]	$((2 + locator_bits))"
expect_row RegLocator "UsedFolderWithoutBackslash	2	SOFTWARE\Wendlebrook\Hostwend\Folders	[INSTALLDIR]\	$((2 + locator_bits))"
expect_row DrLocator "ChosenFolder		[INSTALLDIR]	0"
table LaunchCondition | grep -qF 'Installed OR NOT INSTALLDIR OR NOT HOSTWEND_EXISTING_FOLDER OR HOSTWEND_USED_FOLDER OR HOSTWEND_EXISTING_FOLDER ~= HOSTWEND_FOLDER'$'\t''[INSTALLDIR] exists already, and Hostwend was never installed there' ||
  fail "an INSTALLDIR that exists and never held Hostwend is not refused with a message"
# Without INSTALLDIR, an upgrade stays where Hostwend is, once the launch
# conditions have judged that folder, and before the folders are resolved.
table LaunchCondition | grep -qF "Installed OR INSTALLDIR OR NOT HOSTWEND_FOLDER OR (HOSTWEND_FOLDER ~<< $program_files AND NOT (HOSTWEND_FOLDER ~= $program_files) AND NOT (HOSTWEND_FOLDER >< \".\\\" OR HOSTWEND_FOLDER >< \" \\\" OR HOSTWEND_FOLDER >< \"\\\\\"))"$'\t'"Hostwend is installed in [HOSTWEND_FOLDER], a folder this package may no longer use. Nothing was changed." ||
  fail "an upgrade from a folder this package may not use is not refused with a message"
expect_row CustomAction "StayInInstalledFolder	2099	INSTALLDIR	[HOSTWEND_FOLDER]	"
for sequence in InstallUISequence InstallExecuteSequence; do
  expect_row $sequence "StayInInstalledFolder	HOSTWEND_FOLDER AND NOT INSTALLDIR	101"
  expect_row $sequence "LaunchConditions		100"
  expect_row $sequence "CostFinalize		1000"
done
# Per-machine installs hand only secure properties from the client to the service.
secure=$(table Property | awk -F'\t' '$1 == "SecureCustomProperties" {print $2}')
for property in WIX_UPGRADE_DETECTED WIX_DOWNGRADE_DETECTED HOSTWEND_OTHER_ARCHITECTURE; do
  tr ';' '\n' <<<"$secure" | grep -qx "$property" || fail "$property is not a secure property"
done

# The install folder's owner and permissions: owned by Administrators, SYSTEM
# and Administrators full control, Users read and execute, nothing inherited,
# and whoever owns it or a file in it no more than read and execute (OWNER
# RIGHTS); made with the folder itself. Wine's msiexec skips this table (its
# folders carry no Windows permissions), so the rows are what can be checked here.
expect_row CreateFolder "INSTALLDIR	Program"
expect_row MsiLockPermissionsEx "InstallFolder	INSTALLDIR	CreateFolder	O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FRFX;;;BU)(A;OICI;FRFX;;;OW)	"
[ "$(table MsiLockPermissionsEx | wc -l)" = 1 ] || fail "MsiLockPermissionsEx has other rows"
# Where scripts find Hostwend: HKLM (2), in the package's own registry view.
table Registry | cut -f2- | grep -qxF "2	SOFTWARE\Wendlebrook\Hostwend	InstallFolder	[INSTALLDIR]	Program" ||
  fail "no InstallFolder value in the Registry table"
# Every folder Hostwend was installed in, kept by uninstalls (Permanent, 16;
# its key path a registry value, 4).
table Registry | cut -f2- | grep -qxF "2	SOFTWARE\Wendlebrook\Hostwend\Folders	[INSTALLDIR]	[ProductVersion]	FolderRecord" ||
  fail "no Folders value in the Registry table"
table Component | awk -F'\t' '$1 == "FolderRecord" {print $3, $4}' | grep -qx "INSTALLDIR $((bits + 20))" ||
  fail "the FolderRecord component is not kept by uninstalls: $(table Component | grep FolderRecord)"
table InstallExecuteSequence | cut -f1 | grep -qx RemoveExistingProducts || fail "an upgrade does not remove the old version"
table Shortcut | cut -f1-5 | grep -qxF "StartMenuShortcut	ProgramMenuFolder	Hostwend	Program	[#hostwend.exe]" ||
  fail "no Start-menu shortcut to hostwend.exe"

# The event source of the apply events, its sentences in the installed
# console program; the rows go with their component on uninstall.
event_source='SYSTEM\CurrentControlSet\Services\EventLog\Application\Hostwend'
for row in "2	$event_source	EventMessageFile	[#hostwend_cli.exe]	EventSource" \
           "2	$event_source	TypesSupported	#7	EventSource"; do
  grep -qxF "$row" <<<"$(table Registry | cut -f2-)" || fail "Registry has no row: ${row//$'\t'/ | }"
done

# One version everywhere: each program's version resource (its numbers and its
# FileVersion and ProductVersion texts) and manifest say the package's version.
fixed_versions() {  # the resource's FILEVERSION and PRODUCTVERSION numbers
  python3 - "$1" <<'EOF'
import struct, sys
data = open(sys.argv[1], "rb").read()
at = data.find(struct.pack("<II", 0xFEEF04BD, 0x00010000))
if at < 0:
    sys.exit("no version resource")
ms, ls, product_ms, product_ls = struct.unpack_from("<4I", data, at + 8)
print(*(f"{a >> 16}.{a & 0xFFFF}.{b >> 16}.{b & 0xFFFF}" for a, b in ((ms, ls), (product_ms, product_ls))))
EOF
}
for exe in "$program" "$console_program"; do
  name=$(basename "$exe")
  read -r file_number product_number <<<"$(fixed_versions "$exe" || true)"
  file_text=$(strings -el "$exe" | grep -A1 -x FileVersion | tail -n 1)
  product_text=$(strings -el "$exe" | grep -A1 -x ProductVersion | tail -n 1)
  manifest=$(grep -ao '<assemblyIdentity [^>]*' "$exe" | sed -n 's/.* version="\([^"]*\)".*/\1/p')
  for found in "FILEVERSION ${file_number:-none}" "PRODUCTVERSION ${product_number:-none}" \
               "FileVersion ${file_text:-none}" "ProductVersion ${product_text:-none}" "manifest ${manifest:-none}"; do
    [ "${found#* }" = "$version.0" ] || fail "$name: ${found% *} is ${found#* }, the package's version $version"
  done
done

# The files inside are the ones built and the ones in the source. msiextract
# puts what goes into ProgramFiles64Folder at the top.
msiextract -C unpacked "$msi" >/dev/null
inside=$(dirname "$(find unpacked -name hostwend.exe -print -quit)")
cmp -s "$inside/hostwend.exe" "$program" || fail "hostwend.exe differs from the build"
cmp -s "$inside/hostwend-cli.exe" "$console_program" || fail "hostwend-cli.exe differs from the build"
cmp -s "$inside/HWD.ini" "$source/res/HWD.ini" || fail "HWD.ini differs from res/HWD.ini"
cmp -s "$inside/OPERATORS.md" "$source/docs/OPERATORS.md" || fail "OPERATORS.md differs from docs/OPERATORS.md"

[ $status -eq 0 ] && echo "installer tables ok: $msi"
exit $status
