#pragma once
// Hints of the skin engine: the hint templates (a nine-sliced balloon picture with borders,
// margins, shadow sizes and a font) and their "OVhh" stream.
//
// The stream's reader and writer work on a plain description of a template
// (TacHintTemplateData) and check every picture with our own PNG and BMP cores, so they
// build and run natively too (fuzzing).
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/runtime/Streams.h"

enum TacBorderDrawMode : std::uint8_t { dmRepeat, dmStretch };
enum TacMousePosition { mpLeftTop, mpLeftBottom, mpRightTop, mpRightBottom };
enum TacHintAlign { haHorzCenter, haVertCenter };

// Four sizes of a hint picture; kept as stored, read as 0 when negative.
struct TacBordersSizes {
  std::int32_t FTop = 0, FLeft = 0, FRight = 0, FBottom = 0;
  int Top() const { return FTop < 0 ? 0 : FTop; }
  int Left() const { return FLeft < 0 ? 0 : FLeft; }
  int Right() const { return FRight < 0 ? 0 : FRight; }
  int Bottom() const { return FBottom < 0 ? 0 : FBottom; }
  friend bool operator==(const TacBordersSizes&, const TacBordersSizes&) = default;
};

// How each part of the nine slices fills its place; a stored byte other than 0 stretches.
struct TacBorderDrawModes {
  std::uint8_t FTop = dmStretch, FLeft = dmStretch, FRight = dmStretch, FCenter = dmStretch,
               FBottom = dmStretch;
  static TacBorderDrawMode Mode(std::uint8_t stored) { return stored == dmRepeat ? dmRepeat : dmStretch; }
  TacBorderDrawMode Top() const { return Mode(FTop); }
  TacBorderDrawMode Left() const { return Mode(FLeft); }
  TacBorderDrawMode Right() const { return Mode(FRight); }
  TacBorderDrawMode Center() const { return Mode(FCenter); }
  TacBorderDrawMode Bottom() const { return Mode(FBottom); }
  friend bool operator==(const TacBorderDrawModes&, const TacBorderDrawModes&) = default;
};

// Kinds of picture in a stream's image record.
constexpr char acHintPicturePng = '1';
constexpr char acHintPictureBmp = '0';

// One image of a template as the stream holds it: the picture is the file's bytes.
struct TacHintImageData {
  TacBorderDrawModes BorderDrawModes;
  TacBordersSizes BordersWidths, ClientMargins, ShadowSizes;
  char PictureKind = acHintPicturePng;
  std::string Picture;
  friend bool operator==(const TacHintImageData&, const TacHintImageData&) = default;
};

// The images of a template, in the order the component names them.
enum TacHintImageIndex { hiDefault, hiLeftBottom, hiRightBottom, hiRightTop };

// Font style bits of the stream.
constexpr std::uint8_t acHintBold = 1, acHintItalic = 2, acHintUnderline = 4, acHintStrikeOut = 8;

// The font name kept of a stream (bytes of the ANSI code page).
constexpr std::size_t acHintFontNameLimit = 63;

struct TacHintTemplateData {
  std::int32_t FontColor = 0;
  std::int32_t FontSize = 9;
  std::uint8_t FontStyle = 0;
  std::string FontName;  // in the system's ANSI code page
  std::array<TacHintImageData, 4> Images;
  // A template of one image: its left-bottom image is empty.
  bool SingleImage() const { return Images[hiLeftBottom].Picture.empty(); }
  friend bool operator==(const TacHintTemplateData&, const TacHintTemplateData&) = default;
};

// Reads a template stream from its start. Answers nothing when the signature is not
// "OVhh"; a stream that ends early, or whose lengths do not fit the bytes left, raises the
// platform's stream error (EReadError); a picture that our PNG or BMP core refuses raises
// EInvalidGraphic.
std::optional<TacHintTemplateData> ReadHintTemplateStream(TStream& Stream);
// Empties Stream and writes Data: the flag "1" always, corner records only for a template
// of four images, a negative font colour as 0.
void WriteHintTemplateStream(TStream& Stream, const TacHintTemplateData& Data);

#ifdef _WIN32
#include <functional>
#include <memory>
#include <vector>

#include "platform/ui/Frames.h"
#include "platform/ui/Graphics.h"
#include "platform/ui/HintWindow.h"
#include "skin/graphics/acThdTimer.h"

// The default template's description: the picture RCDATA "ACHINT" with its borders,
// shadows and margins, every part stretched.
TacHintTemplateData DefaultHintTemplateData();
// The picture of a template image as a 32-bit bitmap with alpha; nullptr when it has none.
std::unique_ptr<TBitmap> HintPicture(const TacHintImageData& Image);
// A template hint of Width x Height: Picture cut in nine slices by the image's borders (kept
// inside the picture) and drawn by its draw modes, Content drawn into the client area (the
// hint less the client margins), the alpha of the slices restored and the pixels
// premultiplied, as a layered window takes them.
std::unique_ptr<TBitmap> ComposeTemplateHint(const TacHintImageData& Image, TBitmap* Picture, int Width, int Height,
                                             const std::function<void(TBitmap* Bmp, const TRect& Client)>& Content);

class TsAlphaHints;
class TacHintTemplate;
class TacHintTemplates;
class TacCustomHintWindow;
class TacPngHintWindow;
class TsShowTimer;

enum TacHintState { hsNormal, hsInit };

// The data of a record-driven hint.
struct TacShowHintData {
  int Width = 0, Height = 0;
  TPoint Position{};
  std::wstring Caption;
  TControl* Control = nullptr;
  TBitmap* Image = nullptr;
  // 0 left, 1 top, 2 right, 3 bottom.
  std::uint8_t ImageAlignment = 0;
};

using TacShowHintEvent =
    std::function<void(std::wstring& HintStr, bool& CanShow, THintInfo& HintInfo, TFrame*& Frame)>;
using TacMeasureEvent =
    std::function<void(const std::wstring& HintStr, const THintInfo& HintInfo, int& NewWidth, int& NewHeight)>;
using TacPaintEvent = std::function<void(const std::wstring& HintStr, const THintInfo& HintInfo, const TRect& ARect,
                                         TBitmap* ABmp, bool& DefaultDraw)>;

// One picture of a template with its slicing: borders, margins and shadow sizes, and the
// PNG bytes it was loaded from ("ImgData"), kept so that it is written back unchanged.
class TacHintImage {
public:
  explicit TacHintImage(TacHintTemplate* AOwner) : FOwner(AOwner) {}
  int OffsetHorz() const { return FOffsetHorz; }
  int OffsetVert() const { return FOffsetVert; }
  void SetOffsetHorz(int Value);
  void SetOffsetVert(int Value);
  TacBordersSizes ShadowSizes, ClientMargins, BordersWidths;
  TacBorderDrawModes BorderDrawModes;
  int ImageWidth() const { return FImage ? FImage->Width() : 0; }
  int ImageHeight() const { return FImage ? FImage->Height() : 0; }
  // The picture (32-bit with alpha), nullptr when there is none.
  TBitmap* Image() const { return FImage.get(); }
  // A copy of Picture (nullptr empties it); borders and margins are cut at its middle.
  void SetImage(TBitmap* Picture);
  const std::string& ImageData() const { return FImageData; }
  // New PNG bytes: the picture is read from them (EInvalidGraphic for bad bytes).
  void SetImageData(std::string Png);
  // The picture from the stored bytes when it is empty and bytes are stored.
  void LoadFromData();
  bool Empty() const { return FImageData.empty() && !FImage; }
  void Assign(const TacHintImage& Source);
  // The stream's description of the image and back.
  TacHintImageData Data() const;
  void LoadData(const TacHintImageData& Data);
  void Changed();

private:
  TacHintTemplate* FOwner;
  int FOffsetHorz = 0, FOffsetVert = 0;
  std::unique_ptr<TBitmap> FImage;
  std::string FImageData;
};

class TacHintTemplate {
public:
  explicit TacHintTemplate(TacHintTemplates* AOwner);
  // The images by TacHintImageIndex: default, left-bottom, right-bottom, right-top.
  TacHintImage& Images(int Index) { return *FImages[static_cast<std::size_t>(Index)]; }
  TacHintImage& ImageDefault() { return Images(hiDefault); }
  TacHintImage& Img_LeftBottom() { return Images(hiLeftBottom); }
  TacHintImage& Img_RightBottom() { return Images(hiRightBottom); }
  TacHintImage& Img_RightTop() { return Images(hiRightTop); }
  TFont Font;
  std::wstring Name;
  TacHintAlign HintAlign = haHorzCenter;
  // A single image: the left-bottom image has neither stored bytes nor a picture.
  bool SingleImage() const { return FImages[hiLeftBottom]->Empty(); }
  void Assign(const TacHintTemplate& Source);
  TacHintTemplates* Collection() const { return FOwner; }
  void Changed();
  TacHintTemplateData Data() const;
  void LoadData(const TacHintTemplateData& Data);

private:
  TacHintTemplates* FOwner;
  std::array<std::unique_ptr<TacHintImage>, 4> FImages;
};

class TacHintTemplates {
public:
  explicit TacHintTemplates(TsAlphaHints* AOwner) : FOwner(AOwner) {}
  int Count() const { return static_cast<int>(FItems.size()); }
  TacHintTemplate* Items(int Index) const { return FItems[static_cast<std::size_t>(Index)].get(); }
  TacHintTemplate* Add();
  // Adds a template made elsewhere (a stream read completely).
  TacHintTemplate* Add(std::unique_ptr<TacHintTemplate> Item);
  void Clear() { FItems.clear(); }
  void Assign(const TacHintTemplates& Source);
  TsAlphaHints* Owner() const { return FOwner; }

private:
  TsAlphaHints* FOwner;
  std::vector<std::unique_ptr<TacHintTemplate>> FItems;
};

// The layered window a hint is seen in.
class TacHintDisplayWindow : public TWinControl {
public:
  TacHintDisplayWindow(TComponent* AOwner, bool DropShadow);
  std::wstring ClassName() const override { return L"TacHintDisplayWindow"; }
  bool DropShadow() const { return FDropShadow; }
  // Bmp (premultiplied 32-bit) on the window at Opacity, the window at R (left, top; the
  // bitmap's size), top-most and without activation.
  void ShowImage(TBitmap* Bmp, int Opacity, TPoint At);
  // The opacity and image size last handed to UpdateLayeredWindow.
  int LastOpacity = -1;
  TSize LastSize{};

protected:
  void CreateParams(TCreateParams& params) override;

private:
  bool FDropShadow;
};

class TsAlphaHints : public TComponent {
public:
  explicit TsAlphaHints(TComponent* AOwner);
  ~TsAlphaHints() override;
  std::wstring ClassName() const override { return L"TsAlphaHints"; }
  void AfterConstruction() override;
  void Loaded() override;

  // Properties.
  int MaxWidth = 120;
  int PauseHide() const { return FPauseHide; }
  void SetPauseHide(int Value);
  bool Animated = true;
  bool HTMLMode = false;
  bool AutoAlignment() const { return FAutoAlignment; }
  void SetAutoAlignment(bool Value);
  TAlignment TextAlignment = taCenter;
  TacMousePosition DefaultMousePos = mpLeftTop;
  bool Active() const { return FActive; }
  void SetActive(bool Value);
  bool UseSkinData = false;
  std::wstring SkinSection() const { return FSkinSection; }
  void SetSkinSection(const std::wstring& Value) { FSkinSection = Value; }
  std::wstring TemplateName() const { return FTemplateName; }
  void SetTemplateName(const std::wstring& Value);
  int TemplateIndex() const { return FTemplateIndex; }
  TacHintTemplates& Templates() { return *FTemplates; }
  void SetTemplates(const TacHintTemplates& Value) { FTemplates->Assign(Value); }

  TacShowHintEvent OnShowHint;
  TacMeasureEvent OnMeasure;
  TacPaintEvent OnPaint;
  std::function<void(TComponent* Sender)> OnHideHint;
  std::function<void(TComponent* Sender)> OnChange;

  // Fires OnChange unless loading.
  void Changed();
  // Dest takes copies of this component's templates and its settings.
  void AssignTo(TsAlphaHints& Dest);
  bool Skinned();
  int GetSkinIndex();
  // The application's show-hint handler while this component is loaded.
  void OnShowHintApp(std::wstring& HintStr, bool& CanShow, THintInfo& HintInfo);
  void ShowHint(TPoint Position, const std::wstring& HintText, int HideTime = 0);
  void ShowHint(TControl* Control, const std::wstring& HintText, int HideTime = 0);
  void ShowHint(const TacShowHintData& ShowData, int HideTime = 0);
  void HideHint();
  void HideAll();
  void KillTimer();
  void RepaintHint();
  void InitTemplate();
  void CheckAutoHintPos();
  // The template font scaled for the screen into Font (-12 when the template's is not used).
  void ScaledHintFont(TFont& Font, bool UseTemplateFont);
  // Offsets inside a hint: Value pixels scaled as the fonts are.
  int ScaleHintValue(int Value);
  // Templates in streams and files.
  void SaveToStream(TMemoryStream& Stream);
  void SaveToFile(const std::wstring& FileName);
  TacHintTemplate* LoadFromStream(TMemoryStream& Stream);
  TacHintTemplate* LoadFromFile(const std::wstring& FileName);

  // State (the hint windows and the show animation work on it).
  int FOldHintPause = 0;
  TPoint FHintPos{-1, -1};
  TacShowHintData TmpShowData;
  TControl* HintTimeCtrl = nullptr;
  TacThreadedTimer* HideTimer = nullptr;
  TacThreadedTimer* CheckTimer = nullptr;
  std::unique_ptr<TBitmap> FCacheBmp;
  std::unique_ptr<TBitmap> OldAlphaBmp;
  double Blend = 0;
  TacHintState State = hsNormal;
  bool CmpChanging = false;
  TsShowTimer* ShowTimer = nullptr;
  bool ShadowCalculated = false;
  THintInfo CurrentHintInfo;
  TacHintDisplayWindow* NewWindow = nullptr;
  TacHintDisplayWindow* AnimWindow = nullptr;
  TPoint FHintLocation{};
  bool HintCreating = false;
  bool HintShowing = false;
  TFrame* HintFrame = nullptr;
  HWND HintWindowHandle = nullptr;
  TacPngHintWindow* HintWindow = nullptr;
  TRect NewBounds{};

  void OnHideTimer();
  void OnCheckTimer();
  void StartHideTimer(int HideTime);
  void StartCheckTimer();
  // While hints follow one another the application's hint pause is 100 ms; the check timer
  // gives the saved one back.
  void SaveHintPause();
  // The display window at Bounds: made (owned by this component) or resized; remade when its
  // drop shadow does not fit.
  TacHintDisplayWindow* MakeDisplayWindow(TacHintDisplayWindow*& Window, const TRect& Bounds, bool DropShadow);
  void FreeDisplayWindow(TacHintDisplayWindow*& Window);
  // The frame shown in the hint goes (it is the component's once an OnShowHint gave it).
  void ReleaseFrame();
  void SetHintFrame(TFrame* Frame);

protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

private:
  void UpdateActiveState();
  // What the three ShowHint calls share once the window exists and measured.
  void ShowPrepared(const std::wstring& Text, TRect R, int HideTime);
  void EnsureHintWindow();
  void CutShowAnimation();
  int FPauseHide = 5000;
  bool FAutoAlignment = false;
  bool FActive = true;
  int FTemplateIndex = -1;
  std::wstring FTemplateName;
  std::wstring FSkinSection = L"HINT";
  std::unique_ptr<TacHintTemplates> FTemplates;
  bool FAppHandlerInstalled = false;
};

// The hints component in charge, nullptr when none; set only while a component is active and
// layered windows exist.
extern TsAlphaHints* ActiveAlphaHints;
extern TacHintTemplate* CurrentHintTemplate;
extern TacHintImage* CurrentHintImage;
extern TacCustomHintWindow* CurrentHintWindow;
// The default template (made on first use from RCDATA "ACHINT").
TacHintTemplate* DefaultHintTemplate();
// A 32-bit copy of Source, alpha included; nullptr for an empty one.
std::unique_ptr<TBitmap> CloneBitmap32(TBitmap* Source);

class TacCustomHintWindow : public THintWindow {
public:
  explicit TacCustomHintWindow(TComponent* AOwner);
  ~TacCustomHintWindow() override;
  std::wstring ClassName() const override { return L"TacCustomHintWindow"; }
  void BeforeDestruction() override;

  std::wstring Text;
  std::unique_ptr<TBitmap> BodyBmp;
  std::unique_ptr<TBitmap> MaskBmp;
  std::unique_ptr<TBitmap> AlphaBmp;
  HRGN rgn = nullptr;
  int SkinIndex = -1;
  bool AlphaUsed = false;
  TacMousePosition FMousePos = mpLeftTop;

  TRect CalcHintRect(int MaxWidth, const std::wstring& AHint) override;
  void ActivateHint(const TRect& Rect, const std::wstring& AHint) override;
  // The composed image of W x H into AlphaBmp.
  virtual void CreateAlphaBmp(int Width, int Height);
  virtual void DoDestroy();
  // The arrow corner for a body in R pointing at P; R's top-left follows the monitor's edges.
  TacMousePosition GetArrowPos(TRect& R, TPoint P);
  // The hint's frame widths (skinned: border-mask margins plus outer offsets).
  TRect FrameWidths();
  // Rebuilds the image and shows it (Width/Height 0: the window's size).
  void UpdateWnd(int Width = 0, int Height = 0);
  void OnCloseHint();
  // The window region from the section's shape (skinned hints without their own alpha).
  void MakeRegion(int Width, int Height);
  // The text or record drawn into Bmp's content rectangle Content.
  void PaintContent(TBitmap* Bmp, const TRect& Content);
  // Whether the hint draws a shadow of its own (no CS_DROPSHADOW then).
  bool DrawsOwnShadow();
  bool Destroyed() const { return FDestroyed; }

protected:
  void CreateParams(TCreateParams& params) override;
  void PaintWindow(HDC dc) override {}
  void WndProc(TMessage& message) override;
  bool FDestroyed = false;
};

class TacPngHintWindow : public TacCustomHintWindow {
public:
  using TacCustomHintWindow::TacCustomHintWindow;
  std::wstring ClassName() const override { return L"TacPngHintWindow"; }
  TRect CalcHintRect(int MaxWidth, const std::wstring& AHint) override;
  void CreateAlphaBmp(int Width, int Height) override;
  void DoDestroy() override;
};

// Fades and slides a hint into place: 20 steps of 12 ms.
class TsShowTimer : public TacThreadedTimer {
public:
  explicit TsShowTimer(TComponent* AOwner);
  std::wstring ClassName() const override { return L"TsShowTimer"; }
  void Init(TacCustomHintWindow* HintWindow, int Width, int Height);
  // One step of the animation (what a tick does).
  void TimeHandler() override;
  double x = 0, y = 0, dx = 0, dy = 0, StepB = 0;
  int HintWidth = 0, HintHeight = 0, Step = 0, StepCount = 20, Transparency = 0;
  TRect SrcRect{};
  TacCustomHintWindow* CurrentHintForm = nullptr;

private:
  void Finish();
};
#endif
