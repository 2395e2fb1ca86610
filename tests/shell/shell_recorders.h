// Recorders and stubs shared by the shell tests.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "common/sinks.h"

namespace orm::testing {

class FatalRecorder : public FatalSink {
  public:
    void Fatal(const std::string& text, const std::string& caption) override {
        calls.emplace_back(text, caption);
    }
    std::vector<std::pair<std::string, std::string>> calls;
};

}  // namespace orm::testing
