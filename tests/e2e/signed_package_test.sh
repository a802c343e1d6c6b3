#!/usr/bin/env bash
# A package signed as a maker publishes it still unpacks, exactly like the
# unsigned one. Makes a throwaway code-signing certificate, builds a package
# whose payload delivers a copy of its own file, signs it with osslsigncode,
# has osslsigncode verify it, then runs the unsigned and the signed package
# under Wine (the UI driver answers: licence Yes, a destination, OK) and
# compares what each delivered.
#
#   signed_package_test.sh --language english|japanese --prefix DIR --mkpackage FILE
#                          --windows DIR --work DIR
set -euo pipefail

language=english
prefix=
mkpackage=
windows=
work=
while [[ $# -gt 0 ]]; do
  case $1 in
    --language) language=$2; shift 2 ;;
    --prefix) prefix=$2; shift 2 ;;
    --mkpackage) mkpackage=$2; shift 2 ;;
    --windows) windows=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    *) echo "signed_package_test: unknown argument $1" >&2; exit 2 ;;
  esac
done
here=$(cd "$(dirname "$0")" && pwd)
export WINEPREFIX=${WINEPREFIX:-$prefix}

fail() { echo "signed_package_test: FAIL: $*" >&2; exit 1; }
windows_path() { local p=$1; echo "Z:${p//\//\\}"; }

rm -rf "$work"
mkdir -p "$work"
payload=$windows/self_copying_payload.exe

# The certificate lives only for this test.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Signing Test Maker" \
  -addext "extendedKeyUsage=codeSigning" -keyout "$work/key.pem" -out "$work/cert.pem" 2>"$work/openssl.log" ||
  fail "openssl could not make a certificate: $(cat "$work/openssl.log")"

"$mkpackage" build --stub "$windows/unpacker.exe" --payload "$payload" --name signing-e2e-payload.exe \
  --dest 'C:\signing-e2e\default' --title 'Signed Package Test' --all-models -o "$work/unsigned.exe" >"$work/build.log"
osslsigncode sign -certs "$work/cert.pem" -key "$work/key.pem" -n "Signed Package Test" \
  -in "$work/unsigned.exe" -out "$work/signed.exe" >"$work/sign.log" 2>&1 || fail "signing: $(cat "$work/sign.log")"

# A self-signed certificate is its own root: it is given as the trusted CA.
osslsigncode verify -CAfile "$work/cert.pem" -in "$work/signed.exe" >"$work/verify.log" 2>&1 ||
  fail "osslsigncode does not accept the signature: $(cat "$work/verify.log")"
if osslsigncode verify -CAfile "$work/cert.pem" -in "$work/unsigned.exe" >/dev/null 2>&1; then
  fail "osslsigncode accepts the unsigned package too: its verdict proves nothing"
fi

unsigned_size=$(stat -c %s "$work/unsigned.exe")
signed_size=$(stat -c %s "$work/signed.exe")
(( signed_size > unsigned_size )) || fail "signing added nothing ($unsigned_size -> $signed_size bytes)"
# The builder aligned the package, so signing put the table right behind the
# trailer, and the unpacker's rule finds it there.
(( unsigned_size % 8 == 0 )) || fail "the builder left the package unaligned ($unsigned_size bytes)"
"$mkpackage" inspect "$work/signed.exe" >"$work/inspect-signed.log" 2>&1 ||
  fail "mkpackage refuses the signed package: $(cat "$work/inspect-signed.log")"
grep -q "^signed: *yes" "$work/inspect-signed.log" && grep -q "^package ends at byte: *$unsigned_size\$" "$work/inspect-signed.log" ||
  fail "the signed package does not end where the unsigned one did: $(cat "$work/inspect-signed.log")"

# Runs a package to its end; the destination is typed into the dialog.
unpack() {
  local name=$1 destination=$2
  local temp
  rm -rf "$WINEPREFIX/drive_c/signing-e2e/$destination"
  status=0
  "$here/run_e2e.sh" --language "$language" --prefix "$WINEPREFIX" "$windows/uidriver.exe" \
    --on 'dialog#1000=press:6' --on "dialog#1001=type:1001:C:\\signing-e2e\\$destination+press:1" \
    --on messagebox=press:1 -- "$(windows_path "$work/$name")" >"$work/$name.log" 2>&1 || status=$?
  [[ $status -eq 1 ]] || fail "$name ended with exit code $status, not 1: $(cat "$work/$name.log")"
  for temp in "$WINEPREFIX"/drive_c/users/*/AppData/Local/Temp "$WINEPREFIX"/drive_c/users/*/Temp; do
    [[ -e $temp/signing-e2e-payload.exe ]] && fail "$name left its payload file in $temp"
  done
  return 0
}

# Writes a 32-bit little-endian value into a file.
put32() {
  local file=$1 at=$2 value=$3
  printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $((value & 255)) $((value >> 8 & 255)) \
    $((value >> 16 & 255)) $((value >> 24 & 255)))" | dd of="$file" bs=1 seek="$at" conv=notrunc status=none
}

# A security entry that names no table ending the file is ignored: such a
# package ends at the end of the file, like every unsigned one. Here the
# entry names the 8 bytes before the trailer.
cp "$work/unsigned.exe" "$work/stray-entry.exe"
pe_offset=$(od -An -tu4 -j60 -N4 "$work/unsigned.exe" | tr -d ' ')
security_entry=$((pe_offset + 24 + 96 + 4 * 8))
put32 "$work/stray-entry.exe" "$security_entry" $((unsigned_size - 16))
put32 "$work/stray-entry.exe" $((security_entry + 4)) 8
read32() { od -An -tu4 -j"$2" -N4 "$1" | tr -d ' '; }
[[ $(read32 "$work/signed.exe" "$security_entry") -eq $unsigned_size ]] ||
  fail "the security entry is not at byte $security_entry: the stray entry would prove nothing"
[[ $(read32 "$work/stray-entry.exe" "$security_entry") -eq $((unsigned_size - 16)) ]] ||
  fail "the stray entry was not written"

unpack unsigned.exe unsigned
unpack signed.exe signed
unpack stray-entry.exe stray-entry

delivered=$WINEPREFIX/drive_c/signing-e2e
listing_unsigned=$(cd "$delivered/unsigned" && find . | sort)
listing_signed=$(cd "$delivered/signed" && find . | sort)
[[ $listing_unsigned == "$listing_signed" ]] ||
  fail "the packages delivered different files: [$listing_unsigned] and [$listing_signed]"
cmp "$payload" "$delivered/unsigned/payload-copy.bin" || fail "the unsigned package's payload differs"
cmp "$payload" "$delivered/signed/payload-copy.bin" ||
  fail "the signed package's payload differs from the payload it was built with"
cmp "$payload" "$delivered/stray-entry/payload-copy.bin" ||
  fail "a security entry that names no table at the end changed the payload"
echo "signed_package_test: signed ($signed_size bytes) and unsigned ($unsigned_size bytes) packages delivered the same payload"
