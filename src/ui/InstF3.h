// The progress window's logic class: its view (label, progress bar, frame), placement below the
// main window and the modal show that hands the installation over. Showing it runs the
// installation (TInstallationRun): the activation handler FormShow runs once per showing, either
// from the view's own modal loop (a graphical front end calls it on activation) or, for a view
// whose ShowModal returns at once (the console), right after it. The window refuses to close; the
// run ends the program itself.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "install/ExtractionRun.h"
#include "platform/AppServices.h"
#include "ui/Views.h"

namespace corvina {

class TComponent;

class TInstF3 {
public:
  explicit TInstF3(IFrontEnd& front_end);
  virtual ~TInstF3();
  TInstF3(const TInstF3&) = delete;
  TInstF3& operator=(const TInstF3&) = delete;

  IProgressWindowView& View() { return *view_; }
  IControl& Label1() { return view_->Label1(); }
  IControl& ProgressBar1() { return view_->ProgressBar1(); }
  // The installation run this window carries out.
  TInstallationRun& Installation() { return *run_; }

  // Shows the window modally; its activation runs the installation. Returns the modal result.
  virtual int32_t ShowModal();

  // The activation handler: the installation run (once per showing).
  void FormShow();
  void UnZipper1TotalPercentDone(TComponent* Sender, int32_t Percent) { run_->UnZipper1TotalPercentDone(Sender, Percent); }
  void UnZipper1EndUnZip(TComponent* Sender, int32_t FileIndex, const std::string& FName) {
    run_->UnZipper1EndUnZip(Sender, FileIndex, FName);
  }
  void AbortInstallation() { run_->AbortInstallation(); }

  // The user cannot close the progress window.
  void FormCloseQuery(bool& can_close) { can_close = false; }

private:
  std::unique_ptr<IProgressWindowView> view_;
  std::unique_ptr<TInstallationRun> run_;
  bool running_ = false;  // FormShow has started for the current showing
};

// The process-wide progress window, made by start-up; null before.
inline TInstF3* InstF3 = nullptr;

}  // namespace corvina
