// The component tree: properties, alignment layout and the hand-over of every change to the
// control's peer.
#include "forms/Controls.h"

#include <algorithm>
#include <cassert>

#include "forms/Application.h"
#include "forms/SysUtils.h"

namespace forms {

namespace {

std::string Describe(const LayoutValue& value) {
  switch (value.kind) {
    case LayoutValue::Integer: return std::to_string(value.integer);
    case LayoutValue::String: return "'" + value.text + "'";
    case LayoutValue::Set: return "[" + value.text + "]";
    case LayoutValue::Identifier: break;
  }
  return value.text;
}

[[noreturn]] void BadValue(const TComponent& component, std::string_view key, const LayoutValue& value) {
  throw EFrameworkError("Invalid value " + Describe(value) + " for property " + std::string(key) +
                        " of " + component.Name());
}

int IntegerOf(const TComponent& component, std::string_view key, const LayoutValue& value) {
  if (value.kind != LayoutValue::Integer || value.integer < INT32_MIN || value.integer > INT32_MAX)
    BadValue(component, key, value);
  return static_cast<int>(value.integer);
}

bool BooleanOf(const TComponent& component, std::string_view key, const LayoutValue& value) {
  if (value.kind == LayoutValue::Identifier && value.text == "True") return true;
  if (value.kind == LayoutValue::Identifier && value.text == "False") return false;
  BadValue(component, key, value);
}

std::string StringOf(const TComponent& component, std::string_view key, const LayoutValue& value) {
  if (value.kind != LayoutValue::String) BadValue(component, key, value);
  return value.text;
}

struct NamedColor {
  std::string_view name;
  TColor color;
};
constexpr NamedColor kColors[] = {
    {"clBlack", clBlack},   {"clRed", clRed},   {"clLime", clLime},
    {"clYellow", clYellow}, {"clAqua", clAqua}, {"clGray", clGray},
    {"clWhite", clWhite},   {"clWindowText", clWindowText}, {"clBtnFace", clBtnFace},
};

TColor ColorOf(const TComponent& component, std::string_view key, const LayoutValue& value) {
  if (value.kind == LayoutValue::Integer) return static_cast<TColor>(value.integer);
  if (value.kind == LayoutValue::Identifier) {
    for (const auto& named : kColors)
      if (named.name == value.text) return named.color;
  }
  BadValue(component, key, value);
}

bool IsIdentifier(const LayoutValue& value, std::string_view text) {
  return value.kind == LayoutValue::Identifier && value.text == text;
}

// Properties every control stores but that change nothing here.
bool IsInertProperty(std::string_view key) {
  return key == "TabOrder" || key == "ParentColor" || key == "ParentFont" || key == "AutoSize" ||
         key == "Transparent";
}

}  // namespace

TColor ColorToRGB(TColor color) {
  switch (color) {
    case clWindowText: return 0x000000;
    case clBtnFace: return 0xF0F0F0;
    default: return color & 0xFFFFFF;
  }
}

// --- TComponent -------------------------------------------------------------------------

TComponent::TComponent(TComponent* owner) : owner_(owner) {}
TComponent::~TComponent() {
  // Later components may refer to earlier ones (a child to its parent): free in reverse.
  while (!components_.empty()) components_.pop_back();
}

TComponent* TComponent::FindComponent(std::string_view name) const {
  for (const auto& component : components_)
    if (component->Name() == name) return component.get();
  return nullptr;
}

TComponent* TComponent::InsertComponent(std::unique_ptr<TComponent> component) {
  components_.push_back(std::move(component));
  return components_.back().get();
}

void TComponent::SetProperty(std::string_view key, const LayoutValue& value) {
  UnknownProperty(key, value);
}

void TComponent::SetEvent(std::string_view key, std::string_view, const THandler&) {
  UnknownEvent(key);
}

void TComponent::UnknownProperty(std::string_view key, const LayoutValue&) const {
  throw EFrameworkError("Unknown property " + std::string(key) + " of " + Name());
}

void TComponent::UnknownEvent(std::string_view key) const {
  throw EFrameworkError("Unknown event " + std::string(key) + " of " + Name());
}

template <class Event>
void TComponent::Attach(Event& event, std::string_view key, std::string_view handler_name,
                        const THandler& handler) const {
  const auto* typed = std::get_if<Event>(&handler);
  if (typed == nullptr)
    throw EFrameworkError("Handler " + std::string(handler_name) + " does not fit event " +
                          std::string(key) + " of " + Name());
  event = *typed;
}
template void TComponent::Attach(TNotifyEvent&, std::string_view, std::string_view, const THandler&) const;
template void TComponent::Attach(TMouseEvent&, std::string_view, std::string_view, const THandler&) const;
template void TComponent::Attach(TMouseMoveEvent&, std::string_view, std::string_view, const THandler&) const;
template void TComponent::Attach(TCloseQueryEvent&, std::string_view, std::string_view, const THandler&) const;

// --- TControl ---------------------------------------------------------------------------

TControl::TControl(TComponent* owner, platform::PeerKind kind) : TComponent(owner), kind_(kind) {}

platform::Backend* TControl::Peer() const {
  return has_peer_ ? &Application->Backend() : nullptr;
}

void TControl::CreateHandle() {
  if (has_peer_) return;
  handle_ = Application->RegisterControl(this);
  Application->Backend().CreatePeer(handle_, kind_, parent_ ? parent_->handle_ : platform::kBoardHandle,
                                    Name());
  has_peer_ = true;
  PushToPeer();
}

void TControl::SetParent(TControl* parent) {
  assert(parent_ == nullptr && parent != nullptr);
  parent_ = parent;
  parent->children_.push_back(this);
  CreateHandle();
  parent->Realign();
}

void TControl::PushToPeer() {
  auto* peer = Peer();
  peer->SetPeerBounds(handle_, bounds_);
  peer->SetPeerColor(handle_, ColorToRGB(color_));
  PushText();
  if (kind_ != platform::PeerKind::Board) peer->SetPeerVisible(handle_, visible_);
}

void TControl::PushFont() {
  if (auto* peer = Peer())
    peer->SetPeerFont(handle_, platform::Font{font_.Name, font_.Height < 0 ? -font_.Height : font_.Height,
                                              ColorToRGB(font_.Color), font_.Charset});
}

void TControl::SetBounds(int left, int top, int width, int height) {
  const platform::Rect bounds{left, top, width, height};
  if (bounds == bounds_) return;
  const bool resized = width != bounds_.width || height != bounds_.height;
  bounds_ = bounds;
  if (auto* peer = Peer()) peer->SetPeerBounds(handle_, bounds_);
  if (resized) Realign();
}

// Bottom-aligned children take their height off the bottom of the client area in stacking
// order; client-aligned children fill what is left.
void TControl::Realign() {
  platform::Rect client{0, 0, bounds_.width, bounds_.height};
  for (auto* child : children_) {
    if (child->align_ != alBottom) continue;
    const int height = child->bounds_.height;
    child->SetBounds(client.left, client.top + client.height - height, client.width, height);
    client.height -= height;
  }
  for (auto* child : children_) {
    if (child->align_ != alClient) continue;
    child->SetBounds(client.left, client.top, client.width, client.height);
  }
}

void TControl::SetVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  // The board window is shown and hidden through its own operations.
  if (auto* peer = Peer(); peer && kind_ != platform::PeerKind::Board) peer->SetPeerVisible(handle_, visible_);
}

void TControl::SetColor(TColor color) {
  if (color_ == color) return;
  color_ = color;
  if (auto* peer = Peer()) peer->SetPeerColor(handle_, ColorToRGB(color_));
}

void TControl::SetCaption(std::string caption) {
  caption_ = std::move(caption);
  if (Peer() != nullptr) PushText();
}

void TControl::SetFontColor(TColor color) {
  font_.Color = color;
  PushFont();
}

void TControl::SetAlign(TAlign align) {
  if (align_ == align) return;
  align_ = align;
  if (parent_ != nullptr && align_ != alNone) parent_->Realign();
}

void TControl::SetProperty(std::string_view key, const LayoutValue& value) {
  if (key == "Left") SetLeft(IntegerOf(*this, key, value));
  else if (key == "Top") SetTop(IntegerOf(*this, key, value));
  else if (key == "Width") SetWidth(IntegerOf(*this, key, value));
  else if (key == "Height") SetHeight(IntegerOf(*this, key, value));
  else if (key == "Visible") SetVisible(BooleanOf(*this, key, value));
  else if (key == "Color") SetColor(ColorOf(*this, key, value));
  else if (key == "Caption") SetCaption(StringOf(*this, key, value));
  else if (key == "Font.Name") { font_.Name = StringOf(*this, key, value); PushFont(); }
  else if (key == "Font.Height") { font_.Height = IntegerOf(*this, key, value); PushFont(); }
  else if (key == "Font.Color") SetFontColor(ColorOf(*this, key, value));
  else if (key == "Font.Charset") {
    if (IsIdentifier(value, "SHIFTJIS_CHARSET")) font_.Charset = 128;
    else if (IsIdentifier(value, "DEFAULT_CHARSET")) font_.Charset = 1;
    else font_.Charset = IntegerOf(*this, key, value);
    PushFont();
  } else if (key == "Font.Style") {
    if (value.kind != LayoutValue::Set || !value.text.empty()) BadValue(*this, key, value);
  } else if (key == "Align") {
    if (IsIdentifier(value, "alNone")) SetAlign(alNone);
    else if (IsIdentifier(value, "alClient")) SetAlign(alClient);
    else if (IsIdentifier(value, "alBottom")) SetAlign(alBottom);
    else BadValue(*this, key, value);
  } else if (IsInertProperty(key)) {
  } else {
    TComponent::SetProperty(key, value);
  }
}

void TControl::SetEvent(std::string_view key, std::string_view handler_name, const THandler& handler) {
  if (key == "OnClick") Attach(OnClick, key, handler_name, handler);
  else if (key == "OnDblClick") Attach(OnDblClick, key, handler_name, handler);
  else if (key == "OnMouseDown") Attach(OnMouseDown, key, handler_name, handler);
  else if (key == "OnMouseMove") Attach(OnMouseMove, key, handler_name, handler);
  else TComponent::SetEvent(key, handler_name, handler);
}

// --- TPanel, TImage, TLabel -------------------------------------------------------------

TPanel::TPanel(TComponent* owner) : TControl(owner, platform::PeerKind::Panel) {}

void TPanel::SetBevelOuter(TBevelCut bevel) {
  bevel_outer_ = bevel;
  if (auto* peer = Peer()) peer->SetPeerBevel(Handle(), bevel_outer_ == bvRaised);
}

void TPanel::PushToPeer() {
  TControl::PushToPeer();
  Peer()->SetPeerBevel(Handle(), bevel_outer_ == bvRaised);
}

void TPanel::SetProperty(std::string_view key, const LayoutValue& value) {
  if (key == "BevelOuter") {
    if (IsIdentifier(value, "bvNone")) SetBevelOuter(bvNone);
    else if (IsIdentifier(value, "bvRaised")) SetBevelOuter(bvRaised);
    else BadValue(*this, key, value);
  } else {
    TControl::SetProperty(key, value);
  }
}

TImage::TImage(TComponent* owner) : TControl(owner, platform::PeerKind::Image) {}

void TImage::SetPicture(std::shared_ptr<const platform::Picture> picture) {
  picture_ = std::move(picture);
  if (auto* peer = Peer()) peer->SetPeerPicture(Handle(), picture_);
}

void TImage::PushToPeer() {
  TControl::PushToPeer();
  if (picture_) Peer()->SetPeerPicture(Handle(), picture_);
}

void TImage::SetProperty(std::string_view key, const LayoutValue& value) {
  // Images always stretch their picture to their bounds.
  if (key == "Stretch") {
    if (!BooleanOf(*this, key, value)) BadValue(*this, key, value);
  } else {
    TControl::SetProperty(key, value);
  }
}

TLabel::TLabel(TComponent* owner) : TControl(owner, platform::PeerKind::Label) {}

void TLabel::PushText() {
  if (auto* peer = Peer()) {
    peer->SetPeerText(Handle(), caption_, alignment_ == taCenter);
    PushFont();
  }
}

void TLabel::SetProperty(std::string_view key, const LayoutValue& value) {
  if (key == "Alignment") {
    if (IsIdentifier(value, "taCenter")) alignment_ = taCenter;
    else if (IsIdentifier(value, "taLeftJustify")) alignment_ = taLeftJustify;
    else BadValue(*this, key, value);
    PushText();
  } else {
    TControl::SetProperty(key, value);
  }
}

// --- TTimer -----------------------------------------------------------------------------

TTimer::TTimer(TComponent* owner) : TComponent(owner), id_(Application->RegisterTimer(this)) {}

TTimer::~TTimer() {
  Application->Backend().SetTimer(id_, interval_, false);
  Application->UnregisterTimer(id_);
}

void TTimer::Update() { Application->Backend().SetTimer(id_, interval_, enabled_ && interval_ != 0); }

void TTimer::SetInterval(std::uint32_t interval) {
  interval_ = interval;
  Update();
}

void TTimer::SetEnabled(bool enabled) {
  enabled_ = enabled;
  Update();
}

void TTimer::Tick() {
  if (!enabled_ || interval_ == 0 || in_tick_ || !OnTimer) return;
  in_tick_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{in_tick_};
  OnTimer(this);
}

void TTimer::SetProperty(std::string_view key, const LayoutValue& value) {
  if (key == "Interval") {
    if (value.kind != LayoutValue::Integer || value.integer < 0 || value.integer > UINT32_MAX)
      throw EFrameworkError("Invalid value for property Interval of " + Name());
    SetInterval(static_cast<std::uint32_t>(value.integer));
  } else if (key == "Enabled") {
    SetEnabled(BooleanOf(*this, key, value));
  } else {
    TComponent::SetProperty(key, value);
  }
}

void TTimer::SetEvent(std::string_view key, std::string_view handler_name, const THandler& handler) {
  if (key == "OnTimer") Attach(OnTimer, key, handler_name, handler);
  else TComponent::SetEvent(key, handler_name, handler);
}

}  // namespace forms
