// The sample ring of an input's tap.
#include "SampleTap.h"

#include <algorithm>

CSampleTap::CSampleTap(size_t capacity) : m_ring(std::max<size_t>(capacity, 1), 0) {}

void CSampleTap::Push(std::span<const int16_t> samples) {
    std::lock_guard lock(m_mutex);
    m_total += samples.size();
    if (samples.size() > m_ring.size())
        samples = samples.last(m_ring.size());
    const size_t first = std::min(samples.size(), m_ring.size() - m_next);
    std::copy_n(samples.begin(), first, m_ring.begin() + static_cast<std::ptrdiff_t>(m_next));
    std::copy(samples.begin() + static_cast<std::ptrdiff_t>(first), samples.end(), m_ring.begin());
    m_next = (m_next + samples.size()) % m_ring.size();
}

size_t CSampleTap::Latest(std::span<int16_t> out) const {
    std::lock_guard lock(m_mutex);
    const size_t stored = static_cast<size_t>(std::min<uint64_t>(m_total, m_ring.size()));
    const size_t count = std::min(out.size(), stored);
    // The oldest of the `count` latest samples sits `count` places behind the write position.
    size_t from = (m_next + m_ring.size() - count) % m_ring.size();
    for (size_t i = 0; i < count; ++i) {
        out[i] = m_ring[from];
        from = from + 1 == m_ring.size() ? 0 : from + 1;
    }
    return count;
}

uint64_t CSampleTap::Total() const {
    std::lock_guard lock(m_mutex);
    return m_total;
}

void CSampleTap::Reset(uint32_t rate) {
    std::lock_guard lock(m_mutex);
    m_next = 0;
    m_total = 0;
    m_rate = rate;
}

uint32_t CSampleTap::Rate() const {
    std::lock_guard lock(m_mutex);
    return m_rate;
}
