// The analyser's sweep: the stepped signal written and played, the tap read into a recording, the
// reference found in it and each step measured once it has arrived whole.
#include "ResponseSweep.h"

#include "SampleTap.h"
#include "StreamChannel.h"
#include "StreamPage.h"
#include "StreamRequests.h"
#include "TelephoneLevels.h"

#include <QFile>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// A linear line is reckoned as A-law, as `channel` reckons it.
constexpr CompandingLaw kLaw = CompandingLaw::ALaw;
// What an output's buffer holds when its length cannot be read: the boards' 32768-byte DMA buffer.
constexpr size_t kBufferSamples = 16384;
// Beyond the signal's own length, how late its end may arrive.
constexpr double kLateSeconds = 3.0;

// Writes the played signal as a raw sound file (little-endian rate header and samples); the error text,
// empty when every byte was written.
QString WriteSignal(const QString& path, uint32_t rate, const std::vector<int16_t>& samples) {
    QByteArray bytes;
    bytes.reserve(static_cast<qsizetype>(4 + 2 * samples.size()));
    for (int shift = 0; shift < 32; shift += 8)
        bytes.append(static_cast<char>((rate >> shift) & 0xFF));
    for (const int16_t sample : samples) {
        const auto u = static_cast<uint16_t>(sample);
        bytes.append(static_cast<char>(u & 0xFF));
        bytes.append(static_cast<char>(u >> 8));
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush())
        return file.errorString();
    file.close();
    return file.error() == QFileDevice::NoError ? QString() : file.errorString();
}

} // namespace

CResponseSweep::CResponseSweep(StreamChannel& input, CStreamPage* page, std::shared_ptr<CSampleTap> tap,
                               QObject* parent)
    : QObject(parent), m_input(input), m_page(page), m_tap(std::move(tap)) {
    if (m_page)
        m_output = m_page->OutputBeside(input);
    m_timer.setInterval(kTickMs);
    connect(&m_timer, &QTimer::timeout, this, &CResponseSweep::Tick);
}

CResponseSweep::~CResponseSweep() {
    if (m_running)
        m_page->EndMeasurement(m_output);
}

std::vector<double> CResponseSweep::Frequencies() const {
    std::vector<double> result;
    for (const PlanSegment& s : m_steps)
        result.push_back(s.hz);
    return result;
}

QString CResponseSweep::Start() {
    if (m_running)
        return {};
    if (m_output < 0)
        return QStringLiteral("This line has no output to play the sweep on");
    if (!m_input.running.load(std::memory_order_relaxed))
        return QStringLiteral("Start the line's input first: the sweep measures what it hears");
    const uint32_t rate = m_tap->Rate();
    if (rate < 4000)
        return QStringLiteral("The line runs at %1 Hz; a telephone channel is measured at 4000 Hz or more").arg(rate);
    // The signal ends in silence as long as the output's buffer and some more: what the output still held
    // from an earlier run plays first, and the reference is sought that much later.
    size_t buffered = kBufferSamples;
    size_t held = kBufferSamples;
    if (CDevice* device = m_page->Channel(m_output).device)
        if (const auto state = GetBufferState(*device); state && state->length > 0) {
            buffered = state->length / 2;
            held = (state->length - std::min(state->space, state->length)) / 2;
        }
    // The input hears what the output still held (perhaps an earlier sweep's, or the user's tone)
    // before the signal. How much of it comes before the signal in the recording is known only roughly,
    // so only its first half is passed over; the reference is told from what follows by its lead
    // silence and its frequency (FindReference).
    m_quietUntil = held / 2;
    m_plan = MakeSweepPlan(rate, kLaw, buffered + rate * 3 / 10);
    m_steps = m_plan.segments;
    m_folder = std::make_unique<QTemporaryDir>();
    if (!m_folder->isValid())
        return QStringLiteral("Cannot make a folder for the sweep's signal: ") + m_folder->errorString();
    const QString path = m_folder->filePath(QStringLiteral("sweep.raw"));
    if (const QString error = WriteSignal(path, rate, PlanSamples(m_plan)); !error.isEmpty()) {
        m_folder.reset();
        return QStringLiteral("Cannot write the sweep's signal: ") + error;
    }
    m_recorded.clear();
    m_recorded.reserve(m_plan.length + static_cast<size_t>(kLateSeconds * rate));
    m_taken = m_tap->Total(); // what the input heard before the sweep is not part of it
    m_start.reset();
    m_searchedAt = 0;
    m_next = 0;
    m_unheard = 0;
    m_analyser = std::make_unique<CAudioAnalyser>(m_plan.block);
    if (const QString refused = m_page->PlayMeasurement(m_output, path.toStdString(), rate); !refused.isEmpty()) {
        m_folder.reset();
        return refused;
    }
    m_deadline = std::chrono::steady_clock::now() +
                 std::chrono::milliseconds(static_cast<long long>((m_plan.Seconds() + kLateSeconds) * 1000));
    m_running = true;
    m_timer.start();
    return {};
}

void CResponseSweep::Stop() {
    if (m_running)
        Finish(QStringLiteral("Sweep stopped"), false);
}

bool CResponseSweep::TakeNewSamples() {
    // The tap's count and its samples are read apart: a block pushed in between shows as a changed
    // count, and the copy is made again (a block comes every few tens of milliseconds).
    for (int attempt = 0; attempt < 3; ++attempt) {
        const uint64_t total = m_tap->Total();
        if (total < m_taken)
            return false; // the input started again: the tap began anew
        const uint64_t fresh = total - m_taken;
        if (fresh == 0)
            return true;
        if (fresh > m_tap->Capacity())
            return false;
        const size_t at = m_recorded.size();
        m_recorded.resize(at + static_cast<size_t>(fresh));
        const size_t copied = m_tap->Latest(std::span<int16_t>(m_recorded).subspan(at));
        if (copied == fresh && m_tap->Total() == total) {
            m_taken = total;
            return true;
        }
        m_recorded.resize(at);
    }
    return true; // taken at the next tick
}

void CResponseSweep::Tick() {
    if (!m_input.running.load(std::memory_order_relaxed))
        return Finish(QStringLiteral("The sweep stopped: the line's input stopped"), true);
    if (!TakeNewSamples())
        return Finish(QStringLiteral("The sweep stopped: the line's input started again or the analyser fell behind"),
                      true);
    // The reference is sought every 50 ms of new input.
    if (!m_start && m_recorded.size() >= m_searchedAt + m_plan.rate / 20) {
        m_searchedAt = m_recorded.size();
        m_start = FindReference();
    }
    while (m_start && m_next < m_steps.size()) {
        const auto reading = MeasureStep(m_recorded, *m_start, m_plan, m_steps[m_next], *m_analyser);
        if (!reading)
            break;
        ++m_next;
        if (reading->heard)
            emit Reading(reading->segment.hz, DbfsFromDbm0(reading->levelDbm0, kLaw));
        else
            ++m_unheard;
    }
    if (m_next == m_steps.size()) {
        const size_t heard = m_steps.size() - m_unheard;
        return Finish(m_unheard == 0
                          ? QStringLiteral("Sweep done: %1 frequencies").arg(heard)
                          : QStringLiteral("Sweep done: %1 of %2 frequencies heard").arg(heard).arg(m_steps.size()),
                      false);
    }
    const bool outputStopped = !m_page->MeasurementPlaying(m_output);
    if (!outputStopped && std::chrono::steady_clock::now() < m_deadline)
        return;
    if (!m_start)
        return Finish(QStringLiteral("The line's input did not hear the sweep's 1020 Hz reference (is the line "
                                     "looped back?)"),
                      true);
    const QString at = QString::number(m_steps[m_next].hz, 'f', 0);
    Finish(outputStopped ? QStringLiteral("The sweep stopped at %1 Hz: the line's output stopped").arg(at)
                         : QStringLiteral("The sweep stopped at %1 Hz: the input heard no more of it").arg(at),
           true);
}

std::optional<size_t> CResponseSweep::FindReference() {
    const PlanSegment& reference = m_steps.front();
    const size_t window = m_plan.rate / 100;
    // The reference's own 1020 Hz component over 10 ms from `from`.
    const auto power = [&](const std::vector<int16_t>& x, size_t from) {
        const double step = 2.0 * std::numbers::pi * kReferenceHz / m_plan.rate;
        double c = 0.0, s = 0.0;
        for (size_t i = 0; i < window; ++i) {
            c += x[from + i] * std::cos(step * static_cast<double>(i));
            s += x[from + i] * std::sin(step * static_cast<double>(i));
        }
        return c * c + s * s;
    };
    for (int attempt = 0; attempt < 8; ++attempt) {
        std::vector<int16_t> heard(m_recorded);
        std::fill(heard.begin(), heard.begin() + static_cast<std::ptrdiff_t>(std::min(m_quietUntil, heard.size())),
                  int16_t{0});
        const auto start = FindPlanStart(heard, m_plan);
        if (!start)
            return std::nullopt;
        const size_t onset = *start + reference.start;
        // Taken once it has arrived whole, so its onset was measured against its full level.
        if (onset + reference.count > heard.size())
            return std::nullopt;
        // The reference comes after the signal's lead silence and is 1020 Hz to its end; a tone the
        // output held from before (a user's 1000 Hz tone reads as 1020 Hz over 10 ms, or a piece of an
        // earlier reference) is not, and the reference is sought again after it.
        const double full = power(heard, onset + 2 * window);
        const bool quietBefore = onset >= m_quietUntil + 6 * window && power(heard, onset - 6 * window) < full / 16 &&
                                 power(heard, onset - 4 * window) < full / 16;
        const auto reading = MeasureStep(heard, *start, m_plan, reference, *m_analyser);
        if (quietBefore && reading && reading->heard)
            return start;
        size_t end = onset + window;
        while (end + window <= heard.size() && power(heard, end) >= full / 4)
            end += window;
        m_quietUntil = end;
    }
    return std::nullopt;
}

void CResponseSweep::Finish(const QString& text, bool failed) {
    m_timer.stop();
    m_running = false;
    m_page->EndMeasurement(m_output);
    m_folder.reset();
    m_recorded = {};
    emit Ended(text, failed);
}
