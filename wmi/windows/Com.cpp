#include "wmi/windows/Com.h"

#include <wbemdisp.h>

#include "base/Utf8.h"
#include "wmi/WbemErrors.h"
#include "wmi/windows/VariantValue.h"

namespace tolvex::windows {

namespace {

// WbemScripting.SWbemLastError; not in MinGW's uuid library.
constexpr CLSID kSWbemLastError = {
    0xc2feeeac, 0xcfcd, 0x11d1, {0x8b, 0x05, 0x00, 0x60, 0x08, 0x06, 0xd9, 0xb6}};

std::string errorInfoDescription() {
    ComRef<IErrorInfo> info;
    if (GetErrorInfo(0, info.put()) != S_OK || !info) {
        return {};
    }
    Bstr description;
    if (FAILED(info->GetDescription(description.put()))) {
        return {};
    }
    return description.utf8();
}

// The scripting interface keeps the last error's extended status in an
// SWbemLastError object, when the service gave one.
std::string lastErrorDescription() {
    ComRef<ISWbemObject> lastError;
    if (FAILED(CoCreateInstance(kSWbemLastError, nullptr, CLSCTX_INPROC_SERVER,
                                __uuidof(ISWbemObject),
                                reinterpret_cast<void**>(lastError.put()))) ||
        !lastError) {
        return {};
    }
    ComRef<ISWbemPropertySet> properties;
    ComRef<ISWbemProperty> property;
    Variant value;
    Bstr name("Description");
    if (FAILED(lastError->get_Properties_(properties.put())) || !properties ||
        FAILED(properties->Item(name.get(), 0, property.put())) || !property ||
        FAILED(property->get_Value(value.get())) || value.value().vt != VT_BSTR) {
        return {};
    }
    return winvariant::utf16ToUtf8(value.value().bstrVal);
}

bool blank(const std::string& text) {
    return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

}  // namespace

Bstr::Bstr(std::string_view text) {
    // A byte that is not UTF-8 becomes U+FFFD, as everywhere in the program.
    const std::u16string utf16 = utf8::toUtf16(text);
    m_s = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(utf16.data()),
                            static_cast<UINT>(utf16.size()));
    if (m_s == nullptr) {
        throw comFailure(E_OUTOFMEMORY);
    }
}

std::string Bstr::utf8() const {
    return winvariant::utf16ToUtf8(m_s);
}

Failure comFailure(HRESULT hr) {
    std::string description = errorInfoDescription();
    if (blank(description)) {
        description = lastErrorDescription();
    }
    if (blank(description)) {
        description = wbemErrorText(static_cast<std::uint32_t>(hr));
    }
    return Failure(description);
}

}  // namespace tolvex::windows
