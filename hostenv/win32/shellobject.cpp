// "WScript.Shell" through late binding, as a script would call it.
#include <windows.h>

#include <objbase.h>
#include <oleauto.h>

#include "hostenv/failure.h"
#include "hostenv/win32/win32platform.h"
#include "systemerror.h"

namespace hostenv::win32 {

namespace {

std::wstring widetext(const std::string& text) {
    const int length = static_cast<int>(text.size());
    const int needed = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(needed), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), length, wide.data(), needed);
    return wide;
}

std::string ansitext(const wchar_t* wide, int length) {
    const int needed = WideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(needed), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide, length, text.data(), needed, nullptr, nullptr);
    return text;
}

// A VARIANT that is cleared however the call ends.
struct Variant {
    VARIANT value;
    Variant() { VariantInit(&value); }
    ~Variant() { VariantClear(&value); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
};

std::string variantastext(VARIANT& value) {
    Variant text;
    const HRESULT changed = VariantChangeType(&text.value, &value, 0, VT_BSTR);
    if (FAILED(changed)) throw Failure("RegRead: value is not text\r\n" + hresultreason(changed));
    const BSTR bstr = text.value.bstrVal;
    return ansitext(bstr, static_cast<int>(SysStringLen(bstr)));
}

std::string exceptiontext(EXCEPINFO& exception, HRESULT result) {
    if (exception.pfnDeferredFillIn != nullptr) exception.pfnDeferredFillIn(&exception);
    std::string text;
    if (exception.bstrDescription != nullptr) {
        text = ansitext(exception.bstrDescription,
                        static_cast<int>(SysStringLen(exception.bstrDescription)));
    }
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    return text.empty() ? hresultreason(result) : text;
}

class WScriptShell : public ShellObject {
  public:
    explicit WScriptShell(IDispatch* shell) : shell_(shell) {}
    ~WScriptShell() override {
        shell_->Release();
        CoUninitialize();
    }
    WScriptShell(const WScriptShell&) = delete;
    WScriptShell& operator=(const WScriptShell&) = delete;

    std::string RegRead(const std::string& key) override {
        wchar_t methodname[] = L"RegRead";
        LPOLESTR names[] = {methodname};
        DISPID method = 0;
        HRESULT result = shell_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &method);
        if (FAILED(result)) throw Failure("RegRead: " + hresultreason(result));

        Variant argument;
        argument.value.vt = VT_BSTR;
        const std::wstring widekey = widetext(key);
        argument.value.bstrVal =
            SysAllocStringLen(widekey.data(), static_cast<UINT>(widekey.size()));
        DISPPARAMS parameters{&argument.value, nullptr, 1, 0};
        Variant answer;
        EXCEPINFO exception{};
        UINT badargument = 0;
        result = shell_->Invoke(method, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &parameters,
                                &answer.value, &exception, &badargument);
        if (FAILED(result)) {
            throw Failure("RegRead " + key + "\r\n" + exceptiontext(exception, result));
        }
        return variantastext(answer.value);
    }

  private:
    IDispatch* shell_;
};

}  // namespace

std::unique_ptr<ShellObject> Win32Platform::createshell() {
    const HRESULT initialised = CoInitialize(nullptr);
    if (FAILED(initialised)) {
        throw Failure("Cannot create \"WScript.Shell\"\r\n" + hresultreason(initialised));
    }
    CLSID classid{};
    IDispatch* shell = nullptr;
    HRESULT result = CLSIDFromProgID(L"WScript.Shell", &classid);
    if (SUCCEEDED(result)) {
        result = CoCreateInstance(classid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                  IID_IDispatch, reinterpret_cast<void**>(&shell));
    }
    if (FAILED(result)) {
        CoUninitialize();
        throw Failure("Cannot create \"WScript.Shell\"\r\n" + hresultreason(result));
    }
    return std::make_unique<WScriptShell>(shell);
}

}  // namespace hostenv::win32
