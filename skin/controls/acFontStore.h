#pragma once
// Fonts carried by skins, registered with the system from memory so that they are usable
// by name in this process while the skin is loaded.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/runtime/Streams.h"

class TComponent;

class TacEmbeddedFont {
public:
  TacEmbeddedFont() = default;
  // Unregisters the font.
  ~TacEmbeddedFont();
  TacEmbeddedFont(const TacEmbeddedFont&) = delete;
  TacEmbeddedFont& operator=(const TacEmbeddedFont&) = delete;

  // Registers FontData with the system and keeps the handle; empty data gets none.
  void LoadFont();

  std::unique_ptr<TMemoryStream> FontData = std::make_unique<TMemoryStream>();
  std::wstring FFontName;
  std::wstring FFileName;  // the file name without path
  HANDLE Handle = nullptr;
};

class TacEmbeddedFonts {
public:
  explicit TacEmbeddedFonts(TComponent* AOwner) : FOwner(AOwner) {}
  TacEmbeddedFont* Add();
  // Removes (and unregisters) every font.
  void Clear() { FItems.clear(); }
  int Count() const { return static_cast<int>(FItems.size()); }
  TacEmbeddedFont* Items(int Index) const { return FItems.at(static_cast<std::size_t>(Index)).get(); }
  TComponent* Owner() const { return FOwner; }

private:
  TComponent* FOwner;
  std::vector<std::unique_ptr<TacEmbeddedFont>> FItems;
};
