// The board's construction: layout, component fields and the table of handlers by name; the
// module's animation variables.
#include "board/Form1.h"

namespace board {

TForm1* Form1 = nullptr;

std::int32_t IntroStep = 0;
bool BounceRight = false;
bool BounceDown = false;
std::uint8_t BounceRightSeeded = 0;
std::uint8_t BounceDownSeeded = 0;
std::int32_t FallDX = 5;
std::int32_t FallDY = -10;
std::int32_t WarpWait = 0;

void InitializeModule() {
  IntroStep = 0;
  BounceRight = false;
  BounceDown = false;
  BounceRightSeeded = 0;
  BounceDownSeeded = 0;
  FallDX = 5;
  FallDY = -10;
  WarpWait = 0;
  Form1 = nullptr;
}

namespace {

template <class Method>
TNotifyEvent Notify(TForm1* form, Method method) {
  return [form, method](TObject* sender) { (form->*method)(sender); };
}
template <class Method>
TMouseEvent Mouse(TForm1* form, Method method) {
  return [form, method](TObject* sender, TMouseButton button, TShiftState shift, int x, int y) {
    (form->*method)(sender, button, shift, x, y);
  };
}
template <class Method>
TMouseMoveEvent MouseMove(TForm1* form, Method method) {
  return [form, method](TObject* sender, TShiftState shift, int x, int y) { (form->*method)(sender, shift, x, y); };
}
template <class Method>
TCloseQueryEvent CloseQuery(TForm1* form, Method method) {
  return [form, method](TObject* sender, bool& can_close) { (form->*method)(sender, can_close); };
}

}  // namespace

TForm1::TForm1(TComponent* owner) : TForm(owner) {
  const THandlerTable handlers = {
      {"FormCreate", Notify(this, &TForm1::FormCreate)},
      {"FormCloseQuery", CloseQuery(this, &TForm1::FormCloseQuery)},
      {"FormDblClick", Notify(this, &TForm1::FormDblClick)},
      {"FormMouseMove", MouseMove(this, &TForm1::FormMouseMove)},
      {"Timer1Timer", Notify(this, &TForm1::Timer1Timer)},
      {"Label1MouseDown", Mouse(this, &TForm1::Label1MouseDown)},
      {"Label2MouseDown", Mouse(this, &TForm1::Label2MouseDown)},
      {"Label3MouseDown", Mouse(this, &TForm1::Label3MouseDown)},
      {"Label4MouseDown", Mouse(this, &TForm1::Label4MouseDown)},
      {"Label5Click", Notify(this, &TForm1::Label5Click)},
      {"Label6Click", Notify(this, &TForm1::Label6Click)},
      {"Label7Click", Notify(this, &TForm1::Label7Click)},
      {"Label5MouseMove", MouseMove(this, &TForm1::Label5MouseMove)},
      {"Label6MouseMove", MouseMove(this, &TForm1::Label6MouseMove)},
      {"Label7MouseMove", MouseMove(this, &TForm1::Label7MouseMove)},
  };
  LoadLayout(kForm1Layout, "TForm1", handlers);
  BindComponent(Panel1, "Panel1");
  BindComponent(Panel2, "Panel2");
  BindComponent(Image1, "Image1");
  BindComponent(Label1, "Label1");
  BindComponent(Panel3, "Panel3");
  BindComponent(Image2, "Image2");
  BindComponent(Panel4, "Panel4");
  BindComponent(Label2, "Label2");
  BindComponent(Panel5, "Panel5");
  BindComponent(Image3, "Image3");
  BindComponent(Panel6, "Panel6");
  BindComponent(Label3, "Label3");
  BindComponent(Panel7, "Panel7");
  BindComponent(Image4, "Image4");
  BindComponent(Panel8, "Panel8");
  BindComponent(Label4, "Label4");
  BindComponent(Timer1, "Timer1");
  BindComponent(Label5, "Label5");
  BindComponent(Label6, "Label6");
  BindComponent(Label7, "Label7");
}

}  // namespace board
