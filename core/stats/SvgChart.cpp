// The trend and histogram of a measured step drawn as inline SVG: axes with ticks and labels, limit lines,
// control lines, and the points a reader should look at marked in colour.
#include "SvgChart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>

std::string XmlEscape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string Figure(const std::optional<double>& value, int digits) {
    if (!value || !std::isfinite(*value))
        return "-";
    char text[64];
    std::snprintf(text, sizeof text, "%.*g", digits, *value == 0.0 ? 0.0 : *value);
    return text;
}

std::string Percent(const std::optional<double>& share) {
    return share ? Figure(*share * 100.0, 4) + " %" : std::string("-");
}

namespace {

constexpr int kLeft = 72, kRight = 24, kTop = 34, kBottom = 62;
const char* kFont = "font-family=\"sans-serif\" font-size=\"11\"";

std::string Num(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", v);
    return text;
}

// Tick values at 1, 2 or 5 times a power of ten, about `count` of them across [lo, hi]. Each tick is an
// integer multiple of the step, never a running sum, so a step below the values' resolution cannot loop.
std::vector<double> Ticks(double lo, double hi, int count) {
    if (!(hi > lo) || !std::isfinite(hi - lo))
        return {lo};
    const double rough = (hi - lo) / count;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    double step = power;
    for (const double m : {1.0, 2.0, 5.0, 10.0}) {
        step = m * power;
        if (step >= rough)
            break;
    }
    const double first = std::ceil(lo / step), last = std::floor(hi / step);
    if (!(step > 0.0) || !std::isfinite(first) || !std::isfinite(last) || last - first > 4.0 * count)
        return {lo, hi};
    std::vector<double> ticks;
    const int n = int(last - first);
    for (int i = 0; i <= n; ++i) {
        const double t = (first + i) * step;
        ticks.push_back(std::fabs(t) < step * 1e-9 ? 0.0 : t);
    }
    return ticks;
}

// A value range with a margin, wide enough for every value and line given; never empty.
struct Range {
    double lo = 0.0, hi = 1.0;
    void Take(const std::optional<double>& v, bool& any) {
        if (!v || !std::isfinite(*v))
            return;
        lo = any ? std::min(lo, *v) : *v;
        hi = any ? std::max(hi, *v) : *v;
        any = true;
    }
    // Values that differ only in their last digits are drawn as one level, with room around it.
    void Pad() {
        const double span = hi - lo;
        const double size = std::max(std::fabs(lo), std::fabs(hi));
        const double pad = span > size * 1e-9 ? span * 0.06 : (size > 0.0 ? size * 0.05 : 1.0);
        lo -= pad;
        hi += pad;
    }
};

class CPlot {
public:
    CPlot(int width, int height, Range x, Range y) : m_w(width), m_h(height), m_x(x), m_y(y) {}
    double X(double v) const { return kLeft + (v - m_x.lo) / (m_x.hi - m_x.lo) * (m_w - kLeft - kRight); }
    double Y(double v) const { return m_h - kBottom - (v - m_y.lo) / (m_y.hi - m_y.lo) * (m_h - kTop - kBottom); }

    std::string Open(const std::string& title, const std::string& description) const {
        std::string s = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(m_w) + "\" height=\"" +
                        std::to_string(m_h) + "\" viewBox=\"0 0 " + std::to_string(m_w) + " " + std::to_string(m_h) +
                        "\" role=\"img\" aria-label=\"" + XmlEscape(description) + "\">";
        s += "<title>" + XmlEscape(description) + "</title>";
        s += "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>";
        s += "<text x=\"" + Num(m_w / 2.0) + "\" y=\"20\" text-anchor=\"middle\" font-family=\"sans-serif\" " +
             "font-size=\"14\" font-weight=\"bold\">" + XmlEscape(title) + "</text>";
        return s;
    }

    // Frame, ticks and labels of both axes.
    std::string Axes(const std::vector<double>& xTicks, const std::vector<double>& yTicks, const std::string& xLabel,
                     const std::string& yLabel, int xDigits = 6) const {
        const double x0 = kLeft, x1 = m_w - kRight, y0 = m_h - kBottom, y1 = kTop;
        std::string s = "<rect x=\"" + Num(x0) + "\" y=\"" + Num(y1) + "\" width=\"" + Num(x1 - x0) + "\" height=\"" +
                        Num(y0 - y1) + "\" fill=\"none\" stroke=\"#444\"/>";
        s += "<g " + std::string(kFont) + " fill=\"#222\">";
        for (const double t : yTicks) {
            const double y = Y(t);
            s += "<line x1=\"" + Num(x0) + "\" y1=\"" + Num(y) + "\" x2=\"" + Num(x1) + "\" y2=\"" + Num(y) +
                 "\" stroke=\"#e4e4e4\"/>";
            s += "<text x=\"" + Num(x0 - 5) + "\" y=\"" + Num(y + 4) + "\" text-anchor=\"end\">" + Figure(t, 6) +
                 "</text>";
        }
        for (const double t : xTicks) {
            const double x = X(t);
            s += "<line x1=\"" + Num(x) + "\" y1=\"" + Num(y0) + "\" x2=\"" + Num(x) + "\" y2=\"" + Num(y0 + 4) +
                 "\" stroke=\"#444\"/>";
            s += "<text x=\"" + Num(x) + "\" y=\"" + Num(y0 + 16) + "\" text-anchor=\"middle\">" + Figure(t, xDigits) +
                 "</text>";
        }
        s += "<text x=\"" + Num((x0 + x1) / 2) + "\" y=\"" + Num(y0 + 31) + "\" text-anchor=\"middle\">" +
             XmlEscape(xLabel) + "</text>";
        s += "<text transform=\"translate(14," + Num((y0 + y1) / 2) + ") rotate(-90)\" text-anchor=\"middle\">" +
             XmlEscape(yLabel) + "</text></g>";
        return s;
    }

    // A labelled horizontal line at `v` (nothing when absent or off the chart).
    std::string HLine(const std::optional<double>& v, const char* colour, const char* dash,
                      const std::string& label) const {
        if (!v || *v < m_y.lo || *v > m_y.hi)
            return {};
        const double y = Y(*v);
        return "<line x1=\"" + Num(kLeft) + "\" y1=\"" + Num(y) + "\" x2=\"" + Num(m_w - kRight) + "\" y2=\"" + Num(y) +
               "\" stroke=\"" + colour + "\" stroke-width=\"1.5\"" +
               (dash[0] ? std::string(" stroke-dasharray=\"") + dash + "\"" : std::string()) + "/><text x=\"" +
               Num(m_w - kRight - 3) + "\" y=\"" + Num(y - 3) + "\" text-anchor=\"end\" " + kFont + " fill=\"" +
               colour + "\">" + XmlEscape(label) + "</text>";
    }

    // A labelled vertical line at `v`.
    // Labels right of the middle are written leftwards, so they stay inside the frame; `row` moves the
    // label down a line, apart from another line's.
    std::string VLine(const std::optional<double>& v, const char* colour, const char* dash, const std::string& label,
                      int row = 0) const {
        if (!v || *v < m_x.lo || *v > m_x.hi)
            return {};
        const double x = X(*v);
        const bool right = x > m_w / 2.0;
        return "<line x1=\"" + Num(x) + "\" y1=\"" + Num(kTop) + "\" x2=\"" + Num(x) + "\" y2=\"" + Num(m_h - kBottom) +
               "\" stroke=\"" + colour + "\" stroke-width=\"1.5\"" +
               (dash[0] ? std::string(" stroke-dasharray=\"") + dash + "\"" : std::string()) + "/><text x=\"" +
               Num(right ? x - 3 : x + 3) + "\" y=\"" + Num(kTop + 12 + row * 13) + "\" text-anchor=\"" +
               (right ? "end" : "start") + "\" " + kFont + " fill=\"" + colour + "\">" + XmlEscape(label) + "</text>";
    }

private:
    int m_w, m_h;
    Range m_x, m_y;
};

std::string Label(const StepSeries& series) {
    return series.unit.empty() ? series.name : series.name + " (" + series.unit + ")";
}

bool PastLimit(const StepPoint& p) { return (p.low && p.value < *p.low) || (p.high && p.value > *p.high); }

// The indices drawn of `n` points: all when few, else each bucket's lowest and highest value, so spikes
// stay visible; `keep` points are always drawn.
std::vector<size_t> Thinned(const std::vector<StepPoint>& points, size_t maxPoints, const std::set<size_t>& keep) {
    const size_t n = points.size();
    std::vector<size_t> drawn;
    if (n <= maxPoints || maxPoints < 4) {
        for (size_t i = 0; i < n; ++i)
            drawn.push_back(i);
        return drawn;
    }
    const size_t buckets = maxPoints / 2;
    for (size_t b = 0; b < buckets; ++b) {
        const size_t from = b * n / buckets, to = (b + 1) * n / buckets;
        if (from >= to)
            continue;
        size_t lo = from, hi = from;
        for (size_t i = from; i < to; ++i) {
            lo = points[i].value < points[lo].value ? i : lo;
            hi = points[i].value > points[hi].value ? i : hi;
        }
        drawn.push_back(std::min(lo, hi));
        if (lo != hi)
            drawn.push_back(std::max(lo, hi));
    }
    drawn.insert(drawn.end(), keep.begin(), keep.end());
    std::sort(drawn.begin(), drawn.end());
    drawn.erase(std::unique(drawn.begin(), drawn.end()), drawn.end());
    return drawn;
}

} // namespace

std::string TrendSvg(const StepSeries& series, const StepStatistics& st, const TrendOptions& options) {
    const size_t n = series.points.size();
    const std::string title = options.title.empty() ? Label(series) + " by run" : options.title;
    const std::string description = title + ", trend of " + std::to_string(n) + " runs, Cpk " + Figure(st.cpk, 3);
    bool anyY = false, anyX = false;
    Range y, x;
    y.Take(st.min, anyY);
    y.Take(st.max, anyY);
    for (const auto& v : {st.low, st.high, st.control.lower, st.control.upper})
        y.Take(v, anyY);
    y.Pad();
    x.Take(1.0, anyX);
    x.Take(double(std::max<size_t>(n, 2)), anyX);
    x.lo -= 0.5;
    x.hi += 0.5;
    const CPlot plot(options.width, options.height, x, y);
    std::string s = plot.Open(title, description);
    std::vector<double> xTicks;
    for (const double t : Ticks(1.0, double(std::max<size_t>(n, 1)), 8)) {
        if (t >= 1.0 && std::floor(t) == t)
            xTicks.push_back(t);
    }
    s += plot.Axes(xTicks, Ticks(y.lo, y.hi, 6), "runs in time order", series.unit.empty() ? "value" : series.unit);
    s += plot.HLine(st.high, "#c62828", "", "high limit " + Figure(st.high));
    s += plot.HLine(st.low, "#c62828", "", "low limit " + Figure(st.low));
    s += plot.HLine(st.control.upper, "#ef6c00", "6 4", "UCL " + Figure(st.control.upper));
    s += plot.HLine(st.control.lower, "#ef6c00", "6 4", "LCL " + Figure(st.control.lower));
    s += plot.HLine(st.mean, "#607d8b", "2 3", "mean " + Figure(st.mean));
    // Points past a limit (red) and those breaking a control rule (orange) are always drawn.
    std::set<size_t> failing, control(st.control.beyond.begin(), st.control.beyond.end());
    control.insert(st.control.inRun.begin(), st.control.inRun.end());
    std::set<size_t> keep;
    size_t highlighted = n;
    for (size_t i = 0; i < n; ++i) {
        if (PastLimit(series.points[i]))
            failing.insert(i);
        if (!options.highlightRunId.empty() && series.points[i].runId == options.highlightRunId)
            highlighted = i;
    }
    // Control-rule marks are many on a long stable series (runs of 8 come by chance): at most a quarter of
    // the drawn points, spread evenly; the key still counts them all.
    const size_t controlMarks = std::max<size_t>(1, options.maxPoints / 4);
    size_t shown = 0, seen = 0;
    std::set<size_t> controlDrawn;
    for (const size_t i : control) {
        if (seen++ * controlMarks >= shown * control.size()) {
            controlDrawn.insert(i);
            ++shown;
        }
    }
    keep.insert(failing.begin(), failing.end());
    keep.insert(controlDrawn.begin(), controlDrawn.end());
    if (highlighted < n)
        keep.insert(highlighted);
    const std::vector<size_t> drawn = Thinned(series.points, options.maxPoints, keep);
    std::string line;
    for (const size_t i : drawn)
        line += Num(plot.X(double(i + 1))) + "," + Num(plot.Y(series.points[i].value)) + " ";
    if (!line.empty())
        s += "<polyline fill=\"none\" stroke=\"#1565c0\" stroke-width=\"1\" points=\"" + line + "\"/>";
    if (drawn.size() <= 400) {
        for (const size_t i : drawn) {
            if (!keep.count(i))
                s += "<circle cx=\"" + Num(plot.X(double(i + 1))) + "\" cy=\"" + Num(plot.Y(series.points[i].value)) +
                     "\" r=\"2\" fill=\"#1565c0\"/>";
        }
    }
    for (const size_t i : keep) {
        if (i == highlighted)
            continue;
        const bool past = failing.count(i) > 0;
        s += "<circle cx=\"" + Num(plot.X(double(i + 1))) + "\" cy=\"" + Num(plot.Y(series.points[i].value)) +
             "\" r=\"3\" fill=\"" + (past ? "#c62828" : "#ef6c00") + "\"/>";
    }
    if (highlighted < n) {
        const StepPoint& p = series.points[highlighted];
        s += "<circle cx=\"" + Num(plot.X(double(highlighted + 1))) + "\" cy=\"" + Num(plot.Y(p.value)) +
             "\" r=\"6\" fill=\"none\" stroke=\"#6a1b9a\" stroke-width=\"2.5\"/><text x=\"" +
             Num(plot.X(double(highlighted + 1)) + 8) + "\" y=\"" + Num(plot.Y(p.value) - 8) + "\" " + kFont +
             " fill=\"#6a1b9a\">this run " + Figure(p.value) + "</text>";
    }
    // The key: what the colours mean.
    s += "<g class=\"key\" " + std::string(kFont) + "><circle cx=\"" + Num(kLeft + 8) + "\" cy=\"" +
         Num(options.height - 10.0) + "\" r=\"3\" fill=\"#c62828\"/><text x=\"" + Num(kLeft + 14) + "\" y=\"" +
         Num(options.height - 6.0) + "\" fill=\"#222\">past a limit (" + std::to_string(failing.size()) +
         ")</text><circle cx=\"" + Num(kLeft + 140) + "\" cy=\"" + Num(options.height - 10.0) +
         "\" r=\"3\" fill=\"#ef6c00\"/><text x=\"" + Num(kLeft + 146) + "\" y=\"" + Num(options.height - 6.0) +
         "\" fill=\"#222\">control rule broken (" + std::to_string(control.size()) + ")</text></g>";
    if (drawn.size() < n)
        s += "<text x=\"" + Num(options.width - kRight) + "\" y=\"" + Num(options.height - 6.0) +
             "\" text-anchor=\"end\" " + kFont + " fill=\"#666\">" + std::to_string(drawn.size()) + " of " +
             std::to_string(n) + " points drawn</text>";
    return s + "</svg>";
}

std::string HistogramSvg(const StepSeries& series, const StepStatistics& st, const HistogramOptions& options) {
    const size_t n = series.points.size();
    const std::string title = options.title.empty() ? Label(series) + " distribution" : options.title;
    const std::string figures = "n = " + std::to_string(n) + ", mean " + Figure(st.mean) + ", Cpk " + Figure(st.cpk, 3);
    const std::string description = title + ", histogram of " + std::to_string(n) + " runs, " + figures;
    bool anyX = false;
    Range x;
    x.Take(st.min, anyX);
    x.Take(st.max, anyX);
    x.Take(st.low, anyX);
    x.Take(st.high, anyX);
    x.Pad();
    const int bins =
        options.bins > 0 ? options.bins : std::clamp(int(std::ceil(std::sqrt(double(std::max<size_t>(n, 1))))), 5, 40);
    // Bins span the values only, so the bars are not squeezed when a limit lies far away.
    const double binLo = st.min.value_or(0.0), binHi = st.max.value_or(1.0);
    const double width = binHi > binLo ? (binHi - binLo) / bins : 1.0;
    std::vector<size_t> counts(size_t(bins), 0);
    size_t highlighted = n;
    for (size_t i = 0; i < n; ++i) {
        const double v = series.points[i].value;
        const size_t b = binHi > binLo ? size_t(std::clamp(int((v - binLo) / width), 0, bins - 1)) : size_t(bins / 2);
        ++counts[b];
        if (!options.highlightRunId.empty() && series.points[i].runId == options.highlightRunId)
            highlighted = i;
    }
    const size_t top = std::max<size_t>(1, *std::max_element(counts.begin(), counts.end()));
    Range y;
    y.lo = 0.0;
    y.hi = double(top) * 1.12;
    const CPlot plot(options.width, options.height, x, y);
    std::string s = plot.Open(title, description);
    std::vector<double> yTicks;
    for (const double t : Ticks(0.0, y.hi, 5)) {
        if (std::floor(t) == t)
            yTicks.push_back(t);
    }
    s += plot.Axes(Ticks(x.lo, x.hi, 7), yTicks, series.unit.empty() ? "value" : series.unit, "runs");
    for (int b = 0; b < bins; ++b) {
        if (counts[size_t(b)] == 0)
            continue;
        const double from = binHi > binLo ? binLo + b * width : binLo - 0.5 * (x.hi - x.lo) / bins;
        const double to = binHi > binLo ? from + width : binLo + 0.5 * (x.hi - x.lo) / bins;
        const double x0 = plot.X(from), x1 = plot.X(to), y0 = plot.Y(double(counts[size_t(b)]));
        s += "<rect x=\"" + Num(x0) + "\" y=\"" + Num(y0) + "\" width=\"" + Num(std::max(1.0, x1 - x0 - 1)) +
             "\" height=\"" + Num(plot.Y(0.0) - y0) + "\" fill=\"#90caf9\" stroke=\"#1565c0\" stroke-width=\"0.5\"/>";
    }
    s += plot.VLine(st.low, "#c62828", "", "low limit " + Figure(st.low));
    s += plot.VLine(st.high, "#c62828", "", "high limit " + Figure(st.high));
    s += plot.VLine(st.mean, "#607d8b", "2 3", "mean", 1);
    if (highlighted < n)
        s += plot.VLine(series.points[highlighted].value, "#6a1b9a", "4 2",
                        "this run " + Figure(series.points[highlighted].value), 2);
    s += "<text x=\"" + Num(kLeft) + "\" y=\"" + Num(options.height - 8.0) + "\" " + kFont + " fill=\"#222\">" +
         XmlEscape(figures) + "</text>";
    return s + "</svg>";
}
