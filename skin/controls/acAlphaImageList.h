#pragma once
// The engine's image lists. TacImageList is their common base: a framework image list that
// registers itself process-wide and hands out 32-bit bitmaps with alpha at any size.
// TsAlphaImageList keeps the bytes of every image file it was given (PNG, ICO or 32-bit BMP)
// as the truth, rebuilds the system image list from them, and renders each image at any
// requested size from its bytes, keeping the last size per item.
#include <memory>
#include <string>
#include <vector>

#include "platform/runtime/Streams.h"
#include "platform/ui/Graphics.h"
#include "platform/ui/ImgList.h"

class TacImageList : public TCustomImageList {
public:
  explicit TacImageList(TComponent* AOwner, int AWidth = 16, int AHeight = 16);
  ~TacImageList() override;
  std::wstring ClassName() const override { return L"TacImageList"; }

  // The colour an icon-font list draws its glyphs in while a bitmap is made (clNone: none).
  TColor ForeColor = clNone;
  int PixelsPerInch = 96;
  // Bitmaps from the list are copied instead of blended by their alpha.
  bool IgnoreTransparency = false;

  // A new 32-bit bitmap of the image at Width x Height, owned by the caller; nullptr when
  // there is none. GlyphHeight is the character height of icon-font lists (0: their own).
  virtual TBitmap* CreateBitmap32(int Index, int Width, int Height, int GlyphHeight = 0) = 0;
  // Fills Image at its current size; true on success.
  virtual bool GetBitmap32(int Index, TBitmap* Image, int GlyphHeight = 0) = 0;

  // Puts Bmp into the system list at the list's size: Index -1 appends, any other replaces.
  void StoreBitmap(TBitmap* Bmp, int Index);
  // The real images travel in the items: the stream form is an empty placeholder list.
  void ReadData(TStream& Stream) override;
  void WriteData(TStream& Stream) override;
  // The system list made again from the items.
  virtual void GenerateStdList() = 0;

  bool AcChanging = false;         // a batch runs: no change notifications
  bool StdListIsGenerated = false;
  // The size the list was loaded with: the system list is made at it (0: not yet known).
  int SavedHeight = 0;
  int SavedWidth = 0;

protected:
  // The size end of Loaded: a size that was saved makes the system list again; with
  // ResetDefaultSize a list still at 16 x 16 does too; the size now is kept as the saved one.
  void LoadedSizes(bool ResetDefaultSize);
  // The last step of Loaded: the system list is generated once and the users told.
  void GenerateOnce();
  // Width (Index 1) or height (0) set; a loaded list keeps it as its saved size and the
  // system list goes, to be made at the new size. True when the images are due again.
  bool ChangeSize(int Index, int Value);
  // The size to make the system list at: the saved one (taken now once loaded), else the
  // current one; false for a size of nothing.
  bool ListSize(int& W, int& H);
  bool Loading() const { return (ComponentState() & csLoading) != 0; }

  bool FLoaded = false;
};

// Every live TacImageList, in order of construction.
std::vector<TacImageList*>& ImageListRegistry();
// Calls Proc(list, Value) for every registered list.
void ForEachImageList(void (*Proc)(TComponent* List, int Value), int Value);
// The pixel density of an alpha list always, of an icon-font list when it scales.
void SetImageListPPI(TComponent* List, int PPI);

enum TsImageFormat { ifPNG, ifICO, ifBMP32 };

class TsAlphaImageList;

class TsImgListItem {
public:
  TsImgListItem();
  ~TsImgListItem();
  // Copies format, name, pixel format, source size, text and bytes.
  void Assign(const TsImgListItem& Source);

  std::wstring Text;
  std::wstring ImageName;
  TsImageFormat ImageFormat = ifPNG;
  TPixelFormat PixelFormat = pf32bit;
  int OrigWidth = 0;
  int OrigHeight = 0;
  // The last size rendered, or nullptr.
  std::unique_ptr<TBitmap> CacheBmp;
  // The image file's bytes exactly as read ("ImgData": the whole stream, no header of its own).
  TMemoryStream ImgData;
  void ReadImgData(TStream& Stream);
  void WriteImgData(TStream& Stream);
};

class TsImgListItems {
public:
  explicit TsImgListItems(TsAlphaImageList* Owner) : FOwner(Owner) {}
  TsAlphaImageList* GetOwner() const { return FOwner; }
  int Count() const { return static_cast<int>(FItems.size()); }
  TsImgListItem* GetItem(int Index) const;
  void SetItem(int Index, const TsImgListItem& Value);
  TsImgListItem* Add();
  void Delete(int Index);
  void Move(int CurIndex, int NewIndex);
  void Clear() { FItems.clear(); }

private:
  TsAlphaImageList* FOwner;
  std::vector<std::unique_ptr<TsImgListItem>> FItems;
};

class TsAlphaImageList : public TacImageList {
public:
  explicit TsAlphaImageList(TComponent* AOwner, int AWidth = 16, int AHeight = 16);
  ~TsAlphaImageList() override;
  std::wstring ClassName() const override { return L"TsAlphaImageList"; }
  void AfterConstruction() override;
  void Loaded() override;

  void SetWidth(int Value) override { SetSize(1, Value); }
  void SetHeight(int Value) override { SetSize(0, Value); }
  TColor BkColor() const override;
  void SetBkColor(TColor Value) override;
  bool UseCache() const { return FUseCache; }
  void SetUseCache(bool Value);
  TsImgListItems& Items() { return FItems; }
  void SetItems(const TsImgListItems& Value);

  void Assign(TCustomImageList* Source) override;
  void AssignTo(TCustomImageList* Dest);
  void CopyImages(TsAlphaImageList* Source);
  void Clear() override;
  void Delete(int Index);
  void MoveItem(int CurIndex, int NewIndex);
  // The image as a 32-bit BMP item; its index or -1.
  int Add(TBitmap* Image, TBitmap* Mask);
  // A copy of Source's item Index appended; the new count, -1 for a bad index.
  int AddImage(TCustomImageList* Source, int Index);
  void Replace(int Index, TBitmap* Bmp32);
  void LoadFromFile(const std::wstring& FileName);
  bool TryLoadFromFile(const std::wstring& FileName);
  void LoadFromPngStream(TStream& Stream);
  // The stream's bytes from its position as a PNG item; false (nothing added) on any error.
  bool TryLoadFromPngStream(TStream& Stream);
  void GenerateStdList() override;
  void UpdateFromStd();
  // Takes the icon size of another system list.
  void SetNewDimensions(HIMAGELIST Value);
  void AcBeginUpdate() { AcChanging = true; }
  void AcEndUpdate(bool DoChange = true);

  int GetCount() override;
  void Change() override;
  void DoDraw(int Index, TCanvas* Canvas, int X, int Y, UINT Style, bool Enabled) override;
  TBitmap* CreateBitmap32(int Index, int Width, int Height, int GlyphHeight = 0) override;
  bool GetBitmap32(int Index, TBitmap* Image, int GlyphHeight = 0) override;

  bool StdMode = false;
  bool DoubleData = true;
  bool FAllowScale = true;

protected:
  HIMAGELIST CreateListHandle() override;
  void FreeListHandle() override;

private:
  void SetSize(int Index, int Value);
  // The image of an item decoded at its own size (PNG or BMP32); raises on bad bytes.
  std::unique_ptr<TBitmap> DecodeItem(TsImgListItem& Item, bool KeepTransparent = false);
  // The system list's icon Index as a 32-bit bitmap of Width x Height (alpha from the mask
  // when WithMask); nullptr when there is no icon.
  std::unique_ptr<TBitmap> SystemIconBitmap(int Index, int Width, int Height, bool WithMask);

  bool FUseCache = true;
  TsImgListItems FItems;
  TColor FOwnBkColor = clNone;
  int FSavedScale = 0;
};

// ---------------------------------------------------------------------------
// Icon-font image lists
// ---------------------------------------------------------------------------

class TsCharImageList;

// The embedded fonts of an icon-font list. Unlike the skin manager's fonts (acFontStore),
// a font stays registered for the life of the process once an item registered it.
namespace acAlphaImageList {

class TacEmbeddedFont {
public:
  TacEmbeddedFont() = default;
  void Assign(const TacEmbeddedFont& Source);
  // Registers non-empty FontData for one font; Handle stays nullptr otherwise.
  void LoadFont();
  void UnLoadFont();
  void ReadFontData(TStream& Stream);
  void WriteFontData(TStream& Stream) { Stream.Write(FontData.Bytes()); }
  TMemoryStream FontData;
  std::wstring FontName;
  std::wstring FileName;
  HANDLE Handle = nullptr;
};

class TacEmbeddedFonts {
public:
  explicit TacEmbeddedFonts(TComponent* AOwner) : FOwner(AOwner) {}
  // Clears; an empty source, or one whose first font holds data, first gets an item named
  // "FontAwesome" without data (the icon font from the resources); then copies of every font.
  void Assign(const TacEmbeddedFonts& Source);
  TacEmbeddedFont* Add();
  int Count() const { return static_cast<int>(FItems.size()); }
  TacEmbeddedFont* GetItem(int Index) const;
  void SetItem(int Index, const TacEmbeddedFont& Value) { GetItem(Index)->Assign(Value); }
  void Clear() { FItems.clear(); }
  TComponent* Owner() const { return FOwner; }

private:
  TComponent* FOwner;
  std::vector<std::unique_ptr<TacEmbeddedFont>> FItems;
};

}  // namespace acAlphaImageList

// What a new glyph is made of (AddItem).
struct TacCharItemData {
  wchar_t Char = 0;
  std::wstring FontName = L"FontAwesome";
  std::uint8_t Charset = 1;
  TColor Color = clNone;
  int Orientation = 0;
  std::uint8_t Pitch = 0;  // DEFAULT_PITCH
  unsigned Style = 0;      // TFontStyle bits
  double ScalingFactor = 1.0;
  int OffsetY = 0;
};

class TacCharListItem {
public:
  explicit TacCharListItem(TsCharImageList* Owner) : FOwner(Owner) {}
  void Assign(const TacCharListItem& Source);
  // Frees the cache and tells the list.
  void Invalidate();
  // The rendered glyph at the list's PixelsPerInch, from the cache while it fits.
  TBitmap* ReadImage();

  wchar_t Char() const { return FChar; }
  void SetChar(wchar_t Value);
  TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  // NaN reads as 1; negative or absurd factors are limited to 0..MaxScalingFactor (0 is
  // repaired from the font's metrics when the list is loaded).
  double ScalingFactor() const { return FScalingFactor; }
  void SetScalingFactor(double Value);
  int OffsetY() const { return FOffsetY; }
  void SetOffsetY(int Value);
  const std::wstring& FontName() const { return FFontName; }
  void SetFontName(const std::wstring& Value);
  std::uint8_t Charset() const { return FCharset; }
  void SetCharset(std::uint8_t Value);
  std::uint8_t Pitch() const { return FPitch; }
  void SetPitch(std::uint8_t Value);
  unsigned Style() const { return FStyle; }
  void SetStyle(unsigned Value);
  int Orientation() const { return FOrientation; }
  void SetOrientation(int Value);
  std::wstring ImageName;
  std::unique_ptr<TBitmap> CacheBmp;
  // The colour source the cache was rendered with (ForeColor when set, else Color).
  TColor CacheColor = clNone;

  static constexpr double MaxScalingFactor = 16.0;

private:
  void Changed();
  TsCharImageList* FOwner;
  wchar_t FChar = 0;
  std::uint8_t FPitch = 0;
  TColor FColor = clNone;
  std::uint8_t FCharset = 1;
  std::wstring FFontName = L"FontAwesome";
  unsigned FStyle = 0;
  int FOrientation = 0;
  double FScalingFactor = 1.0;
  int FOffsetY = 0;
};

class TacCharListItems {
public:
  explicit TacCharListItems(TsCharImageList* Owner) : FOwner(Owner) {}
  TsCharImageList* GetOwner() const { return FOwner; }
  int Count() const { return static_cast<int>(FItems.size()); }
  TacCharListItem* GetItem(int Index) const;
  TacCharListItem* Add();
  void Clear() { FItems.clear(); }

private:
  TsCharImageList* FOwner;
  std::vector<std::unique_ptr<TacCharListItem>> FItems;
};

class TsCharImageList : public TacImageList {
public:
  explicit TsCharImageList(TComponent* AOwner);
  ~TsCharImageList() override;
  std::wstring ClassName() const override { return L"TsCharImageList"; }
  void AfterConstruction() override;
  void Loaded() override;

  void SetWidth(int Value) override { SetSize(1, Value); }
  void SetHeight(int Value) override { SetSize(0, Value); }
  TColor BkColor() const override;
  void SetBkColor(TColor Value) override;
  TacCharListItems& Items() { return FItems; }
  acAlphaImageList::TacEmbeddedFonts& EmbeddedFonts() { return FEmbeddedFonts; }

  void Assign(TCustomImageList* Source) override;
  void AssignTo(TCustomImageList* Dest);
  void CopyImages(TsCharImageList* Source);
  void Clear() override;
  void ClearCache();
  int AddItem(const TacCharItemData& ItemData);
  bool AddEmbeddedFont(const std::wstring& FileName, const std::wstring& FontName);
  int FontIndex(const std::wstring& FontName) const;
  void SetCharColor(TColor Color, int Index, bool IgnoreDefault);
  TBitmap* CreateBitmap32Color(int Index, int Width, int Height, TColor CharColor, int GlyphHeight = 0);
  TBitmap* CreateBitmap32(int Index, int Width, int Height, int GlyphHeight = 0) override;
  bool GetBitmap32(int Index, TBitmap* Image, int GlyphHeight = 0) override;
  void GenerateStdList() override;
  void UpdateStd(int Index);
  void AcBeginUpdate() { AcChanging = true; }
  void AcEndUpdate(bool DoChange = true);
  void SetNewDimensions(HIMAGELIST Value);
  int GetCount() override { return FItems.Count(); }
  void Change() override;
  void DoDraw(int Index, TCanvas* Canvas, int X, int Y, UINT Style, bool Enabled) override;
  // Draws item Index into Bmp (its size set) with the glyph height and vertical offset.
  void RenderGlyph(TBitmap* Bmp, int Index, int OffsetY, int GlyphHeight);

  bool FAllowScale = true;

protected:
  HIMAGELIST CreateListHandle() override;
  void FreeListHandle() override;

private:
  void SetSize(int Index, int Value);
  // The list height at its PixelsPerInch.
  int ScaledListHeight() const { return PixelsPerInch * Height() / 96; }
  TColor FOwnBkColor = clNone;
  TacCharListItems FItems;
  acAlphaImageList::TacEmbeddedFonts FEmbeddedFonts;
};

// (Cap height) / 96 of a font of that charset and face at 96 pixels; 1 when its metrics
// cannot be read.
double FontHeightRatio(std::uint8_t Charset, const std::wstring& FontName);
// The font cell height a glyph is drawn with: Round(GlyphHeight x ScalingFactor).
int GlyphCellHeight(int GlyphHeight, double ScalingFactor);
// Black ink drawn on white becomes Color (0x00BBGGRR, no system colour) with alpha
// 255 - (R + G + B) div 3 of each drawn pixel.
void GlyphAlphaFromInk(TBitmap* Bmp, TColor Color);

// Draws state cell State (of StateCount cells) of image Index at PPI into Dst at (X, Y);
// CellSize receives the cell's size.
void DrawImageListItem(TCustomImageList* List, TBitmap* Dst, int X, int Y, int Index, int Blend, TColor TintColor,
                       int State, int StateCount, bool Reflected, int PPI, TSize& CellSize);
// The same onto a device context.
void DrawImageListItemOnDC(TCustomImageList* List, HDC DC, int X, int Y, int Index, int Blend, TColor TintColor,
                           int State, int StateCount, bool Reflected, int PPI);

// The format of an image file from its first bytes; false when it is no image we read.
bool SniffImageFileType(const std::wstring& FileName, TsImageFormat& Format);
// Streams handed to the lists are PNG.
TsImageFormat SniffImageStreamType(TStream& Stream);
// Bits per pixel of the screen.
int ScreenColorDepth();

// The name an image file gives its item: without folder and without its last four
// characters (empty for a shorter name).
std::wstring ImageNameOfFile(const std::wstring& FileName);
// "Cannot load <name>\r\nInvalid or unexpected image format." and the stream's text.
std::wstring CannotLoadFileText(const std::wstring& FileName);
extern const wchar_t* const CannotLoadStreamText;
// Shows the loaders' error message (error icon, OK); tests replace it.
extern void (*ShowImageListError)(const std::wstring& Text);

// The icon font resource registered for the process at start-up (nullptr when missing).
HANDLE IconFontHandle();
