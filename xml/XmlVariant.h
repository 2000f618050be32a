// Owner of one VARIANT, cleared when it goes.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <string_view>

#include "framework/Unique.h"

class XmlVariant {
public:
    XmlVariant() noexcept { ::VariantInit(&m_value); }
    XmlVariant(const XmlVariant&) = delete;
    XmlVariant& operator=(const XmlVariant&) = delete;
    ~XmlVariant() { ::VariantClear(&m_value); }

    static XmlVariant FromString(std::wstring_view text)
    {
        XmlVariant v;
        V_BSTR(&v.m_value) = fx::MakeBstr(text).release();
        V_VT(&v.m_value) = VT_BSTR;
        return v;
    }
    static XmlVariant FromBool(bool value) noexcept
    {
        XmlVariant v;
        V_VT(&v.m_value) = VT_BOOL;
        V_BOOL(&v.m_value) = value ? VARIANT_TRUE : VARIANT_FALSE;
        return v;
    }
    // Holds its own reference to the object.
    static XmlVariant FromDispatch(IDispatch* object) noexcept
    {
        XmlVariant v;
        if (object) {
            object->AddRef();
            V_VT(&v.m_value) = VT_DISPATCH;
            V_DISPATCH(&v.m_value) = object;
        }
        return v;
    }

    XmlVariant(XmlVariant&& other) noexcept : m_value(other.m_value) { ::VariantInit(&other.m_value); }

    const VARIANT& get() const noexcept { return m_value; }
    VARIANT* put() noexcept
    {
        ::VariantClear(&m_value);
        return &m_value;
    }
    bool IsNull() const noexcept { return V_VT(&m_value) == VT_NULL || V_VT(&m_value) == VT_EMPTY; }

    // The value as text; throws fx::ComError when it does not convert.
    std::wstring ToString() const
    {
        if (V_VT(&m_value) == VT_BSTR) {
            const BSTR b = V_BSTR(&m_value);
            return b ? std::wstring(b, ::SysStringLen(b)) : std::wstring();
        }
        XmlVariant text;
        fx::ThrowIfFailed(::VariantChangeType(text.put(), const_cast<VARIANT*>(&m_value), 0, VT_BSTR));
        return text.ToString();
    }

private:
    VARIANT m_value;
};
