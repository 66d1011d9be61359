// The options object the library runs with: its changes reach the module's shared options block
// and start or stop the hang detector.
#pragma once

#include <string>

#include "crash/options/options.h"

namespace quillan::crash {

// Receives the re-serialised options after every change (the Windows layer: a named section).
class IOptionsPublisher {
public:
    virtual ~IOptionsPublisher() = default;
    // Must not throw: it runs inside every setter.
    virtual void Publish(const std::string& stream) noexcept = 0;
};

// Starts and stops the hang detector; attached only to the current options.
class IHangDetectorControl {
public:
    virtual ~IHangDetectorControl() = default;
    virtual void Start() = 0;
    virtual void Stop() = 0;
};

class TMishapModuleOptionsEx : public TMishapModuleOptions {
public:
    // Re-serialises into the publisher, when one is attached.
    void Changed() override;
    // With a hang control attached (the current options): turning Enabled or HangDetection on
    // starts the detector when both are on; turning either off stops it.
    void SetEnabled(bool value) override;
    void SetHangDetection(bool value) override;

    // Neither is owned; nullptr detaches. Attaching a publisher publishes at once.
    void SetPublisher(IOptionsPublisher* publisher);
    void SetHangControl(IHangDetectorControl* control) { hangControl_ = control; }

private:
    void UpdateHangDetector(bool turnedOn);

    IOptionsPublisher* publisher_ = nullptr;
    IHangDetectorControl* hangControl_ = nullptr;
};

}  // namespace quillan::crash
