// objidl.h first: commctrl.h declares the stream functions only when IStream is known.
#include <windows.h>
#include <objidl.h>

#include "platform/ui/ImgList.h"

#include <algorithm>
#include <string>

#include "platform/runtime/Streams.h"

TChangeLink::~TChangeLink() {
  if (Images) Images->UnRegisterChanges(this);
}

TCustomImageList::TCustomImageList(TComponent* AOwner, int AWidth, int AHeight)
    : TComponent(AOwner), FWidth(AWidth), FHeight(AHeight) {}

TCustomImageList::~TCustomImageList() {
  for (TChangeLink* link : FLinks) link->Images = nullptr;
  FLinks.clear();
  if (FHandle && !ShareImages) ImageList_Destroy(FHandle);
  FHandle = nullptr;
}

void TCustomImageList::SetWidth(int Value) {
  if (Value == FWidth) return;
  FWidth = Value;
  if (FHandle) FreeListHandle();
  Change();
}

void TCustomImageList::SetHeight(int Value) {
  if (Value == FHeight) return;
  FHeight = Value;
  if (FHandle) FreeListHandle();
  Change();
}

void TCustomImageList::SetBkColor(TColor Value) {
  FBkColor = Value;
  if (FHandle) ImageList_SetBkColor(FHandle, Value == clNone ? CLR_NONE : ColorToRGB(Value));
}

HIMAGELIST TCustomImageList::Handle() {
  if (!FHandle) FHandle = CreateListHandle();
  return FHandle;
}

void TCustomImageList::SetHandle(HIMAGELIST Value) {
  if (FHandle == Value) return;
  if (FHandle && !ShareImages) ImageList_Destroy(FHandle);
  FHandle = Value;
  int cx = 0, cy = 0;
  if (FHandle && ImageList_GetIconSize(FHandle, &cx, &cy)) {
    FWidth = cx;
    FHeight = cy;
  }
}

HIMAGELIST TCustomImageList::CreateListHandle() {
  if (FWidth <= 0 || FHeight <= 0) return nullptr;
  HIMAGELIST list = ImageList_Create(FWidth, FHeight, ILC_COLOR32 | (Masked ? ILC_MASK : 0), AllocBy, AllocBy);
  if (list && FBkColor != clNone) ImageList_SetBkColor(list, ColorToRGB(FBkColor));
  return list;
}

void TCustomImageList::FreeListHandle() {
  if (FHandle && !ShareImages) ImageList_Destroy(FHandle);
  FHandle = nullptr;
}

int TCustomImageList::GetCount() { return ImageCount(); }

int TCustomImageList::AddMasked(HBITMAP Image, COLORREF MaskColor) {
  if (!Image || !Handle()) return -1;
  const int index = ImageList_AddMasked(FHandle, Image, MaskColor);
  if (index >= 0) Change();
  return index;
}

int TCustomImageList::AddIcon(HICON Icon) {
  if (!Icon || !Handle()) return -1;
  return ImageList_ReplaceIcon(FHandle, -1, Icon);
}

bool TCustomImageList::ReplaceIcon(int Index, HICON Icon) {
  if (!Icon || !Handle()) return false;
  return ImageList_ReplaceIcon(FHandle, Index, Icon) >= 0;
}

HICON TCustomImageList::GetIcon(int Index, UINT Flags) {
  if (!FHandle || Index < 0 || Index >= ImageCount()) return nullptr;
  return ImageList_GetIcon(FHandle, Index, Flags);
}

void TCustomImageList::Delete(int Index) {
  if (FHandle && Index >= 0 && Index < ImageCount()) ImageList_Remove(FHandle, Index);
}

void TCustomImageList::Move(int CurIndex, int NewIndex) {
  const int n = ImageCount();
  if (!FHandle || CurIndex == NewIndex || CurIndex < 0 || NewIndex < 0 || CurIndex >= n || NewIndex >= n) return;
  // The system list has no move: the images are laid out again in their new order.
  std::vector<HICON> icons;
  for (int i = 0; i < n; ++i) icons.push_back(ImageList_GetIcon(FHandle, i, ILD_NORMAL));
  HICON moved = icons[static_cast<std::size_t>(CurIndex)];
  icons.erase(icons.begin() + CurIndex);
  icons.insert(icons.begin() + NewIndex, moved);
  for (int i = 0; i < n; ++i) {
    if (icons[static_cast<std::size_t>(i)]) ImageList_ReplaceIcon(FHandle, i, icons[static_cast<std::size_t>(i)]);
    if (icons[static_cast<std::size_t>(i)]) DestroyIcon(icons[static_cast<std::size_t>(i)]);
  }
}

void TCustomImageList::Clear() {
  if (FHandle && ImageList_GetImageCount(FHandle) > 0) {
    ImageList_Remove(FHandle, -1);
    Change();
  }
}

UINT TCustomImageList::DrawingStyleFlags() const {
  static constexpr UINT styles[] = {ILD_FOCUS, ILD_SELECTED, ILD_NORMAL, ILD_TRANSPARENT};
  return styles[DrawingStyle] | (ImageType == itMask ? ILD_MASK : 0);
}

void TCustomImageList::Draw(TCanvas* Canvas, int X, int Y, int Index, bool Enabled) {
  if (!Canvas || Index < 0) return;
  DoDraw(Index, Canvas, X, Y, DrawingStyleFlags(), Enabled);
}

void TCustomImageList::DoDraw(int Index, TCanvas* Canvas, int X, int Y, UINT Style, bool Enabled) {
  if (!FHandle || !Canvas || Index < 0 || Index >= ImageCount()) return;
  IMAGELISTDRAWPARAMS p{};
  p.cbSize = sizeof(p);
  p.himl = FHandle;
  p.i = Index;
  p.hdcDst = Canvas->Handle();
  p.x = X;
  p.y = Y;
  p.rgbBk = CLR_DEFAULT;
  p.rgbFg = BlendColor == clNone ? CLR_DEFAULT : ColorToRGB(BlendColor);
  p.fStyle = Style;
  p.fState = Enabled ? ILS_NORMAL : ILS_SATURATE;
  ImageList_DrawIndirect(&p);
}

void TCustomImageList::Change() {
  // A user may unregister itself while hearing the change: walk a copy.
  const std::vector<TChangeLink*> links = FLinks;
  for (TChangeLink* link : links)
    if (std::find(FLinks.begin(), FLinks.end(), link) != FLinks.end() && link->OnChange) link->OnChange();
  if (OnChange) OnChange();
}

void TCustomImageList::RegisterChanges(TChangeLink* Link) {
  if (!Link) return;
  if (Link->Images && Link->Images != this) Link->Images->UnRegisterChanges(Link);
  Link->Images = this;
  if (std::find(FLinks.begin(), FLinks.end(), Link) == FLinks.end()) FLinks.push_back(Link);
}

void TCustomImageList::UnRegisterChanges(TChangeLink* Link) {
  const auto at = std::find(FLinks.begin(), FLinks.end(), Link);
  if (at == FLinks.end()) return;
  FLinks.erase(at);
  Link->Images = nullptr;
}

void TCustomImageList::ReadData(TStream& Stream) {
  HIMAGELIST list = ReadSystemImageList(Stream);
  if (list) SetHandle(list);
}

void TCustomImageList::WriteData(TStream& Stream) {
  if (Handle()) WriteSystemImageList(FHandle, Stream);
}

void TCustomImageList::Assign(TCustomImageList* Source) {
  if (!Source || Source == this) return;
  FreeListHandle();
  FWidth = Source->FWidth;
  FHeight = Source->FHeight;
  Masked = Source->Masked;
  ImageType = Source->ImageType;
  DrawingStyle = Source->DrawingStyle;
  ShareImages = false;
  BlendColor = Source->BlendColor;
  AllocBy = Source->AllocBy;
  FBkColor = Source->FBkColor;
  if (Source->FHandle) FHandle = ImageList_Duplicate(Source->FHandle);
  Change();
}

namespace {

// An HGLOBAL-backed IStream, released when it goes.
struct TComStream {
  IStream* S = nullptr;
  ~TComStream() {
    if (S) S->Release();
  }
};

}  // namespace

bool WriteSystemImageList(HIMAGELIST List, TStream& Stream, DWORD Flags) {
  if (!List) return false;
  TComStream com;
  if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &com.S))) return false;
  bool ok = false;
  using TWriteEx = HRESULT(WINAPI*)(HIMAGELIST, DWORD, IStream*);
  // Older comctl32 versions export no ImageList_WriteEx: looked up when it is wanted.
  TWriteEx writeEx = nullptr;
  if (Flags != 0) {
    if (HMODULE comctl = GetModuleHandleW(L"comctl32.dll"))
      writeEx = reinterpret_cast<TWriteEx>(reinterpret_cast<void*>(GetProcAddress(comctl, "ImageList_WriteEx")));
  }
  ok = writeEx ? SUCCEEDED(writeEx(List, Flags, com.S)) : ImageList_Write(List, com.S) != FALSE;
  if (!ok) return false;
  HGLOBAL mem = nullptr;
  if (FAILED(GetHGlobalFromStream(com.S, &mem))) return false;
  ULARGE_INTEGER size{};
  LARGE_INTEGER zero{};
  com.S->Seek(zero, STREAM_SEEK_CUR, &size);
  const void* bytes = GlobalLock(mem);
  if (!bytes) return false;
  Stream.Write(bytes, static_cast<std::int64_t>(size.QuadPart));
  GlobalUnlock(mem);
  return true;
}

HIMAGELIST ReadSystemImageList(TStream& Stream) {
  const std::string bytes = Stream.ReadToEnd();
  if (bytes.empty()) return nullptr;
  HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  if (!mem) return nullptr;
  if (void* to = GlobalLock(mem)) {
    std::copy(bytes.begin(), bytes.end(), static_cast<char*>(to));
    GlobalUnlock(mem);
  }
  TComStream com;
  if (FAILED(CreateStreamOnHGlobal(mem, TRUE, &com.S))) {
    GlobalFree(mem);
    return nullptr;
  }
  return ImageList_Read(com.S);
}
