#!/usr/bin/env bash
# Makes the test certificates in DIR (PEM, each with its key NAME.key):
#   ca           a test authority (the tests hand it to the program as its authority file)
#   good         signed by ca, for 127.0.0.1
#   other        signed by ca, for other.example only
#   expired      signed by ca, for 127.0.0.1, valid only on 2020-01-01
#   self         self-signed, for 127.0.0.1
#   replacement  self-signed, for 127.0.0.1, with a key of its own
#   tn_make_certificates.sh DIR
set -euo pipefail
dir=$1
cd "$dir"
quiet() { "$@" >/dev/null 2>&1 || { echo "tn_make_certificates.sh: failed: $*" >&2; "$@"; exit 1; }; }

ext_ip="subjectAltName=IP:127.0.0.1"
quiet openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout ca.key -out ca.pem -days 30 -subj "/CN=Tandrel Test Authority" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign"
for name in self replacement; do
  quiet openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout $name.key -out $name.pem -days 30 -subj "/CN=127.0.0.1" \
    -addext "$ext_ip"
done

# Signed by the authority (openssl ca sets any validity, also one in the past).
cat >ca.cnf <<CNF
[ca]
default_ca = test
[test]
database = $dir/index.txt
serial = $dir/serial
new_certs_dir = $dir
default_md = sha256
policy = anything
copy_extensions = copy
unique_subject = no
[anything]
commonName = supplied
CNF
: >index.txt
echo 01 >serial
sign() {  # name subject-alt-name start end
  quiet openssl req -new -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout $1.key -out $1.csr -subj "/CN=$1" -addext "subjectAltName=$2"
  quiet openssl ca -batch -config ca.cnf -cert ca.pem -keyfile ca.key -in $1.csr -out $1.pem -notext -startdate $3 -enddate $4
}
now=$(date -u +%Y%m%d%H%M%SZ)
later=$(date -u -d '+30 days' +%Y%m%d%H%M%SZ)
sign good IP:127.0.0.1 "$now" "$later"
sign other DNS:other.example "$now" "$later"
sign expired IP:127.0.0.1 20200101000000Z 20200102000000Z
