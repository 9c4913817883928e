#include "skin/controls/acAlphaImageList.h"

#include <shellapi.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <span>

#include "platform/runtime/Exceptions.h"
#include "platform/runtime/Files.h"
#include "platform/ui/Graphics.Ico.h"
#include "platform/ui/Themes.h"
#include "skin/handlers/acDials.h"
#include "skin/graphics/acAlphaImage.h"
#include "skin/graphics/acPNG.h"
#include "skin/graphics/acLayeredAnim.h"
#include "skin/graphics/acThdTimer.h"
#include "skin/graphics/acPixelBlend.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/sVclUtils.h"
#include "skin/graphics/sGraphUtils.Transform.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/manager/sSkinManager.h"

namespace {

constexpr int MitchellFilter = 6;

std::vector<TacImageList*>* gRegistry = nullptr;

std::span<const std::uint8_t> BytesOf(const TMemoryStream& Stream) {
  return {reinterpret_cast<const std::uint8_t*>(Stream.Bytes().data()), Stream.Bytes().size()};
}

bool IsWindowsVistaOrLater() {
  OSVERSIONINFOW v{};
  v.dwOSVersionInfoSize = sizeof(v);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  GetVersionExW(&v);
#pragma GCC diagnostic pop
  return v.dwMajorVersion >= 6;
}

bool HasAnyAlpha(TBitmap& Bmp) {
  if (Bmp.Empty() || Bmp.BitsPerPixel() != 32) return false;
  std::uint8_t* base = Bmp.Bits();
  for (int y = 0; y < Bmp.Height(); ++y) {
    const std::uint8_t* row = base + static_cast<std::ptrdiff_t>(y) * Bmp.Stride();
    for (int x = 0; x < Bmp.Width(); ++x)
      if (row[4 * x + 3] != 0) return true;
  }
  return false;
}

// A 32-bit copy of Src.
std::unique_ptr<TBitmap> CopyBitmap(TBitmap& Src) {
  auto copy = std::make_unique<TBitmap>();
  copy->SetPixelFormat(pf32bit);
  copy->SetSize(Src.Width(), Src.Height());
  if (!Src.Empty()) {
    Src.SetPixelFormat(pf32bit);
    std::memcpy(copy->Bits() + static_cast<std::ptrdiff_t>(Src.Height() - 1) * copy->Stride(),
                Src.Bits() + static_cast<std::ptrdiff_t>(Src.Height() - 1) * Src.Stride(),
                static_cast<std::size_t>(Src.RowBytes()) * static_cast<std::size_t>(Src.Height()));
  }
  return copy;
}

// A bitmap of W x H cleared to colour 0, alpha 0.
std::unique_ptr<TBitmap> EmptyBitmap32(int W, int H) {
  auto bmp = std::make_unique<TBitmap>();
  bmp->SetPixelFormat(pf32bit);
  bmp->SetSize(std::max(0, W), std::max(0, H));
  if (!bmp->Empty())
    std::memset(bmp->Bits() + static_cast<std::ptrdiff_t>(bmp->Height() - 1) * bmp->Stride(), 0,
                static_cast<std::size_t>(bmp->RowBytes()) * static_cast<std::size_t>(bmp->Height()));
  return bmp;
}

// Src resampled into a new W x H bitmap; sources under 2 pixels leave it at alpha 1.
std::unique_ptr<TBitmap> Resampled(TBitmap& Src, int W, int H) {
  auto out = EmptyBitmap32(W, H);
  if (out->Empty()) return out;
  if (Src.Width() < 2 || Src.Height() < 2) {
    ApplyAlphaInRect(out.get(), TRect{0, 0, W, H}, 1, 0x1FFFFFFF);
    return out;
  }
  StretchBitmapFiltered(&Src, out.get(), W, H, MitchellFilter);
  return out;
}

// The largest side a list renders an image at: beyond it a request gives an empty bitmap.
constexpr int MaxRenderSide = 4096;

}  // namespace

std::vector<TacImageList*>& ImageListRegistry() {
  if (!gRegistry) gRegistry = new std::vector<TacImageList*>();
  return *gRegistry;
}

void ForEachImageList(void (*Proc)(TComponent* List, int Value), int Value) {
  if (!Proc || !gRegistry) return;
  // A procedure may make or free lists: walk a copy and skip those gone meanwhile.
  const std::vector<TacImageList*> lists = *gRegistry;
  for (TacImageList* list : lists)
    if (std::find(gRegistry->begin(), gRegistry->end(), list) != gRegistry->end()) Proc(list, Value);
}

void SetImageListPPI(TComponent* List, int PPI) {
  if (auto* alpha = dynamic_cast<TsAlphaImageList*>(List)) alpha->PixelsPerInch = PPI;
  else if (auto* chars = dynamic_cast<TsCharImageList*>(List); chars && chars->FAllowScale) chars->PixelsPerInch = PPI;
}

// ---------------------------------------------------------------------------
// TacImageList
// ---------------------------------------------------------------------------

TacImageList::TacImageList(TComponent* AOwner, int AWidth, int AHeight) : TCustomImageList(AOwner, AWidth, AHeight) {
  ImageListRegistry().push_back(this);
}

TacImageList::~TacImageList() {
  if (gRegistry) std::erase(*gRegistry, this);
}

void TacImageList::StoreBitmap(TBitmap* Bmp, int Index) {
  if (!Bmp || !Handle()) return;
  std::unique_ptr<TBitmap> sized;
  TBitmap* source = Bmp;
  if (Bmp->Width() != Width() || Bmp->Height() != Height()) {
    sized = Resampled(*Bmp, Width(), Height());
    source = sized.get();
  }
  if (source->Empty()) return;
  // With visual styles the system draws 32-bit images by their alpha: the mask stays empty.
  HICON icon = StyleServices().Enabled() ? IconFromBitmap(source) : IconFromBitmap32(source);
  if (!icon) return;
  ImageList_ReplaceIcon(Handle(), Index, icon);
  DestroyIcon(icon);
}

void TacImageList::ReadData(TStream& Stream) { (void)Stream.ReadToEnd(); }

void TacImageList::WriteData(TStream& Stream) {
  HIMAGELIST placeholder = ImageList_Create(1, 1, ILC_COLOR4, 0, AllocBy);
  if (!placeholder) return;
  WriteSystemImageList(placeholder, Stream, 1 /* ILP_DOWNLEVEL */);
  ImageList_Destroy(placeholder);
}

void TacImageList::LoadedSizes(bool ResetDefaultSize) {
  if (SavedWidth != 0) {
    if (HandleAllocated()) FreeListHandle();
  } else if (ResetDefaultSize && Width() == 16 && Height() == 16) {
    if (HandleAllocated()) FreeListHandle();
    FWidth = FHeight = 16;
  }
  if (SavedWidth == 0) SavedWidth = Width();
  if (SavedHeight == 0) SavedHeight = Height();
}

void TacImageList::GenerateOnce() {
  if (StdListIsGenerated) return;
  GenerateStdList();
  StdListIsGenerated = true;
  Change();
}

bool TacImageList::ChangeSize(int Index, int Value) {
  int& field = Index == 0 ? FHeight : FWidth;
  if (field == Value) return false;
  field = Value;
  if (FLoaded) (Index == 0 ? SavedHeight : SavedWidth) = Value;
  if (HandleAllocated()) {
    // The system list keeps one size: it is made again at the new one.
    const bool changing = AcChanging;
    AcChanging = true;
    FreeListHandle();
    AcChanging = changing;
  }
  return FLoaded && !AcChanging;
}

bool TacImageList::ListSize(int& W, int& H) {
  if (SavedWidth == 0 && FLoaded && !Loading()) {
    SavedWidth = Width();
    SavedHeight = Height();
  }
  W = SavedWidth ? SavedWidth : Width();
  H = SavedHeight ? SavedHeight : Height();
  return W > 0 && H > 0;
}

// ---------------------------------------------------------------------------
// Items
// ---------------------------------------------------------------------------

TsImgListItem::TsImgListItem() = default;
TsImgListItem::~TsImgListItem() = default;

void TsImgListItem::Assign(const TsImgListItem& Source) {
  if (&Source == this) return;
  ImageFormat = Source.ImageFormat;
  ImageName = Source.ImageName;
  PixelFormat = Source.PixelFormat;
  OrigWidth = Source.OrigWidth;
  OrigHeight = Source.OrigHeight;
  Text = Source.Text;
  ImgData.Clear();
  ImgData.Write(Source.ImgData.Bytes());
  ImgData.SetPosition(0);
  CacheBmp.reset();
}

void TsImgListItem::ReadImgData(TStream& Stream) {
  ImgData.Clear();
  ImgData.Write(Stream.ReadToEnd());
  ImgData.SetPosition(0);
  CacheBmp.reset();
}

void TsImgListItem::WriteImgData(TStream& Stream) { Stream.Write(ImgData.Bytes()); }

TsImgListItem* TsImgListItems::GetItem(int Index) const {
  if (Index < 0 || Index >= Count()) throw EArgumentOutOfRangeException(L"List index out of bounds (" + std::to_wstring(Index) + L")");
  return FItems[static_cast<std::size_t>(Index)].get();
}

void TsImgListItems::SetItem(int Index, const TsImgListItem& Value) { GetItem(Index)->Assign(Value); }

TsImgListItem* TsImgListItems::Add() {
  FItems.push_back(std::make_unique<TsImgListItem>());
  return FItems.back().get();
}

void TsImgListItems::Delete(int Index) {
  if (Index >= 0 && Index < Count()) FItems.erase(FItems.begin() + Index);
}

void TsImgListItems::Move(int CurIndex, int NewIndex) {
  if (CurIndex < 0 || CurIndex >= Count() || NewIndex < 0 || NewIndex >= Count() || CurIndex == NewIndex) return;
  auto item = std::move(FItems[static_cast<std::size_t>(CurIndex)]);
  FItems.erase(FItems.begin() + CurIndex);
  FItems.insert(FItems.begin() + NewIndex, std::move(item));
}

// ---------------------------------------------------------------------------
// TsAlphaImageList
// ---------------------------------------------------------------------------

TsAlphaImageList::TsAlphaImageList(TComponent* AOwner, int AWidth, int AHeight)
    : TacImageList(AOwner, AWidth, AHeight), FItems(this) {
  PixelsPerInch = 100;
  // A list made in code (not streamed) is loaded at once; streaming sets csLoading first.
  FLoaded = !Loading();
}

TsAlphaImageList::~TsAlphaImageList() = default;

void TsAlphaImageList::AfterConstruction() {
  TacImageList::AfterConstruction();
  if (!Loading()) FLoaded = true;
}

void TsAlphaImageList::Loaded() {
  TacImageList::Loaded();
  FLoaded = true;
  LoadedSizes(true);
  GenerateOnce();
}

void TsAlphaImageList::SetSize(int Index, int Value) {
  if (ChangeSize(Index, Value) && FItems.Count() > 0 && Handle() && FItems.Count() >= ImageCount()) {
    GenerateStdList();
    Change();
  }
}

HIMAGELIST TsAlphaImageList::CreateListHandle() {
  int w = 0, h = 0;
  if (!ListSize(w, h)) return nullptr;
  HIMAGELIST list = ImageList_Create(w, h, ILC_COLOR32 | (Masked ? ILC_MASK : 0), AllocBy, AllocBy);
  if (list && FOwnBkColor != clNone) ImageList_SetBkColor(list, ColorToRGB(FOwnBkColor));
  return list;
}

void TsAlphaImageList::FreeListHandle() {
  TacImageList::FreeListHandle();
  if (!AcChanging) Change();
}

TColor TsAlphaImageList::BkColor() const { return FOwnBkColor != clNone ? FOwnBkColor : FBkColor; }

void TsAlphaImageList::SetBkColor(TColor Value) {
  FOwnBkColor = Value;
  TacImageList::SetBkColor(Value);
}

void TsAlphaImageList::SetUseCache(bool Value) {
  FUseCache = Value;
  for (int i = 0; i < FItems.Count(); ++i) FItems.GetItem(i)->CacheBmp.reset();
}

void TsAlphaImageList::SetItems(const TsImgListItems& Value) {
  FItems.Clear();
  for (int i = 0; i < Value.Count(); ++i) FItems.Add()->Assign(*Value.GetItem(i));
}

std::unique_ptr<TBitmap> TsAlphaImageList::DecodeItem(TsImgListItem& Item, bool KeepTransparent) {
  auto bmp = std::make_unique<TBitmap>();
  bmp->SetTransparent(KeepTransparent);
  Item.ImgData.SetPosition(0);
  if (Item.ImageFormat == ifPNG) {
    LoadPngStreamToBitmap(*bmp, Item.ImgData);
  } else {
    bmp->LoadFromStream(Item.ImgData);
    if (bmp->PixelFormat() != pf32bit) {
      bmp->SetPixelFormat(pf32bit);
      AlphaFromCornerKey(bmp.get());
    }
  }
  Item.ImgData.SetPosition(0);
  return bmp;
}

void TsAlphaImageList::GenerateStdList() {
  if (StdMode) return;
  if (SavedHeight == 0) {
    if (Width() == 16 && Height() == 16 && !AcChanging) {
      AcChanging = true;
      FreeListHandle();
      SavedWidth = SavedHeight = 16;
      AcChanging = false;
    }
    if (SavedHeight == 0) return;
  }
  if (!Handle()) return;
  AcChanging = true;
  ImageList_Remove(Handle(), -1);
  for (int i = 0; i < FItems.Count(); ++i) {
    TsImgListItem& item = *FItems.GetItem(i);
    // A damaged item keeps its place as an empty image: later indexes stay right.
    bool stored = false;
    try {
      if (item.ImageFormat == ifICO) {
        int w = 0, h = 0;
        HICON icon = IconFromIcoData(BytesOf(item.ImgData), w, h);
        item.OrigWidth = w;
        item.OrigHeight = h;
        stored = ImageList_ReplaceIcon(Handle(), -1, icon) >= 0;
        DestroyIcon(icon);
      } else if (!item.ImgData.Bytes().empty()) {
        auto bmp = DecodeItem(item);
        item.OrigWidth = bmp->Width();
        item.OrigHeight = bmp->Height();
        const int before = ImageCount();
        StoreBitmap(bmp.get(), -1);
        stored = ImageCount() > before;
      }
    } catch (const std::exception&) {
      stored = false;
    }
    if (!stored) {
      auto blank = EmptyBitmap32(Width(), Height());
      if (HICON icon = IconFromBitmap32(blank.get())) {
        ImageList_ReplaceIcon(Handle(), -1, icon);
        DestroyIcon(icon);
      }
    }
  }
  if (FItems.Count() > 0) StdListIsGenerated = true;
  AcChanging = false;
}

void TsAlphaImageList::UpdateFromStd() {
  FItems.Clear();
  const int n = ImageCount();
  for (int i = 0; i < n; ++i) {
    TsImgListItem& item = *FItems.Add();
    item.ImageFormat = ifICO;
    item.PixelFormat = pf32bit;
    item.OrigWidth = Width();
    item.OrigHeight = Height();
    // The image as a one-image ICO file with a 32-bit bitmap.
    auto bmp = SystemIconBitmap(i, Width(), Height(), true);
    if (!bmp) continue;
    const int w = bmp->Width(), h = bmp->Height();
    const std::uint32_t maskRow = ((static_cast<std::uint32_t>(w) + 31) / 32) * 4;
    const std::uint32_t bytes = 40 + static_cast<std::uint32_t>(w * h * 4) + maskRow * static_cast<std::uint32_t>(h);
    std::string file(6 + 16, '\0');
    auto put = [](std::string& s, std::size_t at, std::uint32_t v, int n) {
      for (int k = 0; k < n; ++k) s[at + static_cast<std::size_t>(k)] = static_cast<char>(v >> (8 * k));
    };
    put(file, 2, 1, 2);
    put(file, 4, 1, 2);
    file[6] = static_cast<char>(w & 0xFF);
    file[7] = static_cast<char>(h & 0xFF);
    put(file, 10, 1, 2);
    put(file, 12, 32, 2);
    put(file, 14, bytes, 4);
    put(file, 18, 22, 4);
    std::string header(40, '\0');
    put(header, 0, 40, 4);
    put(header, 4, static_cast<std::uint32_t>(w), 4);
    put(header, 8, static_cast<std::uint32_t>(2 * h), 4);
    put(header, 12, 1, 2);
    put(header, 14, 32, 2);
    file += header;
    const std::uint8_t* base = bmp->Bits();
    for (int y = h - 1; y >= 0; --y)
      file.append(reinterpret_cast<const char*>(base + static_cast<std::ptrdiff_t>(y) * bmp->Stride()),
                  static_cast<std::size_t>(w) * 4);
    file.append(static_cast<std::size_t>(maskRow) * static_cast<std::size_t>(h), '\0');
    item.ImgData.Write(file);
    item.ImgData.SetPosition(0);
  }
}

void TsAlphaImageList::SetNewDimensions(HIMAGELIST Value) {
  int cx = 0, cy = 0;
  if (!Value || !ImageList_GetIconSize(Value, &cx, &cy)) return;
  FWidth = cx;
  FHeight = cy;
  if (FLoaded) {
    SavedWidth = cx;
    SavedHeight = cy;
  }
}

void TsAlphaImageList::AcEndUpdate(bool DoChange) {
  AcChanging = false;
  if (DoChange) {
    GenerateStdList();
    Change();
  }
}

int TsAlphaImageList::GetCount() {
  if (HandleAllocated() && ImageCount() > FItems.Count() &&
      (FItems.Count() == 0 || FItems.GetItem(0)->ImageFormat == ifICO))
    UpdateFromStd();
  return FItems.Count();
}

void TsAlphaImageList::Change() {
  if (AcChanging || !HandleAllocated() || Loading() || !StdListIsGenerated) return;
  const int images = ImageCount();
  if (FItems.Count() < images || Designing()) {
    TacImageList::Change();
    if (Designing()) return;
  }
  if (FItems.Count() >= images) {
    if (FItems.Count() > images) {
      AcChanging = true;
      GenerateStdList();
      AcChanging = false;
    }
    TacImageList::Change();
    return;
  }
  // Images were added to the system list behind the items' back: images without any alpha
  // get it, opaque except the magenta key.
  for (int i = 0; i < images; ++i) {
    auto bmp = SystemIconBitmap(i, Width(), Height(), false);
    if (!bmp || HasAnyAlpha(*bmp)) continue;
    std::uint8_t* base = bmp->Bits();
    for (int y = 0; y < bmp->Height(); ++y) {
      std::uint32_t* row = reinterpret_cast<std::uint32_t*>(base + static_cast<std::ptrdiff_t>(y) * bmp->Stride());
      for (int x = 0; x < bmp->Width(); ++x)
        if (row[x] != 0x00FF00FF) row[x] |= 0xFF000000u;
    }
    if (HICON icon = IconFromBitmap32(bmp.get())) {
      ImageList_ReplaceIcon(Handle(), i, icon);
      DestroyIcon(icon);
    }
  }
}

std::unique_ptr<TBitmap> TsAlphaImageList::SystemIconBitmap(int Index, int W, int H, bool WithMask) {
  if (!HandleAllocated() || Index < 0 || Index >= ImageCount() || W <= 0 || H <= 0) return nullptr;
  HICON icon = ImageList_GetIcon(Handle(), Index, ILD_NORMAL);
  if (!icon) return nullptr;
  ICONINFO info{};
  const bool got = GetIconInfo(icon, &info) != FALSE;
  DestroyIcon(icon);
  if (!got) return nullptr;
  std::unique_ptr<TBitmap> result;
  try {
    if (info.hbmColor) {
      auto colour = std::make_unique<TBitmap>();
      colour->SetHandle(info.hbmColor);  // takes it over
      info.hbmColor = nullptr;
      if (WithMask && info.hbmMask) {
        TBitmap mask;
        mask.SetHandle(info.hbmMask);
        info.hbmMask = nullptr;
        if (mask.Width() == colour->Width() && mask.Height() >= colour->Height()) {
          std::uint8_t* c = colour->Bits();
          std::uint8_t* m = mask.Bits();
          for (int y = 0; y < colour->Height(); ++y)
            for (int x = 0; x < colour->Width(); ++x)
              c[static_cast<std::ptrdiff_t>(y) * colour->Stride() + 4 * x + 3] =
                  static_cast<std::uint8_t>(255 - m[static_cast<std::ptrdiff_t>(y) * mask.Stride() + 4 * x]);
        }
      }
      result = colour->Width() == W && colour->Height() == H ? std::move(colour) : Resampled(*colour, W, H);
    }
  } catch (const std::exception&) {
    result.reset();
  }
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  if (result && !IsWindowsVistaOrLater()) {
    TsSkinManager* manager = DefaultManager();
    if (ScreenColorDepth() < 32 || !manager || manager->Options.CheckEmptyAlpha) AlphaFromCornerKey(result.get());
  }
  return result;
}

TBitmap* TsAlphaImageList::CreateBitmap32(int Index, int W, int H, int GlyphHeight) {
  (void)GlyphHeight;
  if (!HandleAllocated() || Index < 0 || Index >= FItems.Count()) return nullptr;
  // Sizes no screen shows give an empty bitmap that every drawing loop accepts.
  if (W <= 0 || H <= 0 || W > MaxRenderSide || H > MaxRenderSide) return EmptyBitmap32(0, 0).release();
  TsImgListItem& item = *FItems.GetItem(Index);
  if (item.ImgData.Bytes().empty() || item.ImageFormat == ifICO)
    return SystemIconBitmap(Index, W, H, item.ImgData.Bytes().empty()).release();
  if (FUseCache && item.CacheBmp) {
    if (item.CacheBmp->Width() == W && item.CacheBmp->Height() == H) return CopyBitmap(*item.CacheBmp).release();
    item.CacheBmp.reset();
  }
  std::unique_ptr<TBitmap> result;
  try {
    auto decoded = DecodeItem(item);
    result = decoded->Width() == W && decoded->Height() == H ? std::move(decoded) : Resampled(*decoded, W, H);
  } catch (const std::exception&) {
    // A damaged item draws as nothing, in its own place.
    result = EmptyBitmap32(W, H);
    return result.release();
  }
  if (FUseCache) item.CacheBmp = CopyBitmap(*result);
  return result.release();
}

bool TsAlphaImageList::GetBitmap32(int Index, TBitmap* Image, int GlyphHeight) {
  (void)GlyphHeight;
  if (!HandleAllocated() || !Image || Index < 0 || Index >= FItems.Count()) return false;
  const int W = Image->Width(), H = Image->Height();
  TsImgListItem& item = *FItems.GetItem(Index);
  if (item.ImgData.Bytes().empty() || item.ImageFormat == ifICO) {
    auto bmp = SystemIconBitmap(Index, W, H, false);
    if (!bmp) return false;
    Image->SetPixelFormat(pf32bit);
    if (!Image->Empty()) DrawImageAlpha(TRect{0, 0, W, H}, TRect{0, 0, W, H}, Image, bmp.get(), TCacheInfo{}, false, clNone, 0, false);
    return true;
  }
  if (W <= 0 || H <= 0 || W > MaxRenderSide || H > MaxRenderSide) return false;
  std::unique_ptr<TBitmap> rendered;
  if (FUseCache && item.CacheBmp && item.CacheBmp->Width() == W && item.CacheBmp->Height() == H) {
    rendered = CopyBitmap(*item.CacheBmp);
  } else {
    try {
      auto decoded = DecodeItem(item, Image->Transparent());
      rendered = decoded->Width() == W && decoded->Height() == H ? std::move(decoded) : Resampled(*decoded, W, H);
    } catch (const std::exception&) {
      rendered = EmptyBitmap32(W, H);
    }
  }
  Image->SetPixelFormat(pf32bit);
  std::memcpy(Image->Bits() + static_cast<std::ptrdiff_t>(H - 1) * Image->Stride(),
              rendered->Bits() + static_cast<std::ptrdiff_t>(H - 1) * rendered->Stride(),
              static_cast<std::size_t>(rendered->RowBytes()) * static_cast<std::size_t>(H));
  if (FUseCache && W == Width() && H == Height()) item.CacheBmp = CopyBitmap(*rendered);
  return true;
}

void TsAlphaImageList::DoDraw(int Index, TCanvas* Canvas, int X, int Y, UINT Style, bool Enabled) {
  (void)Style;
  (void)Enabled;
  if (!HandleAllocated() || !Canvas || Index < 0) return;
  if (Index >= FItems.Count() || FItems.GetItem(Index)->ImageFormat == ifICO) {
    ImageList_SetBkColor(Handle(), CLR_NONE);
    if (HICON icon = ImageList_GetIcon(Handle(), Index, ILD_TRANSPARENT)) {
      DrawIconEx(Canvas->Handle(), X, Y, icon, Width(), Height(), 0, nullptr, DI_NORMAL);
      DestroyIcon(icon);
    }
    return;
  }
  std::unique_ptr<TBitmap> image(CreateBitmap32(Index, Width(), Height()));
  if (!image || image->Empty()) return;
  TBitmap work;
  work.SetPixelFormat(pf32bit);
  work.SetSize(Width(), Height());
  BitBlt(work.Canvas().Handle(), 0, 0, Width(), Height(), Canvas->Handle(), X, Y, SRCCOPY);
  const TRect all{0, 0, Width(), Height()};
  DrawImageAlpha(all, all, &work, image.get(), TCacheInfo{}, false, clNone, 0, false);
  BitBlt(Canvas->Handle(), X, Y, Width(), Height(), work.Canvas().Handle(), 0, 0, SRCCOPY);
}

void TsAlphaImageList::Clear() {
  for (int i = 0; i < FItems.Count(); ++i) FItems.GetItem(i)->ImgData.Clear();
  FItems.Clear();
  TacImageList::Clear();
  if (!AcChanging) Change();
}

void TsAlphaImageList::Delete(int Index) {
  if (Index < 0 || Index >= FItems.Count()) return;
  FItems.Delete(Index);
  TacImageList::Delete(Index);
  Change();
}

void TsAlphaImageList::MoveItem(int CurIndex, int NewIndex) {
  FItems.Move(CurIndex, NewIndex);
  TacImageList::Move(CurIndex, NewIndex);
}

int TsAlphaImageList::Add(TBitmap* Image, TBitmap* Mask) {
  (void)Mask;
  if (!Image || Image->Empty() || !Handle()) return -1;
  TBitmap copy;
  copy.SetPixelFormat(pf32bit);
  copy.SetSize(Image->Width(), Image->Height());
  BitBlt(copy.Canvas().Handle(), 0, 0, Image->Width(), Image->Height(), Image->Canvas().Handle(), 0, 0, SRCCOPY);
  if (Image->PixelFormat() == pf32bit) {
    auto same = CopyBitmap(*Image);
    copy.SetHandle(nullptr);
    copy.SetPixelFormat(pf32bit);
    copy.SetSize(same->Width(), same->Height());
    std::memcpy(copy.Bits() + static_cast<std::ptrdiff_t>(copy.Height() - 1) * copy.Stride(),
                same->Bits() + static_cast<std::ptrdiff_t>(same->Height() - 1) * same->Stride(),
                static_cast<std::size_t>(same->RowBytes()) * static_cast<std::size_t>(same->Height()));
  } else {
    std::uint32_t key = 0x1FFFFFFF;
    if (Image->Transparent()) {
      const TColor c = ColorToRGB(Image->TransparentColor());
      key = static_cast<std::uint32_t>((c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF));
    }
    // Only the colour bytes are compared with the key: the blit left alpha at 0.
    ApplyAlphaInRect(&copy, TRect{0, 0, copy.Width(), copy.Height()}, 255, key);
  }
  TsImgListItem& item = *FItems.Add();
  item.ImageFormat = ifBMP32;
  item.PixelFormat = pf32bit;
  item.OrigWidth = copy.Width();
  item.OrigHeight = copy.Height();
  copy.SaveToStream(item.ImgData);
  item.ImgData.SetPosition(0);
  const int before = ImageCount();
  AcChanging = true;
  StoreBitmap(&copy, -1);
  AcChanging = false;
  const int result = ImageCount() > before ? ImageCount() - 1 : -1;
  Change();
  return result;
}

int TsAlphaImageList::AddImage(TCustomImageList* Source, int Index) {
  auto* alpha = dynamic_cast<TsAlphaImageList*>(Source);
  if (!alpha) {
    if (!Source || Index < 0 || Index >= Source->ImageCount()) return -1;
    HICON icon = Source->GetIcon(Index);
    const int result = AddIcon(icon);
    if (icon) DestroyIcon(icon);
    return result;
  }
  if (Index < 0 || Index >= alpha->FItems.Count()) return -1;
  AcBeginUpdate();
  FItems.Add()->Assign(*alpha->FItems.GetItem(Index));
  AcEndUpdate(true);
  return FItems.Count();
}

void TsAlphaImageList::Replace(int Index, TBitmap* Bmp32) {
  if (!Bmp32 || !Handle() || Index < 0 || Index >= FItems.Count()) return;
  try {
    if (Bmp32->PixelFormat() != pf32bit) {
      Bmp32->SetPixelFormat(pf32bit);
      ApplyAlphaInRect(Bmp32, TRect{0, 0, Bmp32->Width(), Bmp32->Height()}, 255, 0x1FFFFFFF);
    }
    TsImgListItem& item = *FItems.GetItem(Index);
    item.CacheBmp.reset();
    item.ImgData.Clear();
    Bmp32->SaveToStream(item.ImgData);
    item.ImgData.SetPosition(0);
    item.ImageFormat = ifBMP32;
    item.OrigWidth = Bmp32->Width();
    item.OrigHeight = Bmp32->Height();
    StoreBitmap(Bmp32, Index);
    GenerateStdList();
    Change();
  } catch (const std::exception&) {
  }
}

bool SniffImageFileType(const std::wstring& FileName, TsImageFormat& Format) {
  static constexpr unsigned char png[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  std::string head;
  try {
    TFileStream f(FileName, fmOpenRead | fmShareDenyNone);
    if (f.Size() <= static_cast<std::int64_t>(sizeof(png))) return false;
    head.resize(sizeof(png));
    if (f.Read(head.data(), static_cast<std::int64_t>(head.size())) != static_cast<std::int64_t>(head.size()))
      return false;
  } catch (const std::exception&) {
    return false;
  }
  if (std::memcmp(head.data(), png, sizeof(png)) == 0) {
    Format = ifPNG;
    return true;
  }
  std::wstring ext = FileName.size() >= 4 ? FileName.substr(FileName.size() - 4) : L"";
  for (wchar_t& c : ext) c = static_cast<wchar_t>(towlower(c));
  if (head[0] == 0 && head[1] == 0 && ext == L".ico") {
    Format = ifICO;
    return true;
  }
  if (head[0] == 'B' && head[1] == 'M') {
    Format = ifBMP32;
    return true;
  }
  return false;
}

TsImageFormat SniffImageStreamType(TStream& Stream) {
  (void)Stream;
  return ifPNG;
}

int ScreenColorDepth() {
  HDC dc = GetDC(nullptr);
  const int bits = GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES);
  ReleaseDC(nullptr, dc);
  return bits;
}

std::wstring ImageNameOfFile(const std::wstring& FileName) {
  const std::size_t slash = FileName.find_last_of(L"\\/:");
  std::wstring name = slash == std::wstring::npos ? FileName : FileName.substr(slash + 1);
  return name.size() < 4 ? std::wstring() : name.substr(0, name.size() - 4);
}

std::wstring CannotLoadFileText(const std::wstring& FileName) {
  return L"Cannot load " + FileName + L"\r\nInvalid or unexpected image format.";
}

const wchar_t* const CannotLoadStreamText = L"Cannot load from stream\r\nInvalid or unexpected image format.";

namespace {
void ShowErrorBox(const std::wstring& Text) { MessageBoxW(nullptr, Text.c_str(), L"Error", MB_ICONERROR | MB_OK); }
}  // namespace

void (*ShowImageListError)(const std::wstring& Text) = &ShowErrorBox;

bool TsAlphaImageList::TryLoadFromFile(const std::wstring& FileName) {
  if (!HandleAllocated()) GenerateStdList();
  if (!Handle()) return false;
  bool result = false;
  TsImageFormat format{};
  if (SniffImageFileType(FileName, format)) {
    std::unique_ptr<TsImgListItem> item = std::make_unique<TsImgListItem>();
    HICON icon = nullptr;
    try {
      TFileStream f(FileName, fmOpenRead | fmShareDenyNone);
      item->ImgData.Write(f.ReadToEnd());
      item->ImgData.SetPosition(0);
      item->ImageFormat = format;
      item->ImageName = ImageNameOfFile(FileName);
      if (format == ifPNG) {
        auto bmp = DecodeItem(*item);
        item->OrigWidth = bmp->Width();
        item->OrigHeight = bmp->Height();
        auto sized = bmp->Width() == Width() && bmp->Height() == Height() ? std::move(bmp) : Resampled(*bmp, Width(), Height());
        icon = IconFromBitmap32(sized.get());
      } else if (format == ifICO) {
        icon = ExtractIconW(GetModuleHandleW(nullptr), FileName.c_str(), 0);
        if (icon == reinterpret_cast<HICON>(1)) icon = nullptr;  // "not an icon file"
        item->PixelFormat = pf24bit;
        ICONINFO info{};
        if (icon && GetIconInfo(icon, &info)) {
          if (info.hbmColor) {
            TBitmap colour;
            BITMAP bm{};
            GetObjectW(info.hbmColor, sizeof(bm), &bm);
            const bool deep = bm.bmBitsPixel == 32;
            colour.SetHandle(info.hbmColor);
            info.hbmColor = nullptr;
            item->OrigWidth = colour.Width();
            item->OrigHeight = colour.Height();
            if (deep && HasAnyAlpha(colour)) item->PixelFormat = pf32bit;
          }
          if (info.hbmColor) DeleteObject(info.hbmColor);
          if (info.hbmMask) DeleteObject(info.hbmMask);
        }
      } else {
        item->PixelFormat = pf32bit;
        TBitmap bmp;
        bmp.LoadFromStream(item->ImgData);
        item->ImgData.SetPosition(0);
        item->OrigWidth = bmp.Width();
        item->OrigHeight = bmp.Height();
        if (bmp.PixelFormat() != pf32bit) {
          // The colour of the bottom-left pixel is the see-through one.
          bmp.SetPixelFormat(pf32bit);
          std::uint8_t* base = bmp.Bits();
          const std::uint32_t key =
              *reinterpret_cast<std::uint32_t*>(base + static_cast<std::ptrdiff_t>(bmp.Height() - 1) * bmp.Stride()) &
              0xFFFFFF;
          for (int y = 0; y < bmp.Height(); ++y) {
            auto* row = reinterpret_cast<std::uint32_t*>(base + static_cast<std::ptrdiff_t>(y) * bmp.Stride());
            for (int x = 0; x < bmp.Width(); ++x)
              row[x] = (row[x] & 0xFFFFFF) == key ? (row[x] & 0xFFFFFF) : (row[x] | 0xFF000000u);
          }
        }
        auto sized = bmp.Width() == Width() && bmp.Height() == Height() ? CopyBitmap(bmp) : Resampled(bmp, Width(), Height());
        icon = IconFromBitmap32(sized.get());
      }
      if (icon) {
        AcChanging = true;
        result = ImageList_ReplaceIcon(Handle(), -1, icon) >= 0;
        AcChanging = false;
      }
    } catch (const std::exception&) {
      AcChanging = false;
      result = false;
    }
    if (icon) DestroyIcon(icon);
    if (result) {
      FItems.Add()->Assign(*item);
    }
  }
  Change();
  return result;
}

void TsAlphaImageList::LoadFromFile(const std::wstring& FileName) {
  if (!TryLoadFromFile(FileName)) ShowImageListError(CannotLoadFileText(FileName));
}

bool TsAlphaImageList::TryLoadFromPngStream(TStream& Stream) {
  if (!Handle()) return false;
  bool result = false;
  try {
    std::string bytes = Stream.ReadToEnd();
    auto item = std::make_unique<TsImgListItem>();
    item->ImgData.Write(bytes);
    item->ImgData.SetPosition(0);
    item->ImageFormat = ifPNG;
    item->PixelFormat = pf32bit;
    auto bmp = DecodeItem(*item);
    if (bmp->Empty()) return false;
    item->OrigWidth = bmp->Width();
    item->OrigHeight = bmp->Height();
    const int before = ImageCount();
    AcChanging = true;
    StoreBitmap(bmp.get(), -1);
    AcChanging = false;
    result = ImageCount() > before;
    if (result) FItems.Add()->Assign(*item);
  } catch (const std::exception&) {
    AcChanging = false;
    result = false;
  }
  Change();
  return result;
}

void TsAlphaImageList::LoadFromPngStream(TStream& Stream) {
  if (!TryLoadFromPngStream(Stream)) ShowImageListError(CannotLoadStreamText);
}

void TsAlphaImageList::Assign(TCustomImageList* Source) {
  if (!Source) {
    FreeListHandle();
    return;
  }
  auto* alpha = dynamic_cast<TsAlphaImageList*>(Source);
  if (!alpha) {
    TacImageList::Assign(Source);
    return;
  }
  if (alpha == this) return;
  AcBeginUpdate();
  Clear();
  Masked = alpha->Masked;
  ImageType = alpha->ImageType;
  DrawingStyle = alpha->DrawingStyle;
  ShareImages = alpha->ShareImages;
  BlendColor = alpha->BlendColor;
  if (alpha->HandleAllocated()) SetNewDimensions(alpha->Handle());
  else {
    FWidth = alpha->Width();
    FHeight = alpha->Height();
  }
  if (HandleAllocated()) TacImageList::FreeListHandle();
  SavedWidth = FWidth;
  SavedHeight = FHeight;
  TColor bk = alpha->BkColor();
  if (bk == static_cast<TColor>(CLR_NONE)) bk = clNone;
  if (bk == static_cast<TColor>(CLR_DEFAULT)) bk = clDefault;
  FOwnBkColor = bk;
  CopyImages(alpha);
  AcEndUpdate(false);
}

void TsAlphaImageList::AssignTo(TCustomImageList* Dest) {
  if (auto* alpha = dynamic_cast<TsAlphaImageList*>(Dest)) alpha->Assign(this);
  else if (Dest) Dest->Assign(this);
}

void TsAlphaImageList::CopyImages(TsAlphaImageList* Source) {
  if (!Source || !Handle()) return;
  Source->FOwnBkColor = clNone;
  FItems.Clear();
  for (int i = 0; i < Source->FItems.Count(); ++i) FItems.Add()->Assign(*Source->FItems.GetItem(i));
  GenerateStdList();
}

// ---------------------------------------------------------------------------
// Drawing an item into a bitmap or onto a DC
// ---------------------------------------------------------------------------

void DrawImageListItem(TCustomImageList* List, TBitmap* Dst, int X, int Y, int Index, int Blend, TColor TintColor,
                       int State, int StateCount, bool Reflected, int PPI, TSize& CellSize) {
  if (!List || !Dst || Dst->Width() == 0 || !List->HandleAllocated() || Index < 0) return;
  const int W = ScaledImageWidth(List, Index, PPI), H = ScaledImageHeight(List, Index, PPI);
  const int n = std::max(1, StateCount);
  const int w = W / n;
  State = std::clamp(State, 0, n - 1);
  TRect dst{X, Y, X + w, Y + H};
  TRect src{w * State, 0, w * State + w, H};
  CellSize = TSize{w, H};
  if (List->BkColor() != clNone) {
    Dst->Canvas().Brush.Color = List->BkColor();
    Dst->Canvas().FillRect(dst);
  }
  SetImageListPPI(List, PPI);
  std::unique_ptr<TBitmap> bmp;
  if (auto* ac = dynamic_cast<TacImageList*>(List)) {
    if (auto* chars = dynamic_cast<TsCharImageList*>(ac))
      chars->SetCharColor(Dst->Canvas().Font.Color.Get(), Index, Dst->Canvas().Font.Height.Get() != 0);
    else
      ac->ForeColor = Dst->Canvas().Font.Color.Get();
    bmp.reset(ac->CreateBitmap32(Index, W, H, 0));
    ac->ForeColor = clNone;
    if (bmp && !bmp->Empty()) {
      // The cell is clipped to the bitmap; a negative left or top moves the destination.
      if (src.Left < 0) {
        dst.Left -= src.Left;
        src.Left = 0;
      }
      if (src.Top < 0) {
        dst.Top -= src.Top;
        src.Top = 0;
      }
      src.Right = std::min(src.Right, bmp->Width());
      src.Bottom = std::min(src.Bottom, bmp->Height());
      if (ac->IgnoreTransparency) {
        BitBlt(Dst->Canvas().Handle(), dst.Left, dst.Top, bmp->Width(), bmp->Height(), bmp->Canvas().Handle(), 0, 0,
               SRCCOPY);
      } else if (!src.IsEmpty()) {
        DrawImageAlpha(dst, src, Dst, bmp.get(), TCacheInfo{}, false, TintColor, Blend, Reflected);
      }
    }
  } else if (W > 0 && H > 0) {
    TBitmap work;
    work.SetPixelFormat(pf32bit);
    work.SetSize(W, H);
    BitBlt(work.Canvas().Handle(), 0, 0, W, H, Dst->Canvas().Handle(), X, Y, SRCCOPY);
    work.Canvas().Font.Color = Dst->Canvas().Font.Color.Get();
    List->Draw(&work.Canvas(), 0, 0, Index, true);
    BitBlt(Dst->Canvas().Handle(), dst.Left, dst.Top, w, H, work.Canvas().Handle(), src.Left, 0, SRCCOPY);
  }
  SetImageListPPI(List, 100);
}

void DrawImageListItemOnDC(TCustomImageList* List, HDC DC, int X, int Y, int Index, int Blend, TColor TintColor,
                           int State, int StateCount, bool Reflected, int PPI) {
  if (!List || !DC) return;
  const int W = ScaledImageWidth(List, Index, PPI), H = ScaledImageHeight(List, Index, PPI);
  if (W <= 0 || H <= 0) return;
  TBitmap bmp;
  bmp.SetPixelFormat(pf32bit);
  bmp.SetSize(W, Reflected ? H + H / 2 : H);
  if (auto* ac = dynamic_cast<TacImageList*>(List)) {
    bmp.Canvas().Font.Color = ac->ForeColor;
    auto* chars = dynamic_cast<TsCharImageList*>(List);
    if (chars && Index >= 0 && Index < chars->Items().Count()) {
      if (chars->Items().GetItem(Index)->Color() != clNone) bmp.Canvas().Font.Height = 0;
      if (Reflected)
        bmp.SetHeight(H + static_cast<int>(PPI * chars->Height() / 96 / 2 * chars->Items().GetItem(Index)->ScalingFactor()));
    }
  }
  BitBlt(bmp.Canvas().Handle(), 0, 0, bmp.Width(), bmp.Height(), DC, X, Y, SRCCOPY);
  TSize cell{};
  DrawImageListItem(List, &bmp, 0, 0, Index, Blend, TintColor, State, StateCount, Reflected, PPI, cell);
  BitBlt(DC, X, Y, bmp.Width(), bmp.Height(), bmp.Canvas().Handle(), 0, 0, SRCCOPY);
}

// ---------------------------------------------------------------------------
// The icon font
// ---------------------------------------------------------------------------

namespace {

HANDLE gIconFont = nullptr;

struct TIconFontRegistration {
  TIconFontRegistration() {
    HMODULE self = GetModuleHandleW(nullptr);
    HRSRC res = FindResourceW(self, L"AWFONT", MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    if (!res) return;
    HGLOBAL data = LoadResource(self, res);
    const DWORD size = SizeofResource(self, res);
    void* bytes = data ? LockResource(data) : nullptr;
    if (!bytes || size == 0) return;
    DWORD fonts = 0;
    gIconFont = AddFontMemResourceEx(bytes, size, nullptr, &fonts);
  }
  ~TIconFontRegistration() {
    if (gIconFont) RemoveFontMemResourceEx(gIconFont);
    gIconFont = nullptr;
    delete gRegistry;
    gRegistry = nullptr;
  }
};

TIconFontRegistration gIconFontRegistration;

}  // namespace

HANDLE IconFontHandle() { return gIconFont; }

// ---------------------------------------------------------------------------
// Icon-font lists
// ---------------------------------------------------------------------------

int GlyphCellHeight(int GlyphHeight, double ScalingFactor) { return RoundHalfEven(GlyphHeight * ScalingFactor); }

void GlyphAlphaFromInk(TBitmap* Bmp, TColor Color) {
  if (!Bmp || Bmp->Empty() || Bmp->BitsPerPixel() != 32) return;
  const std::uint32_t colour = static_cast<std::uint32_t>((Color & 0xFF) << 16 | (Color & 0xFF00) | (Color >> 16 & 0xFF));
  std::uint8_t* base = Bmp->Bits();
  for (int y = 0; y < Bmp->Height(); ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(base + static_cast<std::ptrdiff_t>(y) * Bmp->Stride());
    for (int x = 0; x < Bmp->Width(); ++x) {
      const std::uint32_t p = row[x];
      const std::uint32_t sum = (p & 0xFF) + (p >> 8 & 0xFF) + (p >> 16 & 0xFF);
      row[x] = colour | (255 - sum / 3) << 24;
    }
  }
}

double FontHeightRatio(std::uint8_t Charset, const std::wstring& FontName) {
  LOGFONTW lf{};
  lf.lfHeight = -96;
  lf.lfCharSet = Charset;
  FontName.copy(lf.lfFaceName, LF_FACESIZE - 1);
  double ratio = 0;
  HFONT font = CreateFontIndirectW(&lf);
  HDC dc = GetDC(nullptr);
  if (font && dc) {
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW tm{};
    if (GetTextMetricsW(dc, &tm)) ratio = (tm.tmHeight - tm.tmInternalLeading - tm.tmExternalLeading) / 96.0;
    SelectObject(dc, old);
  }
  if (dc) ReleaseDC(nullptr, dc);
  if (font) DeleteObject(font);
  // Unreadable metrics would make every glyph of the item vanish: such fonts draw unscaled.
  return ratio > 0 ? ratio : 1.0;
}

namespace acAlphaImageList {

void TacEmbeddedFont::Assign(const TacEmbeddedFont& Source) {
  if (&Source == this) return;
  FileName = Source.FileName;
  FontName = Source.FontName;
  FontData.Clear();
  FontData.Write(Source.FontData.Bytes());
}

void TacEmbeddedFont::LoadFont() {
  if (Handle) return;
  const std::string& data = FontData.Bytes();
  if (data.empty()) return;
  DWORD fonts = 0;
  Handle = AddFontMemResourceEx(const_cast<char*>(data.data()), static_cast<DWORD>(data.size()), nullptr, &fonts);
}

void TacEmbeddedFont::UnLoadFont() {
  if (!Handle) return;
  RemoveFontMemResourceEx(Handle);
  Handle = nullptr;
}

void TacEmbeddedFont::ReadFontData(TStream& Stream) {
  FontData.Clear();
  FontData.Write(Stream.ReadToEnd());
}

void TacEmbeddedFonts::Assign(const TacEmbeddedFonts& Source) {
  if (&Source == this) return;
  FItems.clear();
  if (Source.Count() == 0 || !Source.GetItem(0)->FontData.Bytes().empty()) Add()->FontName = L"FontAwesome";
  for (int i = 0; i < Source.Count(); ++i) Add()->Assign(*Source.GetItem(i));
}

TacEmbeddedFont* TacEmbeddedFonts::Add() {
  FItems.push_back(std::make_unique<TacEmbeddedFont>());
  return FItems.back().get();
}

TacEmbeddedFont* TacEmbeddedFonts::GetItem(int Index) const {
  if (Index < 0 || Index >= Count()) throw EArgumentOutOfRangeException(L"List index out of bounds (" + std::to_wstring(Index) + L")");
  return FItems[static_cast<std::size_t>(Index)].get();
}

}  // namespace acAlphaImageList

void TacCharListItem::Assign(const TacCharListItem& Source) {
  if (&Source == this) return;
  FChar = Source.FChar;
  ImageName = Source.ImageName;
  FPitch = Source.FPitch;
  FColor = Source.FColor;
  FCharset = Source.FCharset;
  FFontName = Source.FFontName;
  FStyle = Source.FStyle;
  FOrientation = Source.FOrientation;
  FScalingFactor = Source.FScalingFactor;
  FOffsetY = Source.FOffsetY;
  CacheBmp.reset();
}

void TacCharListItem::Invalidate() {
  CacheBmp.reset();
  if (FOwner) FOwner->Change();
}

void TacCharListItem::Changed() { Invalidate(); }

#define AC_CHAR_SETTER(Name, Type, Field) \
  void TacCharListItem::Set##Name(Type Value) { \
    if (Field == Value) return;                 \
    Field = Value;                              \
    Changed();                                  \
  }
AC_CHAR_SETTER(Char, wchar_t, FChar)
AC_CHAR_SETTER(Color, TColor, FColor)
AC_CHAR_SETTER(OffsetY, int, FOffsetY)
AC_CHAR_SETTER(FontName, const std::wstring&, FFontName)
AC_CHAR_SETTER(Charset, std::uint8_t, FCharset)
AC_CHAR_SETTER(Pitch, std::uint8_t, FPitch)
AC_CHAR_SETTER(Style, unsigned, FStyle)
AC_CHAR_SETTER(Orientation, int, FOrientation)
#undef AC_CHAR_SETTER

void TacCharListItem::SetScalingFactor(double Value) {
  if (std::isnan(Value)) Value = 1.0;
  Value = std::clamp(Value, 0.0, MaxScalingFactor);
  if (FScalingFactor == Value) return;
  FScalingFactor = Value;
  Changed();
}

TBitmap* TacCharListItem::ReadImage() {
  if (!FOwner) return nullptr;
  int index = -1;
  for (int i = 0; i < FOwner->Items().Count(); ++i)
    if (FOwner->Items().GetItem(i) == this) index = i;
  if (index < 0) return nullptr;
  const int ppi = FOwner->PixelsPerInch;
  const int w = ScaledImageWidth(FOwner, index, ppi), h = ScaledImageHeight(FOwner, index, ppi);
  if (CacheBmp) {
    const bool sizeDiffers = CacheBmp->Width() != w || CacheBmp->Height() != h;
    const bool colourDiffers = FOwner->ForeColor != clNone ? CacheColor != FOwner->ForeColor : CacheColor != FColor;
    if (sizeDiffers || colourDiffers) CacheBmp.reset();
  }
  if (!CacheBmp) {
    auto bmp = std::make_unique<TBitmap>();
    bmp->SetPixelFormat(pf32bit);
    bmp->SetSize(std::clamp(w, 0, MaxRenderSide), std::clamp(h, 0, MaxRenderSide));
    FOwner->RenderGlyph(bmp.get(), index, FOffsetY, FOwner->PixelsPerInch * FOwner->Height() / 96);
    CacheColor = FOwner->ForeColor != clNone ? FOwner->ForeColor : FColor;
    CacheBmp = std::move(bmp);
  }
  return CacheBmp.get();
}

TacCharListItem* TacCharListItems::GetItem(int Index) const {
  if (Index < 0 || Index >= Count()) throw EArgumentOutOfRangeException(L"List index out of bounds (" + std::to_wstring(Index) + L")");
  return FItems[static_cast<std::size_t>(Index)].get();
}

TacCharListItem* TacCharListItems::Add() {
  FItems.push_back(std::make_unique<TacCharListItem>(FOwner));
  return FItems.back().get();
}

TsCharImageList::TsCharImageList(TComponent* AOwner)
    : TacImageList(AOwner, 24, 24), FItems(this), FEmbeddedFonts(this) {
  FLoaded = !Loading();
}

TsCharImageList::~TsCharImageList() {
  // Items tell the list of changes: none of that while it goes.
  AcChanging = true;
  FItems.Clear();
}

void TsCharImageList::AfterConstruction() {
  TacImageList::AfterConstruction();
  if (!Loading()) FLoaded = true;
}

void TsCharImageList::Loaded() {
  TacImageList::Loaded();
  for (int i = 0; i < FEmbeddedFonts.Count(); ++i) FEmbeddedFonts.GetItem(i)->LoadFont();
  FLoaded = true;
  LoadedSizes(false);
  AcChanging = true;
  for (int i = 0; i < FItems.Count(); ++i) {
    TacCharListItem& item = *FItems.GetItem(i);
    if (item.ScalingFactor() == 0) {
      item.SetScalingFactor(FontHeightRatio(item.Charset(), item.FontName()));
      item.SetColor(clNone);
    }
  }
  AcChanging = false;
  GenerateOnce();
}

void TsCharImageList::SetSize(int Index, int Value) {
  if ((Index == 0 ? Height() : Width()) == Value) return;
  // The renderings are of the old size.
  ClearCache();
  if (ChangeSize(Index, Value) && FItems.Count() > 0) {
    GenerateStdList();
    Change();
  }
}

HIMAGELIST TsCharImageList::CreateListHandle() {
  int w = 0, h = 0;
  if (!ListSize(w, h)) return nullptr;
  return ImageList_Create(w, h, ILC_COLOR32 | (Masked ? ILC_MASK : 0), AllocBy, AllocBy);
}

void TsCharImageList::FreeListHandle() {
  TacImageList::FreeListHandle();
  StdListIsGenerated = false;
}

TColor TsCharImageList::BkColor() const { return FOwnBkColor != clNone ? FOwnBkColor : FBkColor; }

void TsCharImageList::SetBkColor(TColor Value) {
  FOwnBkColor = Value;
  TacImageList::SetBkColor(Value);
}

void TsCharImageList::RenderGlyph(TBitmap* Bmp, int Index, int OffsetY, int GlyphHeight) {
  if (!Bmp || Index < 0 || Index >= FItems.Count()) return;
  TacCharListItem& item = *FItems.GetItem(Index);
  Bmp->SetPixelFormat(pf32bit);
  if (Bmp->Empty()) return;
  const int w = Bmp->Width(), h = Bmp->Height();
  std::uint8_t* base = Bmp->Bits();
  for (int y = 0; y < h; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(base + static_cast<std::ptrdiff_t>(y) * Bmp->Stride());
    std::fill(row, row + w, 0x00FFFFFFu);
  }
  LOGFONTW lf{};
  lf.lfHeight = GlyphCellHeight(GlyphHeight, item.ScalingFactor());
  lf.lfWeight = (item.Style() & 1) ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = (item.Style() & 2) ? 1 : 0;
  lf.lfUnderline = (item.Style() & 4) ? 1 : 0;
  lf.lfStrikeOut = (item.Style() & 8) ? 1 : 0;
  lf.lfCharSet = item.Charset();
  lf.lfPitchAndFamily = item.Pitch();
  lf.lfQuality = ANTIALIASED_QUALITY;
  item.FontName().copy(lf.lfFaceName, LF_FACESIZE - 1);
  HFONT font = CreateFontIndirectW(&lf);
  HDC dc = Bmp->Canvas().Handle();
  HGDIOBJ old = SelectObject(dc, font);
  SetTextColor(dc, 0);
  SetBkMode(dc, TRANSPARENT);
  const wchar_t text[2] = {item.Char(), 0};
  RECT r{0, 0, 0, 0};
  DrawTextW(dc, text, 1, &r, 0xF00);
  const int tw = r.right - r.left, th = r.bottom - r.top;
  r.left = (w - tw) / 2;
  r.top = (h - th) / 2;
  if (OffsetY != 0) r.top += RoundHalfEven(OffsetY * item.ScalingFactor());
  r.right = r.left + tw;
  r.bottom = r.top + th;
  DrawTextW(dc, text, 1, &r, 0xB04);
  GdiFlush();
  SelectObject(dc, old);
  if (font) DeleteObject(font);
  const TColor source = ForeColor != clNone ? ForeColor : item.Color() != clNone ? item.Color() : clBlack;
  GlyphAlphaFromInk(Bmp, ColorToRGB(SkinColorOf(source)));
  Bmp->Canvas().Font.Color = ForeColor != clNone ? ForeColor : item.Color();
}

TBitmap* TsCharImageList::CreateBitmap32Color(int Index, int W, int H, TColor CharColor, int GlyphHeight) {
  if (!HandleAllocated() || Index < 0 || Index >= FItems.Count()) return nullptr;
  ForeColor = CharColor;
  auto bmp = std::make_unique<TBitmap>();
  bmp->SetPixelFormat(pf32bit);
  if (W > 0 && H > 0 && W <= MaxRenderSide && H <= MaxRenderSide) bmp->SetSize(W, H);
  RenderGlyph(bmp.get(), Index, FItems.GetItem(Index)->OffsetY(), GlyphHeight ? GlyphHeight : ScaledListHeight());
  return bmp.release();
}

TBitmap* TsCharImageList::CreateBitmap32(int Index, int W, int H, int GlyphHeight) {
  return CreateBitmap32Color(Index, W, H, ForeColor, GlyphHeight);
}

bool TsCharImageList::GetBitmap32(int Index, TBitmap* Image, int GlyphHeight) {
  if (!HandleAllocated() || !Image || Index < 0 || Index >= FItems.Count()) return true;
  const int ppi = PixelsPerInch;
  if (Image->Width() == ScaledImageWidth(this, Index, ppi) && Image->Height() == ScaledImageHeight(this, Index, ppi)) {
    TBitmap* cached = FItems.GetItem(Index)->ReadImage();
    if (cached && !cached->Empty()) {
      Image->SetPixelFormat(pf32bit);
      std::memcpy(Image->Bits() + static_cast<std::ptrdiff_t>(Image->Height() - 1) * Image->Stride(),
                  cached->Bits() + static_cast<std::ptrdiff_t>(cached->Height() - 1) * cached->Stride(),
                  static_cast<std::size_t>(cached->RowBytes()) * static_cast<std::size_t>(cached->Height()));
    }
    return true;
  }
  Image->SetPixelFormat(pf32bit);
  const int glyph = GlyphHeight ? GlyphHeight : Image->Height();
  const int listHeight = std::max(1, ScaledListHeight());
  RenderGlyph(Image, Index, glyph * FItems.GetItem(Index)->OffsetY() / listHeight, glyph);
  return true;
}

void TsCharImageList::SetCharColor(TColor Color, int Index, bool IgnoreDefault) {
  if (!IgnoreDefault && Index >= 0 && Index < FItems.Count() && FItems.GetItem(Index)->Color() != clNone)
    ForeColor = FItems.GetItem(Index)->Color();
  else
    ForeColor = Color;
}

void TsCharImageList::GenerateStdList() {
  ForeColor = clNone;
  if (SavedHeight == 0 && FLoaded) {
    SavedWidth = Width();
    SavedHeight = Height();
  }
  if (!Handle()) return;
  AcChanging = true;
  ImageList_Remove(Handle(), -1);
  for (int i = 0; i < FItems.Count(); ++i) {
    std::unique_ptr<TBitmap> bmp(CreateBitmap32(i, ScaledImageWidth(this, i, PixelsPerInch),
                                                ScaledImageHeight(this, i, PixelsPerInch), ScaledListHeight()));
    if (bmp) StoreBitmap(bmp.get(), -1);
  }
  if (FItems.Count() > 0) StdListIsGenerated = true;
  AcChanging = false;
}

void TsCharImageList::UpdateStd(int Index) {
  ForeColor = clNone;
  if (!Handle() || Index < 0 || Index >= FItems.Count()) return;
  std::unique_ptr<TBitmap> bmp(CreateBitmap32(Index, ScaledImageWidth(this, Index, PixelsPerInch),
                                              ScaledImageHeight(this, Index, PixelsPerInch), ScaledListHeight()));
  if (bmp) StoreBitmap(bmp.get(), Index);
}

void TsCharImageList::AcEndUpdate(bool DoChange) {
  AcChanging = false;
  if (DoChange) {
    GenerateStdList();
    Change();
  }
}

void TsCharImageList::SetNewDimensions(HIMAGELIST Value) {
  int cx = 0, cy = 0;
  if (!Value || !ImageList_GetIconSize(Value, &cx, &cy)) return;
  FWidth = cx;
  FHeight = cy;
  if (FLoaded) {
    SavedWidth = cx;
    SavedHeight = cy;
  }
}

void TsCharImageList::Change() {
  if (AcChanging || !StdListIsGenerated || Loading() || !HandleAllocated()) return;
  const int images = ImageCount();
  if (FItems.Count() < images) return;
  if (FItems.Count() != images) {
    AcChanging = true;
    GenerateStdList();
    AcChanging = false;
  }
  TacImageList::Change();
}

void TsCharImageList::DoDraw(int Index, TCanvas* Canvas, int X, int Y, UINT Style, bool Enabled) {
  (void)Style;
  (void)Enabled;
  if (!HandleAllocated() || !Canvas || Index < 0 || Index >= FItems.Count()) return;
  TacCharListItem& item = *FItems.GetItem(Index);
  TBitmap work;
  work.SetPixelFormat(pf32bit);
  work.SetSize(Width(), Height());
  if (item.ScalingFactor() != 1 || item.OffsetY() != 0 || PixelsPerInch != 100)
    work.SetSize(ScaledImageWidth(this, Index, PixelsPerInch), ScaledImageHeight(this, Index, PixelsPerInch));
  if (work.Empty()) return;
  BitBlt(work.Canvas().Handle(), 0, 0, work.Width(), work.Height(), Canvas->Handle(), X, Y, SRCCOPY);
  const TColor colour = SkinColorOf(item.Color() != clNone ? item.Color() : Canvas->Font.Color.Get());
  if (TBitmap* mask = item.ReadImage()) PaintColorByMask(&work, mask, TPoint{0, 0}, colour, clNone);
  BitBlt(Canvas->Handle(), X, Y, work.Width(), work.Height(), work.Canvas().Handle(), 0, 0, SRCCOPY);
}

void TsCharImageList::Clear() {
  AcChanging = true;
  FItems.Clear();
  TacImageList::Clear();
  AcChanging = false;
}

void TsCharImageList::ClearCache() {
  for (int i = 0; i < FItems.Count(); ++i) FItems.GetItem(i)->CacheBmp.reset();
}

int TsCharImageList::AddItem(const TacCharItemData& ItemData) {
  const bool changing = AcChanging;
  AcChanging = true;
  TacCharListItem& item = *FItems.Add();
  item.SetChar(ItemData.Char);
  item.SetFontName(ItemData.FontName);
  item.SetCharset(ItemData.Charset);
  item.SetColor(ItemData.Color);
  item.SetOrientation(ItemData.Orientation);
  item.SetPitch(ItemData.Pitch);
  item.SetStyle(ItemData.Style);
  item.SetScalingFactor(ItemData.ScalingFactor);
  item.SetOffsetY(ItemData.OffsetY);
  const int index = FItems.Count() - 1;
  if (Handle()) {
    ForeColor = clNone;
    std::unique_ptr<TBitmap> bmp(CreateBitmap32(index, ScaledImageWidth(this, index, PixelsPerInch),
                                                ScaledImageHeight(this, index, PixelsPerInch), ScaledListHeight()));
    if (bmp) StoreBitmap(bmp.get(), -1);
  }
  AcChanging = changing;
  return index;
}

bool TsCharImageList::AddEmbeddedFont(const std::wstring& FileName, const std::wstring& FontName) {
  if (GetFileAttributesW(FileName.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
  if (FontIndex(FontName) < 0) {
    acAlphaImageList::TacEmbeddedFont& font = *FEmbeddedFonts.Add();
    font.FontName = FontName;
    const std::size_t slash = FileName.find_last_of(L"\\/");
    font.FileName = slash == std::wstring::npos ? FileName : FileName.substr(slash + 1);
    try {
      TFileStream f(FileName, fmOpenRead | fmShareDenyNone);
      font.FontData.Write(f.ReadToEnd());
    } catch (const std::exception&) {
    }
    font.LoadFont();
  }
  return true;
}

int TsCharImageList::FontIndex(const std::wstring& FontName) const {
  for (int i = 0; i < FEmbeddedFonts.Count(); ++i)
    if (CompareStringOrdinal(FEmbeddedFonts.GetItem(i)->FontName.c_str(), -1, FontName.c_str(), -1, TRUE) == CSTR_EQUAL)
      return i;
  return -1;
}

void TsCharImageList::Assign(TCustomImageList* Source) {
  auto* chars = dynamic_cast<TsCharImageList*>(Source);
  if (!chars) {
    if (Source) TacImageList::Assign(Source);
    return;
  }
  if (chars == this) return;
  AcBeginUpdate();
  Clear();
  Masked = chars->Masked;
  ImageType = chars->ImageType;
  DrawingStyle = chars->DrawingStyle;
  ShareImages = chars->ShareImages;
  FWidth = chars->Width();
  FHeight = chars->Height();
  if (HandleAllocated()) FreeListHandle();
  SavedWidth = chars->SavedWidth;
  SavedHeight = chars->SavedHeight;
  FOwnBkColor = chars->FOwnBkColor;
  BlendColor = chars->BlendColor;
  FEmbeddedFonts.Assign(chars->FEmbeddedFonts);
  CopyImages(chars);
  GenerateStdList();
  AcEndUpdate(false);
}

void TsCharImageList::AssignTo(TCustomImageList* Dest) {
  if (Dest) Dest->Assign(this);
}

void TsCharImageList::CopyImages(TsCharImageList* Source) {
  if (!Source) return;
  const bool changing = AcChanging;
  AcChanging = true;
  FItems.Clear();
  for (int i = 0; i < Source->FItems.Count(); ++i) FItems.Add()->Assign(*Source->FItems.GetItem(i));
  AcChanging = changing;
  GenerateStdList();
}
