// A self-signed certificate and its key for 127.0.0.1, made on the spot and written as PEM files
// into a private temporary folder that goes with the object.
#pragma once

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

class TestCertificate {
public:
    TestCertificate() {
        char pattern[] = "/tmp/beatwick-tls-XXXXXX";
        m_dir = mkdtemp(pattern);
        certFile = m_dir + "/cert.pem";
        keyFile = m_dir + "/key.pem";
        EVP_PKEY* key = EVP_EC_gen("P-256");
        X509* cert = X509_new();
        X509_set_version(cert, 2);
        ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
        X509_gmtime_adj(X509_getm_notBefore(cert), -60);
        X509_gmtime_adj(X509_getm_notAfter(cert), 3600);
        X509_NAME* name = X509_get_subject_name(cert);
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                   reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
        X509_set_issuer_name(cert, name);
        X509_set_pubkey(cert, key);
        X509_sign(cert, key, EVP_sha256());
        if (FILE* f = fopen(certFile.c_str(), "w")) {
            PEM_write_X509(f, cert);
            fclose(f);
        }
        if (FILE* f = fopen(keyFile.c_str(), "w")) {
            PEM_write_PrivateKey(f, key, nullptr, nullptr, 0, nullptr, nullptr);
            fclose(f);
        }
        X509_free(cert);
        EVP_PKEY_free(key);
    }
    ~TestCertificate() {
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }
    TestCertificate(const TestCertificate&) = delete;
    TestCertificate& operator=(const TestCertificate&) = delete;

    const std::string& Folder() const { return m_dir; }

    std::string certFile;
    std::string keyFile;

private:
    std::string m_dir;
};
