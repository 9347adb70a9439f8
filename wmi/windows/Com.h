#pragma once

// Small owners for COM pointers, BSTRs and VARIANTs, and the failure a
// failed call becomes.

#include <windows.h>
// after windows.h, which it needs
#include <oleauto.h>

#include <string>
#include <string_view>
#include <utility>

#include "wmi/Failure.h"

namespace tolvex::windows {

// Holds one reference to a COM interface and releases it.
template <class T>
class ComRef {
  public:
    ComRef() = default;
    ~ComRef() { reset(); }
    ComRef(const ComRef& other) : m_p(other.m_p) {
        if (m_p != nullptr) {
            m_p->AddRef();
        }
    }
    ComRef(ComRef&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    ComRef& operator=(ComRef other) noexcept {
        std::swap(m_p, other.m_p);
        return *this;
    }

    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    // For out-parameters: releases what is held and hands out the slot.
    T** put() {
        reset();
        return &m_p;
    }
    void reset() {
        if (m_p != nullptr) {
            std::exchange(m_p, nullptr)->Release();
        }
    }

  private:
    T* m_p = nullptr;
};

// Holds a BSTR and frees it.
class Bstr {
  public:
    Bstr() = default;
    explicit Bstr(std::string_view text);
    ~Bstr() { SysFreeString(m_s); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;

    BSTR get() const { return m_s; }
    BSTR* put() {
        SysFreeString(m_s);
        m_s = nullptr;
        return &m_s;
    }
    std::string utf8() const;

  private:
    BSTR m_s = nullptr;
};

// Holds a VARIANT and clears it.
class Variant {
  public:
    Variant() { VariantInit(&m_v); }
    ~Variant() { VariantClear(&m_v); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;

    VARIANT* get() { return &m_v; }
    const VARIANT& value() const { return m_v; }
    VARIANT* put() {
        VariantClear(&m_v);
        return &m_v;
    }

  private:
    VARIANT m_v;
};

// The failure for a call that answered hr: the service's own description
// where it left one (the thread's error information, then SWbemLastError),
// otherwise words for the code.
Failure comFailure(HRESULT hr);

// Throws comFailure(hr) when hr is a failure code.
inline void check(HRESULT hr) {
    if (FAILED(hr)) {
        throw comFailure(hr);
    }
}

}  // namespace tolvex::windows
