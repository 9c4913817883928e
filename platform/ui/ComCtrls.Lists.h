#pragma once
// Thin framework controls over comctl32's up-down, list-view and tree-view classes.
#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <string>

#include "platform/ui/Controls.h"

class TCustomImageList;

// "msctls_updown32".
class TUpDown : public TWinControl {
public:
  explicit TUpDown(TComponent* owner);
  std::wstring ClassName() const override { return L"TUpDown"; }
  TARVEL_PUBLISHED_CLASS(TUpDown)
  int Min = 0, Max = 100;
  int Position() const;
  void SetPosition(int value);

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateHandle() override;

private:
  int FPosition = 0;
};

// The view styles in the order the list view's handler numbers them.
enum TViewStyle { vsIcon, vsSmallIcon, vsList, vsReport };

// "SysListView32".
class TListView : public TWinControl {
public:
  explicit TListView(TComponent* owner);
  std::wstring ClassName() const override { return L"TListView"; }
  TARVEL_PUBLISHED_CLASS(TListView)
  TViewStyle ViewStyle() const { return FViewStyle; }
  void SetViewStyle(TViewStyle value);
  TCustomImageList* SmallImages() const { return FSmallImages; }
  void SetSmallImages(TCustomImageList* value);
  // A column at the end of the header; its index.
  int AddColumn(const std::wstring& caption, int width);
  // An item with the texts of its first columns; its index.
  int AddItem(const std::wstring& caption, const std::wstring& sub = L"");

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateHandle() override;

private:
  // The window takes the control's colour and font colour.
  void ApplyColors();
  TViewStyle FViewStyle = vsIcon;
  TCustomImageList* FSmallImages = nullptr;
};

// "SysTreeView32".
class TTreeView : public TWinControl {
public:
  explicit TTreeView(TComponent* owner);
  std::wstring ClassName() const override { return L"TTreeView"; }
  TARVEL_PUBLISHED_CLASS(TTreeView)
  // The tree's own custom drawing: an assigned event draws the tree, background included.
  std::function<void(TTreeView* Sender, const RECT& R, bool& DefaultDraw)> OnCustomDraw;
  // An item under Parent (nullptr: a root); its handle.
  HTREEITEM AddItem(HTREEITEM parent, const std::wstring& text);

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateHandle() override;

private:
  void ApplyColors();
};
