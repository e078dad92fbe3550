#include "AppResources.h"

#include <QtGlobal>

#include <mutex>

// Q_INIT_RESOURCE must be used outside any namespace.
static void RegisterAppQrc() {
    Q_INIT_RESOURCE(App);
}

void InitAppResources() {
    static std::once_flag once;
    std::call_once(once, RegisterAppQrc);
}
