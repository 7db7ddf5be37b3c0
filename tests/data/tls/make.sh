#!/bin/sh
# Makes the test-only TLS material in this folder (see README.md). Run once; the files are committed.
set -eu
days=18262 # 50 years
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout ca.key -out ca.pem -days $days \
    -subj "/CN=Vesk Test CA" -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign"
openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out server.key
# sign FILE NAME...: a leaf certificate FILE.pem for server.key, issued by the test CA for the NAMEs (the first one
# is also its common name, which clients check too)
sign() {
    file=$1
    shift
    san=$(printf 'DNS:%s,' "$@")
    printf 'basicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\nsubjectAltName=%s\n' "${san%,}" > ext.cnf
    openssl req -new -key server.key -subj "/CN=$1" -out leaf.csr
    openssl x509 -req -in leaf.csr -CA ca.pem -CAkey ca.key -set_serial "0x$(openssl rand -hex 8)" -days $days \
        -extfile ext.cnf -out "$file.pem"
}
sign server rdap.identitydigital.services rdap.test.example
sign other-name other.test.example
openssl req -x509 -new -key server.key -out self-signed.pem -days $days -subj "/CN=rdap.identitydigital.services" \
    -addext "subjectAltName=DNS:rdap.identitydigital.services,DNS:rdap.test.example"
rm -f leaf.csr ext.cnf
