// wizard-driver: drives a running setup wizard from outside its process.
//
// One command per invocation; prints exactly one line of JSON (UTF-8) on stdout.
// Exit codes: 0 success, 1 timeout or not found, 2 usage error, 3 Win32 failure.
// See tools/wizard-driver/README.md for the command reference.

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr DWORD kPollMs = 20;
constexpr UINT kMessageTimeoutMs = 2000;
constexpr UINT kClickSendTimeoutMs = 5000;  // a handler may hide a window: 2 s under Wine without a WM
constexpr int kMessageBoxTextId = 0xFFFF;

enum ExitCode { kOk = 0, kNotFound = 1, kUsage = 2, kFailure = 3 };

// ---------------------------------------------------------------- JSON output

std::string Utf8(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned long cp = static_cast<unsigned short>(text[i]);
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size()) {
            unsigned long low = static_cast<unsigned short>(text[i + 1]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            } else {
                cp = 0xFFFD;
            }
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;  // lone surrogate
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

std::string Quote(const std::wstring& text) {
    std::string out = "\"";
    for (char c : Utf8(text)) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            case '\b': out += "\\b"; break;
            case '\f': out += "\\f"; break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned char>(c));
                    out += buf;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

std::string Number(unsigned long long value) { return std::to_string(value); }
std::string Bool(bool value) { return value ? "true" : "false"; }

// A JSON object built field by field, in insertion order.
class Object {
public:
    Object& Raw(const char* key, const std::string& json) {
        body_ += body_.empty() ? "" : ",";
        body_ += "\"";
        body_ += key;
        body_ += "\":";
        body_ += json;
        return *this;
    }
    Object& Str(const char* key, const std::wstring& value) { return Raw(key, Quote(value)); }
    Object& Num(const char* key, unsigned long long value) { return Raw(key, Number(value)); }
    Object& Flag(const char* key, bool value) { return Raw(key, Bool(value)); }
    std::string Json() const { return "{" + body_ + "}"; }

private:
    std::string body_;
};

std::string Array(const std::vector<std::string>& items) {
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i) out += (i ? "," : "") + items[i];
    return out + "]";
}

int Emit(const std::string& line, int code) {
    std::string text = line + "\n";
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD written = 0;
    if (out == nullptr || out == INVALID_HANDLE_VALUE ||
        !WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) {
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
    }
    return code;
}

int Fail(int code, const char* kind, const std::wstring& detail) {
    Object o;
    o.Str("error", std::wstring(kind, kind + std::strlen(kind))).Str("detail", detail);
    if (code == kFailure) o.Num("win32", GetLastError());
    return Emit(o.Json(), code);
}

// ---------------------------------------------------------------- window facts

unsigned long long HandleValue(HWND hwnd) {
    return static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(hwnd));
}

std::wstring ClassOf(HWND hwnd) {
    wchar_t buf[256] = {};
    GetClassNameW(hwnd, buf, 256);
    return buf;
}

// Text stored with the window, without sending it a message (safe if its thread is busy).
std::wstring StoredText(HWND hwnd) {
    std::vector<wchar_t> buf(4096, L'\0');
    int n = InternalGetWindowText(hwnd, buf.data(), static_cast<int>(buf.size()));
    return std::wstring(buf.data(), n > 0 ? static_cast<size_t>(n) : 0);
}

// Text as the control reports it (WM_GETTEXT, marshalled across processes).
std::wstring ControlText(HWND hwnd) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK,
                             kMessageTimeoutMs, &length))
        return StoredText(hwnd);
    std::vector<wchar_t> buf(length + 2, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()),
                             SMTO_ABORTIFHUNG | SMTO_BLOCK, kMessageTimeoutMs, &copied))
        return StoredText(hwnd);
    if (copied > buf.size() - 1) copied = buf.size() - 1;
    return std::wstring(buf.data(), copied);
}

DWORD PidOf(HWND hwnd) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    return pid;
}

BOOL CALLBACK Collect(HWND hwnd, LPARAM param) {
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
    return TRUE;
}

std::vector<HWND> TopLevelWindows() {
    std::vector<HWND> list;
    EnumWindows(Collect, reinterpret_cast<LPARAM>(&list));
    return list;
}

// All descendants, in the order EnumChildWindows gives them (depth first).
std::vector<HWND> Descendants(HWND parent) {
    std::vector<HWND> list;
    EnumChildWindows(parent, Collect, reinterpret_cast<LPARAM>(&list));
    return list;
}

bool IsDialog(HWND hwnd) { return ClassOf(hwnd) == L"#32770"; }

// A message box: a dialog whose only children are one static 65535 (the text), an optional
// icon static, and push buttons with the standard command ids (IDOK .. IDCONTINUE).
bool IsMessageBox(HWND hwnd) {
    if (!IsDialog(hwnd)) return false;
    int texts = 0, buttons = 0;
    for (HWND child : Descendants(hwnd)) {
        if (GetParent(child) != hwnd) return false;
        std::wstring cls = ClassOf(child);
        int id = GetDlgCtrlID(child);
        if (_wcsicmp(cls.c_str(), L"Static") == 0) {
            if (id == kMessageBoxTextId) ++texts;
            else if (id != 20 && id != 0x440) return false;  // icon: 20 on Windows, stc1 on Wine
        } else if (_wcsicmp(cls.c_str(), L"Button") == 0) {
            if (id < IDOK || id > IDCONTINUE) return false;
            ++buttons;
        } else {
            return false;
        }
    }
    return texts == 1 && buttons >= 1;
}

std::vector<int> ButtonIds(HWND hwnd) {
    std::vector<int> ids;
    for (HWND child : Descendants(hwnd))
        if (_wcsicmp(ClassOf(child).c_str(), L"Button") == 0 && IsWindowVisible(child))
            ids.push_back(GetDlgCtrlID(child));
    return ids;
}

std::string IdArray(const std::vector<int>& ids) {
    std::vector<std::string> items;
    for (int id : ids) items.push_back(std::to_string(id));
    return Array(items);
}

// A control by id anywhere below hwnd; a visible one is preferred (pages share ids).
HWND FindControl(HWND hwnd, int id) {
    HWND hidden = nullptr;
    for (HWND child : Descendants(hwnd)) {
        if (GetDlgCtrlID(child) != id) continue;
        if (IsWindowVisible(child)) return child;
        if (!hidden) hidden = child;
    }
    return hidden;
}

std::string CheckState(HWND hwnd) {
    if (_wcsicmp(ClassOf(hwnd).c_str(), L"Button") != 0) return "";
    LONG type = GetWindowLongW(hwnd, GWL_STYLE) & BS_TYPEMASK;
    if (type != BS_CHECKBOX && type != BS_AUTOCHECKBOX && type != BS_RADIOBUTTON &&
        type != BS_AUTORADIOBUTTON && type != BS_3STATE && type != BS_AUTO3STATE)
        return "";
    DWORD_PTR state = 0;
    if (!SendMessageTimeoutW(hwnd, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK,
                             kMessageTimeoutMs, &state))
        return "";
    return state == BST_CHECKED ? "true" : state == BST_UNCHECKED ? "false" : "\"indeterminate\"";
}

bool IsComboBox(HWND hwnd) { return _wcsicmp(ClassOf(hwnd).c_str(), L"ComboBox") == 0; }

// The item texts of a combo box (CB_GETLBTEXT is marshalled across processes for combo boxes
// that keep strings); stops at the first item that cannot be read.
std::vector<std::wstring> ComboItems(HWND combo) {
    std::vector<std::wstring> items;
    DWORD_PTR count = 0;
    if (!SendMessageTimeoutW(combo, CB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, kMessageTimeoutMs, &count) ||
        static_cast<LRESULT>(count) == CB_ERR)
        return items;
    for (DWORD_PTR i = 0; i < count; ++i) {
        DWORD_PTR length = 0;
        if (!SendMessageTimeoutW(combo, CB_GETLBTEXTLEN, i, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, kMessageTimeoutMs,
                                 &length) ||
            static_cast<LRESULT>(length) == CB_ERR)
            break;
        std::vector<wchar_t> buf(length + 1, L'\0');
        DWORD_PTR copied = 0;
        if (!SendMessageTimeoutW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(buf.data()),
                                 SMTO_ABORTIFHUNG | SMTO_BLOCK, kMessageTimeoutMs, &copied) ||
            static_cast<LRESULT>(copied) == CB_ERR)
            break;
        items.emplace_back(buf.data(), copied > length ? length : copied);
    }
    return items;
}

// The selected item's index, or -1.
long ComboSelection(HWND combo) {
    DWORD_PTR selection = 0;
    if (!SendMessageTimeoutW(combo, CB_GETCURSEL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, kMessageTimeoutMs,
                             &selection))
        return -1;
    return static_cast<LRESULT>(selection) == CB_ERR ? -1 : static_cast<long>(selection);
}

// ---------------------------------------------------------------- arguments

struct Args {
    std::wstring command;
    std::map<std::wstring, std::wstring> values;
    std::vector<std::wstring> flags;
    std::wstring bad;  // first problem found

    bool Has(const wchar_t* key) const { return values.count(key) != 0; }
    bool Flag(const wchar_t* key) const {
        for (const auto& f : flags)
            if (f == key) return true;
        return false;
    }
    const std::wstring& Get(const wchar_t* key) const { return values.at(key); }
};

const wchar_t* const kValueOptions[] = {L"--caption", L"--pid", L"--timeout", L"--hwnd",
                                        L"--id", L"--text", L"--kind", L"--file", L"--type"};
const wchar_t* const kFlagOptions[] = {L"--exact", L"--send", L"--command", L"--force"};

Args Parse(int argc, wchar_t** argv) {
    Args a;
    if (argc < 2) {
        a.bad = L"no command";
        return a;
    }
    a.command = argv[1];
    for (int i = 2; i < argc; ++i) {
        std::wstring opt = argv[i];
        bool known = false;
        for (const wchar_t* v : kValueOptions) {
            if (opt != v) continue;
            known = true;
            if (i + 1 >= argc) {
                if (a.bad.empty()) a.bad = L"missing value for " + opt;
            } else {
                a.values[opt] = argv[++i];
            }
        }
        for (const wchar_t* f : kFlagOptions) {
            if (opt != f) continue;
            known = true;
            a.flags.push_back(opt);
        }
        if (!known && a.bad.empty()) a.bad = L"unknown option " + opt;
    }
    return a;
}

bool ParseNumber(const std::wstring& text, unsigned long long& value) {
    if (text.empty()) return false;
    wchar_t* end = nullptr;
    errno = 0;
    value = std::wcstoull(text.c_str(), &end, 0);  // decimal, or 0x.. hexadecimal
    return errno == 0 && end && *end == L'\0' && text[0] != L'-';
}

// Reads a numeric option; returns false (and sets why) if it is present but malformed,
// or absent while required.
bool NumberOption(const Args& a, const wchar_t* key, bool required, unsigned long long& value,
                  std::wstring& why) {
    if (!a.Has(key)) {
        if (required) why = std::wstring(L"missing ") + key;
        return !required;
    }
    if (!ParseNumber(a.Get(key), value)) {
        why = std::wstring(L"bad number for ") + key + L": " + a.Get(key);
        return false;
    }
    return true;
}

// ---------------------------------------------------------------- commands

bool CaptionMatches(const std::wstring& caption, const Args& a) {
    if (!a.Has(L"--caption")) return true;
    const std::wstring& want = a.Get(L"--caption");
    return a.Flag(L"--exact") ? caption == want : caption.find(want) != std::wstring::npos;
}

std::string DescribeTopLevel(HWND hwnd) {
    Object o;
    o.Num("hwnd", HandleValue(hwnd)).Str("caption", StoredText(hwnd)).Num("pid", PidOf(hwnd));
    o.Num("owner", HandleValue(GetWindow(hwnd, GW_OWNER)));
    return o.Json();
}

// Polls until pick() returns a window or the timeout passes.
template <class Pick>
HWND WaitFor(DWORD timeoutMs, Pick pick) {
    DWORD start = GetTickCount();
    for (;;) {
        if (HWND found = pick()) return found;
        if (GetTickCount() - start >= timeoutMs) return nullptr;
        Sleep(kPollMs);
    }
}

int CmdWaitWindow(const Args& a, DWORD timeout, DWORD pid, bool messageBox) {
    std::wstring kind = a.Has(L"--kind") ? a.Get(L"--kind") : (messageBox ? L"messagebox" : L"dialog");
    if (kind != L"dialog" && kind != L"messagebox" && kind != L"any")
        return Fail(kUsage, "usage", L"--kind must be dialog, messagebox or any");
    HWND found = WaitFor(timeout, [&]() -> HWND {
        for (HWND hwnd : TopLevelWindows()) {
            if (!IsWindowVisible(hwnd) || !IsDialog(hwnd)) continue;
            if (pid && PidOf(hwnd) != pid) continue;
            if (!CaptionMatches(StoredText(hwnd), a)) continue;
            if (kind != L"any" && IsMessageBox(hwnd) != (kind == L"messagebox")) continue;
            return hwnd;
        }
        return nullptr;
    });
    if (!found) return Fail(kNotFound, "timeout", L"no matching window appeared");
    if (!messageBox) return Emit(DescribeTopLevel(found), kOk);
    Object o;
    o.Num("hwnd", HandleValue(found)).Str("caption", StoredText(found)).Num("pid", PidOf(found));
    o.Num("owner", HandleValue(GetWindow(found, GW_OWNER)));
    HWND text = GetDlgItem(found, kMessageBoxTextId);
    o.Str("text", text ? ControlText(text) : L"").Raw("buttons", IdArray(ButtonIds(found)));
    return Emit(o.Json(), kOk);
}

// The control named by --id under hwnd (hwnd itself without --id); non-zero after reporting the
// failure when there is no such control.
int ResolveId(const Args& a, HWND hwnd, HWND* target) {
    if (!a.Has(L"--id")) return 0;
    unsigned long long id = 0;
    if (!ParseNumber(a.Get(L"--id"), id)) return Fail(kUsage, "usage", L"bad --id");
    *target = FindControl(hwnd, static_cast<int>(id));
    if (!*target) return Fail(kNotFound, "not-found", L"no control with id " + a.Get(L"--id"));
    return 0;
}

int CmdClick(const Args& a, HWND hwnd, DWORD sendTimeoutMs) {
    HWND target = hwnd;
    if (int error = ResolveId(a, hwnd, &target)) return error;
    if (!a.Flag(L"--force")) {
        if (!IsWindowVisible(target)) return Fail(kNotFound, "hidden", L"control is not visible");
        if (!IsWindowEnabled(target)) return Fail(kNotFound, "disabled", L"control is disabled");
    }
    int id = GetDlgCtrlID(target);
    const char* how = "post";
    if (a.Flag(L"--command")) {
        // What a click ends in, sent straight to the parent (does not toggle check boxes).
        how = "command";
        HWND parent = GetParent(target);
        if (!PostMessageW(parent, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(target)))
            return Fail(kFailure, "failed", L"PostMessage WM_COMMAND");
    } else if (a.Flag(L"--send")) {
        // Waits until the handler returns; times out if the click opens a modal loop.
        how = "send";
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutW(target, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, sendTimeoutMs, &result))
            return Fail(kNotFound, "timeout", L"BM_CLICK was not handled in time");
    } else if (!PostMessageW(target, BM_CLICK, 0, 0)) {
        return Fail(kFailure, "failed", L"PostMessage BM_CLICK");
    }
    Object o;
    o.Num("hwnd", HandleValue(target)).Num("id", static_cast<unsigned>(id) & 0xFFFF).Str("text", StoredText(target));
    return Emit(o.Raw("method", std::string("\"") + how + "\"").Json(), kOk);
}

// Picks the combo box item whose text is --text, as a user's choice does: the selection moves and
// the parent hears CBN_SELCHANGE (sent, so its handler has run when this returns).
int CmdSelect(const Args& a, HWND hwnd) {
    HWND combo = hwnd;
    if (int error = ResolveId(a, hwnd, &combo)) return error;
    if (!IsComboBox(combo)) return Fail(kUsage, "usage", L"not a combo box");
    if (!a.Has(L"--text")) return Fail(kUsage, "usage", L"missing --text");
    if (!IsWindowEnabled(combo)) return Fail(kNotFound, "disabled", L"combo box is disabled");
    const std::vector<std::wstring> items = ComboItems(combo);
    size_t index = 0;
    while (index < items.size() && items[index] != a.Get(L"--text")) ++index;
    if (index == items.size()) return Fail(kNotFound, "not-found", L"no item " + a.Get(L"--text"));
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(combo, CB_SETCURSEL, index, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, kMessageTimeoutMs,
                             &result) ||
        static_cast<LRESULT>(result) == CB_ERR)
        return Fail(kFailure, "failed", L"CB_SETCURSEL");
    const int id = GetDlgCtrlID(combo);
    if (!SendMessageTimeoutW(GetParent(combo), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                             reinterpret_cast<LPARAM>(combo), SMTO_ABORTIFHUNG, kClickSendTimeoutMs, &result))
        return Fail(kNotFound, "timeout", L"CBN_SELCHANGE was not handled in time");
    Object o;
    o.Num("hwnd", HandleValue(combo)).Num("id", static_cast<unsigned>(id) & 0xFFFF).Num("selection", index);
    return Emit(o.Str("text", items[index]).Json(), kOk);
}

int CmdText(const Args& a, HWND hwnd) {
    HWND target = hwnd;
    if (int error = ResolveId(a, hwnd, &target)) return error;
    Object o;
    o.Num("hwnd", HandleValue(target)).Str("text", ControlText(target));
    o.Flag("visible", IsWindowVisible(target) != FALSE).Flag("enabled", IsWindowEnabled(target) != FALSE);
    return Emit(o.Json(), kOk);
}

std::string DescribeChild(HWND child) {
    Object o;
    o.Num("hwnd", HandleValue(child)).Num("parent", HandleValue(GetParent(child)));
    o.Num("id", static_cast<unsigned>(GetDlgCtrlID(child)) & 0xFFFF).Str("class", ClassOf(child));
    o.Str("text", ControlText(child));
    o.Flag("visible", IsWindowVisible(child) != FALSE).Flag("enabled", IsWindowEnabled(child) != FALSE);
    o.Num("style", static_cast<DWORD>(GetWindowLongW(child, GWL_STYLE)));
    std::string checked = CheckState(child);
    if (!checked.empty()) o.Raw("checked", checked);
    if (IsComboBox(child)) {
        std::vector<std::string> items;
        for (const auto& item : ComboItems(child)) items.push_back(Quote(item));
        o.Raw("items", Array(items)).Raw("selection", std::to_string(ComboSelection(child)));
    }
    return o.Json();
}

int CmdChildren(HWND hwnd) {
    std::vector<std::string> items;
    for (HWND child : Descendants(hwnd)) items.push_back(DescribeChild(child));
    Object o;
    return Emit(o.Num("hwnd", HandleValue(hwnd)).Raw("children", Array(items)).Json(), kOk);
}

int CmdWaitControl(const Args& a, HWND hwnd, DWORD timeout) {
    unsigned long long id = 0;
    if (!a.Has(L"--id") || !ParseNumber(a.Get(L"--id"), id)) return Fail(kUsage, "usage", L"missing or bad --id");
    HWND found = WaitFor(timeout, [&]() -> HWND {
        if (!IsWindow(hwnd)) return nullptr;
        for (HWND child : Descendants(hwnd)) {
            if (GetDlgCtrlID(child) != static_cast<int>(id) || !IsWindowVisible(child)) continue;
            if (a.Has(L"--text")) {
                std::wstring text = ControlText(child);
                const std::wstring& want = a.Get(L"--text");
                if (a.Flag(L"--exact") ? text != want : text.find(want) == std::wstring::npos) continue;
            }
            return child;
        }
        return nullptr;
    });
    if (!found) return Fail(kNotFound, "timeout", L"no matching visible control appeared");
    return Emit(DescribeChild(found), kOk);
}

int CmdWindows(DWORD pid) {
    std::vector<std::string> items;
    for (HWND hwnd : TopLevelWindows()) {
        if (pid && PidOf(hwnd) != pid) continue;
        Object o;
        o.Num("hwnd", HandleValue(hwnd)).Str("class", ClassOf(hwnd)).Str("caption", StoredText(hwnd));
        o.Flag("visible", IsWindowVisible(hwnd) != FALSE).Num("pid", PidOf(hwnd));
        o.Num("owner", HandleValue(GetWindow(hwnd, GW_OWNER))).Flag("messagebox", IsMessageBox(hwnd));
        items.push_back(o.Json());
    }
    Object o;
    o.Num("foreground", HandleValue(GetForegroundWindow())).Raw("windows", Array(items));
    return Emit(o.Json(), kOk);
}

int CmdWaitGone(HWND hwnd, DWORD timeout) {
    DWORD start = GetTickCount();
    while (IsWindow(hwnd)) {
        if (GetTickCount() - start >= timeout) return Fail(kNotFound, "timeout", L"window still exists");
        Sleep(kPollMs);
    }
    Object o;
    return Emit(o.Num("hwnd", HandleValue(hwnd)).Flag("gone", true).Json(), kOk);
}

// {"path"[, "unix"]}: a folder, and under Wine also its host path.
int EmitFolder(const std::wstring& path) {
    Object o;
    o.Str("path", path);
    using ToUnix = char*(CDECL*)(LPCWSTR);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    auto toUnix = kernel ? reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
                               GetProcAddress(kernel, "wine_get_unix_file_name")))
                         : nullptr;
    if (toUnix) {
        if (char* unix = toUnix(path.c_str())) {
            int wide = MultiByteToWideChar(CP_UTF8, 0, unix, -1, nullptr, 0);
            std::wstring text(wide > 0 ? wide - 1 : 0, L'\0');
            if (wide > 1) MultiByteToWideChar(CP_UTF8, 0, unix, -1, &text[0], wide);
            o.Str("unix", text);
            HeapFree(GetProcessHeap(), 0, unix);
        }
    }
    return Emit(o.Json(), kOk);
}

int CmdTempPath() {
    wchar_t buf[MAX_PATH + 1] = {};
    DWORD n = GetTempPathW(MAX_PATH + 1, buf);
    if (n == 0 || n > MAX_PATH) return Fail(kFailure, "failed", L"GetTempPathW");
    return EmitFolder(buf);
}

// The current user's Downloads folder, as SHGetKnownFolderPath gives it to a program.
int CmdDownloadsPath() {
    wchar_t* path = nullptr;
    const HRESULT result = SHGetKnownFolderPath(FOLDERID_Downloads, 0, nullptr, &path);
    const std::wstring folder = SUCCEEDED(result) && path ? path : L"";
    CoTaskMemFree(path);
    if (folder.empty()) return Fail(kFailure, "failed", L"SHGetKnownFolderPath(FOLDERID_Downloads)");
    return EmitFolder(folder);
}

struct ResourceNames {
    std::vector<std::string> ids;
    std::vector<std::string> names;
};

BOOL CALLBACK CollectResource(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param) {
    auto* found = reinterpret_cast<ResourceNames*>(param);
    if (IS_INTRESOURCE(name))
        found->ids.push_back(std::to_string(reinterpret_cast<ULONG_PTR>(name)));
    else
        found->names.push_back(Quote(name));
    return TRUE;
}

// The resource ids of one type in a module file, e.g. the dialog templates of an exe.
int CmdResources(const Args& a) {
    if (!a.Has(L"--file")) return Fail(kUsage, "usage", L"missing --file");
    unsigned long long type = 5;  // RT_DIALOG
    if (a.Has(L"--type") && (!ParseNumber(a.Get(L"--type"), type) || type == 0 || type > 0xFFFF))
        return Fail(kUsage, "usage", L"bad --type");
    HMODULE module = LoadLibraryExW(a.Get(L"--file").c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!module) return Fail(kFailure, "failed", L"cannot load " + a.Get(L"--file"));
    ResourceNames found;
    if (!EnumResourceNamesW(module, MAKEINTRESOURCEW(type), CollectResource, reinterpret_cast<LONG_PTR>(&found)) &&
        GetLastError() != ERROR_RESOURCE_TYPE_NOT_FOUND) {
        DWORD error = GetLastError();
        FreeLibrary(module);
        SetLastError(error);
        return Fail(kFailure, "failed", L"EnumResourceNamesW");
    }
    FreeLibrary(module);
    Object o;
    o.Str("file", a.Get(L"--file")).Num("type", type).Raw("ids", Array(found.ids)).Raw("names", Array(found.names));
    return Emit(o.Json(), kOk);
}

const wchar_t kUsageText[] =
    L"wizard-driver COMMAND [options]; commands: "
    L"wait-window --caption TEXT [--exact] [--pid PID] [--kind dialog|messagebox|any] --timeout MS | "
    L"wait-messagebox [--caption TEXT] [--exact] [--pid PID] --timeout MS | "
    L"click --hwnd H [--id ID] [--send [--timeout MS]|--command] [--force] | close --hwnd H | "
    L"select --hwnd H --id ID --text TEXT | text --hwnd H [--id ID] | children --hwnd H | "
    L"wait-control --hwnd H --id ID [--text TEXT] [--exact] --timeout MS | "
    L"windows [--pid PID] | wait-gone --hwnd H --timeout MS | temp-path | downloads-path | "
    L"resources --file PATH [--type N]";

int Run(const Args& a) {
    if (!a.bad.empty()) return Fail(kUsage, "usage", a.bad + L". " + kUsageText);
    const std::wstring& cmd = a.command;
    bool needsWindow = cmd == L"click" || cmd == L"close" || cmd == L"select" || cmd == L"text" ||
                       cmd == L"children" || cmd == L"wait-control" || cmd == L"wait-gone";
    bool needsTimeout = cmd == L"wait-window" || cmd == L"wait-messagebox" || cmd == L"wait-control" ||
                        cmd == L"wait-gone";

    std::wstring why;
    unsigned long long hwndValue = 0, pid = 0, timeout = 0;
    if (!NumberOption(a, L"--hwnd", needsWindow, hwndValue, why) ||
        !NumberOption(a, L"--pid", false, pid, why) ||
        !NumberOption(a, L"--timeout", needsTimeout, timeout, why))
        return Fail(kUsage, "usage", why);
    if (timeout > 0x7FFFFFFF) return Fail(kUsage, "usage", L"--timeout too large");
    if (cmd == L"wait-window" && !a.Has(L"--caption")) return Fail(kUsage, "usage", L"missing --caption");

    HWND hwnd = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(hwndValue));
    if (needsWindow && cmd != L"wait-gone" && !IsWindow(hwnd))
        return Fail(kNotFound, "not-found", L"no such window");

    DWORD ms = static_cast<DWORD>(timeout);
    DWORD forPid = static_cast<DWORD>(pid);
    if (cmd == L"wait-window") return CmdWaitWindow(a, ms, forPid, false);
    if (cmd == L"wait-messagebox") return CmdWaitWindow(a, ms, forPid, true);
    if (cmd == L"click") return CmdClick(a, hwnd, a.Has(L"--timeout") ? ms : kClickSendTimeoutMs);
    if (cmd == L"close") {
        if (!PostMessageW(hwnd, WM_CLOSE, 0, 0)) return Fail(kFailure, "failed", L"PostMessage WM_CLOSE");
        Object o;
        return Emit(o.Num("hwnd", HandleValue(hwnd)).Flag("posted", true).Json(), kOk);
    }
    if (cmd == L"select") return CmdSelect(a, hwnd);
    if (cmd == L"text") return CmdText(a, hwnd);
    if (cmd == L"children") return CmdChildren(hwnd);
    if (cmd == L"wait-control") return CmdWaitControl(a, hwnd, ms);
    if (cmd == L"windows") return CmdWindows(forPid);
    if (cmd == L"wait-gone") return CmdWaitGone(hwnd, ms);
    if (cmd == L"temp-path") return CmdTempPath();
    if (cmd == L"downloads-path") return CmdDownloadsPath();
    if (cmd == L"resources") return CmdResources(a);
    return Fail(kUsage, "usage", L"unknown command " + cmd + L". " + kUsageText);
}

}  // namespace

int wmain(int argc, wchar_t** argv) { return Run(Parse(argc, argv)); }
