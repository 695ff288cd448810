// The form, the screen and the application object: the message loop, message boxes, error
// reporting and event dispatch from the platform into the component tree.
#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "forms/Controls.h"
#include "forms/SysUtils.h"
#include "platform/Backend.h"

namespace forms {

class TForm : public TControl {
 public:
  explicit TForm(TComponent* owner);

  int ClientWidth() const { return Width(); }
  int ClientHeight() const { return Height(); }
  void SetClientWidth(int value) { SetWidth(value); }
  void SetClientHeight(int value) { SetHeight(value); }

  // Showing the board brings it to the front; hiding it takes it off the screen.
  void SetVisible(bool visible) override;
  // The always-on-top band.
  void SetTopmost(bool topmost);

  // Asks OnCloseQuery; a granted close hides the form, and closing the main form ends the
  // application. A granted close is final: later requests are not asked again.
  void Close();
  // The same question at the end of the desktop session; true when the form has closed.
  bool CloseForEndOfSession();
  bool Closed() const { return closed_; }

  TNotifyEvent OnCreate;
  TCloseQueryEvent OnCloseQuery;

  void SetProperty(std::string_view key, const LayoutValue& value) override;
  void SetEvent(std::string_view key, std::string_view handler_name, const THandler& handler) override;

 protected:
  // Reads the layout description into this form: its own properties and the component tree.
  void LoadLayout(std::string_view description, std::string_view class_name,
                  const THandlerTable& handlers);
  // Ties a component field to the component of that name; a missing one is a framework error.
  template <class T>
  void BindComponent(T*& field, std::string_view name) {
    field = dynamic_cast<T*>(FindComponent(name));
    if (field == nullptr) ComponentMissing(name);
  }

 private:
  [[noreturn]] void ComponentMissing(std::string_view name) const;
  bool closed_ = false;
  bool maximized_ = false;
};

class TScreen {
 public:
  int Width() const;
  int Height() const;
  // The screen's top-left width x height pixels; a framework error when none can be had.
  std::shared_ptr<const platform::Picture> Photograph(int width, int height) const;
};

class TApplication : public TComponent, private platform::EventSink {
 public:
  explicit TApplication(platform::Backend& backend);
  ~TApplication() override;

  void Initialize();
  const std::string& Title() const { return title_; }
  void SetTitle(std::string title);

  // Creates a form owned by the application, assigns it to ref and runs its OnCreate; the
  // first form created is the main form. An error escaping OnCreate is shown in the error box
  // and the form stays.
  template <class T>
  void CreateForm(T*& ref) {
    auto form = std::make_unique<T>(this);
    ref = form.get();
    AdoptForm(std::move(form));
  }
  TForm* MainForm() const { return main_form_; }

  // Shows the main form and runs the message loop until the application is told to end.
  void Run();
  void Terminate();
  bool Terminated() const { return terminated_; }

  int MessageBox(std::string_view text, std::string_view caption, unsigned flags);
  void ProcessMessages();
  // The framework's error box: the message followed by ".", captioned with the title.
  void ShowException(const std::exception& error);
  // Shows the error in flight; for use inside a catch block.
  void HandleException();
  // The application's own window, which carries the taskbar entry.
  void ShowApplicationWindow(bool visible);

  platform::Backend& Backend() const { return backend_; }

  // Bookkeeping for controls and timers.
  platform::Handle RegisterControl(TControl* control);
  int RegisterTimer(TTimer* timer);
  void UnregisterTimer(int id);

 private:
  void AdoptForm(std::unique_ptr<TForm> form);
  TControl* ControlFor(platform::Handle handle) const;
  // Runs a handler as the event dispatcher does: an escaping error goes to the error box.
  template <class Function>
  void Dispatch(Function&& function);

  void TimerTick(int timer) override;
  void MouseDown(platform::Handle control, platform::MouseButton button, int x, int y) override;
  void MouseMove(platform::Handle control, int x, int y) override;
  void Click(platform::Handle control) override;
  void DoubleClick(platform::Handle control) override;
  void CloseRequest() override;
  bool EndSessionQuery() override;

  platform::Backend& backend_;
  TApplication* previous_;  // tests may run a second program inside the first
  std::string title_;
  std::vector<std::unique_ptr<TForm>> forms_;
  TForm* main_form_ = nullptr;
  bool terminated_ = false;
  std::vector<TControl*> controls_;
  std::vector<TTimer*> timers_;
};

// The one application and screen of the process, as the board reaches them.
extern TApplication* Application;
extern TScreen* Screen;

}  // namespace forms
