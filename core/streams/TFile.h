// A file named by its reference once it exists, or by its parent folder and a name before it
// does, with whole-file and partial transfers on its data fork.
//
// TFile never deletes its file by itself; it closes its fork when destroyed. Not thread-safe.
#pragma once

#include <optional>
#include <string>

#include "platform/Carbon/FileReference.h"
#include "platform/Carbon/Files.h"
#include "platform/Carbon/MacTypes.h"
#include "platform/Carbon/TextEncoding.h"

// Alias records hold the file's absolute path.
using AliasHandle = Handle;

class TFile {
public:
    TFile() = default;
    explicit TFile(const FSRef& fileRef);
    // Resolves the alias (relative to `relativeTo` when given); `wasChanged` reports false.
    TFile(AliasHandle alias, bool& wasChanged, const FSRef* relativeTo = nullptr);
    TFile(const TFile&) = delete;
    TFile& operator=(const TFile&) = delete;
    virtual ~TFile();

    // A new alias record (the caller disposes it) of this file relative to `relativeTo`; null
    // when `relativeTo` is null or the file does not exist.
    virtual AliasHandle MakeAlias(const FSRef* relativeTo);
    // Creates the specified file. A taken name is replaced by a free variant ("name_1.ext")
    // and creation tried once more. Failure is not reported: FileExists() stays false.
    virtual void CreateFile(OSType creator, OSType type);
    // Opens the data fork and returns its reference; an error is thrown as an `int`.
    virtual FSIORefNum OpenFile(SInt8 permission);
    // Nothing when closed; a close error is thrown.
    virtual void CloseFile();
    // Deletes an existing file (a busy file through its path after three tries).
    virtual void DeleteFile();
    // The whole fork in a new handle the caller owns; null when closed or empty.
    virtual Handle ReadFile();
    // At most `maxCount` bytes at the position, up to what remains after it, in a new handle;
    // null when closed, empty or nothing remains there. Errors are thrown.
    virtual Handle ReadBytes(SInt32 maxCount, UInt16 positionMode, SInt64 offset, SInt32& actual);
    // Replaces the contents; returns the count written (0 when closed). Errors are thrown.
    virtual SInt32 WriteFile(const void* bytes, SInt32 count);
    // Writes at the end; returns the count written (0 when closed). Errors are thrown.
    virtual SInt32 AppendFile(const void* bytes, SInt32 count);
    // The fork's size, 0 when closed.
    virtual SInt64 GetDataSize();
    // Forgets the file and the fork without closing anything.
    virtual void Invalidate();

    void Specify(const FSRef& parentRef, const HFSUniStr255& name);
    // Copies the reference out; returns whether the file exists.
    bool GetFile(FSRef& fileRef) const;
    bool IsSameFile(const FSRef& fileRef) const;
    static bool EqualFileRefs(const FSRef& a, const FSRef& b);
    // Whether the file is still there, or, for a specified file, appeared under its name.
    bool FileExists();
    // The file URL of the reference ("file:///…").
    std::string GetURL() const;
    // The POSIX path when the file exists; nullopt otherwise.
    std::optional<std::string> GetPath();

    FSIORefNum GetForkRefNum() const { return fForkRef; }
    const HFSUniStr255& GetName() const { return fName; }

protected:
    // Reads the name and parent of fFileRef; sets both flags on success.
    void ReadNameAndParent();

    FSRef fFileRef;
    FSIORefNum fForkRef{-1};
    HFSUniStr255 fName;
    FSRef fParentRef;
    bool fSpecified{false};
    bool fExists{false};
};
