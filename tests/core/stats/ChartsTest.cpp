// The charts over seeded random series: every SVG is well-formed XML with a title, draws no more than the
// thinning allows, marks exactly the points past a limit, and never prints a NaN or infinity.
#include "SvgChart.h"

#include <gtest/gtest.h>

#include <QXmlStreamReader>

#include <cmath>
#include <random>

namespace {

struct Parsed {
    bool ok = false;
    QString error;
    int redCircles = 0;
    int polylinePoints = 0;
    bool titled = false;
};

Parsed Parse(const std::string& svg) {
    Parsed p;
    QXmlStreamReader xml(QByteArray::fromStdString(svg));
    int inKey = 0; // the key's sample marks are not points
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::EndElement && xml.name() == QLatin1String("g") && inKey > 0)
            --inKey;
        if (token != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("g") && (inKey > 0 || xml.attributes().value("class") == QLatin1String("key")))
            ++inKey;
        const auto attributes = xml.attributes();
        if (xml.name() == QLatin1String("title"))
            p.titled = !xml.readElementText().isEmpty();
        else if (xml.name() == QLatin1String("circle") && inKey == 0 &&
                 attributes.value("fill") == QLatin1String("#c62828"))
            ++p.redCircles;
        else if (xml.name() == QLatin1String("polyline"))
            p.polylinePoints += int(attributes.value("points").toString().split(' ', Qt::SkipEmptyParts).size());
    }
    p.ok = !xml.hasError();
    p.error = xml.errorString();
    return p;
}

TEST(Charts, SeededSeriesDrawWellFormedAndMarked) {
    const unsigned seed = std::random_device{}();
    std::mt19937 rng(seed);
    SCOPED_TRACE("seed " + std::to_string(seed));
    for (int round = 0; round < 60; ++round) {
        const size_t n = std::uniform_int_distribution<size_t>(0, 5)(rng) == 0
                             ? std::uniform_int_distribution<size_t>(0, 3)(rng)
                             : std::uniform_int_distribution<size_t>(4, 6000)(rng);
        const int limits = std::uniform_int_distribution<int>(0, 3)(rng);
        const bool flat = std::uniform_int_distribution<int>(0, 6)(rng) == 0;
        std::normal_distribution<double> value(std::uniform_real_distribution<double>(-1e3, 1e3)(rng),
                                               std::uniform_real_distribution<double>(1e-3, 50)(rng));
        StepSeries series{"THD+N <line> & \"0\"", round % 2 ? "dB" : "", {}};
        const double centre = value.mean(), spread = value.stddev();
        const std::optional<double> low = limits & 1 ? std::optional<double>(centre - 2.5 * spread) : std::nullopt;
        const std::optional<double> high = limits & 2 ? std::optional<double>(centre + 2.5 * spread) : std::nullopt;
        size_t past = 0;
        for (size_t i = 0; i < n; ++i) {
            const double v = flat ? centre : value(rng);
            const bool outside = (low && v < *low) || (high && v > *high);
            past += outside;
            series.points.push_back({int64_t(i), 1, "run-" + std::to_string(i), v, low, high, !outside});
        }
        const StepStatistics st = Summarise(series);
        TrendOptions trend;
        trend.maxPoints = 1000;
        if (n > 0)
            trend.highlightRunId = "run-" + std::to_string(std::uniform_int_distribution<size_t>(0, n - 1)(rng));
        const std::string svgs[] = {TrendSvg(series, st, trend), HistogramSvg(series, st)};
        for (const std::string& svg : svgs) {
            SCOPED_TRACE("round " + std::to_string(round) + ", n " + std::to_string(n));
            const Parsed parsed = Parse(svg);
            ASSERT_TRUE(parsed.ok) << parsed.error.toStdString();
            EXPECT_TRUE(parsed.titled);
            EXPECT_EQ(svg.find("nan"), std::string::npos);
            EXPECT_EQ(svg.find("inf"), std::string::npos);
            EXPECT_EQ(svg.find("<script"), std::string::npos);
        }
        const Parsed drawn = Parse(svgs[0]);
        const size_t control = st.control.beyond.size() + st.control.inRun.size();
        EXPECT_LE(size_t(drawn.polylinePoints), std::min(n, trend.maxPoints + past + control + 1));
        // Every point past a limit is marked, save the highlighted run's, which has its own ring.
        const bool highlightedPast = [&] {
            for (const StepPoint& p : series.points)
                if (p.runId == trend.highlightRunId)
                    return !p.passed;
            return false;
        }();
        EXPECT_EQ(size_t(drawn.redCircles), past - (highlightedPast ? 1 : 0));
        EXPECT_NE(svgs[0].find("past a limit (" + std::to_string(past) + ")"), std::string::npos);
    }
}

TEST(Charts, FiguresAndEscapes) {
    EXPECT_EQ(XmlEscape("a<b>&\"c'"), "a&lt;b&gt;&amp;&quot;c&#39;");
    EXPECT_EQ(Figure(std::nullopt), "-");
    EXPECT_EQ(Figure(1.23456789, 4), "1.235");
    EXPECT_EQ(Figure(-0.0), "0");
    // Values a last digit apart, far from zero: the axis must still be drawn in a few ticks.
    for (const double base : {718.6762425653975, -1e12, 3e-300}) {
        StepSeries close{"close", "V", {}};
        for (int i = 0; i < 10; ++i)
            close.points.push_back({i, 1, "r", i % 2 ? std::nextafter(base, 1e308) : base, {}, {}, true});
        const StepStatistics st = Summarise(close);
        EXPECT_TRUE(Parse(TrendSvg(close, st)).ok) << base;
        EXPECT_TRUE(Parse(HistogramSvg(close, st)).ok) << base;
    }
}

} // namespace
