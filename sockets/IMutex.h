// The lock interface the socket handler and the sockets are given.
#pragma once

class IMutex {
public:
    virtual ~IMutex() = default;

    // Each returns the POSIX result, 0 on success.
    virtual int Lock() = 0;
    virtual int Unlock() = 0;
};
