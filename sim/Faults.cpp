// Matching and parsing of injected faults.
#include "Faults.h"

#include <cstdlib>
#include <sstream>

namespace sim {

namespace {

bool DeviceMatches(const std::string& pattern, const std::string& device) {
    if (pattern == "*" || pattern == device)
        return true;
    const auto slash = device.rfind('\\');
    if (slash == std::string::npos)
        return false;
    return pattern == device.substr(0, slash) || pattern == device.substr(slash + 1);
}

bool ParseCode(const std::string& text, uint32_t* code) {
    if (text.empty())
        return false;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text.c_str(), &end, 0);
    if (*end != '\0' || value > 0xFFFFFFFFull)
        return false;
    *code = static_cast<uint32_t>(value);
    return true;
}

// The glitch's fields after KIND:DEVICE: how often in ms (at least 1) and which edit.
bool ParseGlitch(const std::vector<std::string>& fields, const std::string& entry, FaultRule* rule,
                 std::string* error) {
    if (fields.size() > 4) {
        *error = "too many fields in fault \"" + entry + "\"";
        return false;
    }
    if (fields.size() > 2 && (!ParseCode(fields[2], &rule->everyMs) || rule->everyMs == 0)) {
        *error = "bad interval \"" + fields[2] + "\" in fault \"" + entry + "\" (milliseconds, at least 1)";
        return false;
    }
    if (fields.size() > 3) {
        if (fields[3] == "drop")
            rule->glitch = GlitchKind::Drop;
        else if (fields[3] == "repeat")
            rule->glitch = GlitchKind::Repeat;
        else if (fields[3] == "shift")
            rule->glitch = GlitchKind::Shift;
        else {
            *error = "bad glitch \"" + fields[3] + "\" in fault \"" + entry + "\" (drop, repeat or shift)";
            return false;
        }
    }
    return true;
}

} // namespace

bool FaultRule::Matches(const std::string& fullName) const { return DeviceMatches(device, fullName); }

void Faults::Add(FaultRule rule) {
    std::lock_guard lock(m_mutex);
    m_rules.push_back(std::move(rule));
}

void Faults::Clear() {
    std::lock_guard lock(m_mutex);
    m_rules.clear();
}

FaultRule* Faults::Match(FaultRule::Kind kind, const std::string& device, uint32_t code) {
    for (FaultRule& rule : m_rules) {
        if (rule.kind != kind || rule.remaining == 0 || !DeviceMatches(rule.device, device))
            continue;
        if (rule.code != 0 && rule.code != code)
            continue;
        if (rule.remaining > 0)
            --rule.remaining;
        return &rule;
    }
    return nullptr;
}

bool Faults::Fire(FaultRule::Kind kind, const std::string& device, uint32_t code) {
    std::lock_guard lock(m_mutex);
    return Match(kind, device, code) != nullptr;
}

std::optional<uint32_t> Faults::FireShort(const std::string& device, uint32_t code) {
    std::lock_guard lock(m_mutex);
    if (FaultRule* rule = Match(FaultRule::Kind::Short, device, code))
        return rule->shortBy;
    return std::nullopt;
}

std::optional<uint32_t> Faults::FireOver(const std::string& device, uint32_t code) {
    std::lock_guard lock(m_mutex);
    if (FaultRule* rule = Match(FaultRule::Kind::Over, device, code))
        return rule->shortBy;
    return std::nullopt;
}

bool Faults::Parse(const std::string& text, std::vector<FaultRule>* rules, std::string* error) {
    std::istringstream in(text);
    std::string entry;
    while (std::getline(in, entry, ',')) {
        std::vector<std::string> fields;
        std::istringstream parts(entry);
        std::string field;
        while (std::getline(parts, field, ':'))
            fields.push_back(field);
        if (fields.size() < 2 || fields[1].empty()) {
            *error = "fault \"" + entry + "\" needs KIND:DEVICE";
            return false;
        }
        FaultRule rule;
        const std::string& kind = fields[0];
        if (kind == "fail")
            rule.kind = FaultRule::Kind::Fail;
        else if (kind == "short")
            rule.kind = FaultRule::Kind::Short;
        else if (kind == "over")
            rule.kind = FaultRule::Kind::Over;
        else if (kind == "refuse")
            rule.kind = FaultRule::Kind::Refuse;
        else if (kind == "vanish")
            rule.kind = FaultRule::Kind::Vanish;
        else if (kind == "hang")
            rule.kind = FaultRule::Kind::Hang;
        else if (kind == "stale")
            rule.kind = FaultRule::Kind::Stale;
        else if (kind == "glitch")
            rule.kind = FaultRule::Kind::Glitch;
        else {
            *error = "unknown fault kind \"" + kind + "\" (fail, short, over, refuse, vanish, hang, stale, glitch)";
            return false;
        }
        rule.device = fields[1];
        if (rule.kind == FaultRule::Kind::Glitch) {
            if (!ParseGlitch(fields, entry, &rule, error))
                return false;
            rules->push_back(rule);
            continue;
        }
        const bool counted = rule.kind == FaultRule::Kind::Short || rule.kind == FaultRule::Kind::Over;
        const size_t maxFields = counted ? 4 : rule.kind == FaultRule::Kind::Refuse ? 2 : 3;
        if (fields.size() > maxFields) {
            *error = "too many fields in fault \"" + entry + "\"";
            return false;
        }
        if (fields.size() > 2 && !ParseCode(fields[2], &rule.code)) {
            *error = "bad request code \"" + fields[2] + "\" in fault \"" + entry + "\"";
            return false;
        }
        if (fields.size() > 3 && (!ParseCode(fields[3], &rule.shortBy) || rule.shortBy == 0)) {
            *error = "bad byte count \"" + fields[3] + "\" in fault \"" + entry + "\"";
            return false;
        }
        rules->push_back(rule);
    }
    return true;
}

} // namespace sim
