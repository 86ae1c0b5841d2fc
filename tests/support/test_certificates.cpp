#include "support/test_certificates.h"

#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <atomic>
#include <string>
#include <utility>
#include <vector>

namespace wg::test {
namespace {

// A certificate for `key` signed by `issuer` (a CA signing itself when null), valid from
// `fromDays` to `toDays` relative to now; a leaf when it has a subjectAltName.
CertPtr MakeCertificate(EVP_PKEY* key, X509* issuer, EVP_PKEY* issuerKey, const char* altName,
                        long fromDays, long toDays) {
    static std::atomic<long> serial{1};
    const long number = serial++;
    CertPtr cert(X509_new());
    X509_set_version(cert.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), number);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), fromDays * 86400);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), toDays * 86400);
    X509_set_pubkey(cert.get(), key);
    const std::string name = "cert " + std::to_string(number);
    X509_NAME_add_entry_by_txt(X509_get_subject_name(cert.get()), "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(name.c_str()), -1, -1, 0);
    X509* signer = issuer != nullptr ? issuer : cert.get();
    X509_set_issuer_name(cert.get(), X509_get_subject_name(signer));
    X509V3_CTX ctx;
    X509V3_set_ctx(&ctx, signer, cert.get(), nullptr, nullptr, 0);
    const std::vector<std::pair<int, const char*>> extensions =
        altName != nullptr
            ? std::vector<std::pair<int, const char*>>{{NID_subject_alt_name, altName}}
            : std::vector<std::pair<int, const char*>>{
                  {NID_basic_constraints, "critical,CA:TRUE"},
                  {NID_key_usage, "critical,keyCertSign,cRLSign"}};
    for (const auto& [nid, value] : extensions) {
        X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
        X509_add_ext(cert.get(), extension, -1);
        X509_EXTENSION_free(extension);
    }
    X509_sign(cert.get(), issuerKey != nullptr ? issuerKey : key, EVP_sha256());
    return cert;
}

constexpr const char kLoopback[] = "DNS:localhost,IP:127.0.0.1";

}  // namespace

TestCertificates::TestCertificates()
    : key(EVP_EC_gen("P-256")),
      caKey(EVP_EC_gen("P-256")),
      strangerKey(EVP_EC_gen("P-256")),
      ca(MakeCertificate(caKey.get(), nullptr, nullptr, nullptr, -1, 30)),
      good(MakeCertificate(key.get(), ca.get(), caKey.get(), kLoopback, -1, 30)),
      expired(MakeCertificate(key.get(), ca.get(), caKey.get(), kLoopback, -30, -1)),
      otherName(MakeCertificate(key.get(), ca.get(), caKey.get(), "DNS:other.example", -1, 30)),
      stranger(MakeCertificate(strangerKey.get(), nullptr, nullptr, nullptr, -1, 30)),
      strangerLeaf(
          MakeCertificate(key.get(), stranger.get(), strangerKey.get(), kLoopback, -1, 30)),
      selfSigned(MakeCertificate(key.get(), nullptr, nullptr, kLoopback, -1, 30)) {}

bool WritePemFiles(const std::filesystem::path& dir, X509* cert, EVP_PKEY* key, X509* ca,
                   PemFiles* files) {
    *files = PemFiles{dir / "cert.pem", dir / "key.pem", dir / "ca.pem"};
    auto write = [](const std::filesystem::path& path, auto&& writeTo) {
        BIO* out = BIO_new_file(path.c_str(), "w");
        if (out == nullptr) {
            return false;
        }
        const bool ok = writeTo(out) == 1;
        return BIO_free(out) == 1 && ok;
    };
    return write(files->cert, [cert](BIO* out) { return PEM_write_bio_X509(out, cert); }) &&
           write(files->key,
                 [key](BIO* out) {
                     return PEM_write_bio_PrivateKey(out, key, nullptr, nullptr, 0, nullptr,
                                                     nullptr);
                 }) &&
           write(files->ca, [ca](BIO* out) { return PEM_write_bio_X509(out, ca); });
}

}  // namespace wg::test
