// A library without FT_SetRts and FT_SetBreakOn: the entry points are looked up in the driver
// interface's order (FT_ClrRts, FT_SetRts, FT_SetBreakOn, FT_SetBreakOff, FT_GetStatus, ...), so
// the error names FT_SetBreakOn, the missing one looked up last.
#include "FTD2XXWrapper.h"

#include <gtest/gtest.h>

namespace {

TEST(BindingWithSeveralMissing, NamesTheOneLookedUpLast) {
    TFTD2XXWrapper wrapper;
    EXPECT_FALSE(wrapper.Initialize());
    EXPECT_EQ(wrapper.LastDLLErrorCode(), 0x1001u);
    EXPECT_EQ(wrapper.LastDLLErrorString(),
              std::string("Unable to locate function FT_SetBreakOn in ") + FTD2XX_LIBRARY_NAME);
    EXPECT_NE(wrapper.FTLibraryVersion(), 0u);
}

} // namespace
