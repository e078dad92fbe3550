// Shared by the platform suites.
#pragma once

#include "../WaitFor.h"
