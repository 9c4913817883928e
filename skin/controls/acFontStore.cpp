#include "skin/controls/acFontStore.h"

TacEmbeddedFont::~TacEmbeddedFont() {
  if (Handle) RemoveFontMemResourceEx(Handle);
}

void TacEmbeddedFont::LoadFont() {
  if (Handle) {
    RemoveFontMemResourceEx(Handle);
    Handle = nullptr;
  }
  const std::string& data = FontData->Bytes();
  if (data.empty()) return;
  DWORD fonts = 0;
  Handle = AddFontMemResourceEx(const_cast<char*>(data.data()), static_cast<DWORD>(data.size()), nullptr, &fonts);
}

TacEmbeddedFont* TacEmbeddedFonts::Add() {
  FItems.push_back(std::make_unique<TacEmbeddedFont>());
  return FItems.back().get();
}
