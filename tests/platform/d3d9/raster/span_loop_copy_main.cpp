// The main of a test program that runs one build of the span loops alone: every
// renderer test and reference scene, on the copy the loader would pick on some
// processors only. The AVX2 copy's program skips all on a processor without AVX2.
#include <gtest/gtest.h>

namespace {

class NeedsAvx2 : public ::testing::Environment {
 public:
  void SetUp() override {
    if (!__builtin_cpu_supports("avx2")) GTEST_SKIP() << "this processor has no AVX2";
  }
};

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (VESK_SPAN_LOOP_COPY) ::testing::AddGlobalTestEnvironment(new NeedsAvx2);
  return RUN_ALL_TESTS();
}
