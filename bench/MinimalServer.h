// The interface shape the start-up benchmark calls: IDispatch, then the
// plug-in's first host method at the same position.
#pragma once

#include <windows.h>
#include <oaidl.h>

struct IMinimalPlugin : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE GetPluginName(BSTR* name) = 0;
};

// {5B0C2F10-7A2E-4C1D-9E51-3B8D6A0F4C21}
inline constexpr CLSID CLSID_MinimalPlugin = {0x5B0C2F10, 0x7A2E, 0x4C1D, {0x9E, 0x51, 0x3B, 0x8D, 0x6A, 0x0F, 0x4C, 0x21}};
