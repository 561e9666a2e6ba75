#include "end_to_end/program_run.h"

#include <gtest/gtest.h>

namespace vendrik::testing {
namespace {

TEST(EndToEnd, Placeholder) {
    const ProgramResult result = runProgram({});
    EXPECT_EQ(result.status, 255);
}

} // namespace
} // namespace vendrik::testing
