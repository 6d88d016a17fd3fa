// The progress window's logic class, as the main window's install command needs it: its view
// (label, progress bar, frame), placement below the main window and the modal show that hands the
// installation over. The installation engine's run (activation, extraction, placement, completion)
// is filled in by the engine; until then ShowModal returns at once without showing anything.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/AppServices.h"
#include "ui/Views.h"

namespace corvina {

class TInstF3 {
public:
  explicit TInstF3(IFrontEnd& front_end) : view_(front_end.CreateProgressWindowView(*this)) {}
  virtual ~TInstF3() = default;
  TInstF3(const TInstF3&) = delete;
  TInstF3& operator=(const TInstF3&) = delete;

  IProgressWindowView& View() { return *view_; }
  IControl& Label1() { return view_->Label1(); }
  IControl& ProgressBar1() { return view_->ProgressBar1(); }

  // Shows the window modally; its activation runs the installation. Returns the modal result.
  virtual int32_t ShowModal() { return mrNone; }

  // The user cannot close the progress window.
  void FormCloseQuery(bool& can_close) { can_close = false; }

private:
  std::unique_ptr<IProgressWindowView> view_;
};

// The process-wide progress window, made by start-up; null before.
inline TInstF3* InstF3 = nullptr;

}  // namespace corvina
