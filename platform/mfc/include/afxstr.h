// CString: the framework's UTF-16 string, holding its text by value.
#pragma once

#include <windows.h>

#include <string>

class CString {
public:
    CString() = default;
    CString(const CString&) = default;
    CString(CString&&) noexcept = default;
    CString(const wchar_t* text) : m_str(text != nullptr ? text : L"") {}
    CString(const wchar_t* text, int length);
    CString(wchar_t ch, int repeat = 1);
    // Narrow text is taken in the ANSI code page, as the framework does.
    CString(const char* text);

    CString& operator=(const CString&) = default;
    CString& operator=(CString&&) noexcept = default;
    CString& operator=(const wchar_t* text);
    CString& operator=(wchar_t ch);

    operator const wchar_t*() const { return m_str.c_str(); }
    const wchar_t* GetString() const { return m_str.c_str(); }

    int GetLength() const { return static_cast<int>(m_str.size()); }
    BOOL IsEmpty() const { return m_str.empty() ? TRUE : FALSE; }
    void Empty() { m_str.clear(); }

    wchar_t GetAt(int index) const { return m_str.at(static_cast<size_t>(index)); }
    wchar_t operator[](int index) const { return GetAt(index); }
    void SetAt(int index, wchar_t ch) { m_str.at(static_cast<size_t>(index)) = ch; }

    // Ordinal comparison; <0, 0 or >0.
    int Compare(const wchar_t* text) const;
    // Comparison ignoring letter case (_wcsicmp rules); <0, 0 or >0.
    int CompareNoCase(const wchar_t* text) const;

    CString& operator+=(const CString& text);
    CString& operator+=(const wchar_t* text);
    CString& operator+=(wchar_t ch);

    void Format(const wchar_t* format, ...);
    void AppendFormat(const wchar_t* format, ...);

    CString Left(int count) const;
    CString Right(int count) const;
    CString Mid(int first) const;
    CString Mid(int first, int count) const;
    // Position of the first match at or after `start`, or -1.
    int Find(wchar_t ch, int start = 0) const;
    int Find(const wchar_t* sub, int start = 0) const;
    int Replace(const wchar_t* oldText, const wchar_t* newText);

    CString& MakeUpper();
    CString& MakeLower();
    CString& Trim();
    CString& TrimLeft();
    CString& TrimRight();

    // Writable buffer of at least `minLength` characters; ReleaseBuffer fixes
    // the length (-1: up to the first NUL).
    wchar_t* GetBuffer(int minLength);
    wchar_t* GetBuffer() { return GetBuffer(0); }
    wchar_t* GetBufferSetLength(int length);
    void ReleaseBuffer(int newLength = -1);

    friend CString operator+(const CString& a, const CString& b);
    friend CString operator+(const CString& a, const wchar_t* b);
    friend CString operator+(const wchar_t* a, const CString& b);
    friend CString operator+(const CString& a, wchar_t b);

    friend bool operator==(const CString& a, const CString& b) { return a.m_str == b.m_str; }
    friend bool operator==(const CString& a, const wchar_t* b) { return a.Compare(b) == 0; }
    friend bool operator==(const wchar_t* a, const CString& b) { return b.Compare(a) == 0; }
    friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }
    friend bool operator!=(const CString& a, const wchar_t* b) { return !(a == b); }
    friend bool operator!=(const wchar_t* a, const CString& b) { return !(a == b); }
    friend bool operator<(const CString& a, const CString& b) { return a.m_str < b.m_str; }

private:
    void FormatV(const wchar_t* format, va_list args, bool append);

    std::wstring m_str;
};
