#include <afxstr.h>

#include <cstdarg>
#include <cwchar>
#include <cwctype>
#include <stdio.h>

CString::CString(const wchar_t* text, int length) {
    if (text != nullptr && length > 0) {
        m_str.assign(text, static_cast<size_t>(length));
    }
}

CString::CString(wchar_t ch, int repeat) {
    if (repeat > 0) {
        m_str.assign(static_cast<size_t>(repeat), ch);
    }
}

CString::CString(const char* text) {
    if (text == nullptr || *text == '\0') {
        return;
    }
    const int needed = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (needed > 1) {
        m_str.resize(static_cast<size_t>(needed));
        ::MultiByteToWideChar(CP_ACP, 0, text, -1, m_str.data(), needed);
        m_str.resize(static_cast<size_t>(needed - 1));
    }
}

CString& CString::operator=(const wchar_t* text) {
    // The text may point into this string.
    std::wstring copy(text != nullptr ? text : L"");
    m_str.swap(copy);
    return *this;
}

CString& CString::operator=(wchar_t ch) {
    m_str.assign(1, ch);
    return *this;
}

int CString::Compare(const wchar_t* text) const {
    return std::wcscmp(m_str.c_str(), text != nullptr ? text : L"");
}

int CString::CompareNoCase(const wchar_t* text) const {
    return ::_wcsicmp(m_str.c_str(), text != nullptr ? text : L"");
}

CString& CString::operator+=(const CString& text) {
    m_str += text.m_str;
    return *this;
}

CString& CString::operator+=(const wchar_t* text) {
    if (text != nullptr) {
        m_str += std::wstring(text);
    }
    return *this;
}

CString& CString::operator+=(wchar_t ch) {
    m_str += ch;
    return *this;
}

CString operator+(const CString& a, const CString& b) {
    CString r(a);
    r += b;
    return r;
}

CString operator+(const CString& a, const wchar_t* b) {
    CString r(a);
    r += b;
    return r;
}

CString operator+(const wchar_t* a, const CString& b) {
    CString r(a);
    r += b;
    return r;
}

CString operator+(const CString& a, wchar_t b) {
    CString r(a);
    r += b;
    return r;
}

void CString::FormatV(const wchar_t* format, va_list args, bool append) {
    // The system's formatting: %s takes a wide string, as in the framework.
    va_list count;
    va_copy(count, args);
    const int length = ::_vscwprintf(format, count);
    va_end(count);
    if (length < 0) {
        if (!append) {
            m_str.clear();
        }
        return;
    }
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    ::_vsnwprintf(text.data(), text.size(), format, args);
    text.resize(static_cast<size_t>(length));
    if (append) {
        m_str += text;
    } else {
        m_str.swap(text);
    }
}

void CString::Format(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    FormatV(format, args, false);
    va_end(args);
}

void CString::AppendFormat(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    FormatV(format, args, true);
    va_end(args);
}

CString CString::Left(int count) const {
    if (count <= 0) {
        return CString();
    }
    return CString(m_str.substr(0, static_cast<size_t>(count)).c_str());
}

CString CString::Right(int count) const {
    if (count <= 0) {
        return CString();
    }
    if (count >= GetLength()) {
        return *this;
    }
    return CString(m_str.substr(m_str.size() - static_cast<size_t>(count)).c_str());
}

CString CString::Mid(int first) const {
    return Mid(first, GetLength());
}

CString CString::Mid(int first, int count) const {
    if (first < 0) {
        first = 0;
    }
    if (count <= 0 || first >= GetLength()) {
        return CString();
    }
    const std::wstring part = m_str.substr(static_cast<size_t>(first), static_cast<size_t>(count));
    return CString(part.c_str(), static_cast<int>(part.size()));
}

int CString::Find(wchar_t ch, int start) const {
    if (start < 0 || start >= GetLength()) {
        return -1;
    }
    const size_t pos = m_str.find(ch, static_cast<size_t>(start));
    return pos == std::wstring::npos ? -1 : static_cast<int>(pos);
}

int CString::Find(const wchar_t* sub, int start) const {
    if (sub == nullptr || start < 0 || start > GetLength()) {
        return -1;
    }
    const size_t pos = m_str.find(sub, static_cast<size_t>(start));
    return pos == std::wstring::npos ? -1 : static_cast<int>(pos);
}

int CString::Replace(const wchar_t* oldText, const wchar_t* newText) {
    if (oldText == nullptr || *oldText == L'\0') {
        return 0;
    }
    const std::wstring from(oldText);
    const std::wstring to(newText != nullptr ? newText : L"");
    int replaced = 0;
    size_t pos = 0;
    while ((pos = m_str.find(from, pos)) != std::wstring::npos) {
        m_str.replace(pos, from.size(), to);
        pos += to.size();
        ++replaced;
    }
    return replaced;
}

CString& CString::MakeUpper() {
    for (wchar_t& c : m_str) {
        c = static_cast<wchar_t>(std::towupper(c));
    }
    return *this;
}

CString& CString::MakeLower() {
    for (wchar_t& c : m_str) {
        c = static_cast<wchar_t>(std::towlower(c));
    }
    return *this;
}

CString& CString::Trim() {
    return TrimRight().TrimLeft();
}

CString& CString::TrimLeft() {
    size_t i = 0;
    while (i < m_str.size() && std::iswspace(m_str[i])) {
        ++i;
    }
    m_str.erase(0, i);
    return *this;
}

CString& CString::TrimRight() {
    while (!m_str.empty() && std::iswspace(m_str.back())) {
        m_str.pop_back();
    }
    return *this;
}

wchar_t* CString::GetBuffer(int minLength) {
    if (minLength > GetLength()) {
        m_str.resize(static_cast<size_t>(minLength));
    }
    return m_str.data();
}

wchar_t* CString::GetBufferSetLength(int length) {
    m_str.resize(static_cast<size_t>(length > 0 ? length : 0));
    return m_str.data();
}

void CString::ReleaseBuffer(int newLength) {
    if (newLength < 0) {
        m_str.resize(std::wcslen(m_str.c_str()));
    } else if (static_cast<size_t>(newLength) <= m_str.size()) {
        m_str.resize(static_cast<size_t>(newLength));
    }
}
