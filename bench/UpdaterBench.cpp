// The updater's side of bench/updater_bench.sh:
//   bench_updater serve ROOT HOST PORT             serve ROOT over HTTP until killed
//   bench_updater download INDEXURL ASSETS IDXFILE [PASSMS]   full download into ASSETS
//                                                    (PASSMS: the download loop's pass instead of 10 ms)
//   bench_updater hash INDEXURL ASSETS IDXFILE [WORKERS]   local check by hashing every file
//                                                    (WORKERS: threads of the parallel loop)
//   bench_updater readall FOLDER WORKERS            the platform's floor for the check: every
//                                                    file below FOLDER opened, read and closed
//                                                    by the same parallel loop, nothing hashed
//   bench_updater md5speed FILE                      one worker's MD5 speed: the system's MD5
//                                                    over a buffer, and FileMD5 over FILE
// Each run prints "name_ms=N" lines that the script reads.
#include <httplib.h>
#include <windows.h>
#include <chrono>
#include <cstdio>
#include <string>
#include "platform/runtime/Files.h"
#include "platform/runtime/Md5.h"
#include "platform/runtime/Parallel.h"
#include "platform/runtime/Streams.h"
#include "platform/runtime/Strings.h"
#include "settings/Common.Utils.h"
#include "platform/runtime/Threads.h"
#include "updater/Upd.Core.h"

namespace {

using Clock = std::chrono::steady_clock;

long long Ms(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(b - a).count();
}

int Serve(const std::string& root, const std::string& host, int port) {
  httplib::Server server;
  server.set_keep_alive_max_count(100);
  if (!server.set_mount_point("/", root)) {
    std::fprintf(stderr, "cannot serve %s\n", root.c_str());
    return 1;
  }
  std::printf("serving %s on %s:%d\n", root.c_str(), host.c_str(), port);
  std::fflush(stdout);
  return server.listen(host, port) ? 0 : 1;
}

int Run(bool hashing, const std::wstring& indexUrl, const std::wstring& assets, const std::wstring& indexFile,
        int passMs) {
  InitMainThreadDispatcher();
  TUpdater updater(true);
  updater.Params().Add(L"UpdateUrl=" + indexUrl);
  updater.Params().Add(L"IndexFile=" + indexFile);
  updater.Params().Add(L"AssetsPath=" + assets);
  updater.Params().Add(L"AppBinSrc=resources\\app\\shell\\");
  updater.Params().Add(L"WorkerMax=5");
  if (passMs > 0) updater.Timings().TaskPassMs = passMs;
  updater.SetStages(hashing ? StageBit(stgReindex) | StageBit(stgDownload) : StageBit(stgDownload));
  Clock::time_point hashStart{}, hashEnd{}, downloadStart{}, done{};
  updater.SetOnProgress([&](const TProgressInfo& info) {
    if (info.Title == L"Indexing local files..." && hashStart == Clock::time_point{}) hashStart = Clock::now();
    if (info.Title == L"Save file of index..." && hashEnd == Clock::time_point{}) hashEnd = Clock::now();
    if (info.Title == L"Downloading files..." && downloadStart == Clock::time_point{}) downloadStart = Clock::now();
  });
  bool finished = false, cancelled = false;
  updater.SetOnDone([&](bool c, bool, const std::wstring&) {
    finished = true;
    cancelled = c;
    done = Clock::now();
  });
  const auto start = Clock::now();
  updater.Start();
  while (!updater.Finished()) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
  updater.WaitFor();
  if (!finished || cancelled) {
    std::fprintf(stderr, "the update did not complete\n");
    return 1;
  }
  std::printf("total_ms=%lld\n", Ms(start, done));
  if (hashing && hashStart != Clock::time_point{} && hashEnd != Clock::time_point{})
    std::printf("hash_ms=%lld\n", Ms(hashStart, hashEnd));
  if (!hashing && downloadStart != Clock::time_point{}) std::printf("download_ms=%lld\n", Ms(downloadStart, done));
  return 0;
}

// MB/s of the system's MD5 (Windows CNG) on one thread over a buffer in memory, and of
// FileMD5 (reads and hashing) over a file that is in the page cache.
int Md5Speed(const std::wstring& file) {
  std::string block(1 << 20, '\0');
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 2654435761u >> 13);
  auto rate = [](auto&& step, double megabytes) {
    step();  // warm up
    int runs = 0;
    const auto start = Clock::now();
    std::chrono::duration<double> spent{};
    do {
      step();
      ++runs;
      spent = Clock::now() - start;
    } while (spent.count() < 0.5);
    return megabytes * runs / spent.count();
  };
  TMD5 md5;
  const double memory = rate([&] { md5.Update(block); }, 1.0);
  const double size = static_cast<double>(TFileStream(file, fmOpenRead | fmShareDenyNone).Size()) / 1048576.0;
  const double fromFile = rate([&] { FileMD5(file); }, size);
  std::printf("md5_memory_mbs=%.0f\nmd5_file_mbs=%.0f\n", memory, fromFile);
  return 0;
}

int ReadAll(const std::wstring& folder, int workers) {
  const std::vector<std::wstring> files = ListFilesRecursive(folder);
  TParallel::SetDegreeOverride(workers);
  const auto start = Clock::now();
  TParallel::For(0, static_cast<int>(files.size()) - 1, [&](int i, TParallelLoopState&) {
    TFileStream file(files[i], fmOpenRead | fmShareDenyNone);
    std::string block(1 << 16, '\0');
    while (file.Read(block.data(), static_cast<std::int64_t>(block.size())) > 0) {
    }
  });
  std::printf("readall_ms=%lld\n", Ms(start, Clock::now()));
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc >= 5 && std::wstring(argv[1]) == L"serve")
    return Serve(WideToUtf8(argv[2]), WideToUtf8(argv[3]), _wtoi(argv[4]));
  if (argc >= 4 && std::wstring(argv[1]) == L"readall") return ReadAll(argv[2], _wtoi(argv[3]));
  if (argc >= 3 && std::wstring(argv[1]) == L"md5speed") return Md5Speed(argv[2]);
  if (argc >= 6 && std::wstring(argv[1]) == L"hash") TParallel::SetDegreeOverride(_wtoi(argv[5]));
  if (argc >= 5 && (std::wstring(argv[1]) == L"download" || std::wstring(argv[1]) == L"hash"))
    return Run(std::wstring(argv[1]) == L"hash", argv[2], argv[3], argv[4], argc >= 6 && std::wstring(argv[1]) == L"download" ? _wtoi(argv[5]) : 0);
  std::fprintf(stderr, "usage: bench_updater serve ROOT HOST PORT | download|hash INDEXURL ASSETS IDXFILE\n");
  return 2;
}
