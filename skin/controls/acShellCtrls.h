#pragma once
// Shell-namespace support of the engine: a wrapper of one shell item (its folder interface
// and item identifier lists), a thread that reports file-system changes of a folder, and the
// unit's start-up, which wraps the desktop folder and the system's small-icon list and
// initialises OLE. Everything here runs on the UI thread except the change threads' waits.
#include <windows.h>
#include <shlobj.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/runtime/StringList.h"
#include "platform/runtime/Threads.h"

class TsAlphaImageList;

// What may be done with an item, and its set (bit 1 << value).
enum TacShellFolderCapability { fcCanCopy, fcCanDelete, fcCanLink, fcCanMove, fcCanRename, fcDropTarget, fcHasPropSheet };
using TacShellFolderCapabilities = std::uint32_t;
// What an item is, and its set (bit 1 << value).
enum TacShellFolderProperty { fpCut, fpIsLink, fpReadOnly, fpShared, fpFileSystem, fpFileSystemAncestor, fpRemovable, fpValidate };
using TacShellFolderProperties = std::uint32_t;
// How DisplayName treats a file's extension: as the shell shows it, always shown, never shown.
enum TacShowExtension { seSystem, seShow, seHide };

// The bit of one member in its set.
constexpr std::uint32_t acSetBit(int Member) { return 1u << Member; }

// An owned reference of a COM interface: released once, when replaced or destroyed.
template <class I>
class TacComRef {
public:
  TacComRef() = default;
  // Takes a reference the caller already holds (no AddRef).
  explicit TacComRef(I* Taken) : FPtr(Taken) {}
  TacComRef(const TacComRef& Other) : FPtr(Other.FPtr) {
    if (FPtr) FPtr->AddRef();
  }
  TacComRef& operator=(const TacComRef& Other) {
    if (Other.FPtr) Other.FPtr->AddRef();
    Reset();
    FPtr = Other.FPtr;
    return *this;
  }
  ~TacComRef() { Reset(); }
  // A new reference of Ptr (AddRef).
  static TacComRef Share(I* Ptr) {
    if (Ptr) Ptr->AddRef();
    return TacComRef(Ptr);
  }
  void Reset() {
    if (FPtr) FPtr->Release();
    FPtr = nullptr;
  }
  I* Get() const { return FPtr; }
  I* operator->() const { return FPtr; }
  explicit operator bool() const { return FPtr != nullptr; }
  // The address an out-parameter is written to; the old reference goes first.
  void** PutVoid() {
    Reset();
    return reinterpret_cast<void**>(&FPtr);
  }
  I** Put() {
    Reset();
    return &FPtr;
  }

private:
  I* FPtr = nullptr;
};

// One shell item: its folder interface, its identifier list relative to its parent and the
// absolute one. Both lists belong to the object and come from the shell's allocator.
class TacShellFolder {
public:
  // Without a parent the item is a child of the desktop and its parent becomes the root
  // folder object. Raises when the shell's allocator or the desktop cannot be had.
  TacShellFolder(TacShellFolder* AParent, IShellFolder* AShellFolder, LPCITEMIDLIST ID);
  ~TacShellFolder();
  TacShellFolder(const TacShellFolder&) = delete;
  TacShellFolder& operator=(const TacShellFolder&) = delete;

  // The folder that holds the item: the parent's, or the desktop without a parent.
  TacComRef<IShellFolder> ParenTacShellFolder() const;
  TacShellFolderCapabilities Capabilities() const;
  TacShellFolderProperties Properties() const;
  bool SubFolders() const;
  bool IsReadOnly() const;
  // A ".zip" name (any case) counts as a file, not a folder, unless OpenZipFiles.
  bool IsFolder(const std::wstring& Name = L"", bool OpenZipFiles = false) const;
  bool IsFile(const std::wstring& Name = L"", bool OpenZipFiles = false) const;
  bool IsFileFolder() const;
  // The parsing name of the absolute list (a file system path for files and folders).
  std::wstring PathName() const;
  std::wstring DisplayName(TacShowExtension ShowExt = seSystem) const;
  // Renames through the parent folder; false without the capability. Raises "Rename to %s
  // failed" when the shell refuses.
  bool Rename(const std::wstring& NewName);
  // The system image index of the item; 0 when SHGetFileInfoW is not available.
  int ImageIndex(bool LargeIcon = false) const;
  bool ExecuteDefault() const;
  // The column texts (position Index - 1). Reading before any text is kept raises "%s:
  // Missing call to LoadColumnDetails"; a position past the texts reads empty. Writing
  // replaces where a text exists, else appends.
  std::wstring GetDetails(int Index);
  void SetDetails(int Index, const std::wstring& Value);

  TStringList& Details() { return *FDetails; }
  LPCITEMIDLIST AbsoluteID() const { return FFullPIDL; }
  LPCITEMIDLIST RelativeID() const { return FPIDL; }
  int Level() const { return FLevel; }
  TacShellFolder* Parent() const { return FParent; }
  IShellFolder* ShellFolder() const { return FIShellFolder.Get(); }
  // Looked up on first use and kept (see LoadDetailInterface); nullptr when there is none.
  IShellFolder2* ShellFolder2();
  IShellDetails* ShellDetails();
  HWND ViewHandle = nullptr;

private:
  ULONG Attributes(ULONG Mask) const;
  std::wstring NameOf(IShellFolder* Folder, LPCITEMIDLIST ID, DWORD Flags) const;
  void LoadDetailInterface();
  LPITEMIDLIST FPIDL = nullptr;
  LPITEMIDLIST FFullPIDL = nullptr;
  int FLevel = 0;
  std::unique_ptr<TStringList> FDetails;
  TacShellFolder* FParent = nullptr;
  TacComRef<IShellFolder> FIShellFolder;
  TacComRef<IShellFolder2> FIShellFolder2;
  TacComRef<IShellDetails> FIShellDetails;
  IUnknown* FDetailInterface = nullptr;  // one of the two above, not counted again
  bool FDetailsLooked = false;
};

// Reports changes of a folder (FILE_NOTIFY_CHANGE_* of the options) by running ChangeEvent on
// the UI thread. Made suspended: set the folder with SetDirectoryOptions, then Start.
// Freeing it stops the thread and waits for its end (calls it hands to the UI thread meanwhile
// still run) before its handles close.
class TacShellChangeThread : public TThread {
public:
  explicit TacShellChangeThread(std::function<void()> ChangeEvent);
  ~TacShellChangeThread() override;
  // The new options take effect at once: the notification is made again for them.
  void SetDirectoryOptions(const std::wstring& Directory, bool WatchSubTree, DWORD NotifyOptionFlags);
  const std::function<void()>& ChangeEvent() const { return FChangeEvent; }

protected:
  void Execute() override;

private:
  bool MakeNotification();  // under the unit's critical section
  HANDLE FStopEvent = nullptr;  // set by the destructor: the thread ends
  HANDLE FWakeEvent = nullptr;  // set when the options changed
  HANDLE FWaitHandle = INVALID_HANDLE_VALUE;
  std::function<void()> FChangeEvent;
  std::wstring FDirectory;
  bool FWatchSubTree = false;
  bool FWaitChanged = false;
  DWORD FNotifyOptionFlags = 0;
};

// ---- unit state ----
// The desktop folder object made at start-up; nullptr when the shell did not answer.
TacShellFolder* RootShellFolder();
// The shared image list around the system's small-icon list; nullptr when it was not made.
TsAlphaImageList* ShellImageList();
// The change threads alive now (freed slots are nullptr and are used again).
int ShellChangeThreadCount();

// The unit's start-up and clean-up in the engine's sequence, on the UI thread. A failing
// shell call leaves its object unset: start-up never raises.
void ShellCtrlsUnitStartup();
void ShellCtrlsUnitCleanup();
