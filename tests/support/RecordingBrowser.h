#pragma once

#include <string>
#include <vector>

#include "app/Browser.h"

namespace tolvex::testing {

// Records the addresses it is asked to open and answers as scripted.
class RecordingBrowser : public BrowserLauncher {
  public:
    bool openAddress(const std::string& address) override {
        opened.push_back(address);
        return succeeds;
    }
    bool succeeds = true;
    std::vector<std::string> opened;
};

}  // namespace tolvex::testing
