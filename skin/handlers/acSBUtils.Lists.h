#pragma once
// List views, tree views and grids: the edit handler's frame, scroll bars and background,
// the skin's palette pushed into the control's own colours (saved first, given back when the
// skin goes), and the list view's column header painted from the skin.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "platform/ui/Graphics.h"
#include "skin/handlers/acSBUtils.h"

class TCanvas;
class TComponent;

// ---- list views ----
class TacHeaderSubclass;

class TacListViewWnd : public TacEditWnd {
public:
  using TacEditWnd::TacEditWnd;
  ~TacListViewWnd() override;
  HWND FhWndHeader = nullptr;
  TacHeaderSubclass* FhHeaderProc = nullptr;  // the header's subclass, bound to HeaderWndProc
  int FPressedColumn = -1;
  int HoverColIndex = -1;  // -2: the area right of the last column

  void AfterCreation() override;
  void SaveStdParams() override;
  void RestoreStdParams() override;
  void SetSkinParams() override;
  void acWndProc(TMessage& Message) override;

  // 0 icon, 1 small icon, 2 list, 3 report.
  int ViewStyle();
  // The header rectangle of the column shown at display position Index.
  TRect GetHeaderColumnRect(int Index);
  void PaintHeader(HDC DC);
  void ColumnSkinPaint(const TRect& R, int Index, HDC DC);
  // The header's messages while the handler holds it.
  void HeaderWndProc(TMessage& Message);
  bool HotTrack() const { return true; }

private:
  friend class TacHeaderSubclass;
  LONG_PTR FHeaderProcAfterAttach = 0;
  TColor FStdTextBkColor = clNone;  // a dialog's list view: its text background as read
  void TakeHeader(HWND Header);
  void ReleaseHeader();
  void RepaintHeader();
  void ResetHeaderHover();
  void ListViewFollowUp(TMessage& Message);
};

// ---- tree views ----
class TacTreeViewWnd : public TacEditWnd {
public:
  using TacEditWnd::TacEditWnd;
  // Erasing is left out altogether (answered 0, nothing filled), even while updating.
  bool SkipBG = false;
  void SaveStdParams() override;
  void RestoreStdParams() override;
  void SetSkinParams() override;
  void acWndProc(TMessage& Message) override;

private:
  // The owner control draws the tree itself (its custom-draw event is assigned).
  bool OwnerDrawsTree();
};

// ---- grids ----
class TacGridWnd : public TacEditWnd {
public:
  using TacEditWnd::TacEditWnd;
  TColor IndColor = clNone, FixedColor = clNone, TitleColor = clNone, EvenRowColor = clNone, OddRowColor = clNone,
         FooterColor = clNone, GridLineColor = clNone, TitleFontColor = clNone, SelectionColor = clNone,
         FooterCellColor = clNone, SelectionTextColor = clNone, GridFixedLineColor = clNone,
         FixedGradientMirrorTo = clNone, FixedGradientMirrorFrom = clNone;

  void SaveStdParams() override;
  void RestoreStdParams() override;
  void SetSkinParams() override;
  void acWndProc(TMessage& Message) override;

protected:
  void GridWndProc(TMessage& Message);

private:
  void PrintGrid(TMessage& Message);
};

// Grids with parameter objects.
class TacGridEhWnd : public TacGridWnd {
public:
  using TacGridWnd::TacGridWnd;
  bool Fixed3D = false;
  TColor DarkColor = clNone, BrightColor = clNone, DataHorzColor = clNone, DataVertColor = clNone,
         DataGroupColor = clNone, CategoriesColor = clNone, CategoriesFontColor = clNone, RowDetailColor = clNone;
  int IndHorzLines = 0, IndVertLines = 0;
  int InfFillStyle = 0, TitleFillStyle = 0;

  void SaveStdParams() override;
  void RestoreStdParams() override;
  void SetSkinParams() override;
  void acWndProc(TMessage& Message) override;
};

// ---- virtual trees ----
enum THeaderPaintElement { hpeBackground, hpeDropMark, hpeHeaderGlyph, hpeSortGlyph, hpeText };
using THeaderPaintElements = std::uint32_t;  // bit n: element n
enum TDropMarkMode { dmmNone, dmmLeft, dmmRight };
struct THeaderPaintInfo {
  TCanvas* TargetCanvas = nullptr;
  TComponent* Column = nullptr;  // nullptr: the empty area
  TRect PaintRectangle, TextRectangle;
  bool IsHoverIndex = false, IsDownIndex = false, IsEnabled = true, ShowHeaderGlyph = false, ShowSortGlyph = false,
       ShowRightBorder = false;
  TDropMarkMode DropMark = dmmNone;
  TPoint GlyphPos, SortGlyphPos;
};
using TAdvancedHeaderPaintEvent =
    std::function<void(TComponent* Sender, THeaderPaintInfo& PaintInfo, THeaderPaintElements Elements)>;
using THeaderPaintQueryElementsEvent =
    std::function<void(TComponent* Sender, THeaderPaintInfo& PaintInfo, THeaderPaintElements& Elements)>;

// What a virtual tree offers of its header-drawing events; a control without them has none.
class IacHeaderDrawEvents {
public:
  virtual ~IacHeaderDrawEvents() = default;
  virtual TAdvancedHeaderPaintEvent* AdvancedHeaderDrawEvent() = 0;
  virtual THeaderPaintQueryElementsEvent* HeaderDrawQueryElementsEvent() = 0;
  // The caption of a header column of the control.
  virtual std::wstring ColumnText(TComponent* Column) = 0;
};

class TacVirtualTreeViewWnd : public TacEditWnd {
public:
  using TacEditWnd::TacEditWnd;
  TColor HotColor = clNone, FileTextColor = clNone, FolderTextColor = clNone, SelectionTextColor = clNone,
         CompressedTextColor = clNone, FocusedSelectionColor = clNone, UnfocusedSelectionColor = clNone,
         FocusedSelectionBorderColor = clNone, UnfocusedSelectionBorderColor = clNone;
  bool OwnerDraw = false;
  // The events this handler assigned (only those are cleared again).
  bool AssignedHeaderDraw = false, AssignedQueryElements = false;

  void SaveStdParams() override;
  void RestoreStdParams() override;
  void SetSkinParams() override;
  void acWndProc(TMessage& Message) override;
  void AdvancedHeaderDraw(TComponent* Sender, THeaderPaintInfo& PaintInfo, THeaderPaintElements Elements);
  void HeaderDrawQueryElements(TComponent* Sender, THeaderPaintInfo& PaintInfo, THeaderPaintElements& Elements);
};

// Registers the kinds above with the handler factory.
void RegisterListHandlerKinds();
