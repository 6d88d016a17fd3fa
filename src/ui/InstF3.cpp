#include "ui/InstF3.h"

namespace corvina {

TInstF3::TInstF3(IFrontEnd& front_end)
    : view_(front_end.CreateProgressWindowView(*this)), run_(std::make_unique<TInstallationRun>(*view_)) {}

TInstF3::~TInstF3() = default;

int32_t TInstF3::ShowModal() {
  running_ = false;
  const int32_t result = view_->ShowModal();
  FormShow();
  return result;
}

void TInstF3::FormShow() {
  if (running_) return;
  running_ = true;
  run_->FormShow();
}

}  // namespace corvina
