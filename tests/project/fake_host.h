#pragma once
// A scripted CommandHost for the pipeline tests: records log lines, keeps
// the enabled state of the items, and answers the camera fields and the
// orientation method from its members.

#include <map>
#include <string>
#include <vector>

#include "project/command_host.h"
#include "project/project_state.h"

namespace pelvanor::test {

class FakeHost : public CommandHost {
public:
    explicit FakeHost(ProjectState& state) : state_(state) {}

    void WriteLog(const std::string& message) override { log.push_back(message); }
    void SetItemEnabled(UiItem item, bool enabled) override { items[item] = enabled; }
    bool IsItemEnabled(UiItem item) const override {
        const auto it = items.find(item);
        return it != items.end() && it->second;
    }
    // With fieldsValid the fields hold `camera`; otherwise the first field is
    // not a number and nothing is stored.
    bool ReadCameraFields() override {
        if (!fieldsValid) return false;
        state_.Camera = camera;
        return true;
    }
    int OrientationMethod() const override { return method; }
    char DecimalSeparator() const override { return decimal; }

    bool Enabled(UiItem item) const { return IsItemEnabled(item); }

    std::vector<std::string> log;
    std::map<UiItem, bool> items;
    CameraParameters camera;
    bool fieldsValid = true;
    int method = 1;
    char decimal = ',';

private:
    ProjectState& state_;
};

}  // namespace pelvanor::test
