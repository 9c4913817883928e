#include "platform/runtime/Resources.h"
#include "platform/runtime/Exceptions.h"

namespace {
HRSRC FindRCData(HMODULE instance, const std::wstring& name) {
  return FindResourceW(instance ? instance : GetModuleHandleW(nullptr), name.c_str(), MAKEINTRESOURCEW(10));
}

std::string ResourceBytes(HMODULE instance, const std::wstring& name) {
  if (!instance) instance = GetModuleHandleW(nullptr);
  HRSRC info = FindRCData(instance, name);
  if (!info) throw EResNotFound(L"Resource " + name + L" not found");
  HGLOBAL loaded = LoadResource(instance, info);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  const DWORD size = SizeofResource(instance, info);
  if (!data && size) throw EResNotFound(L"Resource " + name + L" cannot be loaded");
  return std::string(static_cast<const char*>(data), size);
}
}  // namespace

TResourceStream::TResourceStream(HMODULE Instance, const std::wstring& ResName)
    : TMemoryStream(ResourceBytes(Instance, ResName)) {}

bool RCDataExists(HMODULE Instance, const std::wstring& ResName) { return FindRCData(Instance, ResName) != nullptr; }
