#include "Experiment/JsonReader.h"

#include <algorithm>

namespace {
std::string Escaped(const std::string& Key) {
  std::string out;
  for (char c : Key)
    out += c == '~' ? std::string("~0") : c == '/' ? std::string("~1") : std::string(1, c);
  return out;
}

std::string TypeOf(const TJson& V) {
  if (V.is_number_integer()) return "an integer";
  if (V.is_number()) return "a number";
  if (V.is_string()) return "a string";
  if (V.is_boolean()) return "true or false";
  if (V.is_array()) return "an array";
  if (V.is_object()) return "an object";
  return "null";
}
} // namespace

TJsonSource::TJsonSource(std::string K, std::string F, const std::string& Text)
    : Kind(std::move(K)), FileName(std::move(F)) {
  try {
    Root = TJson::parse(Text);
  } catch (const TJson::exception& e) {
    // "[json.exception.parse_error.101] parse error at line 3, column 7: ...": the place and
    // the reason, without the library's tag. A number too large for a double has no place.
    std::string what = e.what();
    what.erase(0, what.find("] ") == std::string::npos ? 0 : what.find("] ") + 2);
    const std::size_t at = what.find("at line ");
    const std::size_t colon = at == std::string::npos ? at : what.find(": ", at);
    if (colon == std::string::npos) throw TFileError(Kind, FileName, "", "not JSON: " + what);
    throw TFileError(Kind, FileName, what.substr(at, colon - at), "not JSON: " + what.substr(colon + 2));
  }
}

void TJsonPlace::Fail(const std::string& What) const {
  throw TFileError(Source.Kind, Source.FileName, Pointer, What);
}

const TJsonPlace& TJsonPlace::Expect(bool Ok, const char* Type) const {
  if (!Ok) Fail(TypeOf(Value) + " where " + Type + " is expected");
  return *this;
}

TJsonPlace TJsonPlace::At(const char* Key) const {
  if (auto p = Find(Key)) return *p;
  Fail(std::string("the member \"") + Key + "\" is missing");
}

std::optional<TJsonPlace> TJsonPlace::Find(const char* Key) const {
  Expect(Value.is_object(), "an object");
  const auto it = Value.find(Key);
  if (it == Value.end()) return std::nullopt;
  return TJsonPlace(Source, *it, Pointer + "/" + Escaped(Key));
}

void TJsonPlace::OnlyKeys(std::initializer_list<const char*> Keys) const {
  Expect(Value.is_object(), "an object");
  for (const auto& item : Value.items()) {
    const std::string& key = item.key();
    if (std::none_of(Keys.begin(), Keys.end(), [&key](const char* K) { return key == K; }))
      TJsonPlace(Source, item.value(), Pointer + "/" + Escaped(key))
          .Fail("\"" + key + "\" is not a known member");
  }
}

TJsonPlace TJsonPlace::At(std::size_t Index) const {
  Expect(Value.is_array(), "an array");
  return TJsonPlace(Source, Value.at(Index), Pointer + "/" + std::to_string(Index));
}

std::size_t TJsonPlace::Size(std::size_t Lo, std::size_t Hi) const {
  Expect(Value.is_array(), "an array");
  const std::size_t n = Value.size();
  if (n < Lo || n > Hi)
    Fail(std::to_string(n) + " elements where " + std::to_string(Lo) +
         (Lo == Hi ? "" : ".." + std::to_string(Hi)) + " are expected");
  return n;
}

long long TJsonPlace::Int(long long Lo, long long Hi) const {
  Expect(Value.is_number_integer(), "an integer");
  // An unsigned value beyond the signed range is above every range asked for.
  const bool huge = Value.is_number_unsigned() && Value.get<std::uint64_t>() > 9223372036854775807ULL;
  const long long v = huge ? Hi : Value.get<long long>();
  if (huge || v < Lo || v > Hi)
    Fail(Value.dump() + " is outside " + std::to_string(Lo) + ".." + std::to_string(Hi));
  return v;
}

double TJsonPlace::Real() const {
  Expect(Value.is_number(), "a number");
  return Value.get<double>();
}

bool TJsonPlace::Bool() const {
  Expect(Value.is_boolean(), "true or false");
  return Value.get<bool>();
}

std::string TJsonPlace::String() const {
  Expect(Value.is_string(), "a string");
  return Value.get<std::string>();
}

void CheckFormat(const TJsonPlace& Root, const char* Format, int Version) {
  const TJsonPlace format = Root.At("format");
  if (format.String() != Format)
    format.Fail("\"" + format.String() + "\" where \"" + Format + "\" is expected");
  const TJsonPlace version = Root.At("version");
  const long long v = version.Int(-9223372036854775807LL, 9223372036854775807LL);
  if (v != Version)
    version.Fail("version " + std::to_string(v) + " is not supported; this program reads version " +
                 std::to_string(Version));
}

namespace {
std::string Scalar(const TJson& Value) {
  return Value.dump(-1, ' ', false, TJson::error_handler_t::replace);
}

// Objects and arrays of objects one member a line; arrays of numbers on one line, so that
// a set of 2048 degrees stays one line.
void Layout(const TJson& V, std::size_t Indent, std::string& Out) {
  const bool flat =
      V.is_array() && std::none_of(V.begin(), V.end(), [](const TJson& E) { return E.is_structured(); });
  if (!V.is_structured() || V.empty() || flat) {
    if (!flat) {
      Out += Scalar(V);
      return;
    }
    Out += '[';
    for (std::size_t i = 0; i < V.size(); ++i) {
      if (i > 0) Out += ", ";
      Out += Scalar(V[i]);
    }
    Out += ']';
    return;
  }
  const std::string inner(Indent + 2, ' ');
  Out += V.is_object() ? "{\n" : "[\n";
  bool first = true;
  for (const auto& item : V.items()) {
    if (!first) Out += ",\n";
    Out += inner;
    if (V.is_object()) Out += Scalar(TJson(item.key())) + ": ";
    Layout(item.value(), Indent + 2, Out);
    first = false;
  }
  Out += '\n';
  Out.append(Indent, ' ');
  Out += V.is_object() ? '}' : ']';
}
} // namespace

std::string JsonText(const TJson& Document) {
  std::string text;
  Layout(Document, 0, text);
  return text + "\n";
}
