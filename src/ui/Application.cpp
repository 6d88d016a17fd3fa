#include "ui/Application.h"

namespace corvina {

namespace {
TApplication* current_application = nullptr;
}

TApplication* Application() { return current_application; }

TApplication::TApplication(IFrontEnd& front_end) : front_end_(front_end) { current_application = this; }

TApplication::~TApplication() {
  // The windows go before the pointers to them.
  InstF1 = nullptr;
  InstF2 = nullptr;
  InstF3 = nullptr;
  InstF4 = nullptr;
  main_form_.reset();
  environment_dialog_.reset();
  progress_window_.reset();
  text_viewer_.reset();
  if (current_application == this) current_application = nullptr;
}

void TApplication::SetTitle(const std::string& title) {
  title_ = title;
  front_end_.SetTitle(title);
}

TInstF1& TApplication::CreateMainForm() {
  main_form_ = std::make_unique<TInstF1>(front_end_);
  InstF1 = main_form_.get();
  main_form_->FormCreate();
  return *main_form_;
}

void TApplication::CreateForms(std::unique_ptr<TInstF3> progress_window) {
  text_viewer_ = std::make_unique<TInstF2>(front_end_);
  InstF2 = text_viewer_.get();
  progress_window_ = progress_window ? std::move(progress_window) : std::make_unique<TInstF3>(front_end_);
  InstF3 = progress_window_.get();
  environment_dialog_ = std::make_unique<TInstF4>(front_end_);
  InstF4 = environment_dialog_.get();
}

int TApplication::Run() {
  if (main_form_ && !front_end_.Terminated()) {
    main_form_->View().Show();
    main_form_->FormShow();
  }
  return front_end_.Run();
}

}  // namespace corvina
