// quorvexcard run in process: its exit status, output and error (the tool's
// lines and the card's, in order).
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cardtool/CardTool.h"
#include "text/TextOut.h"

struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

inline ToolRun runTool(const std::vector<std::string>& arguments) {
    Text::StringOut out, err;
    testing::internal::CaptureStderr();
    const int status = CardTool::run(arguments, out, err);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "not through the tool's err";
    return {status, out.str(), err.str()};
}
