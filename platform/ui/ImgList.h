#pragma once
// The framework's image list: a component over a comctl32 image list (HIMAGELIST) with the
// look settings the list is made and drawn with, change notification to its users, and the
// list's own stream form (ImageList_Write / ImageList_Read through an IStream adapter).
// The handle is made lazily by CreateListHandle and freed by FreeListHandle, both of which a
// derived list may replace.
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <vector>

#include "platform/ui/Controls.h"
#include "platform/ui/Graphics.h"

class TStream;
class TCustomImageList;

enum TImageType { itImage, itMask };
enum TDrawingStyle { dsFocus, dsSelected, dsNormal, dsTransparent };

// A user of an image list hears every change through its link.
class TChangeLink {
public:
  TChangeLink() = default;
  ~TChangeLink();
  TChangeLink(const TChangeLink&) = delete;
  TChangeLink& operator=(const TChangeLink&) = delete;
  // The list the link is registered with, or nullptr.
  TCustomImageList* Sender() const { return Images; }
  TCustomImageList* Images = nullptr;
  std::function<void()> OnChange;
};

class TCustomImageList : public TComponent {
public:
  explicit TCustomImageList(TComponent* AOwner, int AWidth = 16, int AHeight = 16);
  ~TCustomImageList() override;
  std::wstring ClassName() const override { return L"TCustomImageList"; }

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  // A new size frees the images (the handle is made again at the new size) and tells the users.
  virtual void SetWidth(int Value);
  virtual void SetHeight(int Value);
  void SetSize(int AWidth, int AHeight) {
    SetWidth(AWidth);
    SetHeight(AHeight);
  }

  bool Masked = true;
  TImageType ImageType = itImage;
  TDrawingStyle DrawingStyle = dsNormal;
  // A shared handle belongs to someone else: it is never destroyed here.
  bool ShareImages = false;
  TColor BlendColor = clNone;
  int AllocBy = 4;
  virtual TColor BkColor() const { return FBkColor; }
  virtual void SetBkColor(TColor Value);

  // The system list, made on first use (nullptr when it cannot be made).
  HIMAGELIST Handle();
  bool HandleAllocated() const { return FHandle != nullptr; }
  // Takes a system list: frees the old one (unless shared), takes the new one's icon size.
  void SetHandle(HIMAGELIST Value);

  virtual int GetCount();
  int Count() { return GetCount(); }
  // Images of the system list (whatever the derived list counts).
  int ImageCount() const { return FHandle ? ImageList_GetImageCount(FHandle) : 0; }

  // Adds a bitmap (its width a multiple of Width) with a mask colour; the index of the
  // first image added, -1 on failure.
  int AddMasked(HBITMAP Image, COLORREF MaskColor);
  // Appends an icon (copied by the system list); its index or -1.
  int AddIcon(HICON Icon);
  // Index -1 appends; false when the system list refuses.
  bool ReplaceIcon(int Index, HICON Icon);
  // A new icon of the image (the caller destroys it); nullptr for a bad index.
  HICON GetIcon(int Index, UINT Flags = ILD_NORMAL);
  void Delete(int Index);
  void Move(int CurIndex, int NewIndex);
  // Removes every image.
  virtual void Clear();

  // Draws one image through DoDraw with the list's drawing style.
  void Draw(TCanvas* Canvas, int X, int Y, int Index, bool Enabled = true);
  virtual void DoDraw(int Index, TCanvas* Canvas, int X, int Y, UINT Style, bool Enabled);

  // Tells every registered link (and OnChange) that the images changed.
  virtual void Change();
  std::function<void()> OnChange;
  void RegisterChanges(TChangeLink* Link);
  void UnRegisterChanges(TChangeLink* Link);

  // The list's stream form: the system list's own format.
  virtual void ReadData(TStream& Stream);
  virtual void WriteData(TStream& Stream);

  // The framework's copy: size, settings and a copy of the system list.
  virtual void Assign(TCustomImageList* Source);

protected:
  virtual HIMAGELIST CreateListHandle();
  virtual void FreeListHandle();
  UINT DrawingStyleFlags() const;
  int FWidth, FHeight;
  TColor FBkColor = clNone;

private:
  HIMAGELIST FHandle = nullptr;
  std::vector<TChangeLink*> FLinks;
};

class TImageList : public TCustomImageList {
public:
  using TCustomImageList::TCustomImageList;
  std::wstring ClassName() const override { return L"TImageList"; }
};

// Writes a system list to Stream with ImageList_Write (or, when Flags is not 0 and comctl32
// exports it, ImageList_WriteEx), through an HGLOBAL stream; false when the list refuses.
bool WriteSystemImageList(HIMAGELIST List, TStream& Stream, DWORD Flags = 0);
// A system list from the stream's bytes at its position; nullptr when they are no list.
HIMAGELIST ReadSystemImageList(TStream& Stream);
