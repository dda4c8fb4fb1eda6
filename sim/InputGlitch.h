// A line input that loses, repeats or displaces one block of its samples now and then, as a transfer
// gone wrong on its way to the host would: what the glitch fault does to what an input delivers.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace sim {

// Drop: the block never arrives. Repeat: the block arrives twice. Shift: the block arrives in its place
// but half its length late (the samples before it once more, the block's own last half lost).
enum class GlitchKind { Drop, Repeat, Shift };

class InputGlitch {
public:
    // Blocks last 2 to 10 ms and lie apart by 0.5 to 1.5 times `everyMs` (0 turns the glitch off), drawn
    // from `seed`: the same places on every run of the stream.
    void Set(uint32_t everyMs, GlitchKind kind, uint64_t seed);
    bool On() const { return m_everyMs > 0; }
    // The stream starts again: the first glitch is drawn afresh from the seed.
    void Restart();
    // One sample as the input made it, at `rate`; the samples it delivers in its place (none, one, or
    // one and the repeated block). The view holds until the next call.
    std::span<const int16_t> Pass(int16_t sample, uint32_t rate);

private:
    double Uniform();
    void Schedule(uint32_t rate);

    uint32_t m_everyMs = 0;
    GlitchKind m_kind = GlitchKind::Drop;
    uint64_t m_seed = 0;
    uint64_t m_state = 0;
    bool m_scheduled = false;
    uint64_t m_made = 0;            // samples made since the start
    uint64_t m_start = 0;           // the next block's first sample
    uint64_t m_length = 0;          // its length in samples
    std::vector<int16_t> m_history; // the last samples made, by index modulo its size
    std::vector<int16_t> m_out;
};

} // namespace sim
