#pragma once
// The settings that settings.json holds. The file is shared with the browser and the
// console programs: the shell reads only a few keys, the rest stay in the file with
// their defaults for the siblings.
#include <string>

#include "settings/Json.Persist.h"

// The two remote addresses the settings fall back to. Kept here only, so that every
// unit that must recognise a default (the shell form drops an obsolete hall API value
// equal to it) refers to the same text.
inline constexpr wchar_t DefaultBrowserUrl[] = L"http://start.tarvel.example/";
inline constexpr wchar_t DefaultHallApiUrl[] = L"http://hall.tarvel.example/index.php?act=api&response=js";
// The content server's script that names the current index when settings give none.
inline constexpr wchar_t DefaultIndexScriptUrl[] = L"http://content.tarvel.example/valdrinshell.php";

class TCfgCommon {
public:
  std::wstring Key;
  std::wstring Lang;
  bool Magnetic = false;
  bool UpdateCache = false;
  bool HideWemb = false;
  static const TJsonClassInfo& JsonClass();
};

class TCfgLinks {
public:
  std::wstring UpdateUrl;
  std::wstring BrowserUrl;
  static const TJsonClassInfo& JsonClass();
};

class TCfgButtons {
public:
  int Close = 0;
  static const TJsonClassInfo& JsonClass();
};

class TCfgScreen {
public:
  bool ChangeResolution = false;
  bool Fullscreen = false;
  bool AutoFogging = false;
  int LobbyFogging = 0;
  int GameFogging = 0;
  static const TJsonClassInfo& JsonClass();
};

class TCfgHall {
public:
  int id = 0;
  std::wstring Api;
  // AUrl with "index.php" glued to its path (unless it ends so already) and the query
  // "act=api&response=js"; the default hall API address when AUrl is no URI.
  static std::wstring ToApi(const std::wstring& AUrl);
  // The same with the query template "time=%s&session=%s"; the template itself when AUrl is no URI.
  static std::wstring ToUrl(const std::wstring& AUrl);
  static const TJsonClassInfo& JsonClass();
};

class TCfgBrowser {
public:
  bool EnableHighDPI = false;
  bool EnableGPU = false;
  bool DeleteCache = false;
  static const TJsonClassInfo& JsonClass();
};

class TCfgSkin {
public:
  bool Active = false;
  std::wstring Name;
  int HueOffset = 0;
  int Saturation = 0;
  int Brightness = 0;
  bool DrawNonClient = false;
  bool ExtendedBorders = false;
  bool BlendForm = false;
  static const TJsonClassInfo& JsonClass();
};

class TSettings {
public:
  TCfgCommon Common;
  TCfgLinks Links;
  TCfgButtons Buttons;
  TCfgScreen Screen;
  TCfgHall Hall;
  TCfgBrowser Browser;
  TCfgSkin Skin;

  // Every member under its own identifier, in the pretty format of the settings files.
  std::wstring AsJson() const;
  static const TJsonClassInfo& JsonClass();
};
