// Injected faults: fail a request, answer it short, with more bytes than asked or with the previous answer,
// hold it until cancelled, refuse an open, let a device vanish, or break a line input's samples now and then.
#pragma once

#include "InputGlitch.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace sim {

struct FaultRule {
    enum class Kind { Fail, Short, Over, Refuse, Vanish, Hang, Stale, Glitch };
    Kind kind = Kind::Fail;
    // Matches a full device name ("VSIM0\VELTRIN_CFG"), a base ("VSIM0"), a leaf ("VELTRIN_CFG") or "*".
    std::string device = "*";
    uint32_t code = 0;    // 0: any request (all kinds but Refuse)
    uint32_t shortBy = 1; // Short: bytes withheld from the answer; Over: bytes claimed beyond the buffer
    int remaining = -1;   // how many more times it fires; -1: always
    // Glitch: a line input drops, repeats or shifts a block about this often (the stream model applies it).
    uint32_t everyMs = 250;
    GlitchKind glitch = GlitchKind::Drop;

    bool Matches(const std::string& fullName) const;
};

class Faults {
public:
    void Add(FaultRule rule);
    void Clear();

    // Consumes one firing of the first matching rule of that kind.
    bool Fire(FaultRule::Kind kind, const std::string& device, uint32_t code);
    std::optional<uint32_t> FireShort(const std::string& device, uint32_t code);
    // Bytes an answer claims beyond its buffer (a misbehaving driver), when an Over rule fires.
    std::optional<uint32_t> FireOver(const std::string& device, uint32_t code);

    // "fail:DEVICE[:CODE]", "short:DEVICE[:CODE[:BYTES]]", "over:DEVICE[:CODE[:BYTES]]", "refuse:DEVICE",
    // "vanish:DEVICE[:CODE]", "hang:DEVICE[:CODE]", "stale:DEVICE[:CODE]",
    // "glitch:DEVICE[:EVERY_MS[:drop|repeat|shift]]", comma-separated. On a fault returns false
    // and says what is wrong.
    static bool Parse(const std::string& text, std::vector<FaultRule>* rules, std::string* error);

private:
    FaultRule* Match(FaultRule::Kind kind, const std::string& device, uint32_t code);
    std::mutex m_mutex;
    std::vector<FaultRule> m_rules;
};

} // namespace sim
