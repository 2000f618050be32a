// Small RAII owners for Windows handles, COM pointers, BSTRs and allocations.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <objbase.h>
#include <shlobj.h>

#include <string_view>
#include <utility>

#include "framework/Result.h"

namespace fx {

// Owner of one value of a handle-like type; Traits gives the invalid value
// and how to close it.
template <typename Traits>
class UniqueResource {
public:
    using Type = typename Traits::Type;

    UniqueResource() noexcept = default;
    explicit UniqueResource(Type value) noexcept : value_(value) {}
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept
    {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~UniqueResource() { reset(); }

    Type get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != Traits::Invalid(); }

    Type release() noexcept { return std::exchange(value_, Traits::Invalid()); }
    void reset(Type value = Traits::Invalid()) noexcept
    {
        Type old = std::exchange(value_, value);
        if (old != Traits::Invalid()) Traits::Close(old);
    }
    // For out parameters: frees what is held and hands out the slot.
    Type* put() noexcept
    {
        reset();
        return &value_;
    }

private:
    Type value_ = Traits::Invalid();
};

struct HandleTraits {
    using Type = HANDLE;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::CloseHandle(h); }
};
struct FileHandleTraits {
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { ::CloseHandle(h); }
};
struct FindHandleTraits {
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { ::FindClose(h); }
};
struct RegKeyTraits {
    using Type = HKEY;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::RegCloseKey(h); }
};
struct ModuleTraits {
    using Type = HMODULE;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::FreeLibrary(h); }
};
struct CoTaskMemTraits {
    using Type = void*;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type p) noexcept { ::CoTaskMemFree(p); }
};
struct BstrTraits {
    using Type = BSTR;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type b) noexcept { ::SysFreeString(b); }
};
struct DcTraits {
    using Type = HDC;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::DeleteDC(h); }
};
struct GdiObjectTraits {
    using Type = HGDIOBJ;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::DeleteObject(h); }
};
struct ActCtxTraits {
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { ::ReleaseActCtx(h); }
};

using UniqueHandle = UniqueResource<HandleTraits>;
using UniqueFile = UniqueResource<FileHandleTraits>;
using UniqueFind = UniqueResource<FindHandleTraits>;
using UniqueRegKey = UniqueResource<RegKeyTraits>;
using UniqueModule = UniqueResource<ModuleTraits>;
using UniqueCoTaskMem = UniqueResource<CoTaskMemTraits>;
using UniqueBstr = UniqueResource<BstrTraits>;
using UniqueDc = UniqueResource<DcTraits>;
using UniqueGdiObject = UniqueResource<GdiObjectTraits>;
using UniqueActCtx = UniqueResource<ActCtxTraits>;

// A BSTR holding the text; throws ComError(E_OUTOFMEMORY) when it cannot be made.
inline UniqueBstr MakeBstr(std::wstring_view text)
{
    BSTR b = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!b) throw ComError(E_OUTOFMEMORY);
    return UniqueBstr(b);
}

// Counted COM reference.
template <typename T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    explicit ComPtr(T* p) noexcept : p_(p) { if (p_) p_->AddRef(); }
    ComPtr(const ComPtr& o) noexcept : p_(o.p_) { if (p_) p_->AddRef(); }
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ComPtr& operator=(const ComPtr& o) noexcept
    {
        ComPtr(o).swap(*this);
        return *this;
    }
    ComPtr& operator=(ComPtr&& o) noexcept
    {
        ComPtr(std::move(o)).swap(*this);
        return *this;
    }
    ~ComPtr() { reset(); }

    // Takes over a reference that the caller already owns.
    static ComPtr Attach(T* p) noexcept
    {
        ComPtr c;
        c.p_ = p;
        return c;
    }
    T* Detach() noexcept { return std::exchange(p_, nullptr); }

    T* get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    void reset() noexcept
    {
        if (T* old = std::exchange(p_, nullptr)) old->Release();
    }
    T** put() noexcept
    {
        reset();
        return &p_;
    }
    void** put_void() noexcept { return reinterpret_cast<void**>(put()); }
    void swap(ComPtr& o) noexcept { std::swap(p_, o.p_); }

    template <typename U>
    ComPtr<U> As(REFIID iid) const noexcept
    {
        ComPtr<U> out;
        if (p_) p_->QueryInterface(iid, out.put_void());
        return out;
    }

private:
    T* p_ = nullptr;
};

// Calls CoUninitialize for a successful CoInitializeEx on this thread.
class ComInit {
public:
    explicit ComInit(DWORD model = COINIT_APARTMENTTHREADED) noexcept : hr_(::CoInitializeEx(nullptr, model)) {}
    ~ComInit() { if (SUCCEEDED(hr_)) ::CoUninitialize(); }
    ComInit(const ComInit&) = delete;
    ComInit& operator=(const ComInit&) = delete;
    HRESULT Result() const noexcept { return hr_; }

private:
    HRESULT hr_;
};

}  // namespace fx
