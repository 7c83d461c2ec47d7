#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

// Standard output written while `action` runs, printf's included.
template <typename Action> std::string stdoutOf(Action action) {
    std::fflush(stdout);
    testing::internal::CaptureStdout();
    action();
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}
