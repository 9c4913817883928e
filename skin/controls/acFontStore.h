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

  // Copies the names, and the bytes only when Source holds any.
  void Assign(const TacEmbeddedFont& Source);
  // Registers FontData with the system and keeps the handle; empty data gets none (the
  // system registers nothing of no bytes, and the manager's skin fonts rely on that).
  // A font registered before is unregistered first.
  void LoadFont();
  // Unregisters the font.
  void UnLoadFont();
  // "FontData" as streamed: the stream's bytes from its position, no header of its own.
  void ReadFontData(TStream& Stream);
  void WriteFontData(TStream& Stream) const { Stream.Write(FontData->Bytes()); }

  std::unique_ptr<TMemoryStream> FontData = std::make_unique<TMemoryStream>();
  std::wstring FFontName;
  std::wstring FFileName;  // the file name without path
  HANDLE Handle = nullptr;
};

class TacEmbeddedFonts {
public:
  explicit TacEmbeddedFonts(TComponent* AOwner) : FOwner(AOwner) {}
  TacEmbeddedFont* Add();
  // Removes (and unregisters) every font, then adds a copy of each of Source's.
  void Assign(const TacEmbeddedFonts& Source);
  // Removes (and unregisters) every font.
  void Clear() { FItems.clear(); }
  int Count() const { return static_cast<int>(FItems.size()); }
  // Raises EArgumentOutOfRangeException for an index outside the collection.
  TacEmbeddedFont* Items(int Index) const;
  TacEmbeddedFont* GetItem(int Index) const { return Items(Index); }
  void SetItem(int Index, const TacEmbeddedFont& Value) { Items(Index)->Assign(Value); }
  TComponent* Owner() const { return FOwner; }

private:
  TComponent* FOwner;
  std::vector<std::unique_ptr<TacEmbeddedFont>> FItems;
};
