// Telephone levels against the recommendations' own numbers, the psophometric weighting read from
// tones at its table's frequencies, every mask check at its edges, and the mask file's errors.
#include "ChannelMasks.h"
#include "AudioAnalyser.h"
#include "ChannelFigures.h"
#include "TelephoneLevels.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <numbers>
#include <random>
#include <vector>

namespace {

TEST(TelephoneLevels, Dbm0FromTheCodecsFullScale) {
    EXPECT_DOUBLE_EQ(DbfsFromDbm0(-10.0, CompandingLaw::ALaw), -13.14);
    EXPECT_DOUBLE_EQ(DbfsFromDbm0(-10.0, CompandingLaw::MuLaw), -13.17);
    EXPECT_DOUBLE_EQ(Dbm0FromDbfs(0.0, CompandingLaw::ALaw), 3.14);
    CompandingLaw law{};
    EXPECT_TRUE(ParseCompandingLaw("mu-law", law));
    EXPECT_EQ(law, CompandingLaw::MuLaw);
    EXPECT_TRUE(ParseCompandingLaw("A-LAW", law));
    EXPECT_EQ(law, CompandingLaw::ALaw);
    EXPECT_FALSE(ParseCompandingLaw("linear", law));
}

TEST(TelephoneLevels, ToneAtATableFrequencyReadsItsWeight) {
    // Weights as O.41's Table 1 prints them; a -20 dBFS tone at each reads -20 dBFS plus its weight.
    const struct {
        double hz, weight;
        uint32_t rate;
    } cases[] = {{50, -63.0, 8000},  {300, -10.6, 8000}, {800, 0.0, 8000},     {1000, 1.0, 8000},   {1200, 0.0, 16000},
                 {3000, -5.6, 8000}, {3500, -8.5, 8000}, {5000, -36.0, 16000}, {6000, -43.0, 48000}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.hz);
        EXPECT_DOUBLE_EQ(PsophometricWeightDb(c.hz), c.weight);
        std::vector<double> tone(16384);
        for (size_t i = 0; i < tone.size(); ++i)
            tone[i] = 0.1 * std::sin(2 * std::numbers::pi * c.hz * static_cast<double>(i) / c.rate) + 0.01;
        EXPECT_NEAR(PsophometricLevelDbfs(tone, c.rate), -20.0 + c.weight, 0.05);
    }
    // Between points the weight runs straight over the logarithm of the frequency.
    EXPECT_NEAR(PsophometricWeightDb(std::sqrt(1000.0 * 1200.0)), 0.5, 1e-12);
    EXPECT_DOUBLE_EQ(PsophometricWeightDb(10.0), -85.0);
    EXPECT_DOUBLE_EQ(PsophometricWeightDb(9000.0), -43.0);
}

constexpr const char* kMasks = R"(# a line card's own limits
loss-frequency 300 3000 -0.5 0.5
loss-frequency 3000 3400 -0.5 1.8   # the edge at 3000 Hz holds both
gain-level -40 3 -0.5 0.5
gain-level -50 -40 -1.5 1.5
idle-noise - - - -65
distortion-level -30 0 35 -
clause idle-noise  Line card data sheet, table 4
)";

TEST(ChannelMasks, ChecksAtTheEdges) {
    const MaskFile file = ParseMaskFile(kMasks);
    ASSERT_TRUE(file.errors.empty()) << file.errors.front();
    const auto masks = OverrideMasks(RecommendedMasks(), file.masks);
    const auto mask = [&](MaskKind kind) -> const ChannelMask& {
        return *std::find_if(masks.begin(), masks.end(), [&](const ChannelMask& m) { return m.kind == kind; });
    };
    const struct {
        MaskKind kind;
        double x, y;
        MaskVerdict verdict;
    } cases[] = {
        {MaskKind::LossFrequency, 300, -0.5, MaskVerdict::Inside},
        {MaskKind::LossFrequency, 300, -0.5001, MaskVerdict::Outside},
        {MaskKind::LossFrequency, 299.99, 0.0, MaskVerdict::NotCovered},
        {MaskKind::LossFrequency, 3000, 0.5, MaskVerdict::Inside},
        {MaskKind::LossFrequency, 3000, 0.51, MaskVerdict::Outside}, // both segments apply on their edge
        {MaskKind::LossFrequency, 3000.01, 0.51, MaskVerdict::Inside},
        {MaskKind::LossFrequency, 3400, 1.8, MaskVerdict::Inside},
        {MaskKind::LossFrequency, 3400, 1.81, MaskVerdict::Outside},
        {MaskKind::LossFrequency, 3400.01, 0.0, MaskVerdict::NotCovered},
        {MaskKind::GainLevel, -40, 0.6, MaskVerdict::Outside},
        {MaskKind::GainLevel, -40.01, 0.6, MaskVerdict::Inside},
        {MaskKind::GainLevel, -50, -1.5, MaskVerdict::Inside},
        {MaskKind::IdleNoise, 0, -65.0, MaskVerdict::Inside},
        {MaskKind::IdleNoise, 0, -64.99, MaskVerdict::Outside},
        {MaskKind::DistortionLevel, -30, 35.0, MaskVerdict::Inside},
        {MaskKind::DistortionLevel, 0, 34.99, MaskVerdict::Outside},
        {MaskKind::DistortionLevel, 0, 90.0, MaskVerdict::Inside}, // no upper limit
    };
    for (const auto& c : cases)
        EXPECT_EQ(CheckMask(mask(c.kind), c.x, c.y), c.verdict) << MaskName(c.kind) << " " << c.x << " " << c.y;
    EXPECT_EQ(mask(MaskKind::IdleNoise).clause, "Line card data sheet, table 4");
    EXPECT_EQ(mask(MaskKind::GainLevel).clause, "mask file");
    // Without a file the recommendations' masks name their clause but hold no limit yet.
    for (const ChannelMask& m : RecommendedMasks()) {
        EXPECT_NE(m.clause.find("G.712"), std::string::npos);
        EXPECT_EQ(CheckMask(m, 1000, 0), MaskVerdict::NotCovered);
    }
}

TEST(ChannelMasks, FileErrorsNameTheLine) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"loss 300 3000 -1 1", "line 1: \"loss\" is not a mask"},
        {"\nloss-frequency 300 3000 -1", "line 2: a limit line is `KIND FROM TO LOW HIGH`"},
        {"loss-frequency 300 x -1 1", "line 1: FROM, TO, LOW and HIGH are numbers or -"},
        {"idle-noise 0 0 - -65", "line 1: idle-noise has no FROM and TO: give - -"},
        {"gain-level - 3 -1 1", "line 1: FROM and TO are numbers"},
        {"gain-level 3 -40 -1 1", "line 1: FROM is above TO"},
        {"gain-level -40 3 - -", "line 1: no limit: give LOW, HIGH or both"},
        {"gain-level -40 3 1 -1", "line 1: LOW is above HIGH"},
        {"clause gain-level", "line 1: a clause line is `clause KIND TEXT`"},
        {"clause gain-level From somewhere", "the file names the clause of gain-level but gives no limit"},
    };
    for (const auto& c : cases) {
        const MaskFile file = ParseMaskFile(c.text);
        ASSERT_EQ(file.errors.size(), 1u) << c.text;
        EXPECT_EQ(file.errors.front().rfind(c.error, 0), 0u) << file.errors.front();
    }
    TempDir dir;
    const std::string path = dir.Path("masks.txt");
    std::ofstream(path) << kMasks;
    EXPECT_TRUE(LoadMaskFile(path).errors.empty());
    const MaskFile missing = LoadMaskFile(dir.Path("none.txt"));
    ASSERT_EQ(missing.errors.size(), 1u);
    EXPECT_EQ(missing.errors.front(), "cannot read the mask file " + dir.Path("none.txt"));
}

// A channel of known response: a one-pole low-pass at 3400 Hz and a high-pass at 200 Hz, with its gain
// falling 0.5 dB for each dB sent above -6 dBm0; tones through it measured by the analyser, the curves
// compared with the response's own figures.
double ResponseDb(double hz) {
    const double low = 1.0 / std::sqrt(1.0 + std::pow(hz / 3400.0, 2));
    const double high = (hz / 200.0) / std::sqrt(1.0 + std::pow(hz / 200.0, 2));
    return 20 * std::log10(low * high);
}
double CompressionDb(double dbm0) { return dbm0 > -6 ? -0.5 * (dbm0 + 6) : 0.0; }

double Received(double hz, double dbm0, uint32_t seed) {
    const double dbfs = DbfsFromDbm0(dbm0, CompandingLaw::ALaw) + ResponseDb(hz) + CompressionDb(dbm0);
    std::mt19937 engine(seed);
    std::normal_distribution<double> noise(0.0, 1e-4);
    std::vector<double> block(8000);
    for (size_t i = 0; i < block.size(); ++i)
        block[i] = std::pow(10.0, dbfs / 20) * std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / 8000 + 1) +
                   noise(engine);
    CAudioAnalyser analyser(block.size());
    return analyser.Analyse(block, 8000).levelDb;
}

TEST(ChannelFigures, CurvesOfAKnownChannelAndTheirMasks) {
    std::vector<ReceivedLevel> byFrequency;
    uint32_t seed = 0;
    for (const double hz : {200.0, 300.0, 1020.0, 2000.0, 3000.0, 3400.0})
        byFrequency.push_back({hz, Received(hz, -10, ++seed)});
    const auto loss = RelativeLoss(byFrequency);
    ASSERT_TRUE(loss.has_value());
    for (const CurvePoint& p : *loss)
        EXPECT_NEAR(p.y, ResponseDb(1020) - ResponseDb(p.x), 0.02) << p.x << " Hz";
    std::vector<ReceivedLevel> byLevel;
    for (const double dbm0 : {-50.0, -40.0, -10.0, -6.0, 0.0, 3.0})
        byLevel.push_back({dbm0, Received(1020, dbm0, ++seed) + FullScaleDbm0(CompandingLaw::ALaw)});
    const auto gain = RelativeGain(byLevel);
    ASSERT_TRUE(gain.has_value());
    for (const CurvePoint& p : *gain)
        EXPECT_NEAR(p.y, CompressionDb(p.x), p.x < -45 ? 0.05 : 0.02) << p.x << " dBm0";
    EXPECT_FALSE(RelativeLoss(std::vector<ReceivedLevel>{{1000, -3}}).has_value());

    // The loss mask of the file above: 200 Hz lies outside it (not judged), 3000 Hz on the shared edge
    // (0.5 dB at most there), 3400 Hz under 1.8 dB. This channel loses more than that at both ends.
    const ChannelMask lossMask = ParseMaskFile(kMasks).masks.front();
    const CheckedCurve checked = CheckCurve(lossMask, *loss);
    EXPECT_FALSE(checked.passed);
    EXPECT_EQ(checked.points.front().verdict, MaskVerdict::NotCovered);
    EXPECT_EQ(checked.points[4].verdict, MaskVerdict::Outside);
    EXPECT_EQ(checked.points[4].high, 0.5);
    const std::vector<CurvePoint> flat = {{300, 0.5}, {3000, 0.5}, {3400, 1.8}};
    EXPECT_TRUE(CheckCurve(lossMask, flat).passed);
    EXPECT_FALSE(CheckCurve(lossMask, std::vector<CurvePoint>{{100, 0}}).passed) << "a curve the mask never reaches";

    AudioFigures noTone;
    EXPECT_FALSE(SignalToTotalDistortionDb(noTone).has_value());
    AudioFigures tone;
    tone.tone = true;
    tone.thdnDb = -36.5;
    EXPECT_EQ(SignalToTotalDistortionDb(tone), 36.5);
}

} // namespace
