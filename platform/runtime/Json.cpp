#include "platform/runtime/Json.h"

#include <charconv>
#include <cmath>
#include <nlohmann/json.hpp>

#include "platform/runtime/Exceptions.h"
#include "platform/runtime/Strings.h"

// ---- values ------------------------------------------------------------------

TJsonValue TJsonValue::Bool(bool value) {
  TJsonValue v;
  v.FKind = value ? TJsonKind::True : TJsonKind::False;
  return v;
}

TJsonValue TJsonValue::Number(std::wstring literal) {
  TJsonValue v;
  v.FKind = TJsonKind::Number;
  v.FText = std::move(literal);
  return v;
}

TJsonValue TJsonValue::Number(long long value) { return Number(std::to_wstring(value)); }

TJsonValue TJsonValue::Number(double value) {
  // JSON has no text for infinities or NaN; 0 keeps the document readable.
  if (!std::isfinite(value)) value = 0;
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, value);
  return Number(Utf8ToWide(std::string_view(buf, res.ptr - buf)));
}

TJsonValue TJsonValue::String(std::wstring text) {
  TJsonValue v;
  v.FKind = TJsonKind::String;
  v.FText = std::move(text);
  return v;
}

TJsonValue TJsonValue::Object() {
  TJsonValue v;
  v.FKind = TJsonKind::Object;
  return v;
}

TJsonValue TJsonValue::Array() {
  TJsonValue v;
  v.FKind = TJsonKind::Array;
  return v;
}

TJsonValue* TJsonValue::Find(std::wstring_view key) {
  for (auto& p : FPairs)
    if (p.Name == key) return &p.Value;
  return nullptr;
}

const TJsonValue* TJsonValue::Find(std::wstring_view key) const {
  return const_cast<TJsonValue*>(this)->Find(key);
}

bool TJsonValue::Remove(std::wstring_view key) {
  for (auto it = FPairs.begin(); it != FPairs.end(); ++it)
    if (it->Name == key) {
      FPairs.erase(it);
      return true;
    }
  return false;
}

TJsonValue& TJsonValue::Add(std::wstring key, TJsonValue value) {
  FPairs.push_back(TJsonPair{std::move(key), std::move(value)});
  return FPairs.back().Value;
}

// ---- reading -----------------------------------------------------------------

std::wstring DecodeTextBytes(std::string_view bytes) {
  auto starts = [&](std::string_view bom) { return bytes.substr(0, bom.size()) == bom; };
  if (starts("\xEF\xBB\xBF")) return Utf8ToWide(bytes.substr(3));
  bool le = starts("\xFF\xFE"), be = starts("\xFE\xFF");
  if (le || be) {
    std::wstring out;
    out.reserve((bytes.size() - 2) / 2);
    // An odd last byte cannot be a character and is dropped.
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
      auto lo = static_cast<unsigned char>(bytes[le ? i : i + 1]);
      auto hi = static_cast<unsigned char>(bytes[le ? i + 1 : i]);
      out.push_back(static_cast<wchar_t>(lo | (hi << 8)));
    }
    return out;
  }
  return Utf8ToWide(bytes);
}

std::wstring DecodeTextBytesAnsi(std::string_view bytes) {
  auto starts = [&](std::string_view bom) { return bytes.substr(0, bom.size()) == bom; };
  if (starts("\xEF\xBB\xBF") || starts("\xFF\xFE") || starts("\xFE\xFF")) return DecodeTextBytes(bytes);
  return AnsiToWide(bytes);
}

namespace {

// Builds the document from nlohmann's SAX events; the floating-point event hands over
// the literal, the integer events give values whose decimal text is the literal
// (JSON allows no leading zeros or plus signs; only "-0" comes back as "0").
class TJsonBuilder {
public:
  using json = nlohmann::json;
  TJsonValue Root;
  std::string Error;

  bool null() { return Put(TJsonValue::Null()); }
  bool boolean(bool v) { return Put(TJsonValue::Bool(v)); }
  bool number_integer(json::number_integer_t v) { return Put(TJsonValue::Number(std::to_wstring(v))); }
  bool number_unsigned(json::number_unsigned_t v) { return Put(TJsonValue::Number(std::to_wstring(v))); }
  bool number_float(json::number_float_t, const std::string& literal) {
    return Put(TJsonValue::Number(Utf8ToWide(literal)));
  }
  bool string(std::string& v) { return Put(TJsonValue::String(Utf8ToWide(v))); }
  bool binary(json::binary_t&) { return false; }
  bool start_object(std::size_t) { return Open(TJsonValue::Object()); }
  bool key(std::string& k) {
    FKey = Utf8ToWide(k);
    return true;
  }
  bool end_object() {
    FStack.pop_back();
    return true;
  }
  bool start_array(std::size_t) { return Open(TJsonValue::Array()); }
  bool end_array() {
    FStack.pop_back();
    return true;
  }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& e) {
    Error = e.what();
    return false;
  }

private:
  // Pointers into the tree stay valid: a container only grows while it is the innermost open one.
  std::vector<TJsonValue*> FStack;
  std::wstring FKey;

  TJsonValue* Append(TJsonValue v) {
    if (FStack.empty()) {
      Root = std::move(v);
      return &Root;
    }
    TJsonValue* top = FStack.back();
    if (top->IsObject()) return &top->Add(std::move(FKey), std::move(v));
    top->Items().push_back(std::move(v));
    return &top->Items().back();
  }
  bool Put(TJsonValue v) {
    Append(std::move(v));
    return true;
  }
  bool Open(TJsonValue v) {
    if (static_cast<int>(FStack.size()) >= JsonMaxDepth) {
      Error = "nesting deeper than " + std::to_string(JsonMaxDepth) + " levels";
      return false;
    }
    FStack.push_back(Append(std::move(v)));
    return true;
  }
};

}  // namespace

TJsonValue ParseJson(std::wstring_view text) {
  std::string utf8 = WideToUtf8(text);
  TJsonBuilder h;
  bool ok = false;
  try {
    ok = nlohmann::json::sax_parse(utf8, &h, nlohmann::json::input_format_t::json, true);
  } catch (const std::exception& e) {
    h.Error = e.what();
  }
  if (!ok) {
    if (h.Error.empty()) h.Error = "invalid JSON";
    throw EJsonException(L"JSON text cannot be read: " + Utf8ToWide(h.Error));
  }
  return std::move(h.Root);
}

// ---- writing -----------------------------------------------------------------

namespace {

void WriteString(std::wstring& out, const std::wstring& s) {
  out += L'"';
  for (wchar_t c : s) {
    switch (c) {
      case L'\b': out += L"\\b"; break;
      case L'\t': out += L"\\t"; break;
      case L'\n': out += L"\\n"; break;
      case L'\f': out += L"\\f"; break;
      case L'\r': out += L"\\r"; break;
      case L'"': out += L"\\\""; break;
      case L'/': out += L"\\/"; break;
      case L'\\': out += L"\\\\"; break;
      default:
        if (c < 0x20) {
          // Raw control characters would make the file unreadable on the next start.
          wchar_t buf[8];
          swprintf(buf, 8, L"\\u%04x", static_cast<unsigned>(c));
          out += buf;
        } else {
          out += c;
        }
    }
  }
  out += L'"';
}

void WriteValue(std::wstring& out, const TJsonValue& v, int level) {
  auto indent = [&](int n) { out.append(static_cast<size_t>(n) * 4, L' '); };
  switch (v.Kind()) {
    case TJsonKind::Null: out += L"null"; break;
    case TJsonKind::False: out += L"false"; break;
    case TJsonKind::True: out += L"true"; break;
    case TJsonKind::Number: out += v.Text(); break;
    case TJsonKind::String: WriteString(out, v.Text()); break;
    case TJsonKind::Object: {
      out += L"{\r\n";
      const auto& pairs = v.Pairs();
      for (size_t i = 0; i < pairs.size(); ++i) {
        indent(level + 1);
        WriteString(out, pairs[i].Name);
        out += L": ";
        WriteValue(out, pairs[i].Value, level + 1);
        if (i + 1 < pairs.size()) out += L',';
        out += L"\r\n";
      }
      indent(level);
      out += L'}';
      break;
    }
    case TJsonKind::Array: {
      out += L"[\r\n";
      const auto& items = v.Items();
      for (size_t i = 0; i < items.size(); ++i) {
        indent(level + 1);
        WriteValue(out, items[i], level + 1);
        if (i + 1 < items.size()) out += L',';
        out += L"\r\n";
      }
      indent(level);
      out += L']';
      break;
    }
  }
}

}  // namespace

std::wstring FormatJson(const TJsonValue& value) {
  std::wstring out;
  WriteValue(out, value, 0);
  return out;
}

std::string FormatJsonUtf8(const TJsonValue& value) { return WideToUtf8(FormatJson(value)); }
