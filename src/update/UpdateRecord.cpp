#include "update/UpdateRecord.h"

#include <nlohmann/json.hpp>

#include <array>
#include <cstdio>

namespace {

constexpr std::array kResults = {SUpdateRecord::EResult::kCompleted, SUpdateRecord::EResult::kFailed,
                                 SUpdateRecord::EResult::kRefused, SUpdateRecord::EResult::kInterrupted,
                                 SUpdateRecord::EResult::kDidNotTake};

// The member's value when it is there and of the kind asked, else `fallback`.
template <typename T>
T field(const nlohmann::ordered_json& object, const char* key, T fallback = {})
{
    if (!object.is_object()) {
        return fallback;
    }
    const auto it = object.find(key);
    if (it == object.end()) {
        return fallback;
    }
    if constexpr (std::is_same_v<T, std::string>) {
        return it->is_string() ? it->template get<std::string>() : fallback;
    } else if constexpr (std::is_same_v<T, bool>) {
        return it->is_boolean() ? it->template get<bool>() : fallback;
    } else if constexpr (std::is_unsigned_v<T>) {
        return it->is_number_unsigned() ? it->template get<T>() : fallback;
    } else {
        return it->is_number_integer() ? it->template get<T>() : fallback;
    }
}

const nlohmann::ordered_json& member(const nlohmann::ordered_json& object, const char* key)
{
    static const nlohmann::ordered_json none;
    if (!object.is_object()) {
        return none;
    }
    const auto it = object.find(key);
    return it == object.end() ? none : *it;
}

nlohmann::ordered_json identityJson(const std::optional<SDeviceIdentity>& identity)
{
    return identity ? identity->toJson() : nlohmann::ordered_json();
}

} // namespace

const char* SUpdateRecord::resultText(EResult result)
{
    switch (result) {
    case EResult::kCompleted:
        return "completed";
    case EResult::kFailed:
        return "failed";
    case EResult::kRefused:
        return "refused";
    case EResult::kInterrupted:
        return "interrupted";
    case EResult::kDidNotTake:
        return "did not take";
    }
    return "failed";
}

std::string SUpdateRecord::isoTime(std::time_t time)
{
    std::tm local{};
    char text[40];
    if (localtime_r(&time, &local) == nullptr || std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local) == 0) {
        return {};
    }
    // strftime's %z gives +0100; the extended form wants the colon.
    const int offset = static_cast<int>(local.tm_gmtoff / 60);
    const int magnitude = offset < 0 ? -offset : offset;
    char zone[16];
    std::snprintf(zone, sizeof zone, "%c%02d:%02d", offset < 0 ? '-' : '+', magnitude / 60 % 100, magnitude % 60);
    return std::string(text) + zone;
}

nlohmann::ordered_json SUpdateRecord::toJson() const
{
    nlohmann::ordered_json json;
    json["start"] = start;
    json["end"] = end;
    json["file"] = {{"path", file}, {"sha256", sha256}};
    json["destination"] = {{"name", destination}, {"hardware", hardware}};
    json["identity_asked"] = identityAsked;
    json["identity_before"] = identityJson(before);
    json["identity_after"] = identityJson(after);
    json["outcome"] = {{"result", resultText(result)},
                       {"messages_sent", messagesSent},
                       {"messages_total", messagesTotal},
                       {"bytes_sent", bytesSent},
                       {"status", status},
                       {"words", words}};
    json["program"] = {{"name", program}, {"version", version}};
    return json;
}

std::optional<SUpdateRecord> SUpdateRecord::fromJson(const nlohmann::ordered_json& json)
{
    SUpdateRecord record;
    record.start = field<std::string>(json, "start");
    const nlohmann::ordered_json& outcome = member(json, "outcome");
    const std::string result = field<std::string>(outcome, "result");
    bool known = false;
    for (const EResult r : kResults) {
        if (result == resultText(r)) {
            record.result = r;
            known = true;
        }
    }
    if (record.start.empty() || !known) {
        return std::nullopt;
    }
    record.end = field<std::string>(json, "end");
    record.file = field<std::string>(member(json, "file"), "path");
    record.sha256 = field<std::string>(member(json, "file"), "sha256");
    record.destination = field<std::string>(member(json, "destination"), "name");
    record.hardware = field<bool>(member(json, "destination"), "hardware");
    record.identityAsked = field<bool>(json, "identity_asked");
    record.before = SDeviceIdentity::fromJson(member(json, "identity_before"));
    record.after = SDeviceIdentity::fromJson(member(json, "identity_after"));
    record.messagesSent = field<std::uint64_t>(outcome, "messages_sent");
    record.messagesTotal = field<std::uint64_t>(outcome, "messages_total");
    record.bytesSent = field<std::uint64_t>(outcome, "bytes_sent");
    record.status = field<OSStatus>(outcome, "status");
    record.words = field<std::string>(outcome, "words");
    record.program = field<std::string>(member(json, "program"), "name");
    record.version = field<std::string>(member(json, "program"), "version");
    return record;
}
