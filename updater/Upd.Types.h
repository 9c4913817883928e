#pragma once
// The updater's description of one asset file and the sorted lists of them that the
// updater thread and its pool tasks fill and drain; the index format both index files
// share; the file-name masks; and the check that keeps every path the server sends
// inside the asset folder.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>
#include "platform/runtime/Exceptions.h"

struct TFileItem {
  std::wstring Path;    // download address (remote index) or relative path (local index)
  std::wstring Hash;    // lowercase hexadecimal MD5, compared with case
  std::int64_t Size = 0;
  std::wstring AsPath;  // path below the asset folder, "\" separated, derived from Path

  static TFileItem Create(const std::wstring& APath, const std::wstring& AHash, std::int64_t ASize);
};

// AsPath of both items, letters a-z equal to A-Z, everything else by UTF-16 code unit.
int CompareFileItems(const TFileItem& ALeft, const TFileItem& ARight);

enum class TCollectionNotification { cnAdded, cnRemoved, cnExtracted };

class TFileItemList {
public:
  using TComparer = std::function<int(const TFileItem&, const TFileItem&)>;
  explicit TFileItemList(TComparer AComparer = CompareFileItems);
  TFileItemList(const TFileItemList&) = delete;
  TFileItemList& operator=(const TFileItemList&) = delete;

  // Plain operations: no lock, only while no other thread touches the list.
  int Count() const { return static_cast<int>(FItems.size()); }
  const TFileItem& Items(int AIndex) const;
  const TFileItem& operator[](int AIndex) const { return Items(AIndex); }
  int Add(const TFileItem& AItem);
  void Delete(int AIndex);
  TFileItem ExtractAt(int AIndex);
  void Clear();
  void Sort();  // unstable, by the comparer
  // The first item equal to AItem by the comparer; else false and the insertion index.
  bool BinarySearch(const TFileItem& AItem, int& AIndex) const;
  std::vector<TFileItem>::const_iterator begin() const { return FItems.begin(); }
  std::vector<TFileItem>::const_iterator end() const { return FItems.end(); }

  // Sum of Size over the items.
  std::int64_t Size() const { return FSize.load(); }

  // Thread-safe: each holds the list's monitor for its whole duration.
  int ThAdd(const TFileItem& AItem);
  TFileItem ThExtract(int AIndex);
  TFileItem ThItem(int AIndex);

protected:
  virtual void Notify(const TFileItem& AItem, TCollectionNotification AAction);

private:
  void CheckIndex(int AIndex) const;
  std::vector<TFileItem> FItems;
  TComparer FComparer;
  std::atomic<std::int64_t> FSize{0};
  std::recursive_mutex FMonitor;
};

// A whole file name against a mask: "*" any run, "?" one character, "[..]" one character
// of the set (ranges such as a-z allowed), any other character itself (the point too, so
// "*.*" needs a point). Letters a-z match without regard to case.
bool MatchesMask(std::wstring_view AName, std::wstring_view AMask);

// True when AAsPath names a file strictly inside a folder: not empty, not rooted, no drive,
// UNC or device prefix, no ":", no empty, "." or ".." segment (trailing points and blanks
// count as Windows strips them), no device name (CON, NUL, COM1 ...), no wildcard or control
// character. AReason, when given, receives why not.
bool IsSafeLocalPath(std::wstring_view AAsPath, std::wstring* AReason = nullptr);
// ARoot joined with AAsPath; raises EInOutError when the path is not safe or the joined
// full path would leave ARoot.
std::wstring JoinLocalPath(const std::wstring& ARoot, const std::wstring& AAsPath);

// Reads the index (a JSON array of {"path","hash","size"} objects, UTF-8, a byte-order mark
// allowed) and appends its entries to AList with plain adds, without sorting. Entries whose
// AsPath is unsafe are dropped with a log line; entries for which ASkip answers true are
// dropped silently. Raises EJsonException for text that is not such an array or an entry
// lacking a string member, EConvertError for a "size" that is not an integer; the entries
// appended before the failure stay.
void ReadIndexJson(std::string_view AText, TFileItemList& AList,
                   const std::function<bool(const TFileItem&)>& ASkip = {});
// The list as the local index file holds it: compact, pure ASCII, members "path" (AsPath),
// "hash" and "size" (decimal text), in list order.
std::string WriteIndexJson(const TFileItemList& AList);
