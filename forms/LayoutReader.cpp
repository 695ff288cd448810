// Reads a layout description (objects, properties, events, nesting by object/end) into a form
// and attaches event handlers by name.
#include <cctype>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "forms/Application.h"

namespace forms {

namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
    text.remove_suffix(1);
  return text;
}

bool IsName(std::string_view text) {
  if (text.empty() || std::isdigit(static_cast<unsigned char>(text.front()))) return false;
  for (char c : text)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
  return true;
}

bool IsPropertyName(std::string_view text) {
  std::size_t start = 0;
  while (true) {
    const auto dot = text.find('.', start);
    if (!IsName(text.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start)))
      return false;
    if (dot == std::string_view::npos) return true;
    start = dot + 1;
  }
}

class Reader {
 public:
  Reader(std::string_view text, std::string_view form_class, TForm& form, const THandlerTable& handlers)
      : text_(text), form_class_(form_class), form_(form), handlers_(handlers) {}

  void Read(const std::function<void(TForm&)>& create_form_handle) {
    if (!NextLine()) Fail("the description is empty");
    auto [name, type] = ObjectHeader();
    if (type != form_class_) Fail("expected an object of class " + std::string(form_class_) + ", found " + type);
    form_.SetName(name);
    create_form_handle(form_);
    ReadBody(form_, &form_);
    if (NextLine()) Fail("text after the last 'end'");
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const {
    throw EFrameworkError("Layout of " + std::string(form_class_) + ", line " + std::to_string(line_number_) +
                          ": " + what);
  }

  // Moves to the next line that is not blank; false at the end of the text.
  bool NextLine() {
    while (position_ < text_.size()) {
      auto end = text_.find('\n', position_);
      if (end == std::string_view::npos) end = text_.size();
      line_ = Trim(text_.substr(position_, end - position_));
      position_ = end + 1;
      ++line_number_;
      if (!line_.empty()) return true;
    }
    line_ = {};
    return false;
  }

  std::pair<std::string, std::string> ObjectHeader() {
    if (line_.substr(0, 7) != "object ") Fail("expected 'object Name: Class', found '" + std::string(line_) + "'");
    auto rest = line_.substr(7);
    const auto colon = rest.find(':');
    if (colon == std::string_view::npos) Fail("expected 'object Name: Class'");
    const auto name = Trim(rest.substr(0, colon));
    const auto type = Trim(rest.substr(colon + 1));
    if (!IsName(name) || !IsName(type)) Fail("expected 'object Name: Class'");
    return {std::string(name), std::string(type)};
  }

  void ReadBody(TComponent& component, TControl* as_control) {
    while (true) {
      if (!NextLine()) Fail("missing 'end' of " + component.Name());
      if (line_ == "end") return;
      if (line_.substr(0, 7) == "object ") {
        auto [name, type] = ObjectHeader();
        if (form_.FindComponent(name) != nullptr || name == form_.Name())
          Fail("a second component named " + name);
        auto child = Create(type);
        auto* raw = form_.InsertComponent(std::move(child));
        raw->SetName(name);
        auto* control = dynamic_cast<TControl*>(raw);
        if (control != nullptr) {
          if (as_control == nullptr) Fail(name + " cannot be placed on " + component.Name());
          control->SetParent(as_control);
        }
        ReadBody(*raw, control);
        continue;
      }
      ReadProperty(component);
    }
  }

  std::unique_ptr<TComponent> Create(const std::string& type) {
    if (type == "TPanel") return std::make_unique<TPanel>(&form_);
    if (type == "TImage") return std::make_unique<TImage>(&form_);
    if (type == "TLabel") return std::make_unique<TLabel>(&form_);
    if (type == "TTimer") return std::make_unique<TTimer>(&form_);
    Fail("unknown class " + type);
  }

  void ReadProperty(TComponent& component) {
    const auto equals = line_.find('=');
    if (equals == std::string_view::npos) Fail("expected 'Property = value', found '" + std::string(line_) + "'");
    const auto key = Trim(line_.substr(0, equals));
    const auto text = Trim(line_.substr(equals + 1));
    if (!IsPropertyName(key)) Fail("bad property name '" + std::string(key) + "'");
    if (key.substr(0, 2) == "On") {
      if (!IsName(text)) Fail("bad handler name '" + std::string(text) + "' for " + std::string(key));
      const THandler* handler = nullptr;
      for (const auto& [name, candidate] : handlers_)
        if (name == text) handler = &candidate;
      if (handler == nullptr)
        throw EFrameworkError("Handler " + std::string(text) + " for " + component.Name() + "." +
                              std::string(key) + " does not exist");
      component.SetEvent(key, text, *handler);
      return;
    }
    component.SetProperty(key, Value(text));
  }

  LayoutValue Value(std::string_view text) {
    LayoutValue value;
    value.line = line_number_;
    if (text.empty()) Fail("missing value");
    if (text.front() == '\'') {
      value.kind = LayoutValue::String;
      std::size_t i = 1;
      while (true) {
        if (i >= text.size()) Fail("unterminated string");
        if (text[i] == '\'') {
          if (i + 1 < text.size() && text[i + 1] == '\'') {
            value.text += '\'';
            i += 2;
            continue;
          }
          break;
        }
        value.text += text[i++];
      }
      if (i + 1 != text.size()) Fail("text after a string");
      return value;
    }
    if (text.front() == '[') {
      value.kind = LayoutValue::Set;
      if (text.back() != ']') Fail("unterminated set");
      std::string items;
      for (char c : text.substr(1, text.size() - 2))
        if (c != ' ') items += c;
      value.text = items;
      return value;
    }
    if (text.front() == '-' || std::isdigit(static_cast<unsigned char>(text.front()))) {
      value.kind = LayoutValue::Integer;
      const bool negative = text.front() == '-';
      auto digits = negative ? text.substr(1) : text;
      if (digits.empty() || digits.size() > 12) Fail("bad number '" + std::string(text) + "'");
      for (char c : digits) {
        if (!std::isdigit(static_cast<unsigned char>(c))) Fail("bad number '" + std::string(text) + "'");
        value.integer = value.integer * 10 + (c - '0');
      }
      if (negative) value.integer = -value.integer;
      return value;
    }
    if (!IsName(text)) Fail("bad value '" + std::string(text) + "'");
    value.kind = LayoutValue::Identifier;
    value.text = std::string(text);
    return value;
  }

  std::string_view text_;
  std::string_view form_class_;
  TForm& form_;
  const THandlerTable& handlers_;
  std::size_t position_ = 0;
  std::string_view line_;
  int line_number_ = 0;
};

}  // namespace

void TForm::LoadLayout(std::string_view description, std::string_view class_name,
                       const THandlerTable& handlers) {
  Reader(description, class_name, *this, handlers).Read([](TForm& form) { form.CreateHandle(); });
}

}  // namespace forms
