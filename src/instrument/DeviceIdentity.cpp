#include "instrument/DeviceIdentity.h"

#include <nlohmann/json.hpp>

#include <charconv>
#include <cstdio>
#include <string_view>

namespace {

constexpr std::uint16_t kMax14Bits = 0x3FFF;

std::string hex(unsigned value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

// "0x" and hex digits, the whole text, at most `limit`.
std::optional<unsigned> parseHex(std::string_view text, unsigned limit)
{
    if (text.size() < 3 || text.substr(0, 2) != "0x") {
        return std::nullopt;
    }
    unsigned value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data() + 2, end, value, 16);
    if (ec != std::errc() || ptr != end || value > limit) {
        return std::nullopt;
    }
    return value;
}

} // namespace

std::string SDeviceIdentity::manufacturerText() const
{
    std::string text;
    for (std::size_t i = 0; i < manufacturerLength && i < manufacturer.size(); ++i) {
        text += (i == 0 ? "" : " ") + hex(manufacturer[i], 2);
    }
    return text;
}

std::string SDeviceIdentity::familyText() const
{
    return hex(family, 4);
}

std::string SDeviceIdentity::modelText() const
{
    return hex(model, 4);
}

std::string SDeviceIdentity::versionText() const
{
    std::size_t shown = kRevisionBytes;
    while (shown > 2 && revision[shown - 1] == 0) {
        --shown;
    }
    std::string text;
    for (std::size_t i = 0; i < shown; ++i) {
        text += (i == 0 ? "" : ".") + std::to_string(revision[i]);
    }
    return text;
}

nlohmann::ordered_json SDeviceIdentity::toJson() const
{
    nlohmann::ordered_json json;
    json["device_id"] = deviceId;
    json["manufacturer"] = manufacturerText();
    json["family"] = familyText();
    json["model"] = modelText();
    json["firmware"] = versionText();
    json["revision"] = revision;
    return json;
}

std::optional<SDeviceIdentity> SDeviceIdentity::fromJson(const nlohmann::ordered_json& json)
{
    if (!json.is_object()) {
        return std::nullopt;
    }
    const auto text = [&](const char* key) -> std::string_view {
        const auto it = json.find(key);
        return it != json.end() && it->is_string() ? std::string_view(it->get_ref<const std::string&>())
                                                   : std::string_view();
    };
    SDeviceIdentity identity;
    const auto deviceId = json.find("device_id");
    const auto revision = json.find("revision");
    if (deviceId == json.end() || !deviceId->is_number_unsigned() || deviceId->get<unsigned>() > 0x7F ||
        revision == json.end() || !revision->is_array() || revision->size() != kRevisionBytes) {
        return std::nullopt;
    }
    identity.deviceId = static_cast<Byte>(deviceId->get<unsigned>());
    for (std::size_t i = 0; i < kRevisionBytes; ++i) {
        const auto& b = (*revision)[i];
        if (!b.is_number_unsigned() || b.get<unsigned>() > 0x7F) {
            return std::nullopt;
        }
        identity.revision[i] = static_cast<Byte>(b.get<unsigned>());
    }
    const std::optional<unsigned> family = parseHex(text("family"), kMax14Bits);
    const std::optional<unsigned> model = parseHex(text("model"), kMax14Bits);
    if (!family || !model) {
        return std::nullopt;
    }
    identity.family = static_cast<std::uint16_t>(*family);
    identity.model = static_cast<std::uint16_t>(*model);

    // "0x7D" or "0x00 0x20 0x33".
    std::string_view manufacturer = text("manufacturer");
    identity.manufacturerLength = 0;
    while (!manufacturer.empty() && identity.manufacturerLength < identity.manufacturer.size()) {
        const std::size_t space = manufacturer.find(' ');
        const std::optional<unsigned> b = parseHex(manufacturer.substr(0, space), 0x7F);
        if (!b) {
            return std::nullopt;
        }
        identity.manufacturer[identity.manufacturerLength++] = static_cast<Byte>(*b);
        manufacturer = space == std::string_view::npos ? std::string_view() : manufacturer.substr(space + 1);
    }
    const bool extended = identity.manufacturerLength == 3 && identity.manufacturer[0] == 0;
    const bool single = identity.manufacturerLength == 1 && identity.manufacturer[0] != 0;
    if (!manufacturer.empty() || !(extended || single)) {
        return std::nullopt;
    }
    return identity;
}
