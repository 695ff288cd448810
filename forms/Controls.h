// The component tree: components, controls with bounds, visibility, colour, caption, font and
// alignment, the four control classes the board uses, the form and the timer.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "platform/Backend.h"

namespace forms {

// Colours are 0x00BBGGRR; values with the top bit set name a system colour.
using TColor = std::uint32_t;
constexpr TColor clBlack = 0x000000;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clGray = 0x808080;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clWindowText = 0x80000008;
constexpr TColor clBtnFace = 0x8000000F;
// The colour a backend is given: system colours resolved to their usual values.
TColor ColorToRGB(TColor color);

enum TAlign { alNone, alClient, alBottom };
enum TAlignment { taLeftJustify, taCenter };
enum TBevelCut { bvNone, bvRaised };
enum TMouseButton { mbLeft, mbRight, mbMiddle };
using TShiftState = unsigned;

class TObject {
 public:
  virtual ~TObject() = default;
};

using TNotifyEvent = std::function<void(TObject* sender)>;
using TMouseEvent =
    std::function<void(TObject* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(TObject* sender, TShiftState shift, int x, int y)>;
using TCloseQueryEvent = std::function<void(TObject* sender, bool& can_close)>;
// A handler as the board's table offers it, attached to an event by its name in the layout.
using THandler = std::variant<TNotifyEvent, TMouseEvent, TMouseMoveEvent, TCloseQueryEvent>;
using THandlerTable = std::vector<std::pair<std::string_view, THandler>>;

struct TFont {
  std::string Name;
  int Height = -12;  // negative: character height in pixels
  TColor Color = clWindowText;
  int Charset = 1;
};

// A value read from the layout description.
struct LayoutValue {
  enum Kind { Integer, Identifier, String, Set } kind = Integer;
  std::int64_t integer = 0;
  std::string text;  // identifier or string; a set's items joined by ','
  int line = 0;
};

class TComponent : public TObject {
 public:
  explicit TComponent(TComponent* owner);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  const std::string& Name() const { return name_; }
  TComponent* Owner() const { return owner_; }
  TComponent* FindComponent(std::string_view name) const;
  // Takes ownership of a component created with this one as its owner.
  TComponent* InsertComponent(std::unique_ptr<TComponent> component);
  const std::vector<std::unique_ptr<TComponent>>& Components() const { return components_; }

  // Called by the layout reader; the name is fixed from then on.
  virtual void SetName(std::string name) { name_ = std::move(name); }
  // Sets a stored property; an unknown one is a framework error.
  virtual void SetProperty(std::string_view key, const LayoutValue& value);
  // Attaches a handler to the event named key; an unknown event or a handler of the wrong
  // kind is a framework error.
  virtual void SetEvent(std::string_view key, std::string_view handler_name, const THandler& handler);

 protected:
  [[noreturn]] void UnknownProperty(std::string_view key, const LayoutValue& value) const;
  [[noreturn]] void UnknownEvent(std::string_view key) const;
  template <class Event>
  void Attach(Event& event, std::string_view key, std::string_view handler_name,
              const THandler& handler) const;

 private:
  TComponent* owner_;
  std::string name_;
  std::vector<std::unique_ptr<TComponent>> components_;
};

class TControl : public TComponent {
 public:
  TControl(TComponent* owner, platform::PeerKind kind);

  TControl* Parent() const { return parent_; }
  // Also creates the control's peer, stacked above the parent's earlier children.
  void SetParent(TControl* parent);
  // Creates the peer of a control without a parent (the board window).
  void CreateHandle();
  const std::vector<TControl*>& Controls() const { return children_; }
  platform::Handle Handle() const { return handle_; }

  int Left() const { return bounds_.left; }
  int Top() const { return bounds_.top; }
  int Width() const { return bounds_.width; }
  int Height() const { return bounds_.height; }
  void SetLeft(int value) { SetBounds(value, bounds_.top, bounds_.width, bounds_.height); }
  void SetTop(int value) { SetBounds(bounds_.left, value, bounds_.width, bounds_.height); }
  void SetWidth(int value) { SetBounds(bounds_.left, bounds_.top, value, bounds_.height); }
  void SetHeight(int value) { SetBounds(bounds_.left, bounds_.top, bounds_.width, value); }
  void SetBounds(int left, int top, int width, int height);
  platform::Rect BoundsRect() const { return bounds_; }

  bool Visible() const { return visible_; }
  virtual void SetVisible(bool visible);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }

  TColor Color() const { return color_; }
  void SetColor(TColor color);
  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string caption);
  const TFont& Font() const { return font_; }
  void SetFontColor(TColor color);
  TAlign Align() const { return align_; }
  void SetAlign(TAlign align);

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseMoveEvent OnMouseMove;

  void SetProperty(std::string_view key, const LayoutValue& value) override;
  void SetEvent(std::string_view key, std::string_view handler_name, const THandler& handler) override;

 protected:
  platform::Backend* Peer() const;  // null until the peer exists
  virtual void PushToPeer();        // sends every property to a new peer
  virtual void PushText() {}
  void PushFont();
  void Realign();

  TFont font_;
  std::string caption_;

 private:
  platform::PeerKind kind_;
  TControl* parent_ = nullptr;
  std::vector<TControl*> children_;
  platform::Handle handle_ = 0;
  bool has_peer_ = false;
  platform::Rect bounds_;
  bool visible_ = true;
  TColor color_ = clBtnFace;
  TAlign align_ = alNone;
};

class TPanel : public TControl {
 public:
  explicit TPanel(TComponent* owner);
  TBevelCut BevelOuter() const { return bevel_outer_; }
  void SetBevelOuter(TBevelCut bevel);
  void SetProperty(std::string_view key, const LayoutValue& value) override;

 protected:
  void PushToPeer() override;

 private:
  TBevelCut bevel_outer_ = bvRaised;
};

class TImage : public TControl {
 public:
  explicit TImage(TComponent* owner);
  // The picture drawn, stretched to the image's bounds. Images may share one picture.
  std::shared_ptr<const platform::Picture> Picture() const { return picture_; }
  void SetPicture(std::shared_ptr<const platform::Picture> picture);
  void SetProperty(std::string_view key, const LayoutValue& value) override;

 protected:
  void PushToPeer() override;

 private:
  std::shared_ptr<const platform::Picture> picture_;
};

class TLabel : public TControl {
 public:
  explicit TLabel(TComponent* owner);
  TAlignment Alignment() const { return alignment_; }
  void SetProperty(std::string_view key, const LayoutValue& value) override;

 protected:
  void PushText() override;

 private:
  TAlignment alignment_ = taLeftJustify;
};

class TTimer : public TComponent {
 public:
  explicit TTimer(TComponent* owner);
  ~TTimer() override;
  std::uint32_t Interval() const { return interval_; }
  // Setting the interval restarts the period; 0 never ticks.
  void SetInterval(std::uint32_t interval);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  TNotifyEvent OnTimer;

  void SetProperty(std::string_view key, const LayoutValue& value) override;
  void SetEvent(std::string_view key, std::string_view handler_name, const THandler& handler) override;
  // Delivers one tick; a tick that arrives while the handler still runs is dropped.
  void Tick();
  int Id() const { return id_; }

 private:
  void Update();
  int id_;
  std::uint32_t interval_ = 1000;
  bool enabled_ = true;
  bool in_tick_ = false;
};

}  // namespace forms
