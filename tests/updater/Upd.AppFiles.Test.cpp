// The program-file stage: changed files of resources\app\shell\ reach the program folder; the
// running executable (an injected path) is moved aside and replaced, under a legacy name
// when the shell runs as one, and put back when its replacement cannot move in.
#include <gtest/gtest.h>
#include <algorithm>
#include <atomic>
#include "UpdFixture.h"
#include "platform/runtime/Strings.h"
#include "updater/Upd.Core.h"

namespace {

const std::string Shell = "resources/app/shell/";

struct TAppSite : TSite {
  std::wstring Bin(const std::wstring& name) const { return Dir / (L"bin\\" + name); }
  std::string BinFile(const std::wstring& name) const { return ReadFileBytes(Bin(name)); }
  void PutBin(const std::wstring& name, const std::string& body) const { WriteFileBytes(Bin(name), body); }
  TRunOptions Options(const std::wstring& running) const {
    TRunOptions o = TSite::Options();
    o.RunningExe = running;
    return o;
  }
};

const std::string NewExe = Content(5000, 11);
const std::string OldExe = Content(4000, 12);

}  // namespace

TEST(UpdaterAppFiles, CopiesChangedFilesAndSkipsCurrentOnes) {
  TLogCapture log;
  TAppSite site;
  site.Files = {{Shell + "Tarvel.dat", Content(300, 1)},
                {Shell + "lang/en.txt", Content(200, 2)},
                {Shell + "same.bin", Content(100, 3)},
                {"files/asset.bin", Content(100, 4)}};
  site.Publish();
  site.PutBin(L"same.bin", Content(100, 3));
  site.PutBin(L"Tarvel.dat", "older");
  site.PutBin(L"Tarvel.exe", OldExe);
  const auto r = RunUpdater(site.Options(site.Bin(L"Tarvel.exe")));
  EXPECT_TRUE(r.Done);
  EXPECT_FALSE(r.Restart);
  EXPECT_TRUE(r.RestartName.empty());
  EXPECT_EQ(site.BinFile(L"Tarvel.dat"), Content(300, 1));
  EXPECT_EQ(site.BinFile(L"lang\\en.txt"), Content(200, 2));  // its folder made on the way
  EXPECT_EQ(site.BinFile(L"same.bin"), Content(100, 3));
  EXPECT_EQ(site.BinFile(L"Tarvel.exe"), OldExe);
  EXPECT_FALSE(Exists(site.Bin(L"asset.bin")));
  EXPECT_FALSE(Exists(site.Bin(L"files")));
  // Copies leave the source in the asset folder.
  EXPECT_TRUE(site.Installed(Shell + "Tarvel.dat"));
  EXPECT_TRUE(log.Has("Update application files complete. Update 2 file(s)"));
  EXPECT_EQ(log.CountOf("Copy: "), 2);
  EXPECT_FALSE(log.Has("same.bin >>"));
  EXPECT_EQ(r.CountTitle(L"Checking application files..."), 1);
}

TEST(UpdaterAppFiles, RunningExecutableIsMovedAsideUnderItsName) {
  struct TCase {
    const char* Name;
    std::wstring Running;      // file name in bin\, or a path elsewhere when Elsewhere
    bool Elsewhere;
    std::wstring Installed;    // the name the new executable gets in the program folder
    bool Restart;
  };
  const TCase cases[] = {
      {"own name", L"Tarvel.exe", false, L"Tarvel.exe", true},
      {"running as Mordex", L"Mordex.exe", false, L"Mordex.exe", true},
      {"running as Kelvane, other case", L"KELVANE.EXE", false, L"Kelvane.exe", true},
      {"Mordex elsewhere: a plain copy", L"Mordex.exe", true, L"Mordex.exe", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TLogCapture log;
    TAppSite site;
    site.Files = {{Shell + "Tarvel.exe", NewExe}, {Shell + "Tarvel.dat", Content(300, 1)}};
    site.Publish();
    TTempFolder other;
    const std::wstring running = c.Elsewhere ? other / c.Running : site.Bin(c.Running);
    WriteFileBytes(running, OldExe);
    if (!c.Elsewhere) site.PutBin(c.Installed, OldExe);
    site.PutBin(L"Tarvel.~old", "set aside by an earlier run");
    site.PutBin(L"Earlier.~old", "set aside by an earlier run");
    site.PutBin(L"sub\\Keep.~old", "not in the program folder itself");

    const auto r = RunUpdater(site.Options(running));
    EXPECT_TRUE(r.Done);
    EXPECT_EQ(r.Restart, c.Restart);
    EXPECT_EQ(site.BinFile(c.Installed), NewExe);
    const std::wstring aside = c.Installed.substr(0, c.Installed.size() - 4) + L".~old";
    EXPECT_FALSE(Exists(site.Bin(L"Earlier.~old")));
    EXPECT_TRUE(Exists(site.Bin(L"sub\\Keep.~old")));
    if (c.Restart) {
      EXPECT_TRUE(SameText(r.RestartName, site.Bin(c.Installed)));
      EXPECT_EQ(site.BinFile(aside), OldExe);
      // Moved, not copied: the source has left the asset folder.
      EXPECT_FALSE(Exists(site.Local(Shell + "Tarvel.exe")));
      EXPECT_EQ(log.CountOf("Move: "), 2);
    } else {
      EXPECT_TRUE(r.RestartName.empty());
      EXPECT_FALSE(Exists(site.Bin(aside)));
      EXPECT_TRUE(site.Installed(Shell + "Tarvel.exe"));
      EXPECT_EQ(ReadFileBytes(running), OldExe);
    }
    if (c.Installed != L"Tarvel.exe") {
      EXPECT_FALSE(Exists(site.Bin(L"Tarvel.exe")));
    }
    EXPECT_EQ(site.BinFile(L"Tarvel.dat"), Content(300, 1));
    EXPECT_TRUE(log.Has("Update application files complete. Update 2 file(s)"));
  }
}

TEST(UpdaterAppFiles, ReplacementThatCannotMoveInIsRolledBack) {
  TLogCapture log;
  TAppSite site;
  site.Files = {{Shell + "Tarvel.exe", NewExe}, {Shell + "Tarvel.dat", Content(300, 1)}};
  site.Publish();
  site.PutBin(L"Tarvel.exe", OldExe);
  auto options = site.Options(site.Bin(L"Tarvel.exe"));
  // The downloaded executable is held open when the stage begins, so it cannot be moved.
  std::unique_ptr<TFileLock> lock;
  options.StopWhen = [&](const TProgressInfo& info) {
    if (info.Title == L"Checking application files...") lock = std::make_unique<TFileLock>(site.Local(Shell + "Tarvel.exe"));
    return false;
  };
  const auto r = RunUpdater(options);
  ASSERT_TRUE(lock && lock->Held());
  lock.reset();
  EXPECT_TRUE(r.Done);
  EXPECT_FALSE(r.Restart);
  EXPECT_EQ(site.BinFile(L"Tarvel.exe"), OldExe);
  EXPECT_FALSE(Exists(site.Bin(L"Tarvel.~old")));
  EXPECT_TRUE(log.Has("Moved back: "));
  // The failure was that file's alone.
  EXPECT_EQ(site.BinFile(L"Tarvel.dat"), Content(300, 1));
  EXPECT_TRUE(log.Has("Update application files complete. Update 1 file(s)"));
}

TEST(UpdaterAppFiles, OldExecutableStillInUseIsSkipped) {
  TLogCapture log;
  TAppSite site;
  site.Files = {{Shell + "Tarvel.exe", NewExe}, {Shell + "Tarvel.dat", Content(300, 1)}};
  site.Publish();
  site.PutBin(L"Tarvel.exe", OldExe);
  site.PutBin(L"Tarvel.~old", "the previous instance, still ending");
  TFileLock held(site.Bin(L"Tarvel.~old"));
  ASSERT_TRUE(held.Held());
  const auto r = RunUpdater(site.Options(site.Bin(L"Tarvel.exe")));
  held.Release();
  EXPECT_TRUE(log.Has("Cannot delete"));
  // The stage went on: the companion file was copied; the executable could not be set aside
  // (its aside name is taken), so it stays as it was and no restart is asked for.
  EXPECT_EQ(site.BinFile(L"Tarvel.dat"), Content(300, 1));
  EXPECT_EQ(site.BinFile(L"Tarvel.exe"), OldExe);
  EXPECT_EQ(site.BinFile(L"Tarvel.~old"), "the previous instance, still ending");
  EXPECT_FALSE(r.Restart);
  EXPECT_TRUE(site.Installed(Shell + "Tarvel.exe"));
  EXPECT_TRUE(log.Has("Update application files complete. Update 1 file(s)"));
}

TEST(UpdaterAppFiles, StopEndsTheStageAfterTheCurrentFile) {
  TLogCapture log;
  TAppSite site;
  site.Files = {{Shell + "a.dat", Content(100, 1)}, {Shell + "b.dat", Content(100, 2)}, {Shell + "c.dat", Content(100, 3)}};
  site.Publish();
  auto options = site.Options(site.Bin(L"Tarvel.exe"));
  options.StopWhen = [](const TProgressInfo& info) { return info.Title == L"Checking application files..."; };
  const auto r = RunUpdater(options);
  EXPECT_TRUE(r.Cancelled);
  int copied = 0;
  for (const wchar_t* name : {L"a.dat", L"b.dat", L"c.dat"}) copied += Exists(site.Bin(name));
  EXPECT_EQ(copied, 1);
  EXPECT_FALSE(log.Has("Update application files complete"));
}

TEST(UpdaterAppFiles, MissingSourceFolderEndsTheRun) {
  TLogCapture log;
  TAppSite site;
  site.Files = {{"files/a.bin", Content(100, 1)}, {"files/b.bin", Content(100, 2)}};
  site.Publish();
  WriteFileBytes(site.Local("files/old.bin"), "trash");
  auto options = site.Options(site.Bin(L"Tarvel.exe"));
  options.Stages = StageBit(stgDownload) | StageBit(stgUpdate) | StageBit(stgClear);
  const auto r = RunUpdater(options);
  EXPECT_TRUE(r.Done);
  EXPECT_TRUE(log.Has("Folder not found"));
  // The later stage is skipped.
  EXPECT_TRUE(Exists(site.Local("files/old.bin")));
}

namespace {

// Writes the target in pieces with pauses, as the copy of a large file (or a move across
// volumes) does; Started is set once the first half is on disk.
struct TSlowTransfer {
  std::wstring Slow;  // the target written slowly; others go the system's way
  std::atomic<bool> Started{false};

  bool operator()(const std::wstring& source, const std::wstring& target, bool move) {
    if (!SameText(target, Slow)) return SystemFileTransfer(source, target, move);
    const std::string bytes = ReadFileBytes(source);
    HANDLE h = CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const size_t piece = bytes.size() / 8 + 1;
    for (size_t at = 0; at < bytes.size(); at += piece) {
      DWORD put = 0;
      WriteFile(h, bytes.data() + at, static_cast<DWORD>(std::min(piece, bytes.size() - at)), &put, nullptr);
      if (at >= bytes.size() / 2) {
        Started = true;
        Sleep(100);
      }
    }
    CloseHandle(h);
    return !move || DeleteFileW(source.c_str());
  }
};

}  // namespace

TEST(UpdaterAppFiles, TheShellsEndNeverCutsTheReplacementOfAProgramFile) {
  struct TCase {
    const char* Name;
    std::wstring Slow;  // the file being replaced when the shell is told to close
    DWORD WaitMs;       // the end's bound
  };
  const TCase cases[] = {
      {"companion file being copied", L"Tarvel.dll", ProgramFileSwapWaitMs},
      {"executable being moved in", L"Tarvel.exe", ProgramFileSwapWaitMs},
      {"a replacement longer than the bound", L"Tarvel.dll", 50},
  };
  const std::string newDll = Content(400000, 21), oldDll = Content(300000, 22);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TLogCapture log;
    TAppSite site;
    site.Files = {{Shell + "Tarvel.exe", NewExe}, {Shell + "Tarvel.dll", newDll}};
    site.Publish();
    site.PutBin(L"Tarvel.exe", OldExe);
    site.PutBin(L"Tarvel.dll", oldDll);
    auto transfer = std::make_shared<TSlowTransfer>();
    transfer->Slow = site.Bin(c.Slow);
    auto options = site.Options(site.Bin(L"Tarvel.exe"));
    TUpdater* updater = nullptr;
    options.Setup = [&](TUpdater& u) {
      updater = &u;
      u.SetFileTransfer([transfer](const std::wstring& s, const std::wstring& t, bool m) { return (*transfer)(s, t, m); });
    };
    // The shell closes in the middle of the replacement: it stops the updater, and once its
    // end has waited the process would be gone. The files then are what the disk holds at
    // that moment (the slow piece-wise write keeps a cut replacement visible for a while).
    std::string exeAtEnd, dllAtEnd;
    bool ended = false;
    options.StopIf = [&] {
      if (ended || !transfer->Started) return false;
      ended = true;
      updater->Terminate();
      EndProgramFileSwaps(c.WaitMs);
      exeAtEnd = site.BinFile(L"Tarvel.exe");
      dllAtEnd = site.BinFile(L"Tarvel.dll");
      return true;
    };
    const auto r = RunUpdater(options);
    ProgramFileSwaps().Reopen();
    ASSERT_TRUE(ended);
    EXPECT_TRUE(r.Cancelled);
    if (c.WaitMs < 1000) {
      EXPECT_TRUE(log.Has("still being replaced after 50 ms"));
      continue;
    }
    EXPECT_TRUE(exeAtEnd == OldExe || exeAtEnd == NewExe) << exeAtEnd.size() << " bytes";
    EXPECT_TRUE(dllAtEnd == oldDll || dllAtEnd == newDll) << dllAtEnd.size() << " bytes";
    EXPECT_EQ(site.BinFile(c.Slow), c.Slow == L"Tarvel.exe" ? NewExe : newDll);  // the one under way was finished
    EXPECT_FALSE(log.Has("still being replaced"));
  }
}
