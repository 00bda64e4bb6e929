// Reading and writing one string value under HKEY_CURRENT_USER. Key paths are
// relative to HKEY_CURRENT_USER and may use "/" or "\" as separator.
#pragma once

#include "settings/RegText.h"

#include <cstdint>

// 0 when the value was read into `value`; -1 when the key or value is
// missing, cannot be opened, or holds more than 255 bytes (a string of more
// than 126 characters), and `value` is then left as it was. The value's type
// is not looked at: its data is taken as UTF-16 up to its first null.
int32_t RegReadString(RegText keyPath, RegText valueName, RegText& value);

// Creates the key and any missing parents, and stores `value` as REG_SZ with
// its terminating null. 0 on success, -1 on failure.
int32_t RegWriteString(RegText keyPath, RegText valueName, RegText value);
