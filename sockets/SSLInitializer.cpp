#include "sockets/SSLInitializer.h"

#include <fcntl.h>
#include <openssl/bio.h>
#include <openssl/rand.h>
#include <openssl/ssl.h>
#include <pthread.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "sockets/Lock.h"
#include "sockets/Mutex.h"
#include "sockets/Utility.h"

SSLInitializer::SSLInitializer() {
    m_bio_err = BIO_new_fp(stderr, BIO_NOCLOSE);
    OPENSSL_init_ssl(
        OPENSSL_INIT_LOAD_SSL_STRINGS | OPENSSL_INIT_LOAD_CRYPTO_STRINGS | OPENSSL_INIT_NO_LOAD_CONFIG,
        nullptr);

    if (!getenv("RANDFILE") && !getenv("HOME") && getenv("HOMEPATH"))
        Utility::SetEnv("HOME", getenv("HOMEPATH"));

    char path[512];
    if (RAND_file_name(path, sizeof(path))) {
        m_rand_file = path;
        // A seed file that is already there belongs to someone else: read it, never replace it.
        const int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd != -1) {
            close(fd);
            m_created_rand_file = true;
            RAND_write_file(path);
        }
    }
    if (!m_rand_file.empty()) RAND_load_file(m_rand_file.c_str(), m_rand_size);
}

SSLInitializer::~SSLInitializer() {
    DeleteRandFile();
    if (m_bio_err) BIO_free(m_bio_err);
}

void SSLInitializer::DeleteRandFile() {
    if (m_rand_file.empty() || !m_created_rand_file) return;
    unlink(m_rand_file.c_str());
    m_created_rand_file = false;
}

std::map<int, std::unique_ptr<Mutex>>& SSLInitializer::MMap() {
    static auto* map = new std::map<int, std::unique_ptr<Mutex>>;
    return *map;
}

Mutex& SSLInitializer::MMapMutex() {
    static auto* mutex = new Mutex;
    return *mutex;
}

void SSLInitializer::SSL_locking_function(int mode, int n, const char*, int) {
    Mutex* mutex;
    {
        Lock lock(MMapMutex());
        std::unique_ptr<Mutex>& slot = MMap()[n];
        if (!slot) slot = std::make_unique<Mutex>();
        mutex = slot.get();
    }
    if (mode & 1)
        mutex->Lock();
    else
        mutex->Unlock();
}

unsigned long SSLInitializer::SSL_id_function() {
    return static_cast<unsigned long>(pthread_self());
}
