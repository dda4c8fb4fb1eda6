// CResponseSweep: the analyser's own loss-against-frequency sweep. It plays the channel plan's reference
// and frequency steps on the line's output and reads each step back from the input's tap as it arrives.
#pragma once

#include "AudioAnalyser.h"
#include "ChannelPlan.h"

#include <QObject>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class CSampleTap;
class CStreamPage;
struct StreamChannel;

class CResponseSweep : public QObject {
    Q_OBJECT
public:
    // How often the tap is read while sweeping: far more often than it could overflow.
    static constexpr int kTickMs = 20;

    // `page` holds `input` and the output beside it (null: nothing to sweep); both outlive the sweep.
    CResponseSweep(StreamChannel& input, CStreamPage* page, std::shared_ptr<CSampleTap> tap, QObject* parent);
    // Ends a sweep under way: the output it plays on is stopped.
    ~CResponseSweep() override;

    // True when the page has an output beside the input to play on.
    bool Possible() const { return m_output >= 0; }
    // Starts a sweep; a text saying why not (the input stopped, the output in use or muted, ...) when
    // it cannot start.
    QString Start();
    // Stops the output (within the channel run's bound) and ends the sweep as stopped.
    void Stop();
    bool Running() const { return m_running; }
    // The frequencies of the running or last sweep, in the order played.
    std::vector<double> Frequencies() const;

signals:
    // A step read back: the tone's frequency and its fundamental's level in dBm0.
    void Reading(double hz, double levelDbm0);
    // The sweep ended: `text` says how; `failed` when it ended short of its last step.
    void Ended(const QString& text, bool failed);

private:
    void Tick();
    // Takes what the tap holds beyond what was taken; false when samples were lost or the input restarted.
    bool TakeNewSamples();
    // Where the played signal's first sample lies in the recording, once its reference has arrived whole
    // after whatever the output held from before (passed over for good once told apart).
    std::optional<size_t> FindReference();
    void Finish(const QString& text, bool failed);

    StreamChannel& m_input;
    CStreamPage* m_page;
    int m_output = -1;
    std::shared_ptr<CSampleTap> m_tap;
    QTimer m_timer;
    bool m_running = false;

    ChannelPlan m_plan;
    std::vector<PlanSegment> m_steps; // the reference, then each frequency
    std::unique_ptr<CAudioAnalyser> m_analyser;
    std::unique_ptr<QTemporaryDir> m_folder; // the played signal's file
    std::vector<int16_t> m_recorded;         // the input since the sweep began
    uint64_t m_taken = 0;                    // tap samples taken so far
    size_t m_quietUntil = 0;                 // m_recorded before this is not the signal
    std::optional<size_t> m_start;           // where the played signal's first sample lies in m_recorded
    size_t m_searchedAt = 0;                 // m_recorded's size at the last search for the reference
    size_t m_next = 0;                       // the step to read next
    size_t m_unheard = 0;
    std::chrono::steady_clock::time_point m_deadline;
};
