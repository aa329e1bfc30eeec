#include "Experiment/JsonReader.h"

#include <algorithm>
#include <unordered_set>
#include <vector>

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

namespace {
// Deeper than any file of ours, shallow enough that nothing built from it strains the stack.
constexpr std::size_t MaxDepth = 64;

// Builds the document as the parser reads it, refusing what the library's own builder lets
// through (a member given twice, where the last one would win) and giving every error its
// place: the JSON pointer of the value, or the line and column where the text stops being JSON.
class TDocumentBuilder : public nlohmann::json_sax<TJson> {
public:
  TDocumentBuilder(const TJsonSource& Source, const std::string& Text, TJson& Root)
      : Source(Source), Text(Text), Root(Root) {}

  bool null() override { return Put(TJson(nullptr)); }
  bool boolean(bool V) override { return Put(TJson(V)); }
  bool number_integer(number_integer_t V) override { return Put(TJson(V)); }
  bool number_unsigned(number_unsigned_t V) override { return Put(TJson(V)); }
  bool number_float(number_float_t V, const string_t&) override { return Put(TJson(V)); }
  bool string(string_t& V) override { return Put(TJson(std::move(V))); }
  bool binary(binary_t&) override { return Fail(NextPointer(), "binary data where JSON text is expected"); }

  bool start_object(std::size_t) override { return Open(TJson::object()); }
  bool start_array(std::size_t) override { return Open(TJson::array()); }
  bool end_object() override { return Close(); }
  bool end_array() override { return Close(); }

  bool key(string_t& Key) override {
    TLevel& level = Levels.back();
    const std::string pointer = level.Pointer + "/" + Escaped(Key);
    if (!level.Keys.insert(Key).second)
      return Fail(pointer, "the member \"" + Key + "\" is given more than once");
    Key_ = std::move(Key);
    return true;
  }

  bool parse_error(std::size_t Position, const std::string& LastToken,
                   const nlohmann::detail::exception& Error) override {
    // "[json.exception.parse_error.101] parse error at line 3, column 7: syntax error ...":
    // the reason, without the library's tag and place, which are given as ours.
    std::string what = Error.what();
    const std::size_t tag = what.find("] ");
    if (tag != std::string::npos) what.erase(0, tag + 2);
    const std::size_t place = what.find(" at line ");
    const std::size_t colon = place == std::string::npos ? place : what.find(": ", place);
    if (colon != std::string::npos) what.erase(0, colon + 2);
    if (Error.id == 406) {
      // A number beyond the range of a double: JSON, but of no use here. A number standing
      // alone has no pointer; it is placed where it begins.
      const std::string pointer = NextPointer();
      const std::string what = "the number " + LastToken + " is out of the range of a double";
      if (!pointer.empty()) return Fail(pointer, what);
      throw TFileError(Source.Kind, Source.FileName, LineAndColumn(Position + 1 - LastToken.size()), what);
    }
    throw TFileError(Source.Kind, Source.FileName, LineAndColumn(Position), "not JSON: " + what);
  }

private:
  struct TLevel {
    TJson* Value;
    std::string Pointer;
    std::unordered_set<std::string> Keys;
  };

  // The pointer of the value about to be read.
  std::string NextPointer() const {
    if (Levels.empty()) return "";
    const TLevel& level = Levels.back();
    if (level.Value->is_object()) return level.Pointer + "/" + Escaped(Key_);
    return level.Pointer + "/" + std::to_string(level.Value->size());
  }

  // "at line 3, column 7" for the byte at Position (counted from 1), as the library counts.
  std::string LineAndColumn(std::size_t Position) const {
    const auto end = static_cast<std::ptrdiff_t>(std::min(Position, Text.size()));
    const auto lines = std::count(Text.begin(), Text.begin() + end, '\n');
    const std::size_t lineStart =
        end == 0 ? std::string::npos : Text.rfind('\n', static_cast<std::size_t>(end - 1));
    const std::size_t column = Position - (lineStart == std::string::npos ? 0 : lineStart + 1);
    return "at line " + std::to_string(lines + 1) + ", column " + std::to_string(column);
  }

  bool Fail(const std::string& Pointer, const std::string& What) const {
    throw TFileError(Source.Kind, Source.FileName, Pointer, What);
  }

  // Puts Value in its place; the place of an object or array it opens.
  TJson* Place(TJson&& Value) {
    if (Levels.empty()) {
      Root = std::move(Value);
      return &Root;
    }
    TJson& parent = *Levels.back().Value;
    if (parent.is_array()) {
      parent.push_back(std::move(Value));
      return &parent.back();
    }
    // Appended without the linear search for the key, which key() has already made.
    auto& members = parent.get_ref<TJson::object_t&>();
    members.emplace_back(Key_, std::move(Value));
    return &members.back().second;
  }

  bool Put(TJson&& Value) {
    Place(std::move(Value));
    return true;
  }

  bool Open(TJson&& Empty) {
    const std::string pointer = NextPointer();
    if (Levels.size() >= MaxDepth)
      return Fail(pointer, "nested more than " + std::to_string(MaxDepth) + " levels deep");
    TJson* value = Place(std::move(Empty));
    Levels.push_back({value, pointer, {}});
    return true;
  }

  bool Close() {
    Levels.pop_back();
    return true;
  }

  const TJsonSource& Source;
  const std::string& Text;
  TJson& Root;
  std::vector<TLevel> Levels;
  std::string Key_;
};
} // namespace

namespace {
// Takes a document apart from its last leaf up, so that nothing is allocated on the way: the
// library's own destructor first gathers the elements of an array or object into a new
// array, which fails when the memory has run out, and a failure in a destructor aborts.
void Dismantle(TJson& Root) noexcept {
  for (;;) {
    TJson* parent = nullptr;
    TJson* node = &Root;
    while (node->is_structured() && !node->empty()) {
      parent = node;
      node = node->is_array() ? &node->get_ref<TJson::array_t&>().back()
                              : &node->get_ref<TJson::object_t&>().back().second;
    }
    if (parent == nullptr) return;
    if (parent->is_array())
      parent->get_ref<TJson::array_t&>().pop_back();
    else
      parent->get_ref<TJson::object_t&>().pop_back();
  }
}
} // namespace

TJsonSource::TJsonSource(std::string K, std::string F, const std::string& Text)
    : Kind(std::move(K)), FileName(std::move(F)) {
  try {
    TDocumentBuilder builder(*this, Text, Root);
    TJson::sax_parse(Text, &builder, TJson::input_format_t::json, true, false);
  } catch (...) {
    Dismantle(Root);
    throw;
  }
}

TJsonSource::~TJsonSource() {
  Dismantle(Root);
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
