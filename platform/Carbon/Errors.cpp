#include "platform/Carbon/Errors.h"

#include <cerrno>
#include <utility>

namespace {

constexpr std::pair<int, OSStatus> kErrnoTable[] = {
    {0, noErr},
    {ENOENT, fnfErr},
    {ENOTDIR, dirNFErr},
    {EEXIST, dupFNErr},
    {EACCES, afpAccessDenied},
    {EPERM, permErr},
    {EROFS, wPrErr},
    {ENOSPC, dskFulErr},
    {EDQUOT, dskFulErr},
    {ENOMEM, memFullErr},
    {EMFILE, tmfoErr},
    {ENFILE, tmfoErr},
    {EBUSY, fBsyErr},
    {ENAMETOOLONG, bdNamErr},
    {EINVAL, paramErr},
    {EISDIR, errFSNotAFolder},
    {ENOTEMPTY, fBsyErr},
    {EBADF, fnOpnErr},
    {EIO, ioErr},
    {ENODEV, nsvErr},
    {ENXIO, nsvErr},
    {ETXTBSY, fBsyErr},
    {EFBIG, dskFulErr},
    {ESPIPE, posErr},
    {ELOOP, bdNamErr},
};

}  // namespace

OSStatus OSStatusFromErrno(int errnoValue) {
    for (const auto& [value, status] : kErrnoTable)
        if (value == errnoValue) return status;
    return ioErr;
}
