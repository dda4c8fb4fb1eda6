// Streaming for veltrin-cli: output and input channels prepared as the pages prepare them, run by the
// shared streaming worker until a time is up or every played file has ended.
#pragma once

#include "StreamChannel.h"
#include "StreamPass.h"
#include "StreamWorker.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class CDevice;

// What an output channel plays: a file, or else the sine.
struct PlaySource {
    std::string file;
    uint32_t frequency = 0;
    uint32_t amplitude = 0;
};

// The sample rate of a stream: the stereo outputs have one each on the configuration device, the phone
// lines share the codec rate. With `wanted` set, it is set first; returns the rate the board reports.
// A rate the board refuses or does not report is a device error.
uint32_t ApplyOutputRate(CDevice& cfg, int channel, std::optional<uint32_t> wanted);
uint32_t ApplyCodecRate(CDevice& cfg, std::optional<uint32_t> wanted);

class CStreamRun final : public IStreamSink {
public:
    CStreamRun() = default;
    ~CStreamRun() override;

    // Adds a channel ready to start; a source that cannot be prepared is a usage error (a file that does
    // not open, a sine the generator refuses). Returns the channel's index.
    int AddOutput(CDevice& device, const PlaySource& source, uint32_t rate);
    // Records into a new raw file at `path`; a file that cannot be created is a usage error.
    int AddInput(CDevice& device, const std::string& path, uint32_t rate);

    // Starts the channels in the order added, then the worker; a refused start is a device error.
    void Start();
    // Waits until `seconds` have passed (no limit when 0) or `done` says so, showing progress as `what`.
    // Returns early, too, once every file output has played to its end.
    void Wait(double seconds, const std::function<bool()>& done, const std::string& what);
    // Stops the channels (inputs first, so a recording never outlasts what its line played), ends the
    // worker and closes the recordings. Safe to call twice.
    void Stop();

    StreamChannel& Channel(int index) { return *m_channels[static_cast<size_t>(index)]; }
    ChannelFigures Figures(int index) const;
    bool Ended(int index) const;

    void ShowFigures(std::span<const ChannelFigures> figures) override;
    void PlayedToEnd(int channel) override;

private:
    std::vector<std::unique_ptr<StreamChannel>> m_channels;
    std::unique_ptr<CStreamWorker> m_worker;
    mutable std::mutex m_mutex;
    std::vector<ChannelFigures> m_figures;
    std::vector<char> m_ended;
    bool m_started = false;
};
