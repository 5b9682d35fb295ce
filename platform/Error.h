#pragma once
// The thread's "last error", numbered as Win32 numbers its errors, because
// the program's log lines and callers test those numbers ("(err %d)").

#include <string>

namespace Platform {

enum Win32Error : int {
    ErrorSuccess = 0,
    ErrorInvalidFunction = 1,
    ErrorFileNotFound = 2,
    ErrorPathNotFound = 3,
    ErrorTooManyOpenFiles = 4,
    ErrorAccessDenied = 5,
    ErrorInvalidHandle = 6,
    ErrorNotEnoughMemory = 8,
    ErrorOutOfMemory = 14,
    ErrorWriteProtect = 19,
    ErrorSharingViolation = 32,
    ErrorHandleEof = 38,
    ErrorNotSupported = 50,
    ErrorFileExists = 80,
    ErrorInvalidParameter = 87,
    ErrorBrokenPipe = 109,
    ErrorNegativeSeek = 131,
    ErrorDiskFull = 112,
    ErrorInsufficientBuffer = 122,
    ErrorInvalidName = 123,
    ErrorDirNotEmpty = 145,
    ErrorAlreadyExists = 183,
    ErrorFilenameTooLong = 206,
    ErrorFileTooLarge = 223,
    ErrorIoPending = 997,
    ErrorTimeout = 1460,
    // WinInet
    InternetTimeout = 12002,
    InternetNameNotResolved = 12007,
    InternetOperationCancelled = 12017,
    InternetCannotConnect = 12029,
    InternetConnectionAborted = 12030,
    InternetConnectionReset = 12031,
    // WinInet's "invalid server response": here a reply longer than the
    // 16 MiB a request takes (CurlInternet), stopped there.
    InternetReplyTooLarge = 12152,
};

int lastError();
void setLastError(int code);
// The system's own text for an error number: strerror's for the numbers
// mapped from errno, curl's for the HTTP ones; empty for 0 and for numbers
// without one.
std::string errorText(int code);
// strerror's text for an errno value (the numbers the C library's stdio
// reports); empty for 0.
std::string errnoText(int errnoValue);
// Maps an errno value to its Win32 number (unknown values map to 1).
int errorFromErrno(int errnoValue);
// setLastError(errorFromErrno(errno)); returns the stored number.
int setLastErrorFromErrno();

// Keeps the last error and errno of the current thread across a scope, so
// that logging between a failing call and the caller's check changes nothing.
class ErrorKeeper {
public:
    ErrorKeeper();
    ~ErrorKeeper();
    ErrorKeeper(const ErrorKeeper&) = delete;
    ErrorKeeper& operator=(const ErrorKeeper&) = delete;

private:
    int m_lastError;
    int m_errno;
};

} // namespace Platform
