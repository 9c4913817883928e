#pragma once
// A JSON document model that keeps what the files we share with sibling programs
// need kept: the order of object members (duplicates included), the literal text
// of numbers, and a fixed pretty format for writing them back.
#include <string>
#include <string_view>
#include <vector>

enum class TJsonKind { Null, False, True, Number, String, Array, Object };

struct TJsonPair;

class TJsonValue {
public:
  TJsonValue() = default;  // null
  static TJsonValue Null() { return TJsonValue(); }
  static TJsonValue Bool(bool value);
  // A number given as its literal text, written back exactly as held.
  static TJsonValue Number(std::wstring literal);
  static TJsonValue Number(long long value);
  static TJsonValue Number(double value);  // shortest text that reads back the same value
  static TJsonValue String(std::wstring text);
  static TJsonValue Object();
  static TJsonValue Array();

  TJsonKind Kind() const { return FKind; }
  bool IsObject() const { return FKind == TJsonKind::Object; }
  bool IsArray() const { return FKind == TJsonKind::Array; }
  // The text of a string, or the literal of a number.
  const std::wstring& Text() const { return FText; }

  // ---- objects ----
  const std::vector<TJsonPair>& Pairs() const { return FPairs; }
  std::vector<TJsonPair>& Pairs() { return FPairs; }
  // The value of the first pair with exactly this key, nullptr when none.
  TJsonValue* Find(std::wstring_view key);
  const TJsonValue* Find(std::wstring_view key) const;
  // Removes the first pair with this key; false when there was none.
  bool Remove(std::wstring_view key);
  // Appends a pair at the end (an existing pair with the same key stays) and returns its value.
  TJsonValue& Add(std::wstring key, TJsonValue value);

  // ---- arrays ----
  const std::vector<TJsonValue>& Items() const { return FItems; }
  std::vector<TJsonValue>& Items() { return FItems; }

private:
  TJsonKind FKind = TJsonKind::Null;
  std::wstring FText;
  std::vector<TJsonPair> FPairs;
  std::vector<TJsonValue> FItems;
};

struct TJsonPair {
  std::wstring Name;
  TJsonValue Value;
};

// Text of a file's bytes: a UTF-8, UTF-16 LE or UTF-16 BE byte-order mark selects that
// encoding (and is dropped); without one the bytes are UTF-8.
std::wstring DecodeTextBytes(std::string_view bytes);
// The same, except that bytes without a byte-order mark are in the system's ANSI code page
// (the older text files of the terminals: INI files, start-up scripts).
std::wstring DecodeTextBytesAnsi(std::string_view bytes);

// Parses JSON text; raises EJsonException with the position of the fault.
// Nesting deeper than JsonMaxDepth is refused rather than risking the stack.
constexpr int JsonMaxDepth = 256;
TJsonValue ParseJson(std::wstring_view text);

// The pretty form every saved document takes: four blanks per level, CR LF line breaks,
// ": " after keys, no line break after the last bracket. Strings escape the eight named
// characters (the solidus included, as "\/") and every other code point below 0x20 as
// \u00XX; everything else, non-ASCII included, is written as it is.
std::wstring FormatJson(const TJsonValue& value);
// The same as UTF-8 bytes without a byte-order mark, ready for a file.
std::string FormatJsonUtf8(const TJsonValue& value);
