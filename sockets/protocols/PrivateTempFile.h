// A file of our own in the private temporary folder (mode 0700): created exclusively under a name
// we make, never through a link, and removed when the object goes. Holds request bodies and form
// uploads, so nothing a peer names ever becomes a path. One thread at a time.
#pragma once

#include <string>

#include "sockets/File.h"

class PrivateTempFile : public File {
public:
    // Opened for reading and writing; Valid() is false when the file could not be made.
    explicit PrivateTempFile(const std::string& prefix = "http");
    ~PrivateTempFile() override;
    PrivateTempFile(const PrivateTempFile&) = delete;
    PrivateTempFile& operator=(const PrivateTempFile&) = delete;

    bool Valid() const { return !m_path.empty(); }
    const std::string& Path() const { return m_path; }

    // The private folder, created on first use; empty when it cannot be had.
    static std::string Folder();

private:
    std::string m_path;
};
