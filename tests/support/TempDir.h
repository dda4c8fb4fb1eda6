// A scratch folder for one test, removed with everything in it when the test ends.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string Path(const std::string& name) const { return (m_root / name).string(); }
    // Writes the bytes to a file in the folder and returns its path.
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const;

private:
    std::filesystem::path m_root;
};

std::vector<uint8_t> ReadAll(const std::string& path);
// Little-endian helpers for building file images.
void PutU32(std::vector<uint8_t>& bytes, uint32_t value);
void PutS16(std::vector<uint8_t>& bytes, int16_t value);
