// The process-wide start-up of TLS: OpenSSL's algorithms and error texts, the thread-locking
// callbacks (kept for older libraries; OpenSSL 3 locks by itself, so they are registered nowhere),
// and the random seed file.
#pragma once

#include <map>
#include <memory>
#include <string>

typedef struct bio_st BIO;
class Mutex;

class SSLInitializer {
public:
    SSLInitializer();
    ~SSLInitializer();
    SSLInitializer(const SSLInitializer&) = delete;
    SSLInitializer& operator=(const SSLInitializer&) = delete;

    // Removes the seed file, but only one that this initializer created.
    void DeleteRandFile();
    const std::string& RandFile() const { return m_rand_file; }

    static void SSL_locking_function(int mode, int n, const char* file, int line);
    static unsigned long SSL_id_function();
    static std::map<int, std::unique_ptr<Mutex>>& MMap();
    static Mutex& MMapMutex();

private:
    BIO* m_bio_err{nullptr};
    std::string m_rand_file;
    long m_rand_size{1024};
    bool m_created_rand_file{false};
};
