// Parsing the simulator's impairments, the line inputs' band filter and compressor, and the seeded
// Gaussian noise the line inputs add.
#include "Impairments.h"

#include <cmath>
#include <cstdlib>
#include <numbers>
#include <sstream>

namespace sim {

namespace {

// The level detector's time constant: long against a period of the lowest tone a channel is measured
// with (so the gain does not follow the waveform), short against the time a measured tone lasts.
constexpr double kDetectorSeconds = 0.01;
// A full-scale sine's mean square, in sample units.
constexpr double kFullScalePower = 32768.0 * 32768.0 / 2.0;

bool Real(const std::string& text, double& value) {
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && *end == '\0' && std::isfinite(value);
}

// "LOW-HIGH" in Hz, 0 <= LOW < HIGH.
std::optional<Impairments::Band> ParseBand(const std::string& text) {
    const auto dash = text.find('-', 1);
    Impairments::Band band;
    if (dash == std::string::npos || !Real(text.substr(0, dash), band.lowHz) ||
        !Real(text.substr(dash + 1), band.highHz) || band.lowHz < 0.0 || band.highHz <= band.lowHz)
        return std::nullopt;
    return band;
}

} // namespace

std::optional<Impairments> ParseImpairments(const std::string& text, std::string* error) {
    Impairments result;
    std::stringstream items(text);
    std::string item;
    while (std::getline(items, item, ',')) {
        const auto colon = item.find(':');
        const std::string name = item.substr(0, colon);
        const std::string value = colon == std::string::npos ? std::string() : item.substr(colon + 1);
        if (name == "response") {
            result.response = ParseBand(value);
            if (!result.response) {
                if (error)
                    *error = "\"" + item + "\" is not response:LOW_HZ-HIGH_HZ with LOW below HIGH";
                return std::nullopt;
            }
            continue;
        }
        double db = 0.0;
        if (!Real(value, db)) {
            if (error)
                *error = "\"" + item + "\" is not NAME:DB";
            return std::nullopt;
        }
        std::optional<double>* slot = name == "noise"       ? &result.noiseDbfs
                                      : name == "harmonic"  ? &result.harmonicDb
                                      : name == "crosstalk" ? &result.crosstalkDb
                                      : name == "compress"  ? &result.compressDbfs
                                                            : nullptr;
        if (!slot) {
            if (error)
                *error = "\"" + name + "\" is not noise, harmonic, crosstalk, response or compress";
            return std::nullopt;
        }
        *slot = db;
    }
    return result;
}

double LineShaper::Biquad::Next(double x) {
    const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    return y;
}

void LineShaper::Set(const Impairments& impairments) {
    m_band = impairments.response;
    m_compress = impairments.compressDbfs;
    m_rate = 0; // designed again at the next sample
}

void LineShaper::Design(uint32_t rate) {
    m_rate = rate;
    m_hp = {};
    m_lp = {};
    const double nyquist = rate / 2.0;
    m_highPass = m_band && m_band->lowHz > 0.0 && m_band->lowHz < nyquist;
    m_lowPass = m_band && m_band->highHz < nyquist;
    // Second-order Butterworth sections by the bilinear transform, the edge pre-warped so that the
    // digital filter is 3 dB down exactly there.
    const auto section = [](Biquad& q, double k, bool high) {
        const double norm = 1.0 / (1.0 + std::numbers::sqrt2 * k + k * k);
        q.b0 = high ? norm : k * k * norm;
        q.b1 = high ? -2.0 * q.b0 : 2.0 * q.b0;
        q.b2 = q.b0;
        q.a1 = 2.0 * (k * k - 1.0) * norm;
        q.a2 = (1.0 - std::numbers::sqrt2 * k + k * k) * norm;
    };
    if (m_highPass)
        section(m_hp, std::tan(std::numbers::pi * m_band->lowHz / rate), true);
    if (m_lowPass)
        section(m_lp, std::tan(std::numbers::pi * m_band->highHz / rate), false);
    m_alpha = 1.0 - std::exp(-1.0 / (kDetectorSeconds * rate));
}

double LineShaper::Next(double x, uint32_t rate) {
    if ((!m_band && !m_compress) || rate == 0)
        return x;
    if (rate != m_rate)
        Design(rate);
    if (m_highPass)
        x = m_hp.Next(x);
    if (m_lowPass)
        x = m_lp.Next(x);
    if (!m_compress)
        return x;
    // Two smoothing stages keep the detector's ripple at twice a tone's frequency far below the
    // measurement's resolution.
    m_power1 += m_alpha * (x * x - m_power1);
    m_power2 += m_alpha * (m_power1 - m_power2);
    if (m_power2 <= 0.0)
        return x;
    const double level = 10.0 * std::log10(m_power2 / kFullScalePower);
    return x * std::pow(10.0, CompressionDb(*m_compress, level) / 20.0);
}

double LineShaper::CompressionDb(double point, double levelDbfs) {
    return levelDbfs > point ? -(levelDbfs - point) / 2.0 : 0.0;
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
