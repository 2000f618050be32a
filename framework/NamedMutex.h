// A named system mutex shared between processes.
#pragma once

#include "framework/Unique.h"

namespace fx {

class NamedMutex {
public:
    // Creates the mutex not owned, or opens it when it exists; throws
    // ResourceException when the system refuses both.
    explicit NamedMutex(const wchar_t* name);

    // Waits up to `timeout` ms; a mutex abandoned by a dead owner counts as acquired.
    bool Lock(DWORD timeout = INFINITE);
    bool Unlock();
    HANDLE Handle() const noexcept { return handle_.get(); }

private:
    UniqueHandle handle_;
};

}  // namespace fx
