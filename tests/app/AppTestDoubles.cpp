#include "AppTestDoubles.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "app/LumvarisApplication.h"

namespace lumvaris::testing {

namespace {

// One application object for the whole test program, on the offscreen platform.
class QtEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        static int argc = 1;
        static char arg0[] = "app_tests";
        static char* argv[] = {arg0, nullptr};
        app_ = std::make_unique<app::LumvarisApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

  private:
    std::unique_ptr<app::LumvarisApplication> app_;
};

[[maybe_unused]] ::testing::Environment* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace

}  // namespace lumvaris::testing
