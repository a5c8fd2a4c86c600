// The step that puts a written temporary in place of an existing file on Windows.
#pragma once

#include <windows.h>

namespace hrv {

// ReplaceFileW's signature.
using ReplaceFileCall = BOOL(WINAPI*)(LPCWSTR replaced, LPCWSTR replacement, LPCWSTR backup,
                                      DWORD flags, LPVOID exclude, LPVOID reserved);

// What WriteFileAtomic replaces an existing file with: ::ReplaceFileW, or a stand-in of the tests
// that fails half-way as Windows does while another program holds the new file.
extern ReplaceFileCall replaceFileCall;

} // namespace hrv
