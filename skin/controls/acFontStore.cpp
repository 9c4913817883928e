#include "skin/controls/acFontStore.h"

#include "platform/runtime/Exceptions.h"

TacEmbeddedFont::~TacEmbeddedFont() { UnLoadFont(); }

void TacEmbeddedFont::Assign(const TacEmbeddedFont& Source) {
  if (&Source == this) return;
  FFileName = Source.FFileName;
  FFontName = Source.FFontName;
  if (!Source.FontData->Bytes().empty()) FontData = std::make_unique<TMemoryStream>(Source.FontData->Bytes());
}

void TacEmbeddedFont::LoadFont() {
  UnLoadFont();
  const std::string& data = FontData->Bytes();
  if (data.empty()) return;
  DWORD fonts = 0;
  Handle = AddFontMemResourceEx(const_cast<char*>(data.data()), static_cast<DWORD>(data.size()), nullptr, &fonts);
}

void TacEmbeddedFont::UnLoadFont() {
  if (!Handle) return;
  RemoveFontMemResourceEx(Handle);
  Handle = nullptr;
}

void TacEmbeddedFont::ReadFontData(TStream& Stream) { FontData = std::make_unique<TMemoryStream>(Stream.ReadToEnd()); }

TacEmbeddedFont* TacEmbeddedFonts::Add() {
  FItems.push_back(std::make_unique<TacEmbeddedFont>());
  return FItems.back().get();
}

void TacEmbeddedFonts::Assign(const TacEmbeddedFonts& Source) {
  if (&Source == this) return;
  FItems.clear();
  for (int i = 0; i < Source.Count(); ++i) Add()->Assign(*Source.Items(i));
}

TacEmbeddedFont* TacEmbeddedFonts::Items(int Index) const {
  if (Index < 0 || Index >= Count())
    throw EArgumentOutOfRangeException(L"List index out of bounds (" + std::to_wstring(Index) + L")");
  return FItems[static_cast<std::size_t>(Index)].get();
}
