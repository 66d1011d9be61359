#include "crash/options/options_ex.h"

namespace quillan::crash {

void TMishapModuleOptionsEx::Changed() {
    if (publisher_ != nullptr) publisher_->Publish(SaveToBytes());
}

void TMishapModuleOptionsEx::SetPublisher(IOptionsPublisher* publisher) {
    publisher_ = publisher;
    Changed();
}

void TMishapModuleOptionsEx::SetEnabled(bool value) {
    TMishapModuleOptions::SetEnabled(value);
    UpdateHangDetector(value);
}

void TMishapModuleOptionsEx::SetHangDetection(bool value) {
    TMishapModuleOptions::SetHangDetection(value);
    UpdateHangDetector(value);
}

void TMishapModuleOptionsEx::UpdateHangDetector(bool turnedOn) {
    if (hangControl_ == nullptr) return;
    if (!turnedOn)
        hangControl_->Stop();
    else if (Enabled() && HangDetection())
        hangControl_->Start();
}

}  // namespace quillan::crash
