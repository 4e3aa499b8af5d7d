#!/usr/bin/env bash
# Runs setup.exe under Wine through every outcome of a run and checks each
# from the outside: the box's text read from the real box, no other visible
# window of the bootstrapper beside it, the exit code, what the secondary setup
# received, what its file holds (against `kivpack extract`), and what is left
# in the temporary folder, and where a library loaded by name during Setup
# comes from when one is planted beside setup.exe. All runs go through one
# Wine process (run_plan.exe), started by the project's one Wine runner.
set -u

# Message boxes need a display; without one, run headless under Xvfb.
if [ -z "${DISPLAY:-}" ] && [ -z "${KIV_E2E_XVFB:-}" ] && command -v xvfb-run >/dev/null; then
  KIV_E2E_XVFB=1 exec xvfb-run -a bash "$0" "$@"
fi
export WINEDEBUG=${WINEDEBUG:--all}

while [ $# -gt 0 ]; do
  case "$1" in
    --runner) runner=$2 ;;
    --kivpack) kivpack=$2 ;;
    --setup) stub=$2 ;;
    --program) program=$2 ;;
    --library) library=$2 ;;
    --no-entry) no_entry=$2 ;;
    --naive) naive=$2 ;;
    --driver) driver=$2 ;;
    --work) work=$2 ;;
    *) echo "launch_e2e: unknown argument $1" >&2; exit 2 ;;
  esac
  shift 2
done

if ! "$kivpack" build --help >/dev/null 2>&1; then
  echo "launch_e2e: $kivpack cannot build setups (kivpack build missing)" >&2
  exit 1
fi

failures=0
fail() { echo "FAIL [$run] $*"; failures=$((failures + 1)); }

# Z: is Wine's view of the Unix root.
winpath() { local p=$1; echo "Z:${p//\//\\}"; }
# The report's escapes for a raw value.
escaped() { local s=${1//$'\t'/\\t}; s=${s//$'\r'/\\r}; echo "${s//$'\n'/\\n}"; }
# value FILE KEY: the value of KEY=..., trailing blanks kept.
value() { grep -m1 -a "^$2=" "$1" 2>/dev/null | cut -d= -f2-; }
lower() { echo "${1,,}"; }

rm -rf "$work"
mkdir -p "$work/Kiv Setup Dir" "$work/plain" "$work/runs" "$work/blobs"
blank_dir="$work/Kiv Setup Dir"

printf 'licence text\r\nsecond line\r\n' > "$work/blobs/info0"
head -c 3000 /dev/urandom > "$work/blobs/info2"
printf '%s' 'options=%s "quoted"' > "$work/blobs/info3"
head -c 4096 /dev/zero | tr '\0' 'G' > "$work/blobs/garbage"
infos=(--info0 "$work/blobs/info0" --info2 "$work/blobs/info2" --info3 "$work/blobs/info3")

pack() {  # pack OUT ARGS...: a setup from the built stub
  local out=$1
  shift
  "$kivpack" build -o "$out" --stub "$stub" "$@" || { echo "launch_e2e: kivpack build $* failed" >&2; exit 1; }
}
pack "$blank_dir/prog-setup.exe" --program "$program" "${infos[@]}"
pack "$work/plain/prog-setup.exe" --program "$program" "${infos[@]}"
pack "$blank_dir/lib-setup.exe" --library "$library" "${infos[@]}"
pack "$work/plain/noentry-setup.exe" --library "$no_entry"
pack "$work/plain/badlib-setup.exe" --library "$work/blobs/garbage"
pack "$work/plain/badprog-setup.exe" --program "$work/blobs/garbage" "${infos[@]}"

# Branded with the product's icon and version details; and the same signed
# afterwards, as a vendor ships it.
/usr/bin/python3 "$(dirname "$0")/../kivpack/icons.py" "$work/blobs/product.ico"
pack "$work/plain/branded-setup.exe" --program "$program" "${infos[@]}" \
  --icon "$work/blobs/product.ico" --file-version 4.3.2.1 --product-version 4.3.0.0 \
  --version-string "ProductName=Branded Product" --version-string "CompanyName=Vendor"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Kiv Setup test signer" \
  -keyout "$work/blobs/key.pem" -out "$work/blobs/cert.pem" >/dev/null 2>&1 &&
  osslsigncode sign -certs "$work/blobs/cert.pem" -key "$work/blobs/key.pem" -n "Branded Product" \
    -in "$work/plain/branded-setup.exe" -out "$work/plain/signed-branded-setup.exe" >/dev/null ||
  { echo "launch_e2e: cannot sign the branded setup" >&2; exit 1; }

# A downloads folder with a library planted in it under a name found nowhere
# else (a harmless library of this build). The careless program and the
# bootstrapper are run from it.
planted="$work/planted"
mkdir -p "$planted"
cp "$no_entry" "$planted/kivplant.dll"
cp "$naive" "$planted/naive_loader.exe"
pack "$planted/lib-setup.exe" --library "$library"

# Containers the extraction rejects, patched in the trailer (56 bytes at the
# end: program slot, library slot, four blob slots, signature).
patch_at() {  # patch_at FILE OFFSET_FROM_END HEXBYTES
  local file=$1 back=$2 bytes=$3 size
  size=$(stat -c %s "$file")
  printf "$bytes" | dd of="$file" bs=1 seek=$((size - back)) conv=notrunc status=none
}
cp "$work/plain/prog-setup.exe" "$work/plain/damaged-setup.exe"
patch_at "$work/plain/damaged-setup.exe" 1 '\x00'
cp "$work/plain/prog-setup.exe" "$work/plain/noimage-setup.exe"
patch_at "$work/plain/noimage-setup.exe" 56 '\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00'
cp "$work/plain/prog-setup.exe" "$work/plain/copyfail-setup.exe"
patch_at "$work/plain/copyfail-setup.exe" 36 '\x00\xff\xff\x7f'  # blob 0 runs past the end

tab=$'\t'
tail_program="/a 100% \"x  y\"${tab}%s%d  "
tail_library="%PATH% \"q\"${tab}trail "

plan="$work/plan.txt"
: > "$plan"
add_run() {  # add_run NAME TEMPDIR CMDLINE [await]
  local name=$1 temp=$2 cmd=$3
  mkdir -p "$work/runs/$name"
  [ "$temp" = missing ] || mkdir -p "$work/runs/$name/$temp"
  {
    echo "run $name"
    echo "temp $(winpath "$work/runs/$name/$temp")"
    echo "out $(winpath "$work/runs/$name/out")"
    echo "cmd $cmd"
    [ "${4:-}" = await ] && echo await
    echo end
  } >> "$plan"
}
add_run program_started tmp "\"$(winpath "$blank_dir/prog-setup.exe")\" $tail_program" await
add_run program_temp_blanks "my temp dir" "$(winpath "$work/plain/prog-setup.exe")" await
add_run library_called tmp "\"$(winpath "$blank_dir/lib-setup.exe")\"  $tail_library"
add_run library_no_entry tmp "$(winpath "$work/plain/noentry-setup.exe")"
add_run library_not_loaded tmp "$(winpath "$work/plain/badlib-setup.exe")"
add_run program_not_started tmp "$(winpath "$work/plain/badprog-setup.exe") /x"
add_run damaged tmp "$(winpath "$work/plain/damaged-setup.exe")"
add_run no_image tmp "$(winpath "$work/plain/noimage-setup.exe")"
add_run copy_failed tmp "$(winpath "$work/plain/copyfail-setup.exe")"
add_run no_temp_folder missing "$(winpath "$work/plain/prog-setup.exe")"
add_run branded_program tmp "$(winpath "$work/plain/branded-setup.exe")" await
add_run signed_branded_program tmp "$(winpath "$work/plain/signed-branded-setup.exe")" await
add_run naive_planted tmp "$(winpath "$planted/naive_loader.exe")"
add_run library_planted tmp "$(winpath "$planted/lib-setup.exe")"
add_run library_own_folder tmp "$(winpath "$planted/lib-setup.exe")"
cp "$no_entry" "$work/runs/library_own_folder/tmp/kivplant.dll"

"$runner" "$driver" "$(winpath "$plan")"
# The secondary programs run on beside the bootstrapper; let the session end.
if command -v wineserver >/dev/null; then
  timeout 300 wineserver -w || true
fi

# The file the bootstrapper must have written, made by kivpack from the same setup.
expected_temp() {  # expected_temp SETUP OUT
  "$kivpack" extract "$1" -o "$2" >/dev/null || echo "launch_e2e: kivpack extract $1 failed" >&2
}

check_common() {  # check_common BOXTEXT|"" : exit 0 and the one box (or none)
  result="$work/runs/$run/out/result.txt"
  if [ ! -f "$result" ]; then
    fail "no result (the driver did not run it)"
    return
  fi
  [ "$(value "$result" exit)" = 0 ] || fail "exit code $(value "$result" exit), want 0"
  [ -z "$(value "$result" timeout)" ] || fail "timed out"
  if [ -z "$1" ]; then
    [ "$(value "$result" boxes)" = 0 ] || fail "unexpected box: $(value "$result" box)"
  else
    [ "$(value "$result" boxes)" = 1 ] || fail "$(value "$result" boxes) boxes, want 1"
    [ "$(value "$result" box)" = "$1" ] || fail "box text '$(value "$result" box)', want '$1'"
    [ "$(value "$result" others)" = 0 ] || fail "$(value "$result" others) other windows beside the box"
  fi
}

temp_files() { ls -A "$work/runs/$run/$1" 2>/dev/null | tr '\n' ' '; }

check_short_path() {  # check_short_path REPORT KEY EXPECTED_LONG
  local part short long
  part=$(value "$1" "$2")
  short=$(value "$1" "$2short")
  long=$(value "$1" "$2long")
  [[ "$part" != *" "* ]] || fail "$2 '$part' holds a blank"
  [ "$(lower "$part")" = "$(lower "$short")" ] || fail "$2 '$part' is not its short form '$short'"
  [ "$(lower "$long")" = "$(lower "$3")" ] || fail "$2 '$part' names '$long', want '$3'"
}

check_program() {  # check_program SETUP TEMPDIR TAIL
  local report="$work/runs/$run/out/secondary.txt" setup=$1 tempdir=$2 tail=$3
  check_common ""
  [ -f "$report" ] || { fail "the secondary program did not report"; return; }
  check_short_path "$report" part1 "$(winpath "$work/runs/$run/$tempdir")\\_setup0.exe"
  check_short_path "$report" part2 "$(winpath "$setup")"
  [ "$(value "$report" tail)" = "$(escaped "$tail")" ] ||
    fail "tail '$(value "$report" tail)', want '$(escaped "$tail")'"
  [ -z "$tail" ] && { [[ "$(value "$report" line)" == *" " ]] || fail "line does not end in a blank"; }
  expected_temp "$setup" "$work/runs/$run/expected"
  cmp -s "$work/runs/$run/expected" "$work/runs/$run/out/secondary.image" ||
    fail "the program's own file differs from kivpack extract"
  cmp -s "$work/runs/$run/expected" "$work/runs/$run/$tempdir/_setup0.exe" ||
    fail "the temporary file was not kept as kivpack extract writes it"
}

run=program_started
check_program "$blank_dir/prog-setup.exe" tmp "$tail_program"
run=program_temp_blanks
check_program "$work/plain/prog-setup.exe" "my temp dir" ""

run=branded_program
check_program "$work/plain/branded-setup.exe" tmp ""
run=signed_branded_program
check_program "$work/plain/signed-branded-setup.exe" tmp ""

run=library_called
check_common ""
report="$work/runs/$run/out/secondary.txt"
if [ -f "$report" ]; then
  check_short_path "$report" arg1 "$(winpath "$blank_dir/lib-setup.exe")"
  [ "$(value "$report" tail)" = "$(escaped "$tail_library")" ] ||
    fail "tail '$(value "$report" tail)', want '$(escaped "$tail_library")'"
  [ "$(value "$report" errormode)" = 0x8001 ] || fail "error mode $(value "$report" errormode)"
  [ "$(value "$report" threadwindows)" -ge 1 ] 2>/dev/null || fail "no progress window during Setup"
  [ "$(value "$report" visiblewindows)" = 0 ] || fail "a window was visible during Setup"
  expected_temp "$blank_dir/lib-setup.exe" "$work/runs/$run/expected"
  cmp -s "$work/runs/$run/expected" "$work/runs/$run/out/secondary.image" ||
    fail "the library's own file differs from kivpack extract"
else
  fail "Setup was not called"
fi
[ -z "$(temp_files tmp)" ] || fail "left in the temporary folder: $(temp_files tmp)"

# run   box text   (the temporary folder must be empty afterwards)
while IFS='|' read -r run text; do
  check_common "$text"
  [ -z "$(temp_files tmp)" ] || fail "left in the temporary folder: $(temp_files tmp)"
  [ ! -f "$work/runs/$run/out/secondary.txt" ] || fail "a secondary setup ran"
done <<'TABLE'
library_no_entry|Setup.exe is damaged. (2)
library_not_loaded|Cannot load secondary setup.
program_not_started|Cannot load secondary setup. (2)
damaged|Setup.exe is damaged.
no_image|This application requires a\r\n32-bit version of Windows.
no_temp_folder|Cannot create temporary setup file.
TABLE

# A failed blob copy leaves its temporary file behind, without a trailer.
run=copy_failed
check_common 'Cannot copy setup information\r\nto temporary file.'
[ "$(temp_files tmp)" = "_setup0.exe " ] || fail "temporary folder holds '$(temp_files tmp)'"

# Library planting. Wine, like Windows, gives a careless program the copy
# planted beside it; the secondary library inside setup.exe, started from the
# same folder, never gets it: what it loads by name comes from its own folder
# (the temporary one) or the system directory.
planted_lower=$(lower "$(winpath "$planted")")
run=naive_planted
naive_plant=$(lower "$(value "$work/runs/$run/out/secondary.txt" probe.kivplant.dll)")
[ "$naive_plant" = "$planted_lower\\kivplant.dll" ] ||
  fail "the careless program did not load the planted library (got '$naive_plant'): nothing shown"
for run in library_planted library_own_folder; do
  check_common ""
  report="$work/runs/$run/out/secondary.txt"
  [ -f "$report" ] || { fail "Setup was not called"; continue; }
  plant=$(lower "$(value "$report" probe.kivplant.dll)")
  if [ "$run" = library_planted ]; then
    [ "$plant" = none ] || fail "Setup loaded kivplant.dll from '$plant'"
  else
    [[ "$plant" == *"\\tmp\\kivplant.dll" ]] ||
      fail "kivplant.dll not taken from the library's own folder: '$plant'"
  fi
done

if [ "$failures" -gt 0 ]; then
  echo "launch_e2e: $failures failure(s)"
  exit 1
fi
echo "launch_e2e: every outcome as expected"
