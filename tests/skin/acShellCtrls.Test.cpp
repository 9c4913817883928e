// Shell folder support: items of a real temporary folder, the unit's start-up with and
// without SHGetFileInfoW, the column texts, and a change thread watching a real folder.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <atomic>
#include <fstream>
#include <memory>

#include "support/ShellHarness.h"
#include "support/MessagePump.h"
#include "platform/runtime/Exceptions.h"
#include "platform/runtime/Files.h"
#include "platform/runtime/Threads.h"
#include "platform/ui/Forms.h"
#include "skin/controls/acAlphaImageList.h"
#include "skin/controls/acShellCtrls.h"
#include "skin/graphics/acntUtils.h"

namespace {

void WriteText(const std::wstring& path, const char* text) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(h, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
  CloseHandle(h);
}

LPITEMIDLIST Parse(const std::wstring& path) {
  LPITEMIDLIST id = nullptr;
  if (FAILED(SHParseDisplayName(path.c_str(), nullptr, &id, 0, nullptr))) return nullptr;
  return id;
}

// A folder item below the desktop (absolute list) and one item inside it (relative list).
struct TFolderItems {
  std::unique_ptr<TacShellFolder> Folder;
  std::unique_ptr<TacShellFolder> Item;
};

TFolderItems ItemsOf(const std::wstring& folderPath, const std::wstring& itemName) {
  TFolderItems result;
  LPITEMIDLIST folderID = Parse(folderPath);
  LPITEMIDLIST itemID = Parse(folderPath + itemName);
  if (!folderID || !itemID) return result;
  IShellFolder* desktop = nullptr;
  IShellFolder* folder = nullptr;
  SHGetDesktopFolder(&desktop);
  desktop->BindToObject(folderID, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&folder));
  desktop->Release();
  result.Folder = std::make_unique<TacShellFolder>(nullptr, folder, folderID);
  result.Item = std::make_unique<TacShellFolder>(result.Folder.get(), nullptr, ILFindLastID(itemID));
  if (folder) folder->Release();
  CoTaskMemFree(folderID);
  CoTaskMemFree(itemID);
  return result;
}

}  // namespace

TEST(acShellCtrls, StartUpWrapsTheDesktopAndTheSystemIconList) {
  ASSERT_NE(RootShellFolder(), nullptr);
  EXPECT_EQ(RootShellFolder()->Level(), 0);
  EXPECT_EQ(RootShellFolder()->Parent(), nullptr);
  ASSERT_NE(ShellImageList(), nullptr);
  EXPECT_TRUE(ShellImageList()->ShareImages);
  EXPECT_FALSE(ShellImageList()->FAllowScale);
  EXPECT_EQ(ShellImageList()->BkColor(), clNone);
}

TEST(acShellCtrls, ItemsOfARealFolder) {
  TTempFolder temp;
  WriteText(temp / L"notes.txt", "x");
  WriteText(temp / L"pack.zip", "x");
  CreateDirectoryW((temp / L"inner").c_str(), nullptr);
  TFolderItems file = ItemsOf(temp.Path(), L"notes.txt");
  ASSERT_TRUE(file.Item);
  EXPECT_EQ(file.Item->Parent(), file.Folder.get());
  EXPECT_EQ(file.Folder->Parent(), RootShellFolder());
  EXPECT_EQ(file.Item->Level(), 1);
  EXPECT_EQ(_wcsicmp(file.Item->PathName().c_str(), (temp / L"notes.txt").c_str()), 0);
  EXPECT_TRUE(file.Item->IsFile());
  EXPECT_FALSE(file.Item->IsFolder());
  EXPECT_EQ(file.Item->DisplayName(seHide), L"notes");
  EXPECT_EQ(file.Item->DisplayName(seShow), L"notes.txt");

  TFolderItems folder = ItemsOf(temp.Path(), L"inner");
  ASSERT_TRUE(folder.Item);
  EXPECT_TRUE(folder.Item->IsFolder());
  EXPECT_TRUE(folder.Item->IsFileFolder());
  EXPECT_FALSE(folder.Item->IsFile());

  // The name alone decides for a ".zip", in any case, unless zip files open as folders.
  struct TCase {
    const wchar_t* Name;
    bool OpenZipFiles;
    bool Folder, File;
  } cases[] = {
      {L"x.ZIP", false, false, true},
      {L"x.zip", false, false, true},
      {L"x.ZIP", true, true, false},  // then the item's own attributes answer
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Name << " open " << c.OpenZipFiles);
    EXPECT_EQ(folder.Item->IsFolder(c.Name, c.OpenZipFiles), c.Folder);
    EXPECT_EQ(folder.Item->IsFile(c.Name, c.OpenZipFiles), c.File);
  }
}

TEST(acShellCtrls, RenameGivesTheItemItsNewLists) {
  TTempFolder temp;
  WriteText(temp / L"old.txt", "x");
  TFolderItems file = ItemsOf(temp.Path(), L"old.txt");
  ASSERT_TRUE(file.Item);
  if (!(file.Item->Capabilities() & acSetBit(fcCanRename))) GTEST_SKIP() << "the shell offers no rename here";
  EXPECT_TRUE(file.Item->Rename(L"new.txt"));
  EXPECT_TRUE(FileExists((temp / L"new.txt").c_str()));
  EXPECT_EQ(_wcsicmp(file.Item->PathName().c_str(), (temp / L"new.txt").c_str()), 0);
}

TEST(acShellCtrls, DetailsReadAndWriteByColumnNumber) {
  TTempFolder temp;
  WriteText(temp / L"a.txt", "x");
  TFolderItems file = ItemsOf(temp.Path(), L"a.txt");
  ASSERT_TRUE(file.Item);
  TacShellFolder& item = *file.Item;
  // Without texts a read is an error that names the item.
  try {
    item.GetDetails(1);
    ADD_FAILURE() << "no error without details";
  } catch (const Exception& e) {
    EXPECT_NE(e.Message().find(L": Missing call to LoadColumnDetails"), std::wstring::npos);
  }
  item.SetDetails(1, L"one");
  item.SetDetails(2, L"two");
  item.SetDetails(3, L"three");
  struct TWrite {
    int Index;
    const wchar_t* Value;
    std::vector<std::wstring> After;
  } writes[] = {
      {1, L"ONE", {L"ONE", L"two", L"three"}},
      {3, L"THREE", {L"ONE", L"two", L"THREE"}},           // the last text is replaced, not pushed on
      {9, L"far", {L"ONE", L"two", L"THREE", L"far"}},     // beyond the end: appended
      {0, L"zero", {L"ONE", L"two", L"THREE", L"far", L"zero"}},
  };
  for (const TWrite& w : writes) {
    SCOPED_TRACE(w.Index);
    item.SetDetails(w.Index, w.Value);
    EXPECT_EQ(item.Details().Strings(), w.After);
  }
  struct TRead {
    int Index;
    const wchar_t* Text;
  } reads[] = {{1, L"ONE"}, {5, L"zero"}, {6, L""}, {0, L""}, {-3, L""}, {1000, L""}};
  for (const TRead& r : reads) EXPECT_EQ(item.GetDetails(r.Index), r.Text) << r.Index;
}

TEST(acShellCtrls, StartUpWithoutShellFileInfoLeavesTheListUnset) {
  ShellCtrlsUnitCleanup();
  EXPECT_EQ(ShellImageList(), nullptr);
  EXPECT_EQ(RootShellFolder(), nullptr);
  SetShellFileInfoEntry(nullptr);
  ShellCtrlsUnitStartup();
  EXPECT_EQ(ShellImageList(), nullptr);
  EXPECT_NE(RootShellFolder(), nullptr);
  TTempFolder temp;
  WriteText(temp / L"a.txt", "x");
  {
    TFolderItems file = ItemsOf(temp.Path(), L"a.txt");
    ASSERT_TRUE(file.Item);
    EXPECT_EQ(file.Item->ImageIndex(), 0);
    EXPECT_EQ(file.Item->ImageIndex(true), 0);
  }
  ShellCtrlsUnitCleanup();
  RestoreShellFileInfoEntry();
  ShellCtrlsUnitStartup();
  EXPECT_NE(ShellImageList(), nullptr);
}

TEST(acShellCtrls, ChangeThreadReportsOnTheUIThreadAndStops) {
  Application().Initialize();  // this thread is the UI thread
  TTempFolder temp;
  std::atomic<int> changes{0};
  std::atomic<int> offThread{0};
  const DWORD uiThread = GetCurrentThreadId();
  const int before = ShellChangeThreadCount();
  auto* thread = new TacShellChangeThread([&] {
    if (GetCurrentThreadId() != uiThread) ++offThread;
    ++changes;
  });
  EXPECT_EQ(ShellChangeThreadCount(), before + 1);
  thread->SetDirectoryOptions(temp.Path(), false, FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE);
  thread->Start();
  Sleep(100);  // the notification is made on the thread
  EXPECT_FALSE(thread->Finished());
  // The thread may not watch yet when the first file comes: a new file every 200 ms until one
  // is reported, so a busy machine cannot make the test miss its change.
  for (int i = 0; i < 500 && changes == 0; ++i) {
    if (i % 20 == 0) WriteText(temp / (L"new" + std::to_wstring(i) + L".txt"), "data");
    PumpMessages();
    Sleep(10);
  }
  EXPECT_GT(changes.load(), 0);
  EXPECT_EQ(offThread.load(), 0);
  // Stopping ends the thread even while it waits for the next change.
  delete thread;
  EXPECT_EQ(ShellChangeThreadCount(), before);

  // A freed slot is taken again; a thread never started goes as well.
  auto* unstarted = new TacShellChangeThread(nullptr);
  EXPECT_EQ(ShellChangeThreadCount(), before + 1);
  delete unstarted;
  EXPECT_EQ(ShellChangeThreadCount(), before);
}

TEST(acShellCtrls, ChangeThreadFollowsNewOptions) {
  Application().Initialize();
  TTempFolder first, second;
  std::atomic<int> changes{0};
  auto thread = std::make_unique<TacShellChangeThread>([&] { ++changes; });
  thread->SetDirectoryOptions(first.Path(), false, FILE_NOTIFY_CHANGE_FILE_NAME);
  thread->Start();
  Sleep(100);
  thread->SetDirectoryOptions(second.Path(), false, FILE_NOTIFY_CHANGE_FILE_NAME);
  Sleep(100);
  WriteText(second / L"b.txt", "data");
  for (int i = 0; i < 500 && changes == 0; ++i) {
    PumpMessages();
    Sleep(10);
  }
  EXPECT_GT(changes.load(), 0);
}
