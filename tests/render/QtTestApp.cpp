// The one application object of the Qt render tests (fonts and images need it).
#include <gtest/gtest.h>

#include "tests/support/QtTestApp.h"

namespace {
struct QtApplication : ::testing::Environment {
    void SetUp() override { TestApplication(); }
};
[[maybe_unused]] ::testing::Environment* const kApp = ::testing::AddGlobalTestEnvironment(new QtApplication);
}  // namespace
