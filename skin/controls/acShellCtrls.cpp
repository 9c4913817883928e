#include "skin/controls/acShellCtrls.h"

#include <shlwapi.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/runtime/Exceptions.h"
#include "platform/runtime/Files.h"
#include "platform/runtime/Logger.h"
#include "platform/runtime/Parallel.h"
#include "platform/runtime/Strings.h"
#include "platform/ui/Forms.h"
#include "skin/controls/acAlphaImageList.h"
#include "skin/graphics/acntUtils.h"

namespace {

TacShellFolder* gRoot = nullptr;
TCriticalSection* gShellCS = nullptr;
bool gOleStarted = false;
bool gUnitStarted = false;
TsAlphaImageList* gShellImages = nullptr;
std::vector<TacShellChangeThread*> gChangeThreads;

// The options of the change threads are read and written under the unit's section.
class TShellLock {
public:
  TShellLock() {
    if (gShellCS) gShellCS->Enter();
  }
  ~TShellLock() {
    if (gShellCS) gShellCS->Leave();
  }
  TShellLock(const TShellLock&) = delete;
  TShellLock& operator=(const TShellLock&) = delete;
};

void OleCheck(HRESULT Result, const wchar_t* Call) {
  if (FAILED(Result)) throw EOSError(FormatW(L"%ls failed (0x%08X)", Call, static_cast<unsigned>(Result)));
}

// The shell's allocator, which every identifier list of this unit comes from.
TacComRef<IMalloc> ShellMalloc() {
  TacComRef<IMalloc> malloc;
  OleCheck(SHGetMalloc(malloc.Put()), L"SHGetMalloc");
  return malloc;
}

TacComRef<IShellFolder> DesktopFolder() {
  TacComRef<IShellFolder> desktop;
  OleCheck(SHGetDesktopFolder(desktop.Put()), L"SHGetDesktopFolder");
  return desktop;
}

// The bytes of a list without its terminating zero.
std::size_t PIDLSize(LPCITEMIDLIST ID) {
  std::size_t size = 0;
  if (!ID) return 0;
  const BYTE* p = reinterpret_cast<const BYTE*>(ID);
  for (;;) {
    USHORT cb;
    std::memcpy(&cb, p + size, sizeof(cb));
    if (cb == 0) break;
    size += cb;
  }
  return size;
}

// A new list of First followed by Second (either may be empty or nullptr).
LPITEMIDLIST ConcatPIDLs(IMalloc* Malloc, LPCITEMIDLIST First, LPCITEMIDLIST Second) {
  const std::size_t a = PIDLSize(First), b = PIDLSize(Second);
  auto* result = static_cast<BYTE*>(Malloc->Alloc(a + b + sizeof(USHORT)));
  if (!result) throw Exception(L"Out of memory for an item identifier list");
  if (a) std::memcpy(result, First, a);
  if (b) std::memcpy(result + a, Second, b);
  std::memset(result + a + b, 0, sizeof(USHORT));
  return reinterpret_cast<LPITEMIDLIST>(result);
}

LPITEMIDLIST CopyPIDL(IMalloc* Malloc, LPCITEMIDLIST ID) { return ConcatPIDLs(Malloc, ID, nullptr); }

void FreePIDL(LPITEMIDLIST& ID) {
  if (!ID) return;
  IMalloc* malloc = nullptr;
  if (SUCCEEDED(SHGetMalloc(&malloc)) && malloc) {
    malloc->Free(ID);
    malloc->Release();
  }
  ID = nullptr;
}

bool WindowsAtLeast5() {
  // The version-2 folder interface exists from Windows 2000 on.
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof(version);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!GetVersionExW(&version)) return true;
#pragma GCC diagnostic pop
  return version.dwMajorVersion >= 5;
}

}  // namespace

// ---------------------------------------------------------------------------
// TacShellFolder
// ---------------------------------------------------------------------------

TacShellFolder::TacShellFolder(TacShellFolder* AParent, IShellFolder* AShellFolder, LPCITEMIDLIST ID)
    : FDetails(std::make_unique<TStringList>()), FParent(AParent), FIShellFolder(TacComRef<IShellFolder>::Share(AShellFolder)) {
  TacComRef<IMalloc> malloc = ShellMalloc();
  FPIDL = CopyPIDL(malloc.Get(), ID);
  try {
    if (AParent) {
      FFullPIDL = ConcatPIDLs(malloc.Get(), AParent->FFullPIDL, ID);
    } else {
      LPITEMIDLIST desktopID = nullptr;
      OleCheck(SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOP, &desktopID), L"SHGetSpecialFolderLocation");
      FFullPIDL = ConcatPIDLs(malloc.Get(), desktopID, ID);
      malloc->Free(desktopID);
      FParent = gRoot;
    }
  } catch (...) {
    malloc->Free(FPIDL);
    FPIDL = nullptr;
    throw;
  }
  for (TacShellFolder* p = AParent ? AParent->FParent : nullptr; p; p = p->FParent) ++FLevel;
}

TacShellFolder::~TacShellFolder() {
  FreePIDL(FPIDL);
  FreePIDL(FFullPIDL);
}

TacComRef<IShellFolder> TacShellFolder::ParenTacShellFolder() const {
  if (FParent) return TacComRef<IShellFolder>::Share(FParent->FIShellFolder.Get());
  TacComRef<IShellFolder> desktop;
  if (FAILED(SHGetDesktopFolder(desktop.Put()))) desktop.Reset();
  return desktop;
}

ULONG TacShellFolder::Attributes(ULONG Mask) const {
  TacComRef<IShellFolder> parent = ParenTacShellFolder();
  if (!parent) return 0;
  ULONG flags = Mask;
  LPCITEMIDLIST id = FPIDL;
  if (FAILED(parent->GetAttributesOf(1, &id, &flags))) return 0;
  return flags;
}

TacShellFolderCapabilities TacShellFolder::Capabilities() const {
  const ULONG flags = Attributes(0x177);
  TacShellFolderCapabilities result = 0;
  if (flags & SFGAO_CANCOPY) result |= acSetBit(fcCanCopy);
  if (flags & SFGAO_CANDELETE) result |= acSetBit(fcCanDelete);
  if (flags & SFGAO_CANLINK) result |= acSetBit(fcCanLink);
  if (flags & SFGAO_CANMOVE) result |= acSetBit(fcCanMove);
  if (flags & SFGAO_CANRENAME) result |= acSetBit(fcCanRename);
  if (flags & SFGAO_DROPTARGET) result |= acSetBit(fcDropTarget);
  if (flags & SFGAO_HASPROPSHEET) result |= acSetBit(fcHasPropSheet);
  return result;
}

TacShellFolderProperties TacShellFolder::Properties() const {
  TacShellFolderProperties result = 0;
  if (!ParenTacShellFolder()) return result;
  ULONG flags = Attributes(0xFC000);
  if (flags & SFGAO_GHOSTED) result |= acSetBit(fpCut);
  if (flags & SFGAO_LINK) result |= acSetBit(fpIsLink);
  if (flags & SFGAO_READONLY) result |= acSetBit(fpReadOnly);
  if (flags & SFGAO_SHARE) result |= acSetBit(fpShared);
  flags = Attributes(0);
  if (flags & SFGAO_FILESYSTEM) result |= acSetBit(fpFileSystem);
  if (flags & SFGAO_FILESYSANCESTOR) result |= acSetBit(fpFileSystemAncestor);
  if (flags & SFGAO_REMOVABLE) result |= acSetBit(fpRemovable);
  if (flags & SFGAO_VALIDATE) result |= acSetBit(fpValidate);
  return result;
}

bool TacShellFolder::SubFolders() const { return (Attributes(SFGAO_HASSUBFOLDER) & SFGAO_HASSUBFOLDER) != 0; }

bool TacShellFolder::IsReadOnly() const { return (Attributes(SFGAO_READONLY) & SFGAO_READONLY) != 0; }

namespace {
bool IsZipName(const std::wstring& Name) { return LowerCase(ExtractFileExt(Name)) == L".zip"; }
}  // namespace

bool TacShellFolder::IsFolder(const std::wstring& Name, bool OpenZipFiles) const {
  if (!OpenZipFiles && IsZipName(Name)) return false;
  return (Attributes(SFGAO_FOLDER) & SFGAO_FOLDER) != 0;
}

bool TacShellFolder::IsFile(const std::wstring& Name, bool OpenZipFiles) const {
  if (!OpenZipFiles && IsZipName(Name)) return true;
  const ULONG flags = Attributes(SFGAO_FOLDER | SFGAO_FILESYSTEM | SFGAO_LINK);
  return (flags & SFGAO_FILESYSTEM) && !(flags & SFGAO_FOLDER) && !(flags & SFGAO_LINK);
}

bool TacShellFolder::IsFileFolder() const {
  const ULONG flags = Attributes(SFGAO_FOLDER | SFGAO_FILESYSTEM | SFGAO_LINK);
  return (flags & SFGAO_FILESYSTEM) && (flags & SFGAO_FOLDER) && !(flags & SFGAO_LINK);
}

std::wstring TacShellFolder::NameOf(IShellFolder* Folder, LPCITEMIDLIST ID, DWORD Flags) const {
  STRRET name{};
  if (!Folder || FAILED(Folder->GetDisplayNameOf(ID, Flags, &name))) return L"";
  // StrRetToStrW reads every form of the record (an offset is read inside ID) and frees the
  // shell's wide string.
  LPWSTR text = nullptr;
  if (FAILED(StrRetToStrW(&name, ID, &text)) || !text) return L"";
  std::wstring result = text;
  CoTaskMemFree(text);
  return result;
}

std::wstring TacShellFolder::PathName() const {
  TacComRef<IShellFolder> desktop;
  if (FAILED(SHGetDesktopFolder(desktop.Put()))) return L"";
  return NameOf(desktop.Get(), FFullPIDL, SHGDN_FORPARSING);
}

std::wstring TacShellFolder::DisplayName(TacShowExtension ShowExt) const {
  TacComRef<IShellFolder> folder = ParenTacShellFolder();
  if (!folder) return L"?";
  std::wstring name = NameOf(folder.Get(), FPIDL, SHGDN_INFOLDER);
  if (name.size() >= 2 && name[0] == L'?' && name[1] >= L'0' && name[1] <= L'9')
    name.erase(std::remove(name.begin(), name.end(), L'?'), name.end());
  if (ShowExt == seShow) {
    const std::wstring path = PathName();
    if (FileExists(path) && ExtractFileExt(path) != ExtractFileExt(name)) name += ExtractFileExt(path);
  } else if (ShowExt == seHide) {
    if (FileExists(PathName()) && !ExtractFileExt(name).empty()) name = ChangeFileExt(name, L"");
  }
  if (name.rfind(L"::{", 0) == 0) name = NameOf(folder.Get(), FPIDL, SHGDN_NORMAL);
  return name;
}

bool TacShellFolder::Rename(const std::wstring& NewName) {
  if (!(Capabilities() & acSetBit(fcCanRename))) return false;
  TacComRef<IShellFolder> parent = ParenTacShellFolder();
  LPITEMIDLIST newID = nullptr;
  if (!parent || FAILED(parent->SetNameOf(ViewHandle, FPIDL, NewName.c_str(), SHGDN_NORMAL, &newID)) || !newID)
    throw Exception(FormatW(L"Rename to %ls failed", NewName.c_str()));
  TacComRef<IMalloc> malloc = ShellMalloc();
  LPITEMIDLIST full = FParent ? ConcatPIDLs(malloc.Get(), FParent->FFullPIDL, newID) : CopyPIDL(malloc.Get(), newID);
  FreePIDL(FPIDL);
  FreePIDL(FFullPIDL);
  FPIDL = newID;
  FFullPIDL = full;
  return true;
}

int TacShellFolder::ImageIndex(bool LargeIcon) const {
  TSHGetFileInfoW getInfo = ShellFileInfoEntry();
  if (!getInfo) return 0;
  SHFILEINFOW info{};
  UINT flags = SHGFI_PIDL | SHGFI_SYSICONINDEX;
  if (!LargeIcon) flags |= SHGFI_SMALLICON;
  getInfo(reinterpret_cast<LPCWSTR>(FFullPIDL), 0, &info, sizeof(info), flags);
  return info.iIcon;
}

bool TacShellFolder::ExecuteDefault() const {
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_INVOKEIDLIST;
  info.hwnd = Application().Handle();
  info.lpIDList = FFullPIDL;
  info.nShow = SW_SHOW;
  return ShellExecuteExW(&info) != FALSE;
}

std::wstring TacShellFolder::GetDetails(int Index) {
  if (FDetails->Count() == 0)
    throw Exception(FormatW(L"%ls: Missing call to LoadColumnDetails", DisplayName(seSystem).c_str()));
  if (Index < 1 || Index > FDetails->Count()) return L"";
  return (*FDetails)[Index - 1];
}

void TacShellFolder::SetDetails(int Index, const std::wstring& Value) {
  if (Index >= 1 && Index <= FDetails->Count())
    (*FDetails)[Index - 1] = Value;
  else
    FDetails->Add(Value);
}

void TacShellFolder::LoadDetailInterface() {
  if (FDetailsLooked) return;
  FDetailsLooked = true;
  IShellFolder* folder = FIShellFolder.Get();
  LPCITEMIDLIST id = FPIDL;
  if (folder) {
    if (FAILED(folder->BindToObject(FPIDL, nullptr, IID_IShellDetails, FIShellDetails.PutVoid())) &&
        FAILED(folder->GetUIObjectOf(ViewHandle, 1, &id, IID_IShellDetails, nullptr, FIShellDetails.PutVoid())) &&
        FAILED(folder->CreateViewObject(ViewHandle, IID_IShellDetails, FIShellDetails.PutVoid())))
      FIShellDetails.Reset();
  }
  TacComRef<IShellFolder> desktop;
  if (FAILED(SHGetDesktopFolder(desktop.Put()))) desktop.Reset();
  if (!FIShellDetails && desktop &&
      FAILED(desktop->BindToObject(FFullPIDL, nullptr, IID_IShellDetails, FIShellDetails.PutVoid())))
    FIShellDetails.Reset();
  if (!FIShellDetails && WindowsAtLeast5()) {
    if (!desktop || FAILED(desktop->BindToObject(FFullPIDL, nullptr, IID_IShellFolder2, FIShellFolder2.PutVoid()))) {
      FIShellFolder2.Reset();
      if (folder &&
          FAILED(folder->GetUIObjectOf(ViewHandle, 1, &id, IID_IShellFolder2, nullptr, FIShellFolder2.PutVoid())) &&
          FAILED(folder->BindToObject(FPIDL, nullptr, IID_IShellFolder2, FIShellFolder2.PutVoid())) &&
          FAILED(folder->QueryInterface(IID_IShellFolder2, FIShellFolder2.PutVoid())))
        FIShellFolder2.Reset();
    }
  }
  FDetailInterface = FIShellFolder2 ? static_cast<IUnknown*>(FIShellFolder2.Get()) : FIShellDetails.Get();
}

IShellFolder2* TacShellFolder::ShellFolder2() {
  LoadDetailInterface();
  return FIShellFolder2.Get();
}

IShellDetails* TacShellFolder::ShellDetails() {
  LoadDetailInterface();
  return FIShellDetails.Get();
}

// ---------------------------------------------------------------------------
// TacShellChangeThread
// ---------------------------------------------------------------------------

TacShellChangeThread::TacShellChangeThread(std::function<void()> ChangeEvent)
    : TThread(true), FChangeEvent(std::move(ChangeEvent)) {
  // Its own events, so that stopping depends on nobody else's handles.
  FStopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  FWakeEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (!FStopEvent || !FWakeEvent) {
    if (FStopEvent) CloseHandle(FStopEvent);
    if (FWakeEvent) CloseHandle(FWakeEvent);
    RaiseLastOSError(0, L"CreateEvent");
  }
  FWaitChanged = false;
  auto slot = std::find(gChangeThreads.begin(), gChangeThreads.end(), nullptr);
  if (slot != gChangeThreads.end())
    *slot = this;
  else
    gChangeThreads.push_back(this);
}

TacShellChangeThread::~TacShellChangeThread() {
  auto slot = std::find(gChangeThreads.begin(), gChangeThreads.end(), this);
  if (slot != gChangeThreads.end()) *slot = nullptr;
  Terminate();
  SetEvent(FStopEvent);
  // The thread may be waiting for the UI thread in a change event: those calls run here.
  if (Started()) WaitForRunningCalls();
  if (FWaitHandle != INVALID_HANDLE_VALUE) FindCloseChangeNotification(FWaitHandle);
  FWaitHandle = INVALID_HANDLE_VALUE;
  CloseHandle(FWakeEvent);
  CloseHandle(FStopEvent);
}

void TacShellChangeThread::SetDirectoryOptions(const std::wstring& Directory, bool WatchSubTree,
                                               DWORD NotifyOptionFlags) {
  {
    TShellLock lock;
    FDirectory = Directory;
    FWatchSubTree = WatchSubTree;
    FNotifyOptionFlags = NotifyOptionFlags;
    FWaitChanged = true;
  }
  // The thread closes its old notification itself: a handle is never closed under a wait.
  SetEvent(FWakeEvent);
}

bool TacShellChangeThread::MakeNotification() {
  if (FWaitHandle != INVALID_HANDLE_VALUE) FindCloseChangeNotification(FWaitHandle);
  FWaitHandle = FindFirstChangeNotificationW(FDirectory.c_str(), FWatchSubTree, FNotifyOptionFlags);
  FWaitChanged = false;
  return FWaitHandle != INVALID_HANDLE_VALUE;
}

void TacShellChangeThread::Execute() {
  {
    TShellLock lock;
    if (!MakeNotification()) return;
  }
  while (!Terminated()) {
    HANDLE handles[3] = {FWaitHandle, FStopEvent, FWakeEvent};
    const DWORD got = WaitForMultipleObjects(3, handles, FALSE, INFINITE);
    if (got == WAIT_FAILED || got == WAIT_OBJECT_0 + 1 || Terminated()) break;
    if (got == WAIT_OBJECT_0) {
      if (!Application().Terminated() && FChangeEvent) {
        try {
          Synchronize([this] { FChangeEvent(); });
        } catch (const std::exception& e) {
          CodeSite().SendException(L"Shell change event", e);
        }
      }
      if (!FindNextChangeNotification(FWaitHandle)) break;
    }
    TShellLock lock;
    if (FWaitChanged && !MakeNotification()) break;
  }
}

// ---------------------------------------------------------------------------
// Unit state, start-up and clean-up
// ---------------------------------------------------------------------------

TacShellFolder* RootShellFolder() { return gRoot; }

TsAlphaImageList* ShellImageList() { return gShellImages; }

int ShellChangeThreadCount() {
  return static_cast<int>(std::count_if(gChangeThreads.begin(), gChangeThreads.end(), [](auto* t) { return t != nullptr; }));
}

void ShellCtrlsUnitStartup() {
  if (gUnitStarted) return;
  gUnitStarted = true;
  // Every step stands alone: whatever the shell refuses stays unset, and the program goes on.
  try {
    LoadShellFileInfo();
    LPITEMIDLIST desktopID = nullptr;
    if (SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOP, &desktopID)) && desktopID) {
      try {
        TacComRef<IShellFolder> desktop = DesktopFolder();
        gRoot = new TacShellFolder(nullptr, desktop.Get(), desktopID);
      } catch (const std::exception& e) {
        CodeSite().SendException(L"Shell folder start-up", e);
      }
      FreePIDL(desktopID);
    }
  } catch (const std::exception& e) {
    CodeSite().SendException(L"Shell folder start-up", e);
  }
  gShellCS = new TCriticalSection;
  const HRESULT ole = OleInitialize(nullptr);
  gOleStarted = SUCCEEDED(ole);
  if (!gOleStarted) CodeSite().SendError(FormatW(L"OleInitialize failed (0x%08X)", static_cast<unsigned>(ole)));
  try {
    if (TSHGetFileInfoW getInfo = ShellFileInfoEntry()) {
      SHFILEINFOW info{};
      auto list = reinterpret_cast<HIMAGELIST>(
          getInfo(L"C:\\", 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
      if (list && !gShellImages) {
        auto* images = NewComponent<TsAlphaImageList>(nullptr);
        // The system's list belongs to the shell: never scaled or destroyed here.
        images->ShareImages = true;
        images->SetHandle(list);
        images->FAllowScale = false;
        images->AcEndUpdate(false);
        images->SetBkColor(clNone);
        gShellImages = images;
      }
    }
  } catch (const std::exception& e) {
    CodeSite().SendException(L"Shell image list start-up", e);
  }
}

void ShellCtrlsUnitCleanup() {
  if (!gUnitStarted) return;
  gUnitStarted = false;
  for (TacShellChangeThread*& thread : gChangeThreads)
    if (thread) delete thread;  // its destructor empties the slot
  delete gRoot;
  gRoot = nullptr;
  delete gShellCS;
  gShellCS = nullptr;
  if (gOleStarted) OleUninitialize();
  gOleStarted = false;
  if (gShellImages) TComponent::Free(gShellImages);
  gShellImages = nullptr;
  gChangeThreads.clear();
}
