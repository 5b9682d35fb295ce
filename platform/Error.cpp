#include "platform/Error.h"

#include <cerrno>

namespace Platform {
namespace {
thread_local int t_lastError = 0;
}

int lastError() { return t_lastError; }

void setLastError(int code) { t_lastError = code; }

int errorFromErrno(int e) {
    switch (e) {
    case 0: return ErrorSuccess;
    case ENOENT: return ErrorFileNotFound;
    case ENOTDIR: return ErrorPathNotFound;
    case EMFILE:
    case ENFILE: return ErrorTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EISDIR: return ErrorAccessDenied;
    case EBADF: return ErrorInvalidHandle;
    case ENOMEM: return ErrorOutOfMemory;
    case EROFS: return ErrorWriteProtect;
    case EBUSY:
    case ETXTBSY: return ErrorSharingViolation;
    case EEXIST: return ErrorAlreadyExists;
    case EINVAL:
    case ERANGE:
    case EOVERFLOW: return ErrorInvalidParameter;
    case EPIPE: return ErrorBrokenPipe;
    case ENOSPC:
    case EDQUOT: return ErrorDiskFull;
    case ENAMETOOLONG: return ErrorFilenameTooLong;
    case EFBIG: return ErrorFileTooLarge;
    case ENOTEMPTY: return ErrorDirNotEmpty;
    case ENOSYS:
    case EOPNOTSUPP: return ErrorNotSupported;
    case ETIMEDOUT: return ErrorTimeout;
    case EAGAIN: return ErrorIoPending;
    default: return ErrorInvalidFunction;
    }
}

int setLastErrorFromErrno() {
    t_lastError = errorFromErrno(errno);
    return t_lastError;
}

ErrorKeeper::ErrorKeeper() : m_lastError(t_lastError), m_errno(errno) {}

ErrorKeeper::~ErrorKeeper() {
    t_lastError = m_lastError;
    errno = m_errno;
}

} // namespace Platform
