#pragma once
// The caption markup renderer: lays out and draws a caption written in a small tag language
// (B, I, U, FONT, A, BR, P and character entities) in two passes, a measure pass that records
// every row's size and a draw pass that aligns each row by it.
//
// The scanner and the layout are plain C++ behind TacHtmlCanvas, which measures and draws
// text; the real canvas over a bitmap's DC is the Windows part of this unit. So the scanner
// also builds and runs natively (fuzzing), as the skin readers' cores do.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#ifdef _WIN32
#include "platform/ui/Controls.h"
#include "platform/ui/Graphics.h"
#include "platform/ui/StdCtrls.h"
#else
// The few framework types the scanner speaks in, for native builds.
using TColor = std::int32_t;
struct TRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  friend bool operator==(const TRect&, const TRect&) = default;
};
inline TRect Rect(int left, int top, int right, int bottom) { return TRect{left, top, right, bottom}; }
enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TBiDiMode { bdLeftToRight, bdRightToLeft, bdRightToLeftNoAlign, bdRightToLeftReadingOnly };
enum TTextLayout { tlTop, tlCenter, tlBottom };
class TBitmap;
#endif

class TsSkinManager;

// Text format flags the renderer hands to its canvas (the values of DrawTextW's).
constexpr unsigned acDT_RIGHT = 0x2, acDT_VCENTER = 0x4, acDT_NOCLIP = 0x100, acDT_RTLREADING = 0x20000;

// A link the renderer drew: its rectangle in the bitmap and its target.
struct TacLink {
  TRect R;
  std::wstring Target;
};
using TacLinks = std::vector<TacLink>;

// A font as the renderer changes it. Height is in pixels (negative: character height) as
// the bitmap's font had it; once a SIZE changed the size, Height is 0 and Size (points) rules.
struct TacHtmlFont {
  std::wstring Name;
  int Height = 0;
  int Size = 8;
  TColor Color = 0;
  bool Bold = false, Italic = false, Underline = false;
  friend bool operator==(const TacHtmlFont&, const TacHtmlFont&) = default;
};

struct TacTextSize {
  int cx = 0;
  int cy = 0;
};

// What the renderer needs of its target: its font, text measuring and drawing in a font.
class TacHtmlCanvas {
public:
  virtual ~TacHtmlCanvas() = default;
  // The target's font as the caller set it (the default font and colour of the caption).
  virtual TacHtmlFont InitialFont() = 0;
  virtual TacTextSize TextSize(const TacHtmlFont& Font, std::wstring_view Text) = 0;
  // Text in Font (its colour) into R with the format flags; AlphaChannel keeps the
  // target's alpha correct.
  virtual void DrawText(const TacHtmlFont& Font, std::wstring_view Text, const TRect& R, unsigned Flags,
                        bool AlphaChannel) = 0;
};

// One row the measure pass recorded: its size and its text.
struct TacLineData {
  int Width = 0;
  int Height = 0;
  std::wstring Text;
};

// The named colours of FONT COLOR (red in the low byte).
struct TacHtmlColorName {
  const wchar_t* Name;
  TColor Color;
};
extern const TacHtmlColorName acHtmlColors[16];

// The character entities, searched in order: a reference matches a row by its name
// (ignoring case) or by its code exactly.
struct TacHtmlEntity {
  const wchar_t* Name;
  const wchar_t* Code;
  wchar_t Char;
};
extern const TacHtmlEntity acHtmlEntities[87];
// The row a reference (the text between "&" and ";") stands for, or nullptr.
const TacHtmlEntity* FindHtmlEntity(std::wstring_view Reference);

class TsHtml {
public:
  TsHtml();
  ~TsHtml();
  TsHtml(const TsHtml&) = delete;
  TsHtml& operator=(const TsHtml&) = delete;

  std::wstring sCurrentTag, sCurrentChar, sPrevTag, sPrevChar;
  std::wstring Origin, UppedText;
  int Len = 0;
  int CurX = 0, CurY = 0;
  int HotLink = -1, PressedLink = -1;
  int LineNumber = 0;
  int MaxBmpWidth = 0, MaxBmpHeight = 0;
  int CurWidthValue = 0;
  int CurrentRowHeight = 0;
  // Character positions, counted from 0: the scan, the start of the text not yet drawn, the
  // start of the current row and the two positions saved at the last break point.
  int CurPos = 0, LastPos = 0, LinePos = 0, PrevPos = 0, PrevLastPos = 0;
  TRect Area;
  TacLinks Links;
  TBitmap* Bitmap = nullptr;
  TTextLayout Layout = tlTop;
  bool Calculating = false;
  TAlignment Alignment = taLeftJustify;
  bool AlphaChannel = false;
  TBiDiMode BidiMode = bdLeftToRight;
  // Fonts saved by FONT and A: descriptions, so unclosed tags cost memory, not GDI handles.
  std::vector<TacHtmlFont> aFonts;
  std::vector<TacLineData> aLineSizes;
  TsSkinManager* SkinManager = nullptr;
  TColor DefaultFontColor = 0;

  // Scan steps of the last HTMLText; a positive StepLimit calls OnStepLimit once the
  // steps pass it (the fuzz target's guard against endless scans).
  std::size_t ScanSteps = 0;
  std::size_t StepLimit = 0;
  std::function<void()> OnStepLimit;

#ifdef _WIN32
  // The bitmap to draw into (its canvas font and font colour are the defaults), the text,
  // the links to show pressed and hot, and the area to lay the text out in.
  void Init(TBitmap* ABitmap, const std::wstring& Text, int APressedLink, int AHotLink, const TRect& AArea);
#endif
  // The same over any canvas (not owned).
  void Init(TacHtmlCanvas* ACanvas, const std::wstring& Text, int APressedLink, int AHotLink, const TRect& AArea);
  // Lays the text out: with MeasureOnly the measure pass alone, else measure and draw.
  // Answers (0, 0, MaxBmpWidth, MaxBmpHeight); ALinks receives the links found.
  TRect HTMLText(TacLinks& ALinks, bool MeasureOnly);

private:
  // A piece of text the draw pass puts out; kept until the pass ends, so that a return to
  // the last break point takes back what was laid out after it.
  struct TDrawOp {
    TacHtmlFont Font;
    std::wstring Text;
    TRect R;
    unsigned Flags;
  };
  // Everything a return to the break point puts back.
  struct TBreakState {
    int CurX = 0, CurY = 0, CurWidthValue = 0, CurrentRowHeight = 0;
    TacHtmlFont Font;
    std::size_t Fonts = 0, Links = 0, Ops = 0;
    TacLink LastLink;
    int OpenLinks = 0;
  };

  void Pass();
  void Scan();
  int RowStartX();
  int MeasuredRow(bool Height);
  bool Fits(int Width) const;
  void SaveBreak();
  bool BreakCheck();
  void NewRow(bool Gap);
  void DrawPiece(int From, int To);
  void PutText(std::wstring_view Text, int Width, int Height, unsigned Flags);
  void WrapRow();
  unsigned TextFlags() const;
  TacTextSize Measure(std::wstring_view Text) { return FCanvas->TextSize(FFont, Text); }
  int YyHeight() { return Measure(L"Yy").cy; }
  enum class TTagResult { NotATag, Done, NewRow };
  TTagResult DoTag(const std::wstring& Tag, int TagStart);
  void DoFont(const std::wstring& Tag);
  void DoLink(int TagStart, int TagEnd);
  void EndLink();
  void PopFont();
  void DoEntity();
  TColor LinkColor(int State) const;
  void Step();

  TacHtmlCanvas* FCanvas = nullptr;
  std::unique_ptr<TacHtmlCanvas> FOwnCanvas;
  TacHtmlFont FInitialFont, FFont;
  int FRowStart = 0;
  int FOpenLinks = 0;
  std::vector<TDrawOp> FOps;
  TBreakState FBreak;
  // Saved fonts popped since the break point, so that going back there restores them.
  std::vector<TacHtmlFont> FPopped;
};
