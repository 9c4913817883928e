// The scroll box, the static text and the panel's frame style on real windows.
#include <gtest/gtest.h>

#include "platform/ui/ExtCtrls.h"
#include "platform/ui/Forms.h"
#include "platform/ui/StdCtrls.h"
#include "skin/graphics/acntUtils.h"

namespace {

SCROLLINFO BarInfo(HWND Wnd, int Bar) {
  SCROLLINFO si{};
  si.cbSize = sizeof(si);
  si.fMask = SIF_ALL;
  GetScrollInfo(Wnd, Bar, &si);
  return si;
}

bool BarShown(HWND Wnd, int Bar) {
  return (GetWindowLongPtrW(Wnd, GWL_STYLE) & (Bar == SB_HORZ ? WS_HSCROLL : WS_VSCROLL)) != 0;
}

}  // namespace

// A range longer than the client shows the bar; arrow, page and thumb messages move the
// children by the position's change, kept inside the range; a range the client holds
// hides the bar again.
TEST(ScrollBox, BarsFollowTheRangeAndMoveTheChildren) {
  Application().Initialize();
  TForm form(nullptr);
  form.SetClientSize(300, 240);
  auto* box = new TScrollBox(&form);
  box->SetBounds(10, 10, 200, 150);
  box->SetParent(&form);
  auto* child = new TPanel(&form);
  child->SetBounds(5, 40, 50, 30);
  child->SetParent(box);
  form.Show();
  EXPECT_TRUE(box->ControlStyle() & csAcceptsControls);
  EXPECT_TRUE(GetWindowLongPtrW(box->Handle(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
  EXPECT_FALSE(BarShown(box->Handle(), SB_VERT));
  box->VertScrollBar.SetRange(600);
  ASSERT_TRUE(BarShown(box->Handle(), SB_VERT));
  const int page = box->VertScrollBar.VisibleLength();
  EXPECT_EQ(BarInfo(box->Handle(), SB_VERT).nMax, 599);
  EXPECT_EQ(static_cast<int>(BarInfo(box->Handle(), SB_VERT).nPage), page);
  struct TStep {
    WORD Code;
    int Position;
  } steps[] = {{SB_LINEDOWN, 8}, {SB_LINEDOWN, 16}, {SB_PAGEDOWN, 16 + page}, {SB_LINEUP, 8 + page},
               {SB_BOTTOM, 600 - page}, {SB_TOP, 0}, {SB_LINEUP, 0}};
  for (const TStep& s : steps) {
    SCOPED_TRACE(s.Code);
    SendMessageW(box->Handle(), WM_VSCROLL, s.Code, 0);
    EXPECT_EQ(box->VertScrollBar.Position(), s.Position);
    EXPECT_EQ(BarInfo(box->Handle(), SB_VERT).nPos, s.Position);
    EXPECT_EQ(child->Top(), 40 - s.Position);
    RECT wr{}, br{};
    GetWindowRect(child->Handle(), &wr);
    GetClientRect(box->Handle(), &br);
    MapWindowPoints(box->Handle(), nullptr, reinterpret_cast<POINT*>(&br), 2);
    EXPECT_EQ(wr.top - br.top, 40 - s.Position);
  }
  box->VertScrollBar.SetPosition(100);
  box->VertScrollBar.SetRange(50);  // held by the client: no bar, children back in place
  EXPECT_EQ(box->VertScrollBar.Position(), 0);
  EXPECT_EQ(child->Top(), 40);
  EXPECT_FALSE(BarShown(box->Handle(), SB_VERT));
  box->SetBorderStyle(bsNone);
  EXPECT_FALSE(GetWindowLongPtrW(box->Handle(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
}

// The static text wraps "STATIC" with its alignment, publishes "Alignment" by name, and
// its bevel kind puts a frame of the bevels' widths around the client area.
TEST(StaticText, AlignmentByNameAndBevelFrame) {
  Application().Initialize();
  TForm form(nullptr);
  form.SetClientSize(300, 200);
  auto* text = new TStaticText(&form);
  text->SetBounds(10, 10, 120, 30);
  text->SetCaption(L"Text");
  text->SetParent(&form);
  form.Show();
  wchar_t cls[32] = {};
  GetClassNameW(text->Handle(), cls, 32);
  EXPECT_STREQ(cls, L"TStaticText");
  struct TCase {
    int Value;
    LONG_PTR Style;
  } cases[] = {{1, SS_RIGHT}, {2, SS_CENTER}, {0, SS_LEFT}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Value);
    SetOrdProperty(text, L"Alignment", c.Value);
    EXPECT_EQ(GetOrdProperty(text, L"Alignment"), c.Value);
    EXPECT_EQ(GetWindowLongPtrW(text->Handle(), GWL_STYLE) & SS_TYPEMASK, c.Style);
    EXPECT_EQ(text->Caption(), L"Text");
  }
  RECT cr{};
  GetClientRect(text->Handle(), &cr);
  EXPECT_EQ(cr.right, 120);
  text->BevelOuter = bvRaised;
  text->BevelInner = bvLowered;
  text->BevelWidth = 2;
  text->SetBevelKind(bkFlat);
  GetClientRect(text->Handle(), &cr);
  EXPECT_EQ(cr.right, 120 - 2 * 4);
  EXPECT_EQ(cr.bottom, 30 - 2 * 4);
  EXPECT_EQ(GetOrdProperty(text, L"BevelKind"), static_cast<int>(bkFlat));
}

TEST(Panel, AcceptsControlsAndHasASingleBorderStyle) {
  Application().Initialize();
  TForm form(nullptr);
  auto* panel = new TPanel(&form);
  panel->SetParent(&form);
  form.Show();
  EXPECT_TRUE(panel->ControlStyle() & csAcceptsControls);
  EXPECT_FALSE(GetWindowLongPtrW(panel->Handle(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
  panel->SetBorderStyle(bsSizeable);  // any frame but none is the single one
  EXPECT_EQ(panel->BorderStyle(), bsSingle);
  EXPECT_TRUE(GetWindowLongPtrW(panel->Handle(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
}

namespace {
// A class of this file only, registered beside a class of the library.
struct TLocalPublished : TComponent {
  using TComponent::TComponent;
  TARVEL_PUBLISHED_CLASS(TLocalPublished)
  int Mode = 0;
};
}  // namespace

// Classes of an anonymous namespace and library classes registered in either order each
// keep their own properties.
TEST(StaticText, PublishedBesideALocalClass) {
  static const bool registered = [] {
    RegisterPublished<TLocalPublished>().Ordinal(
        L"Mode", [](TLocalPublished& o) { return o.Mode; }, [](TLocalPublished& o, int v) { o.Mode = v; });
    return true;
  }();
  (void)registered;
  TStaticText text(nullptr);
  TLocalPublished local(nullptr);
  EXPECT_TRUE(published_detail::IsRegistered(typeid(TLocalPublished)));
  EXPECT_TRUE(published_detail::IsRegistered(typeid(TCustomStaticText)));
  SetOrdProperty(&local, L"Mode", 4);
  EXPECT_EQ(local.Mode, 4);
  EXPECT_EQ(GetOrdProperty(&local, L"Alignment"), -1);
  SetOrdProperty(&text, L"Alignment", 2);
  EXPECT_EQ(text.Alignment(), taCenter);
  EXPECT_EQ(GetOrdProperty(&text, L"Mode"), -1);
}
