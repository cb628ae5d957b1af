#!/usr/bin/env bash
# Compares the module's export table with the expected names, exactly, and
# its RASAPI32 imports with the functions linked at load time. The two RAS
# functions that older platforms lack must never be imported. The 32-bit EXE,
# the one users get, may import nothing outside the list of imports that
# Windows 95 and NT 3.51 both have. Its version resource carries VERSION, and
# its manifest names the processor the EXE was built for (a wrong one costs
# common controls 6 without a word).
# The 64-bit test build has the same export names: x64 knows no stdcall
# decoration, and the linker binds "_winCenter@4 = winCenter@4" to the
# undecorated function.
set -u
exe=$1 exports_file=$2 imports_file=$3 allowed_file=$4 version_file=${5:-}
objdump=x86_64-w64-mingw32-objdump  # reads both PE32 and PE32+
dump=$($objdump -p "$exe") || { echo "objdump failed"; exit 1; }
fail=0
case $($objdump -f "$exe") in
  *pei-i386*) arch=x86 subsystem_wanted="4.0 00000002" ;;
  *pei-x86-64*) arch=amd64 subsystem_wanted="5.2 00000002" ;;
  *) echo "not a PE32 or PE32+ executable: $exe"; exit 1 ;;
esac
echo "$exe: $arch"

actual_exports=$(printf '%s\n' "$dump" | awk '/^\[Ordinal\/Name Pointer\] Table/{t=1;next} t&&/^[ \t]*\[/{print $NF;next} t&&!/^[ \t]*\[/{t=0}' | sort)
expected_exports=$(grep -v '^\s*$' "$exports_file" | sort)
if [ "$actual_exports" != "$expected_exports" ]; then
  echo "export table differs:"; diff <(echo "$expected_exports") <(echo "$actual_exports"); fail=1
fi

actual_ras=$(printf '%s\n' "$dump" | awk 'tolower($0)~/dll name: rasapi32.dll/{r=1;next} /DLL Name:/{r=0} r&&NF==3&&$2~/^[0-9]+$/{print $3}' | sort)
expected_ras=$(grep -v '^\s*$' "$imports_file" | sort)
if [ "$actual_ras" != "$expected_ras" ]; then
  echo "RASAPI32 imports differ:"; diff <(echo "$expected_ras") <(echo "$actual_ras"); fail=1
fi
for fn in RasConnectionNotificationA RasGetEntryPropertiesA; do
  if printf '%s\n' "$dump" | grep -q "\b$fn\b"; then echo "$fn must be looked up at run time, not imported"; fail=1; fi
done

if [ "$arch" = x86 ]; then
actual_all=$(printf '%s\n' "$dump" | awk '/DLL Name:/{d=toupper($3);next} /^$/{d=""} d!=""&&NF==3&&$2~/^[0-9]+$/{print d, $3}' | sort -u)
allowed_all=$(grep -v -e '^#' -e '^\s*$' "$allowed_file" | sort -u)
not_allowed=$(comm -23 <(echo "$actual_all") <(echo "$allowed_all"))
if [ -n "$not_allowed" ]; then
  echo "imports that Windows 95 or NT 3.51 may lack (find them at run time, or add them to $allowed_file once checked):"
  echo "$not_allowed"; fail=1
fi
fi

subsystem=$(printf '%s\n' "$dump" | awk '/^MajorSubsystemVersion/{a=$2} /^MinorSubsystemVersion/{b=$2} /^Subsystem/{s=$2} END{print a"."b" "s}')
[ "$subsystem" = "$subsystem_wanted" ] || { echo "expected a GUI program for subsystem $subsystem_wanted, got $subsystem"; fail=1; }

resources=$(x86_64-w64-mingw32-windres -J coff -O rc -i "$exe" 2>&1) || { echo "windres cannot read the resources"; exit 1; }
manifest_archs=$(printf '%s\n' "$resources" | grep -o 'processorArchitecture=""[^"]*""' | sort | uniq -c | awk '{print $1, $2}')
[ "$manifest_archs" = "2 processorArchitecture=\"\"$arch\"\"" ] || {
  echo "the manifest must name $arch for itself and for common controls 6; it has:"; echo "$manifest_archs"; fail=1; }
if [ -n "$version_file" ]; then
  version=$(head -n 1 "$version_file")
  # The About box names the release too: one version, not two.
  strings -a "$exe" | grep -qx "Wendle v${version%.*}" ||
    { echo "the About box's title is not \"Wendle v${version%.*}\" (VERSION $version)"; fail=1; }
  printf '%s\n' "$resources" | grep -q "VALUE \"FileVersion\", \"$version\"" &&
  printf '%s\n' "$resources" | grep -q "FILEVERSION $(echo "$version" | sed 's/\./, /g'), 0" ||
    { echo "the version resource does not carry $version"; fail=1; }
fi

exit $fail
