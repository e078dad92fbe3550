// main() of the cable layer's suites on the libftdi1 path: unless a filter is given, the cases that
// cannot hold behind libftdi1 (ZYL_LEFT_OUT_CASES, with the reasons beside the list in CMake) are
// left out, when ctest lists the cases as when the program runs whole.
#include <gtest/gtest.h>

#include <string>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (testing::GTEST_FLAG(filter) == "*")
        testing::GTEST_FLAG(filter) = std::string("-") + ZYL_LEFT_OUT_CASES;
    return RUN_ALL_TESTS();
}
