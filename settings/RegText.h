// Text as the registry, the host and the dialogs hold it: UTF-16 (WCHAR is
// wchar_t on Windows and char16_t in native builds).
#pragma once

#include <windows.h>

#include <string>

typedef std::basic_string<WCHAR> RegText;
