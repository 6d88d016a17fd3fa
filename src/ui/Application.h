// The application object: it owns the four windows for the whole run and hands the front end's
// message loop the control. The program entry makes it with a front end, creates the main window
// (whose creation runs start-up, which creates the other three through CreateForms) and runs it.
// Each window is also reachable through its process-wide pointer (InstF1 ... InstF4).
#pragma once

#include <memory>
#include <string>

#include "ui/InstF1.h"
#include "ui/InstF2.h"
#include "ui/InstF3.h"
#include "ui/InstF4.h"
#include "ui/Views.h"

namespace corvina {

class TApplication {
public:
  explicit TApplication(IFrontEnd& front_end);
  ~TApplication();
  TApplication(const TApplication&) = delete;
  TApplication& operator=(const TApplication&) = delete;

  IFrontEnd& FrontEnd() { return front_end_; }
  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& title);

  // Makes the main window and runs its FormCreate.
  TInstF1& CreateMainForm();
  // Makes the text viewer, the progress window and the environment dialog (start-up). A progress
  // window made elsewhere (the installation engine's) may be passed in.
  void CreateForms(std::unique_ptr<TInstF3> progress_window = nullptr);
  // Shows the main window unless start-up already ended the program, then runs the message loop
  // until the application is terminated; returns the exit status.
  int Run();

private:
  IFrontEnd& front_end_;
  std::string title_;
  std::unique_ptr<TInstF1> main_form_;
  std::unique_ptr<TInstF2> text_viewer_;
  std::unique_ptr<TInstF3> progress_window_;
  std::unique_ptr<TInstF4> environment_dialog_;
};

// The application object in use; null when none exists.
TApplication* Application();

}  // namespace corvina
