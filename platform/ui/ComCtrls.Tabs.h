#pragma once
// Tab controls over the system's "SysTabControl32": the plain tab control with a list of tab
// texts, and the page control whose tabs are its pages (TTabSheet windows), showing the page
// of the selected tab in the tab control's display area.
#include <functional>
#include <string>
#include <vector>

#include "platform/ui/Controls.h"

class TCustomImageList;
class TCustomTabControl;
class TPageControl;

enum TTabPosition { tpTop, tpBottom, tpLeft, tpRight };
enum TTabStyle { tsTabs, tsButtons, tsFlatButtons };
// Draws one tab on the control's Canvas (pointed at the tab's DC meanwhile).
using TDrawTabEvent = std::function<void(TCustomTabControl* Control, int TabIndex, const TRect& Rect, bool Active)>;

class TCustomTabControl : public TWinControl {
public:
  explicit TCustomTabControl(TComponent* owner);
  ~TCustomTabControl() override;
  std::wstring ClassName() const override { return L"TCustomTabControl"; }

  // Changes made after the window exists make the window again.
  TTabPosition TabPosition() const { return FTabPosition; }
  void SetTabPosition(TTabPosition value);
  bool MultiLine() const { return FMultiLine; }
  void SetMultiLine(bool value);
  TTabStyle Style() const { return FStyle; }
  void SetStyle(TTabStyle value);
  // The images of the tabs (not owned; forgotten when the list is destroyed).
  TCustomImageList* Images() const { return FImages; }
  void SetImages(TCustomImageList* value);
  // The selected tab; -1 for none.
  int TabIndex() const;
  void SetTabIndex(int value);
  int TabCount() const;
  // The area inside the tabs and the frame, in client coordinates.
  TRect DisplayRect();
  TCanvas& Canvas() { return FCanvas; }
  // Set: the tabs are owner-drawn (TCS_OWNERDRAWFIXED) and drawn through DrawTab.
  TDrawTabEvent OnDrawTab;
  std::function<void()> OnChange;

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateHandle() override;
  void Notification(TComponent* component, TOperation operation) override;
  // The tabs written into a new window: text and image of every tab in order.
  virtual void TabsToWindow() {}
  void InsertTabItem(int Index, const std::wstring& Text, int ImageIndex);
  // The selection changed (TCN_SELCHANGE).
  virtual void Change();
  virtual void DrawTab(int TabIndex, const TRect& Rect, bool Active);

private:
  void CNNotify(TMessage& message);
  void CNDrawItem(TMessage& message);
  TTabPosition FTabPosition = tpTop;
  bool FMultiLine = false;
  TTabStyle FStyle = tsTabs;
  TCustomImageList* FImages = nullptr;
  int FKeptIndex = -1;
  TCanvas FCanvas{nullptr};
};

// A tab control with a list of tab texts.
class TTabControl : public TCustomTabControl {
public:
  using TCustomTabControl::TCustomTabControl;
  std::wstring ClassName() const override { return L"TTabControl"; }
  void AddTab(const std::wstring& Text, int ImageIndex = -1);
  void ClearTabs();
  int TabTextCount() const { return static_cast<int>(FTabs.size()); }

protected:
  void TabsToWindow() override;

private:
  std::vector<std::pair<std::wstring, int>> FTabs;
};

// One page of a page control: a window in the control's display area, shown while its tab
// is selected. Its Caption is its tab's text.
class TTabSheet : public TWinControl {
public:
  explicit TTabSheet(TComponent* owner);
  std::wstring ClassName() const override { return L"TTabSheet"; }
  void BeforeDestruction() override;
  TPageControl* PageControl() const { return FPageControl; }
  // Moves the sheet to another page control (nullptr: none), its tab with it.
  void SetPageControl(TPageControl* value);
  int ImageIndex = -1;
  // The place among the page control's pages; -1 without one.
  int PageIndex() const;
  void SetCaption(const std::wstring& value) override;

private:
  TPageControl* FPageControl = nullptr;
};

class TPageControl : public TCustomTabControl {
public:
  explicit TPageControl(TComponent* owner);
  std::wstring ClassName() const override { return L"TPageControl"; }
  int PageCount() const { return static_cast<int>(FPages.size()); }
  TTabSheet* Pages(int Index) const;
  TTabSheet* ActivePage() const;
  void SetActivePage(TTabSheet* page);
  int ActivePageIndex() const { return TabIndex(); }
  void SetActivePageIndex(int value);

protected:
  void TabsToWindow() override;
  void Change() override;
  void AlignControls(TRect area) override;

private:
  friend class TTabSheet;
  void InsertPage(TTabSheet* page);
  void RemovePage(TTabSheet* page);
  void ShowActivePage();
  std::vector<TTabSheet*> FPages;
};
