// The setup program: makes the application object with a front end, creates the main window (whose
// creation runs start-up) and runs the message loop until the application is terminated. It reads
// no command line. The console front end serves when there is no display (neither DISPLAY nor
// WAYLAND_DISPLAY set), and also where no graphical front end is built in. Exit status 2 means the
// program ended without installing (Exit, or a missing data volume).
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>

#include <unistd.h>

#include "platform/AppServices.h"
#include "platform/Exception.h"
#include "platform/FaultInjectingFileSystem.h"
#include "ui/Application.h"
#include "ui/console/ConsoleFrontEnd.h"

int main() {
  using namespace corvina;
  try {
    InstallFaultsFromEnvironment();
  } catch (const Exception& e) {
    std::fprintf(stderr, "setup: %s\n", e.what());
    return 1;
  }
  auto console = std::make_shared<ConsoleFrontEnd>(std::cin, std::cout, isatty(STDIN_FILENO) == 0);
  SetAppServices(console);
  int status = 1;
  try {
    TApplication application(*console);
    application.CreateMainForm();
    status = application.Run();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "setup: %s\n", e.what());
    status = 1;
  }
  SetAppServices(nullptr);
  return status;
}
