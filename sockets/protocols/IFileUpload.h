// Receives the files of a multipart form in place of the private temporary folder.
#pragma once

#include <string>

class IStream;

class IFileUpload {
public:
    virtual ~IFileUpload() = default;
    // The stream that receives the file's bytes through IStreamWrite.
    virtual IStream& BeginUpload(const std::string& field, const std::string& file_name,
                                 const std::string& content_type) = 0;
    virtual void EndUpload() = 0;
};
