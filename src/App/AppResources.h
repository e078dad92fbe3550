// The pictures and themes compiled into the application library. The library is static, so its
// resources are registered explicitly before first use.
#pragma once

void InitAppResources();
