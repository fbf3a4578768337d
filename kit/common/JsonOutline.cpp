#include "kit/common/JsonOutline.hpp"

#include <iterator>
#include <set>

#include "kit/common/Json.hpp"

namespace {

// Counts what the parser has read, so that each event knows where in the text it is.
struct CountingIterator {
  using iterator_category = std::forward_iterator_tag;
  using value_type = char;
  using difference_type = std::ptrdiff_t;
  using pointer = const char*;
  using reference = const char&;

  const char* at = nullptr;
  size_t* read = nullptr;

  reference operator*() const { return *at; }
  CountingIterator& operator++() {
    ++at;
    ++*read;
    return *this;
  }
  CountingIterator operator++(int) {
    CountingIterator before = *this;
    ++*this;
    return before;
  }
  bool operator==(const CountingIterator& other) const { return at == other.at; }
};

// The parser has read one character past a number; no scalar ends in white space or a bracket.
size_t scalarEnd(std::string_view text, size_t read) {
  while (read > 0 && std::string_view(" \t\r\n,}]").find(text[read - 1]) != std::string_view::npos) --read;
  return read;
}

class Reader : public nlohmann::json_sax<WideJson> {
 public:
  Reader(std::string_view text, const size_t& read) : text_(text), read_(read) {}

  std::optional<JsonOutline::Object> top;

  bool null() override { return scalar(); }
  bool boolean(bool) override { return scalar(); }
  bool number_integer(number_integer_t) override { return scalar(); }
  bool number_unsigned(number_unsigned_t) override { return scalar(); }
  bool number_float(number_float_t, const string_t&) override { return scalar(); }
  bool string(string_t&) override { return scalar(); }
  bool binary(binary_t&) override { return scalar(); }

  bool start_object(std::size_t) override {
    JsonOutline::Object* outline = nullptr;
    if (frames_.empty()) {
      top.emplace();
      outline = &*top;
    } else if (frames_.size() == 1 && frames_.back().outline && !frames_.back().outline->members.empty()) {
      outline = &frames_.back().outline->members.back().object.emplace_back();
    }
    if (outline) outline->open = read_ - 1;
    frames_.push_back({true, outline, {}});
    return true;
  }
  bool end_object() override {
    if (auto* outline = frames_.back().outline) outline->close = read_ - 1;
    frames_.pop_back();
    return valueEnded(read_);
  }
  bool start_array(std::size_t) override {
    frames_.push_back({false, nullptr, {}});
    return true;
  }
  bool end_array() override {
    frames_.pop_back();
    return valueEnded(read_);
  }
  bool key(string_t& key) override {
    Frame& frame = frames_.back();
    if (!frame.keys.insert(key).second) return false;  // a repeated key: no safe edit
    if (frame.outline) frame.outline->members.push_back({key, read_, 0, {}});
    return true;
  }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }

 private:
  struct Frame {
    bool isObject;
    JsonOutline::Object* outline;
    std::set<std::string> keys;
  };

  bool scalar() { return valueEnded(scalarEnd(text_, read_)); }
  bool valueEnded(size_t end) {
    if (!frames_.empty() && frames_.back().isObject && frames_.back().outline) {
      frames_.back().outline->members.back().valueEnd = end;
    }
    return true;
  }

  std::string_view text_;
  const size_t& read_;
  std::vector<Frame> frames_;
};

}  // namespace

const JsonOutline::Member* JsonOutline::Object::member(std::string_view key) const {
  for (const auto& each : members) {
    if (each.key == key) return &each;
  }
  return nullptr;
}

namespace {

std::optional<JsonOutline> outline(std::string_view text, bool whole) {
  size_t read = 0;
  Reader reader(text, read);
  const CountingIterator first{text.data(), &read}, last{text.data() + text.size(), &read};
  const bool parsed = WideJson::sax_parse(first, last, &reader);
  if ((whole && !parsed) || !reader.top) return std::nullopt;
  if (!parsed && !reader.top->members.empty()) {
    // A number or word that runs into the end of the text may be cut short.
    auto& last = reader.top->members.back();
    if (text.find_first_not_of(" \t\r\n", last.valueEnd) == std::string_view::npos) last.valueEnd = 0;
  }
  return JsonOutline{*reader.top};
}

}  // namespace

std::optional<JsonOutline> JsonOutline::read(std::string_view text) { return outline(text, true); }

std::optional<JsonOutline> JsonOutline::readBeginning(std::string_view text) { return outline(text, false); }

size_t JsonOutline::valueStart(std::string_view text, const Member& member) {
  return text.find_first_not_of(" \t\r\n", text.find(':', member.keyEnd) + 1);
}

std::optional<std::string_view> JsonOutline::memberText(std::string_view text, const Object& top, std::string_view key) {
  const Member* found = top.member(key);
  if (!found || found->valueEnd == 0) return std::nullopt;
  const size_t start = valueStart(text, *found);
  return text.substr(start, found->valueEnd - start);
}
