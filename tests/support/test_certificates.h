// Certificates for TLS tests, made in memory: a private CA and leaves signed by
// it (good for localhost and 127.0.0.1, expired, or for another host name), and
// a leaf from a second CA that nobody trusts. Every leaf uses `key`.
#pragma once

#include <openssl/evp.h>
#include <openssl/x509.h>

#include <filesystem>
#include <memory>

namespace wg::test {

struct KeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct CertFree {
    void operator()(X509* cert) const { X509_free(cert); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, KeyFree>;
using CertPtr = std::unique_ptr<X509, CertFree>;

struct TestCertificates {
    TestCertificates();

    KeyPtr key;            // the private key of every leaf
    KeyPtr caKey;          // signs ca and the leaves below it
    KeyPtr strangerKey;    // signs stranger and strangerLeaf
    CertPtr ca;            // the CA a test trusts (through SSL_CERT_FILE)
    CertPtr good;          // localhost and 127.0.0.1, valid now
    CertPtr expired;       // localhost and 127.0.0.1, expired yesterday
    CertPtr otherName;     // valid now, for other.example only
    CertPtr stranger;      // a CA nobody trusts
    CertPtr strangerLeaf;  // localhost and 127.0.0.1, signed by stranger
    CertPtr selfSigned;    // localhost and 127.0.0.1, signed by its own key
};

struct PemFiles {
    std::filesystem::path cert;  // "cert.pem"
    std::filesystem::path key;   // "key.pem"
    std::filesystem::path ca;    // "ca.pem"
};

// Writes `cert` with its `key`, and `ca`, as PEM files into `dir`. Answers
// false when a file could not be written.
bool WritePemFiles(const std::filesystem::path& dir, X509* cert, EVP_PKEY* key, X509* ca,
                   PemFiles* files);

}  // namespace wg::test
