// glimtest end to end.
#include <gtest/gtest.h>

#include "run_program.h"

namespace {

TEST(Glimtest, Placeholder) {
    scratch_dir dir;
    run_result r = run_in(dir, GLIMTEST_PATH);
    EXPECT_EQ(r.status, 0);
}

} // namespace
