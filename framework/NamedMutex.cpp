#include "framework/NamedMutex.h"

namespace fx {

NamedMutex::NamedMutex(const wchar_t* name) : handle_(::CreateMutexW(nullptr, FALSE, name))
{
    if (!handle_) throw ResourceException();
}

bool NamedMutex::Lock(DWORD timeout)
{
    const DWORD wait = ::WaitForSingleObject(handle_.get(), timeout);
    return wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
}

bool NamedMutex::Unlock()
{
    return ::ReleaseMutex(handle_.get()) != FALSE;
}

}  // namespace fx
