// The library's assertion: throws EAssertionFailed naming the source line.
#pragma once

#include "RDM_Lib.h"

#define RDM_ASSERT(Condition, Text)                                                                          \
    do {                                                                                                     \
        if (!(Condition))                                                                                    \
            throw EAssertionFailed((Text), __LINE__);                                                        \
    } while (false)
