// The application object, the form and the screen: message loop, boxes, error reporting and
// the dispatch of platform events to handlers.
#include "forms/Application.h"

#include <utility>

namespace forms {

TApplication* Application = nullptr;
TScreen* Screen = nullptr;

// --- TForm ------------------------------------------------------------------------------

TForm::TForm(TComponent* owner) : TControl(owner, platform::PeerKind::Board) {
  SetColor(clBlack);
  TControl::SetVisible(false);
}

void TForm::SetVisible(bool visible) {
  const bool changed = visible != Visible();
  // A maximised form covers the screen when it is shown, whatever its stored size.
  if (visible && maximized_) SetBounds(0, 0, Screen->Width(), Screen->Height());
  TControl::SetVisible(visible);
  auto& backend = Application->Backend();
  // Show brings the board to the front even when it is visible already.
  if (visible) backend.ShowBoard();
  else if (changed) backend.HideBoard();
}

void TForm::SetTopmost(bool topmost) { Application->Backend().SetBoardTopmost(topmost); }

void TForm::Close() {
  if (closed_) return;
  bool can_close = true;
  if (OnCloseQuery) OnCloseQuery(this, can_close);
  if (!can_close || closed_) return;
  closed_ = true;
  Hide();
  if (Application->MainForm() == this) Application->Terminate();
}

bool TForm::CloseForEndOfSession() {
  Close();
  return closed_;
}

void TForm::SetProperty(std::string_view key, const LayoutValue& value) {
  if (key == "ClientWidth") SetProperty("Width", value);
  else if (key == "ClientHeight") SetProperty("Height", value);
  else if (key == "WindowState") {
    if (value.kind != LayoutValue::Identifier || (value.text != "wsMaximized" && value.text != "wsNormal"))
      throw EFrameworkError("Invalid value for property WindowState of " + Name());
    maximized_ = value.text == "wsMaximized";
  }
  // The board is always a borderless window at the layout's resolution.
  else if (key == "BorderStyle" || key == "BorderIcons" || key == "PixelsPerInch" || key == "TextHeight") {
  } else {
    TControl::SetProperty(key, value);
  }
}

void TForm::SetEvent(std::string_view key, std::string_view handler_name, const THandler& handler) {
  if (key == "OnCreate") Attach(OnCreate, key, handler_name, handler);
  else if (key == "OnCloseQuery") Attach(OnCloseQuery, key, handler_name, handler);
  else TControl::SetEvent(key, handler_name, handler);
}

void TForm::ComponentMissing(std::string_view name) const {
  throw EFrameworkError("Component " + std::string(name) + " is missing from the layout of " + Name());
}

// --- TScreen ----------------------------------------------------------------------------

int TScreen::Width() const { return Application->Backend().ScreenWidth(); }
int TScreen::Height() const { return Application->Backend().ScreenHeight(); }

std::shared_ptr<const platform::Picture> TScreen::Photograph(int width, int height) const {
  auto picture = Application->Backend().Photograph(width, height);
  if (!picture) throw EFrameworkError("The screen could not be photographed");
  return picture;
}

// --- TApplication -----------------------------------------------------------------------

TApplication::TApplication(platform::Backend& backend)
    : TComponent(nullptr), backend_(backend), previous_(Application) {
  Application = this;
  static TScreen screen;
  Screen = &screen;
  backend_.SetSink(this);
}

TApplication::~TApplication() {
  forms_.clear();
  backend_.SetSink(nullptr);
  if (Application == this) Application = previous_;
}

void TApplication::Initialize() {}

void TApplication::SetTitle(std::string title) {
  title_ = std::move(title);
  backend_.SetTitle(title_);
}

void TApplication::AdoptForm(std::unique_ptr<TForm> form) {
  TForm* raw = form.get();
  forms_.push_back(std::move(form));
  if (main_form_ == nullptr) main_form_ = raw;
  if (raw->OnCreate) Dispatch([&] { raw->OnCreate(raw); });
}

void TApplication::Run() {
  if (main_form_ == nullptr || terminated_) return;
  main_form_->Show();
  if (!terminated_) backend_.RunMessageLoop();
}

void TApplication::Terminate() {
  terminated_ = true;
  backend_.QuitMessageLoop();
}

int TApplication::MessageBox(std::string_view text, std::string_view caption, unsigned flags) {
  return backend_.MessageBox(text, caption, flags);
}

void TApplication::ProcessMessages() { backend_.ProcessPendingMessages(); }

void TApplication::ShowException(const std::exception& error) {
  std::string text = error.what();
  text += '.';
  backend_.MessageBox(text, title_, platform::mb::kIconHand);
}

void TApplication::HandleException() {
  try {
    throw;
  } catch (const std::exception& error) {
    ShowException(error);
  }
}

void TApplication::ShowApplicationWindow(bool visible) { backend_.SetTaskbarEntryVisible(visible); }

platform::Handle TApplication::RegisterControl(TControl* control) {
  // The board is the first control with a peer, so it gets the board's handle.
  controls_.push_back(control);
  return static_cast<platform::Handle>(controls_.size() - 1);
}

int TApplication::RegisterTimer(TTimer* timer) {
  timers_.push_back(timer);
  return static_cast<int>(timers_.size() - 1);
}

void TApplication::UnregisterTimer(int id) {
  if (id >= 0 && static_cast<std::size_t>(id) < timers_.size()) timers_[static_cast<std::size_t>(id)] = nullptr;
}

TControl* TApplication::ControlFor(platform::Handle handle) const {
  return handle < controls_.size() ? controls_[handle] : nullptr;
}

template <class Function>
void TApplication::Dispatch(Function&& function) {
  try {
    function();
  } catch (...) {
    HandleException();
  }
}

namespace {
TMouseButton ButtonOf(platform::MouseButton button) {
  switch (button) {
    case platform::MouseButton::Right: return mbRight;
    case platform::MouseButton::Middle: return mbMiddle;
    case platform::MouseButton::Left: break;
  }
  return mbLeft;
}
}  // namespace

void TApplication::TimerTick(int timer) {
  if (timer < 0 || static_cast<std::size_t>(timer) >= timers_.size()) return;
  if (auto* target = timers_[static_cast<std::size_t>(timer)]) Dispatch([&] { target->Tick(); });
}

void TApplication::MouseDown(platform::Handle handle, platform::MouseButton button, int x, int y) {
  if (auto* control = ControlFor(handle); control && control->OnMouseDown)
    Dispatch([&] { control->OnMouseDown(control, ButtonOf(button), 0, x, y); });
}

void TApplication::MouseMove(platform::Handle handle, int x, int y) {
  if (auto* control = ControlFor(handle); control && control->OnMouseMove)
    Dispatch([&] { control->OnMouseMove(control, 0, x, y); });
}

void TApplication::Click(platform::Handle handle) {
  if (auto* control = ControlFor(handle); control && control->OnClick)
    Dispatch([&] { control->OnClick(control); });
}

void TApplication::DoubleClick(platform::Handle handle) {
  if (auto* control = ControlFor(handle); control && control->OnDblClick)
    Dispatch([&] { control->OnDblClick(control); });
}

void TApplication::CloseRequest() {
  if (main_form_ != nullptr) Dispatch([&] { main_form_->Close(); });
}

bool TApplication::EndSessionQuery() {
  if (main_form_ == nullptr) return true;
  bool closed = false;
  Dispatch([&] { closed = main_form_->CloseForEndOfSession(); });
  return closed;
}

}  // namespace forms
