// OpenDevice: the one place device handles are made; a failed open becomes a null handle.
#include "Device.h"

#include "DriverLibrary.h"
#include "PhysicalDevice.h"
#include "VirtualDevice.h"

std::unique_ptr<CDevice> OpenDevice(CDriverLibrary* library, const std::string& base, const std::string& leaf) {
    try {
        const std::string name = base + "\\" + leaf;
        if (library)
            return std::make_unique<CVirtualDevice>(*library, name);
        return std::make_unique<CPhysicalDevice>(name);
    } catch (...) {
        // CError has already written its diagnostic line; the caller treats null as "not available".
        return nullptr;
    }
}
