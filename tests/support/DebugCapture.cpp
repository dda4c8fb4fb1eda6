// Diagnostic line capture for tests.
#include "DebugCapture.h"

#include "Error.h"

DebugCapture::DebugCapture() {
    SetDebugOutputSink([this](const std::string& line) {
        std::lock_guard lock(m_mutex);
        m_lines.push_back(line);
    });
}

DebugCapture::~DebugCapture() { SetDebugOutputSink({}); }

std::vector<std::string> DebugCapture::Lines() const {
    std::lock_guard lock(m_mutex);
    return m_lines;
}
