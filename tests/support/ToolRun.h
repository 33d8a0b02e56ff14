// quorvexcard run in process: its exit status, output and error (the tool's
// lines and the card's, in order).
#pragma once

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "cardtool/CardTool.h"

struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

inline ToolRun runTool(const std::vector<std::string>& arguments) {
    std::ostringstream out;
    testing::internal::CaptureStderr();
    const int status = CardTool::run(arguments, out, std::cerr);
    return {status, out.str(), testing::internal::GetCapturedStderr()};
}
