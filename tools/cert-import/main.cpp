// cert-import: puts a certificate into the machine's trusted Root store of the Wine prefix it
// runs in (the test CA of the local content service), lists that store, or takes one out again.
//
//   cert-import add FILE        add (or replace) the certificate of FILE (DER, or PEM)
//   cert-import has FILE        exit 0 when the store holds it, 1 when not
//   cert-import remove FILE     delete it from the store
//   cert-import list [TEXT]     the store's certificates whose subject contains TEXT
//
// Prints exactly one line of JSON (UTF-8) on stdout. Exit codes: 0 success, 1 not found,
// 2 usage error, 3 Win32 failure.

#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

enum ExitCode { kOk = 0, kNotFound = 1, kUsage = 2, kFailure = 3 };
constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                nullptr);
    std::string out(n > 0 ? n : 0, '\0');
    if (n > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    }
    return out;
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}

int Fail(const char* what, DWORD error) {
    std::printf("{\"ok\":false,\"error\":%s,\"code\":%lu}\n", JsonString(what).c_str(),
                static_cast<unsigned long>(error));
    return kFailure;
}

// ---------------------------------------------------------------- handles

class Store {
public:
    Store()
        : store_(CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root")) {}
    ~Store() {
        if (store_) CertCloseStore(store_, 0);
    }
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;
    HCERTSTORE get() const { return store_; }

private:
    HCERTSTORE store_;
};

class CertContext {
public:
    explicit CertContext(PCCERT_CONTEXT context = nullptr) : context_(context) {}
    ~CertContext() {
        if (context_) CertFreeCertificateContext(context_);
    }
    CertContext(const CertContext&) = delete;
    CertContext& operator=(const CertContext&) = delete;
    PCCERT_CONTEXT get() const { return context_; }
    PCCERT_CONTEXT release() {
        PCCERT_CONTEXT c = context_;
        context_ = nullptr;
        return c;
    }

private:
    PCCERT_CONTEXT context_;
};

// ---------------------------------------------------------------- certificates

// The DER bytes of FILE: taken as they are, or decoded when the file is PEM.
bool ReadCertificate(const wchar_t* path, std::vector<BYTE>& der, DWORD& error) {
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return false;
    }
    std::vector<BYTE> bytes;
    BYTE buffer[4096];
    DWORD read = 0;
    bool ok = true;
    while ((ok = ReadFile(file, buffer, sizeof buffer, &read, nullptr) != FALSE) && read > 0) {
        bytes.insert(bytes.end(), buffer, buffer + read);
    }
    error = ok ? 0 : GetLastError();
    CloseHandle(file);
    if (!ok) return false;
    static const char kPem[] = "-----BEGIN";
    if (bytes.size() > sizeof kPem && std::string(bytes.begin(), bytes.begin() + sizeof kPem - 1) == kPem) {
        DWORD size = 0;
        const char* text = reinterpret_cast<const char*>(bytes.data());
        DWORD length = static_cast<DWORD>(bytes.size());
        if (!CryptStringToBinaryA(text, length, CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr)) {
            error = GetLastError();
            return false;
        }
        der.resize(size);
        if (!CryptStringToBinaryA(text, length, CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr, nullptr)) {
            error = GetLastError();
            return false;
        }
        der.resize(size);
    } else {
        der.swap(bytes);
    }
    return true;
}

std::wstring Subject(PCCERT_CONTEXT cert) {
    DWORD n = CertGetNameStringW(cert, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, nullptr, 0);
    if (n <= 1) return {};
    std::wstring name(n, L'\0');
    CertGetNameStringW(cert, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, &name[0], n);
    name.resize(n - 1);
    return name;
}

std::string Sha1(PCCERT_CONTEXT cert) {
    BYTE hash[20];
    DWORD size = sizeof hash;
    if (!CertGetCertificateContextProperty(cert, CERT_SHA1_HASH_PROP_ID, hash, &size)) return {};
    std::string hex;
    char buf[3];
    for (DWORD i = 0; i < size; ++i) {
        std::snprintf(buf, sizeof buf, "%02x", hash[i]);
        hex += buf;
    }
    return hex;
}

std::string Describe(PCCERT_CONTEXT cert) {
    return "{\"subject\":" + JsonString(Utf8(Subject(cert))) + ",\"sha1\":" + JsonString(Sha1(cert)) + "}";
}

// The store's copy of the certificate DER, or null.
PCCERT_CONTEXT FindInStore(HCERTSTORE store, const std::vector<BYTE>& der) {
    CertContext probe(CertCreateCertificateContext(kEncoding, der.data(), static_cast<DWORD>(der.size())));
    if (!probe.get()) return nullptr;
    return CertFindCertificateInStore(store, kEncoding, 0, CERT_FIND_EXISTING, probe.get(), nullptr);
}

// ---------------------------------------------------------------- commands

int Add(const wchar_t* path) {
    std::vector<BYTE> der;
    DWORD error = 0;
    if (!ReadCertificate(path, der, error)) return Fail("cannot read the certificate file", error);
    Store store;
    if (!store.get()) return Fail("CertOpenStore failed", GetLastError());
    PCCERT_CONTEXT added = nullptr;
    if (!CertAddEncodedCertificateToStore(store.get(), kEncoding, der.data(), static_cast<DWORD>(der.size()),
                                          CERT_STORE_ADD_REPLACE_EXISTING, &added)) {
        return Fail("CertAddEncodedCertificateToStore failed", GetLastError());
    }
    CertContext cert(added);
    std::printf("{\"ok\":true,\"added\":%s}\n", Describe(cert.get()).c_str());
    return kOk;
}

int Has(const wchar_t* path) {
    std::vector<BYTE> der;
    DWORD error = 0;
    if (!ReadCertificate(path, der, error)) return Fail("cannot read the certificate file", error);
    Store store;
    if (!store.get()) return Fail("CertOpenStore failed", GetLastError());
    CertContext found(FindInStore(store.get(), der));
    if (!found.get()) {
        std::printf("{\"ok\":false,\"found\":false}\n");
        return kNotFound;
    }
    std::printf("{\"ok\":true,\"found\":%s}\n", Describe(found.get()).c_str());
    return kOk;
}

int Remove(const wchar_t* path) {
    std::vector<BYTE> der;
    DWORD error = 0;
    if (!ReadCertificate(path, der, error)) return Fail("cannot read the certificate file", error);
    Store store;
    if (!store.get()) return Fail("CertOpenStore failed", GetLastError());
    CertContext found(FindInStore(store.get(), der));
    if (!found.get()) {
        std::printf("{\"ok\":false,\"found\":false}\n");
        return kNotFound;
    }
    std::string described = Describe(found.get());
    // CertDeleteCertificateFromStore frees the context whatever it returns.
    if (!CertDeleteCertificateFromStore(found.release())) {
        return Fail("CertDeleteCertificateFromStore failed", GetLastError());
    }
    // Wine writes a system store back to the registry only on an explicit commit.
    if (!CertControlStore(store.get(), 0, CERT_STORE_CTRL_COMMIT, nullptr)) {
        return Fail("CertControlStore(commit) failed", GetLastError());
    }
    std::printf("{\"ok\":true,\"removed\":%s}\n", described.c_str());
    return kOk;
}

int List(const wchar_t* filter) {
    Store store;
    if (!store.get()) return Fail("CertOpenStore failed", GetLastError());
    std::string out = "{\"ok\":true,\"certificates\":[";
    bool first = true;
    PCCERT_CONTEXT cert = nullptr;
    while ((cert = CertEnumCertificatesInStore(store.get(), cert)) != nullptr) {
        if (filter && *filter && Subject(cert).find(filter) == std::wstring::npos) continue;
        if (!first) out += ",";
        out += Describe(cert);
        first = false;
    }
    std::printf("%s]}\n", out.c_str());
    return kOk;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: cert-import add FILE | has FILE | remove FILE | list [TEXT]\n"
                 "  FILE: a certificate, DER or PEM; the store is the machine's Root store\n");
    return kUsage;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return Usage();
    const std::wstring command = argv[1];
    if (command == L"list" && argc <= 3) return List(argc == 3 ? argv[2] : nullptr);
    if (argc != 3) return Usage();
    if (command == L"add") return Add(argv[2]);
    if (command == L"has") return Has(argv[2]);
    if (command == L"remove") return Remove(argv[2]);
    return Usage();
}
