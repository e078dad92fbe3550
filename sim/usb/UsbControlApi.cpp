// The VC_ functions only the USB chip has: what its users did to the kernel's serial driver.
#include "../Simulator.h"
#include "../VirtualCable.h"

extern "C" {

int VC_UsbKernelDriverDetaches(int cable) {
    return vcable::Simulator::instance().kernelDriverDetachCount(cable);
}

} // extern "C"
