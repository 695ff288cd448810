// Program start-up: refuses a second copy, creates the board and runs the message loop.
#include "app/Startup.h"

#include <exception>

#include "board/Form1.h"
#include "board/Texts.h"
#include "forms/Application.h"
#include "platform/Backend.h"

namespace app {

int RunProgram(platform::Backend& backend) {
  forms::TApplication application(backend);
  // Checking for the guard and taking it are one step, so two copies started at the same
  // instant can never both run.
  if (!backend.AcquireInstanceGuard(board::text::kAlreadyRunningCaption)) {
    application.MessageBox(board::text::kAlreadyRunning, board::text::kAlreadyRunningCaption,
                           platform::mb::kIconHand);
    return 0;
  }
  board::InitializeModule();
  try {
    application.Initialize();
    application.SetTitle(board::text::kApplicationTitle);
    application.CreateForm(board::Form1);
    application.Run();
    backend.ReleaseInstanceGuard();
  } catch (const std::exception& error) {
    application.ShowException(error);
  }
  return 0;
}

}  // namespace app
