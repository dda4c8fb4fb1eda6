// Board discovery through the kernel driver's device names and the driver library's enumeration.
#include "BoardDiscovery.h"

#include "BoardInfo.h"
#include "DeviceNames.h"
#include "DeviceRequests.h"
#include "DriverExports.h"
#include "DriverLibrary.h"
#include "PhysicalDevice.h"
#include "RequestCodes.h"

#include <array>

namespace {

constexpr const char* kPrefixes[] = {"VELTRIN", "433_"};
constexpr int kKernelBoardNumbers = 10;

// Sends the two information queries; the 66-byte block when the second answered whole. `flag` gets
// the information request's success flag (library boards are listed only on the value 1).
std::optional<BoardInformation> QueryInformation(CDevice& cfg, uint32_t* flag = nullptr) {
    QueryRaw<kPrepareBoardSize>(cfg, req::kPrepareBoard);
    const auto info = QueryRaw<BoardInformation::kSize>(cfg, req::kGetBoardInfo);
    if (flag)
        *flag = info.ok;
    if (!info.ok)
        return std::nullopt;
    return BoardInformation::Decode(info.bytes.data(), info.returned);
}

} // namespace

std::vector<BoardRecord> ProbeKernelBoards(const DeviceOpener& open) {
    std::vector<BoardRecord> boards;
    for (const char* prefix : kPrefixes) {
        for (int n = 0; n < kKernelBoardNumbers; ++n) {
            const std::string base = "\\\\.\\" + std::string(prefix) + std::to_string(n);
            std::unique_ptr<CDevice> cfg = open(base + "\\" + kConfigLeaf);
            if (!cfg)
                continue;
            const auto info = QueryInformation(*cfg);
            if (!info)
                continue; // the handle closes on leaving the iteration
            if (!QueryRaw<kConfirmBoardSize>(*cfg, req::kConfirmBoard).ok)
                continue;
            boards.push_back({base, info->name, n, info->type, info->boardId, info->channels});
        }
    }
    return boards;
}

namespace {

std::vector<BoardRecord> EnumerateLibraryBoards(CDriverLibrary& library) {
    std::vector<BoardRecord> boards;
    auto count = library.Function<DriverDeviceCountFn>("GetDeviceCount");
    auto nameOf = library.Function<DriverDeviceNameFn>("GetDeviceName");
    if (!count || !nameOf)
        return boards;
    const uint32_t devices = count(0);
    for (uint32_t i = 0; i < devices; ++i) {
        std::array<char, 4096> text{};
        if (!nameOf(i, 0, text.data(), static_cast<uint32_t>(text.size())))
            continue;
        text.back() = '\0'; // a library that filled the whole buffer still gives a bounded name
        const std::string path = text.data();
        std::unique_ptr<CDevice> cfg = OpenDevice(&library, path, kConfigLeaf);
        if (!cfg)
            continue;
        uint32_t ok = 0;
        const auto decoded = QueryInformation(*cfg, &ok);
        cfg.reset();
        if (ok != 1 || !decoded)
            continue;
        boards.push_back({path, decoded->name, -1, decoded->type, decoded->boardId, decoded->channels});
    }
    return boards;
}

} // namespace

std::vector<BoardRecord> FindBoards(CDriverLibrary* library) {
    if (library)
        return EnumerateLibraryBoards(*library);
    return ProbeKernelBoards(
        [](const std::string& name) -> std::unique_ptr<CDevice> { return CPhysicalDevice::TryOpen(name); });
}
