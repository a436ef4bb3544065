#pragma once
// A CommandHost for tests: records the log lines and message boxes, holds the enabled state of
// every item and answers the camera fields and the decimal separator from
// its members.

#include <map>
#include <string>
#include <vector>

#include "project/command_host.h"
#include "project/project_state.h"

namespace pelvanor::test {

class RecordingHost : public CommandHost {
public:
    explicit RecordingHost(ProjectState* state = nullptr, char decimal = ',')
        : state_(state), decimal_(decimal) {}

    void WriteLog(const std::string& message) override { log.push_back(message); }
    void SetItemEnabled(UiItem item, bool enabled) override { items[item] = enabled; }
    bool IsItemEnabled(UiItem item) const override {
        auto it = items.find(item);
        return it != items.end() && it->second;
    }
    // Stores `camera` into the state unless the fields are set to be invalid.
    bool ReadCameraFields() override {
        ++cameraReads;
        if (!fieldsValid) return false;
        if (state_) state_->Camera = camera;
        return true;
    }
    int OrientationMethod() const override { return method; }
    char DecimalSeparator() const override { return decimal_; }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void KeepResponsive() override { ++keepResponsiveCalls; }

    std::vector<std::string> log;
    std::vector<std::string> messages;
    std::map<UiItem, bool> items;
    CameraParameters camera;
    bool fieldsValid = true;
    int method = 1;
    int cameraReads = 0;
    int keepResponsiveCalls = 0;

private:
    ProjectState* state_;
    char decimal_;
};

}  // namespace pelvanor::test
