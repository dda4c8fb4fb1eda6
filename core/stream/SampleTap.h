// CSampleTap: the last samples an input channel read, kept in a fixed ring for a live view (the analyser
// window) to copy from another thread. The pass writes it; nothing is allocated after construction.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

class CSampleTap {
public:
    // Keeps the last `capacity` samples (at least one).
    explicit CSampleTap(size_t capacity);

    size_t Capacity() const { return m_ring.size(); }

    // Appends samples read from the input; only the last Capacity() of a longer block stay.
    void Push(std::span<const int16_t> samples);
    // Copies the latest min(out.size(), stored) samples into the start of `out`, oldest first; returns
    // how many.
    size_t Latest(std::span<int16_t> out) const;
    // Samples pushed since construction or the last Reset (tells a reader whether anything new came).
    uint64_t Total() const;
    // Empties the ring for a new run of the input at `rate`: a view never mixes two runs' samples.
    void Reset(uint32_t rate);
    // The rate the stored samples were taken at (0 before the first Reset).
    uint32_t Rate() const;

private:
    mutable std::mutex m_mutex;
    std::vector<int16_t> m_ring;
    size_t m_next = 0; // where the next sample goes
    uint64_t m_total = 0;
    uint32_t m_rate = 0;
};
