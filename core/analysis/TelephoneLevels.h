// Telephone channel levels: dBm0 from the codec's full scale, and the psophometric weighting of noise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

enum class CompandingLaw { ALaw, MuLaw };

// The level of a full-scale sine in dBm0: the theoretical load capacity of ITU-T G.711 clause 5, +3.14
// dBm0 for A-law and +3.17 dBm0 for mu-law. A linear (16-bit) codec line is reckoned as A-law unless
// told otherwise.
double FullScaleDbm0(CompandingLaw law);
inline double Dbm0FromDbfs(double dbfs, CompandingLaw law) { return dbfs + FullScaleDbm0(law); }
inline double DbfsFromDbm0(double dbm0, CompandingLaw law) { return dbm0 - FullScaleDbm0(law); }
// "a-law"/"alaw"/"a" and "mu-law"/"mu"/"ulaw"/"u" (any case); false for anything else.
bool ParseCompandingLaw(std::string_view text, CompandingLaw& law);

struct WeightingPoint {
    double hz;
    double db; // relative to 800 Hz
};
// ITU-T O.41 (10/94) clause 3.5, Table 1: the psophometer's relative weights, 16.66 Hz to 6 kHz.
std::span<const WeightingPoint> PsophometricTable();
// The weight at `hz`: the table's points joined by straight lines in dB over the logarithm of the
// frequency; below its first point its first weight, above its last its last.
double PsophometricWeightDb(double hz);

// The psophometrically weighted level of a block (its DC offset left out), in dBFS (0 dBFS the RMS of a
// full-scale sine); add FullScaleDbm0() for dBm0p. At least 64 samples; 16-bit full scale is 32768.
double PsophometricLevelDbfs(std::span<const int16_t> samples, uint32_t rate);
double PsophometricLevelDbfs(std::span<const double> samples, uint32_t rate);
