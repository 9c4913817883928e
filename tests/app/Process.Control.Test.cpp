#include "AppTestSupport.h"
#include "platform/runtime/Files.h"
#include "platform/runtime/Threads.h"

using ProcessControl = ShellFolderTest;

TEST_F(ProcessControl, RunStartsInTheProgramsFolderWithShowStateAndFindsItByNameInAnyCase) {
  DWORD pid = TProcess::Run(Browser(), L"one two", SW_SHOWMINNOACTIVE);
  ASSERT_NE(pid, 0u);
  ASSERT_TRUE(WaitUntil([&] { return CountRecords(BrowserRecord(), L"start") == 1; }));
  auto r = ReadRecords(BrowserRecord())[0];
  EXPECT_EQ(r.Pid, pid);
  EXPECT_EQ(IncludeTrailingPathDelimiter(r.WorkDir), Dir.Path());
  EXPECT_NE(GetCurrentDir(), ExcludeTrailingPathDelimiter(Dir.Path()));
  EXPECT_EQ(r.Show, SW_SHOWMINNOACTIVE);
  EXPECT_EQ(r.CmdLine, L"\"" + Browser() + L"\" one two");
  EXPECT_EQ(r.Args, (std::vector<std::wstring>{L"one", L"two"}));
  EXPECT_EQ(TProcess::IsRun(L"sorvik.DLL"), pid);
  EXPECT_TRUE(TProcess::IsRun(pid));
  EXPECT_EQ(TProcess::IsRun(L"Pallow.exe"), 0u);

  TProcess::Close(pid);
  ASSERT_TRUE(WaitUntil([&] { return CountRecords(BrowserRecord(), L"end") == 1; }));
  EXPECT_EQ(ReadRecords(BrowserRecord())[1].Reason, L"close");
  EXPECT_EQ(TProcess::Run(Dir / L"missing.exe", L"", SW_SHOW), 0u);
}

TEST_F(ProcessControl, RunAndWaitGivesTheExitCode) {
  WriteTextFile(Console() + L".ctl", "exit=5\nwindow=0\n");
  Stop(Console());  // ends as soon as it looks
  DWORD code = 0;
  EXPECT_TRUE(TProcess::RunAndWait(Console(), L"", code, SW_SHOW));
  EXPECT_EQ(code, 5u);
  EXPECT_FALSE(TProcess::RunAndWait(Dir / L"missing.exe", L"", code, SW_SHOW));
}

TEST_F(ProcessControl, ExecutorReportsTheExitCodeOnTheUiThread) {
  InitMainThreadDispatcher();
  WriteTextFile(Console() + L".ctl", "exit=7\n");
  auto exec = TExecutor::Create(Console(), true);
  std::vector<std::uint32_t> codes;
  DWORD thread = 0;
  exec->WriteOnClose([&](std::uint32_t c) {
    codes.push_back(c);
    thread = GetCurrentThreadId();
  });
  exec->Run(L"--x");
  ASSERT_TRUE(WaitUntil([&] { return exec->IsRun(); }));
  // Two executors of one file name see each other's programs.
  EXPECT_TRUE(TExecutor::Create(Console(), false)->IsRun());
  Stop(Console());
  ASSERT_TRUE(WaitUntil([&] { return codes.size() == 1; }));
  EXPECT_EQ(codes[0], 7u);
  EXPECT_EQ(thread, GetCurrentThreadId());
  EXPECT_EQ(ReadRecords(ConsoleRecord())[0].Show, SW_SHOW);
}

TEST_F(ProcessControl, ARunStoppedByTheOwnerNeverReportsButTheNextRunDoes) {
  InitMainThreadDispatcher();
  auto exec = TExecutor::Create(Browser(), true);
  int reports = 0;
  exec->WriteOnClose([&](std::uint32_t) { ++reports; });
  exec->Done(false);  // nothing runs: only the flag changes
  exec->Run(L"");
  ASSERT_TRUE(WaitUntil([&] { return CountRecords(BrowserRecord(), L"start") == 1; }));
  exec->Done(false);
  ASSERT_TRUE(WaitUntil([&] { return CountRecords(BrowserRecord(), L"end") == 1; }));
  auto task = std::static_pointer_cast<TExecutor>(exec)->Task();
  if (task) WaitUntil([&] { return task->Wait(0); });
  WaitUntil([] { return false; }, 300);  // a wrong report would arrive here
  EXPECT_EQ(reports, 0);

  // The program started again reports its end, although the owner stopped the one before.
  exec->Run(L"");
  ASSERT_TRUE(WaitUntil([&] { return CountRecords(BrowserRecord(), L"start") == 2; }));
  Stop(Browser());
  ASSERT_TRUE(WaitUntil([&] { return reports == 1; }));
}

TEST_F(ProcessControl, ARunStoppedWhileANewerOneStartsStaysSilent) {
  InitMainThreadDispatcher();
  auto exec = TExecutor::Create(Browser(), true);
  int reports = 0;
  exec->WriteOnClose([&](std::uint32_t) { ++reports; });
  // A program that ignores WM_CLOSE: it ends only after the newer run has started.
  WriteTextFile(Browser() + L".ctl", "window=0\n");
  exec->Run(L"");
  ASSERT_TRUE(WaitUntil([&] { return CountRecords(BrowserRecord(), L"start") == 1; }));
  exec->Done(false);
  WriteTextFile(Browser() + L".ctl", "");
  exec->Run(L"");
  ASSERT_TRUE(WaitUntil([&] { return CountRecords(BrowserRecord(), L"start") == 2; }));
  auto first = ReadRecords(BrowserRecord())[0].Pid;
  TProcess::Finish(first);  // the late end of the stopped run
  WaitUntil([] { return false; }, 500);
  EXPECT_EQ(reports, 0);
  Stop(Browser());
  ASSERT_TRUE(WaitUntil([&] { return reports == 1; }));
}

TEST_F(ProcessControl, DestroyingAnAutoFinishExecutorAsksItsProgramToClose) {
  InitMainThreadDispatcher();
  auto exec = TExecutor::Create(Browser(), true);
  int reports = 0;
  exec->WriteOnClose([&](std::uint32_t) { ++reports; });
  exec->Run(L"");
  ASSERT_TRUE(WaitUntil([&] { return CountRecords(BrowserRecord(), L"start") == 1; }));
  exec.reset();
  ASSERT_TRUE(WaitUntil([&] { return CountRecords(BrowserRecord(), L"end") == 1; }));
  EXPECT_EQ(ReadRecords(BrowserRecord())[1].Reason, L"close");
  WaitUntil([] { return false; }, 300);
  EXPECT_EQ(reports, 0);  // a gone executor reports to nobody
}

TEST(ProcessArguments, QuotingKeepsArgumentsAndLeavesPlainOnesAlone) {
  struct Case { const wchar_t* in; const wchar_t* out; } cases[] = {
      {L"--fast", L"--fast"}, {L"a b", L"\"a b\""}, {L"q\"t", L"\"q\\\"t\""},
      {L"c:\\dir x\\", L"\"c:\\dir x\\\\\""}, {L"", L"\"\""}, {L"c:\\plain\\", L"c:\\plain\\"}};
  for (auto& c : cases) EXPECT_EQ(QuoteArgument(c.in), c.out) << c.in;
}
