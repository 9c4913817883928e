#pragma once
// Data resources (RCDATA) linked into a module, read by name.
#include "platform/runtime/Streams.h"
#include <string>

#include <windows.h>

// A memory stream holding a copy of one RCDATA resource of the module (the running
// executable by default). Raises EResNotFound when the module has no such resource.
class TResourceStream : public TMemoryStream {
public:
  TResourceStream(HMODULE Instance, const std::wstring& ResName);
};

// True when the module carries an RCDATA resource of that name.
bool RCDataExists(HMODULE Instance, const std::wstring& ResName);
