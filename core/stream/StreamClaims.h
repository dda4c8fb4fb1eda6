// What the program's running channels hold at once: the files they play or record into, and the one
// sample rate of each codec. A channel claims before it starts and lets go when it stops, so a second
// channel cannot truncate a file in use or change the rate under a line that runs.
#pragma once

#include <cstdint>
#include <string>

class CDevice;

// One claim, let go when the handle is released or destroyed. Move-only: the moved-to handle holds it.
class CStreamClaim {
public:
    CStreamClaim() = default;
    ~CStreamClaim() { Release(); }
    CStreamClaim(CStreamClaim&& other) noexcept : m_id(other.m_id) { other.m_id = 0; }
    CStreamClaim& operator=(CStreamClaim&& other) noexcept;
    CStreamClaim(const CStreamClaim&) = delete;
    CStreamClaim& operator=(const CStreamClaim&) = delete;

    bool Held() const { return m_id != 0; }
    void Release();

    // Claims `path` for playing (shared with other players) or recording (no other user at all). Returns
    // the message of a refusal, else empty; an earlier claim of this handle is let go first.
    std::string ClaimFile(const std::string& path, bool recording);
    // Claims the codec behind `cfg` for `line` at `rate`. Refused while another line of the same codec runs
    // at another rate ("the codec runs at 16000 Hz on line 0").
    std::string ClaimCodecRate(const CDevice* cfg, int line, uint32_t rate);
    // The rate the codec took for this claim (it may differ from the one asked for).
    void SetActualRate(uint32_t rate);

private:
    uint64_t m_id = 0;
};
