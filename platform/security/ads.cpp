// Directory objects over the account database's directory records.
#include "security/ads.h"

#include <atomic>
#include <memory>

#include "base/text.h"
#include "security/account_database.h"
#include "security/security_errors.h"

namespace {

using plat::security::DirectoryObject;
using Directory = std::shared_ptr<const std::vector<DirectoryObject>>;

constexpr HRESULT kNoSuchObject = static_cast<HRESULT>(0x80072030u);  // ERROR_DS_NO_SUCH_OBJECT
constexpr std::u16string_view kScheme = u"LDAP://";

thread_local int t_comInits = 0;
thread_local DWORD t_lastAdsError = 0;

// Reference counting and QueryInterface for one object; `Self` lists the
// interfaces it answers in Supports.
template <typename Interface>
class ComObject : public Interface {
public:
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override {
        const ULONG left = --m_refs;
        if (left == 0) delete this;
        return left;
    }
    HRESULT QueryInterface(const GUID& iid, void** out) override {
        if (!out) return E_POINTER;
        *out = Find(iid);
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }

protected:
    virtual void* Find(const GUID& iid) { return iid == IID_IUnknown ? static_cast<IUnknown*>(this) : nullptr; }

private:
    std::atomic<ULONG> m_refs{1};
};

// The IADs part of every directory object.
template <typename Interface>
class AdsBase : public ComObject<Interface> {
public:
    AdsBase(DirectoryObject object, Directory directory) : m_object(std::move(object)), m_directory(std::move(directory)) {}
    HRESULT get_Name(std::u16string* out) override { return Give(m_object.name, out); }
    HRESULT get_Class(std::u16string* out) override { return Give(m_object.objectClass, out); }
    HRESULT get_ADsPath(std::u16string* out) override { return Give(m_object.path, out); }
    HRESULT Get(const std::u16string& property, VARIANT* out) override {
        if (!out) return E_POINTER;
        VariantInit(out);
        if (plat::EqualsNoCase(property, u"objectSid")) {
            if (m_object.sid.empty()) return E_ADS_PROPERTY_NOT_FOUND;
            out->vt = VT_ARRAY | VT_UI1;
            out->bytes = m_object.sid;
            return S_OK;
        }
        const std::u16string* text = StringProperty(property);
        if (!text) return E_ADS_PROPERTY_NOT_FOUND;
        out->vt = VT_BSTR;
        out->bstrVal = *text;
        return S_OK;
    }

protected:
    void* Find(const GUID& iid) override {
        return iid == IID_IADs ? static_cast<IADs*>(this) : ComObject<Interface>::Find(iid);
    }
    static HRESULT Give(const std::u16string& value, std::u16string* out) {
        if (!out) return E_POINTER;
        *out = value;
        return S_OK;
    }
    const std::u16string* StringProperty(const std::u16string& property) const {
        if (plat::EqualsNoCase(property, u"cn") || plat::EqualsNoCase(property, u"name")) return &m_object.name;
        if (plat::EqualsNoCase(property, u"ADsPath")) return &m_object.path;
        if (plat::EqualsNoCase(property, u"objectClass")) return &m_object.objectClass;
        if (plat::EqualsNoCase(property, u"displayName")) return &m_object.fullName;
        return nullptr;
    }

    DirectoryObject m_object;
    Directory m_directory;
};

IUnknown* MakeObject(const DirectoryObject& object, const Directory& directory);

class AdsOther final : public AdsBase<IADs> {
public:
    using AdsBase::AdsBase;
};

class AdsUser final : public AdsBase<IADsUser> {
public:
    using AdsBase::AdsBase;
    HRESULT get_FullName(std::u16string* out) override { return Give(m_object.fullName, out); }

protected:
    void* Find(const GUID& iid) override {
        return iid == IID_IADsUser ? static_cast<IADsUser*>(this) : AdsBase::Find(iid);
    }
};

class MemberEnum final : public ComObject<IEnumVARIANT> {
public:
    MemberEnum(std::vector<DirectoryObject> members, Directory directory)
        : m_members(std::move(members)), m_directory(std::move(directory)) {}
    HRESULT Next(ULONG count, VARIANT* out, ULONG* fetched) override {
        if (!out) return E_POINTER;
        ULONG n = 0;
        for (; n < count && m_next < m_members.size(); ++n, ++m_next) {
            VariantInit(&out[n]);
            out[n].vt = VT_DISPATCH;
            out[n].pdispVal = MakeObject(m_members[m_next], m_directory);
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }

protected:
    void* Find(const GUID& iid) override {
        return iid == IID_IEnumVARIANT ? static_cast<IEnumVARIANT*>(this) : ComObject::Find(iid);
    }

private:
    std::vector<DirectoryObject> m_members;
    Directory m_directory;
    std::size_t m_next = 0;
};

class Members final : public ComObject<IADsMembers> {
public:
    Members(std::vector<DirectoryObject> members, Directory directory)
        : m_members(std::move(members)), m_directory(std::move(directory)) {}
    HRESULT get__NewEnum(IUnknown** out) override {
        if (!out) return E_POINTER;
        *out = static_cast<IEnumVARIANT*>(new MemberEnum(m_members, m_directory));
        return S_OK;
    }

protected:
    void* Find(const GUID& iid) override {
        return iid == IID_IADsMembers ? static_cast<IADsMembers*>(this) : ComObject::Find(iid);
    }

private:
    std::vector<DirectoryObject> m_members;
    Directory m_directory;
};

class AdsGroup final : public AdsBase<IADsGroup> {
public:
    using AdsBase::AdsBase;
    // Members whose path the directory does not hold are left out.
    HRESULT Members(IADsMembers** out) override {
        if (!out) return E_POINTER;
        std::vector<DirectoryObject> members;
        for (const auto& path : m_object.members)
            for (const auto& o : *m_directory)
                if (plat::EqualsNoCase(o.path, path)) members.push_back(o);
        *out = new ::Members(std::move(members), m_directory);
        return S_OK;
    }

protected:
    void* Find(const GUID& iid) override {
        return iid == IID_IADsGroup ? static_cast<IADsGroup*>(this) : AdsBase::Find(iid);
    }
};

struct Search {
    std::vector<DirectoryObject> rows;
    std::size_t next = 0;  // one past the current row
};

// The root object of a host's directory: IADs and IDirectorySearch.
class HostObject final : public AdsBase<IADs>, public IDirectorySearch {
public:
    using AdsBase::AdsBase;
    ULONG AddRef() override { return AdsBase::AddRef(); }
    ULONG Release() override { return AdsBase::Release(); }
    HRESULT QueryInterface(const GUID& iid, void** out) override { return AdsBase::QueryInterface(iid, out); }

    HRESULT ExecuteSearch(const WCHAR* filter, const WCHAR* const*, DWORD, ADS_SEARCH_HANDLE* handle) override {
        if (!filter || !handle) return E_INVALIDARG;
        std::u16string f(filter);
        while (!f.empty() && f.front() == u'(') f.erase(0, 1);
        while (!f.empty() && f.back() == u')') f.pop_back();
        const auto eq = f.find(u'=');
        if (eq == std::u16string::npos) return E_INVALIDARG;
        const std::u16string attr = f.substr(0, eq), value = f.substr(eq + 1);
        auto search = std::make_unique<Search>();
        for (const auto& o : *m_directory) {
            const std::u16string* field = StringPropertyOf(o, attr);
            if (field && (value == u"*" || plat::EqualsNoCase(*field, value))) search->rows.push_back(o);
        }
        *handle = search.release();
        t_lastAdsError = 0;
        return S_OK;
    }
    HRESULT GetNextRow(ADS_SEARCH_HANDLE handle) override {
        auto* s = static_cast<Search*>(handle);
        if (!s) return E_INVALIDARG;
        if (s->next >= s->rows.size()) return S_ADS_NOMORE_ROWS;
        ++s->next;
        return S_OK;
    }
    HRESULT GetColumn(ADS_SEARCH_HANDLE handle, const WCHAR* name, ADS_SEARCH_COLUMN* column) override {
        auto* s = static_cast<Search*>(handle);
        if (!s || !name || !column) return E_INVALIDARG;
        if (s->next == 0) return E_ADS_PROPERTY_NOT_FOUND;
        const std::u16string* value = StringPropertyOf(s->rows[s->next - 1], name);
        if (!value) return E_ADS_PROPERTY_NOT_FOUND;
        column->pszAttrName = name;
        column->values.assign(1, *value);
        return S_OK;
    }
    HRESULT FreeColumn(ADS_SEARCH_COLUMN* column) override {
        if (!column) return E_INVALIDARG;
        *column = ADS_SEARCH_COLUMN{};
        return S_OK;
    }
    HRESULT CloseSearchHandle(ADS_SEARCH_HANDLE handle) override {
        delete static_cast<Search*>(handle);
        return S_OK;
    }

protected:
    void* Find(const GUID& iid) override {
        return iid == IID_IDirectorySearch ? static_cast<IDirectorySearch*>(this) : AdsBase::Find(iid);
    }

private:
    static const std::u16string* StringPropertyOf(const DirectoryObject& o, const std::u16string& attr) {
        if (plat::EqualsNoCase(attr, u"cn") || plat::EqualsNoCase(attr, u"name")) return &o.name;
        if (plat::EqualsNoCase(attr, u"ADsPath")) return &o.path;
        if (plat::EqualsNoCase(attr, u"objectClass")) return &o.objectClass;
        return nullptr;
    }
};

IUnknown* MakeObject(const DirectoryObject& object, const Directory& directory) {
    if (plat::EqualsNoCase(object.objectClass, u"user")) return static_cast<IADs*>(new AdsUser(object, directory));
    if (plat::EqualsNoCase(object.objectClass, u"group")) return static_cast<IADs*>(new AdsGroup(object, directory));
    return static_cast<IADs*>(new AdsOther(object, directory));
}

HRESULT Fail(HRESULT hr) {
    t_lastAdsError = static_cast<DWORD>(hr);
    return hr;
}

}  // namespace

void VariantInit(VARIANT* v) {
    if (v) *v = VARIANT{};
}

HRESULT VariantClear(VARIANT* v) {
    if (!v) return E_POINTER;
    if (v->vt == VT_DISPATCH && v->pdispVal) v->pdispVal->Release();
    *v = VARIANT{};
    return S_OK;
}

HRESULT CoInitialize(void*) {
    return t_comInits++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
    if (t_comInits > 0) --t_comInits;
}

HRESULT ADsGetObject(const WCHAR* path, const GUID& iid, void** out) {
    if (!path || !out) return E_POINTER;
    *out = nullptr;
    if (t_comInits == 0) return Fail(CO_E_NOTINITIALIZED);
    const std::u16string full(path);
    if (!plat::StartsWithNoCase(full, kScheme)) return Fail(E_ADS_BAD_PATHNAME);
    const std::u16string rest = full.substr(kScheme.size());
    const std::u16string host = rest.substr(0, rest.find(u'/'));
    if (host.empty()) return Fail(E_ADS_BAD_PATHNAME);
    auto directory = std::make_shared<std::vector<DirectoryObject>>();
    const HRESULT hr = plat::security::CurrentAccountDatabase().Directory(
        plat::security::NormalizeHost(host.c_str()), directory.get());
    if (FAILED(hr)) return Fail(hr);
    IUnknown* object = nullptr;
    if (rest == host) {
        object = static_cast<IADs*>(new HostObject(DirectoryObject{full, u"domainDNS", host, host, {}, {}}, directory));
    } else {
        for (const auto& o : *directory)
            if (plat::EqualsNoCase(o.path, full)) object = MakeObject(o, directory);
    }
    if (!object) return Fail(kNoSuchObject);
    const HRESULT qi = object->QueryInterface(iid, out);
    object->Release();
    t_lastAdsError = 0;
    return qi;
}

HRESULT ADsEnumerateNext(IEnumVARIANT* e, ULONG count, VARIANT* out, ULONG* fetched) {
    if (!e) return E_POINTER;
    return e->Next(count, out, fetched);
}

HRESULT ADsGetLastError(DWORD* error, WCHAR* buffer, DWORD buffer_chars, WCHAR* provider, DWORD provider_chars) {
    if (!error) return E_POINTER;
    *error = t_lastAdsError;
    if (buffer && buffer_chars) buffer[0] = 0;
    if (provider && provider_chars) provider[0] = 0;
    return S_OK;
}
