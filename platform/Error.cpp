#include "platform/Error.h"


#include <cerrno>
#include <cstring>

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

// The errno value each number stands for when several map to it.
int errnoOf(int code) {
    switch (code) {
    case ErrorFileNotFound: return ENOENT;
    case ErrorPathNotFound: return ENOTDIR;
    case ErrorTooManyOpenFiles: return EMFILE;
    case ErrorAccessDenied: return EACCES;
    case ErrorInvalidHandle: return EBADF;
    case ErrorNotEnoughMemory:
    case ErrorOutOfMemory: return ENOMEM;
    case ErrorWriteProtect: return EROFS;
    case ErrorSharingViolation: return EBUSY;
    case ErrorFileExists:
    case ErrorAlreadyExists: return EEXIST;
    case ErrorInvalidParameter: return EINVAL;
    case ErrorBrokenPipe: return EPIPE;
    case ErrorDiskFull: return ENOSPC;
    case ErrorDirNotEmpty: return ENOTEMPTY;
    case ErrorFilenameTooLong: return ENAMETOOLONG;
    case ErrorFileTooLarge: return EFBIG;
    case ErrorNotSupported: return EOPNOTSUPP;
    case ErrorTimeout: return ETIMEDOUT;
    case ErrorIoPending: return EAGAIN;
    default: return 0;
    }
}

// The text of each HTTP number: the words libcurl gives the result it
// stands for, kept here because libcurl is loaded only when the online
// service first sends (a failure before that still needs its text).
const char* httpErrorText(int code) {
    switch (code) {
    case InternetTimeout: return "Timeout was reached";
    case InternetNameNotResolved: return "Couldn't resolve host name";
    case InternetOperationCancelled: return "Operation was aborted by an application callback";
    case InternetCannotConnect: return "Couldn't connect to server";
    case InternetConnectionAborted: return "Failed sending data to the peer";
    case InternetConnectionReset: return "Failure when receiving data from the peer";
    case InternetReplyTooLarge: return "The reply was larger than 16 MiB";
    default: return nullptr;
    }
}

std::string errorText(int code) {
    if (const int e = errnoOf(code)) {
        char buffer[256];
        // The GNU strerror_r: the text may or may not be in the buffer.
        return strerror_r(e, buffer, sizeof buffer);
    }
    if (code == ErrorHandleEof)
        return "Reached the end of the file";
    // The number a mapping answers for a window outside its file
    // (Platform::ErrorFileInvalid): mmap has no words of its own for it.
    if (code == 1006)
        return "The window is not inside the file (the file is empty or shorter)";
    if (const char* text = httpErrorText(code))
        return text;
    return {};
}

std::string errnoText(int errnoValue) {
    if (errnoValue == 0)
        return {};
    char buffer[256];
    return strerror_r(errnoValue, buffer, sizeof buffer);
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
