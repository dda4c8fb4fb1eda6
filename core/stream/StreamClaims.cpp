// The process-wide table of file and codec-rate claims.
#include "StreamClaims.h"

#include <filesystem>
#include <map>
#include <mutex>

namespace {

struct Entry {
    bool file = false;
    // A file claim.
    std::string path;
    bool recording = false;
    // A codec claim.
    const CDevice* cfg = nullptr;
    int line = 0;
    uint32_t asked = 0;
    uint32_t actual = 0;
};

struct Table {
    std::mutex mutex;
    std::map<uint64_t, Entry> entries;
    uint64_t next = 1;
};

Table& Claims() {
    static Table table;
    return table;
}

// Two names of one file compare equal: the absolute, normalised path (links resolved where they exist).
std::string Canonical(const std::string& path) {
    std::error_code error;
    const auto canonical = std::filesystem::weakly_canonical(std::filesystem::absolute(path, error), error);
    return error ? path : canonical.string();
}

// Stores `entry` under a new id (or the held one); the caller holds the table's mutex.
uint64_t Store(Table& table, uint64_t id, Entry entry) {
    if (id == 0)
        id = table.next++;
    table.entries[id] = std::move(entry);
    return id;
}

} // namespace

CStreamClaim& CStreamClaim::operator=(CStreamClaim&& other) noexcept {
    if (this != &other) {
        Release();
        m_id = other.m_id;
        other.m_id = 0;
    }
    return *this;
}

void CStreamClaim::Release() {
    if (m_id == 0)
        return;
    Table& table = Claims();
    std::lock_guard lock(table.mutex);
    table.entries.erase(m_id);
    m_id = 0;
}

std::string CStreamClaim::ClaimFile(const std::string& path, bool recording) {
    Release();
    const std::string name = Canonical(path);
    Table& table = Claims();
    std::lock_guard lock(table.mutex);
    for (const auto& [id, entry] : table.entries) {
        if (!entry.file || entry.path != name || (!recording && !entry.recording))
            continue;
        return "the file " + path + " is in use: another channel " +
               (entry.recording ? "is recording into it" : "is playing it");
    }
    Entry entry;
    entry.file = true;
    entry.path = name;
    entry.recording = recording;
    m_id = Store(table, 0, std::move(entry));
    return {};
}

std::string CStreamClaim::ClaimCodecRate(const CDevice* cfg, int line, uint32_t rate) {
    Release();
    Table& table = Claims();
    std::lock_guard lock(table.mutex);
    for (const auto& [id, entry] : table.entries) {
        // A rate the codec rounded is the same rate as the one asked for.
        if (entry.file || entry.cfg != cfg || entry.asked == rate || entry.actual == rate)
            continue;
        return "the codec runs at " + std::to_string(entry.actual ? entry.actual : entry.asked) + " Hz on line " +
               std::to_string(entry.line);
    }
    Entry entry;
    entry.cfg = cfg;
    entry.line = line;
    entry.asked = rate;
    m_id = Store(table, 0, std::move(entry));
    return {};
}

void CStreamClaim::SetActualRate(uint32_t rate) {
    Table& table = Claims();
    std::lock_guard lock(table.mutex);
    if (auto it = table.entries.find(m_id); it != table.entries.end())
        it->second.actual = rate;
}
