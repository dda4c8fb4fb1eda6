// Board discovery: the boards of the kernel driver (probed by name) and of the driver library.
#pragma once

#include "Device.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CDriverLibrary;

struct BoardRecord {
    std::string devicePath; // base device name: "\\.\VELTRIN3" or the library's name
    std::string name;
    int32_t index = -1; // 0..9 for kernel boards, -1 for library boards
    uint32_t type = 0;
    uint32_t boardId = 0;
    uint32_t channels = 0;

    bool operator==(const BoardRecord&) const = default;
};

// Kernel probe with no library, library enumeration with one. Never fails as a whole and shows nothing:
// a board that cannot be queried is left out.
std::vector<BoardRecord> FindBoards(CDriverLibrary* library);

// The kernel probe over an opener of full device names (null when the name cannot be opened). The
// program uses the kernel driver's silent open; tests substitute another device source.
using DeviceOpener = std::function<std::unique_ptr<CDevice>(const std::string& name)>;
std::vector<BoardRecord> ProbeKernelBoards(const DeviceOpener& open);
