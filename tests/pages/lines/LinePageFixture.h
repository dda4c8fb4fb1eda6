// A phone line page's surroundings for tests: eight recording line devices on one log, recorded prompts
// and a settings sandbox.
#pragma once

#include "PageContext.h"
#include "RecordingDevice.h"
#include "RecordingPrompts.h"
#include "SettingsSandbox.h"

#include <QObject>
#include <QString>

#include <array>
#include <memory>
#include <string>
#include <vector>

struct LinePageFixture {
    SettingsSandbox sandbox;
    RecordingPrompts prompts;
    std::shared_ptr<RequestLog> log = std::make_shared<RequestLog>();
    std::array<std::unique_ptr<RecordingDevice>, 8> lines;

    // Lines 0 .. present - 1 exist.
    PageContext Context(uint32_t type, int present = 8, int32_t index = 0) {
        PageContext context;
        context.type = type;
        context.index = index;
        context.channels = static_cast<uint32_t>(present);
        for (int i = 0; i < present; ++i) {
            lines[static_cast<size_t>(i)] = std::make_unique<RecordingDevice>("line" + std::to_string(i), log);
            context.lineIn[static_cast<size_t>(i)] = lines[static_cast<size_t>(i)].get();
        }
        return context;
    }

    // The input blocks of the control calls with this code, in order.
    std::vector<std::vector<uint8_t>> Inputs(uint32_t code) const {
        std::vector<std::vector<uint8_t>> inputs;
        for (const auto& call : log->Calls())
            if (call.op == RecordedCall::Op::Control && call.code == code)
                inputs.push_back(call.input);
        return inputs;
    }
};

template <typename T> T* Find(QObject* root, const QString& name) { return root->findChild<T*>(name); }
