// Parsing the simulator's impairments and the seeded Gaussian noise the line inputs add.
#include "Impairments.h"

#include <cmath>
#include <cstdlib>
#include <numbers>
#include <sstream>

namespace sim {

std::optional<Impairments> ParseImpairments(const std::string& text, std::string* error) {
    Impairments result;
    std::stringstream items(text);
    std::string item;
    while (std::getline(items, item, ',')) {
        const auto colon = item.find(':');
        const std::string name = item.substr(0, colon);
        const std::string value = colon == std::string::npos ? std::string() : item.substr(colon + 1);
        char* end = nullptr;
        const double db = std::strtod(value.c_str(), &end);
        if (value.empty() || *end != '\0' || !std::isfinite(db)) {
            if (error)
                *error = "\"" + item + "\" is not NAME:DB";
            return std::nullopt;
        }
        std::optional<double>* slot = name == "noise"       ? &result.noiseDbfs
                                      : name == "harmonic"  ? &result.harmonicDb
                                      : name == "crosstalk" ? &result.crosstalkDb
                                                            : nullptr;
        if (!slot) {
            if (error)
                *error = "\"" + name + "\" is not noise, harmonic or crosstalk";
            return std::nullopt;
        }
        *slot = db;
    }
    return result;
}

double NoiseSource::Uniform() {
    // splitmix64, then the top 53 bits as a number in (0, 1].
    uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return (static_cast<double>(z >> 11) + 1.0) / 9007199254740992.0;
}

double NoiseSource::Next() {
    if (m_spare) {
        const double spare = *m_spare;
        m_spare.reset();
        return spare;
    }
    // Box-Muller: two uniform numbers give two independent Gaussian ones.
    const double radius = std::sqrt(-2.0 * std::log(Uniform()));
    const double angle = 2.0 * std::numbers::pi * Uniform();
    m_spare = radius * std::sin(angle);
    return radius * std::cos(angle);
}

} // namespace sim
