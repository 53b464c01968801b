#include "link/NetworkAddress.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <string_view>

// The reasons are marked for the translation tools; the core has no toolkit, so the faces
// translate the reason (NetworkAddressReason in link/NetworkPort.h) and put the address in.
#ifndef QT_TRANSLATE_NOOP
#define QT_TRANSLATE_NOOP(context, text) text
#endif

namespace lumvaris::link {
namespace {

constexpr std::string_view kTcp = "tcp://";
constexpr std::string_view kRfc2217 = "rfc2217://";

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

bool Fail(std::string* error, const char** reason, const char* format, const std::string& text) {
    if (reason != nullptr) {
        *reason = format;
    }
    if (error != nullptr) {
        std::string out = format;
        const std::size_t at = out.find("%1");
        if (at != std::string::npos) {
            out.replace(at, 2, text);
        }
        *error = out;
    }
    return false;
}

bool HostAllowed(std::string_view host, bool bracketed) {
    if (host.empty() || host.size() > 253) {
        return false;
    }
    return std::all_of(host.begin(), host.end(), [bracketed](char c) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isalnum(u) != 0 || c == '.' || c == '-' || c == '_') {
            return true;
        }
        // An IPv6 address, with its zone ("fe80::1%eth0").
        return bracketed && (c == ':' || c == '%');
    });
}

}  // namespace

bool IsNetworkName(const std::string& name) {
    return StartsWithNoCase(name, kTcp) || StartsWithNoCase(name, kRfc2217);
}

std::optional<NetworkAddress> ParseNetworkAddress(const std::string& text, std::string* error,
                                                  const char** reason) {
    const char* const usage = QT_TRANSLATE_NOOP("link::NetworkAddress",
                                                "Адрес «%1» не годится: ожидается tcp://УЗЕЛ:ПОРТ или "
                                                "rfc2217://УЗЕЛ:ПОРТ (адрес IPv6 в квадратных скобках: "
                                                "tcp://[::1]:4001).");
    NetworkAddress address;
    std::string_view rest;
    if (StartsWithNoCase(text, kTcp)) {
        address.scheme = NetworkScheme::Tcp;
        rest = std::string_view(text).substr(kTcp.size());
    } else if (StartsWithNoCase(text, kRfc2217)) {
        address.scheme = NetworkScheme::Rfc2217;
        rest = std::string_view(text).substr(kRfc2217.size());
    } else {
        Fail(error, reason, usage, text);
        return std::nullopt;
    }
    // A trailing slash, as people copy addresses from browsers.
    if (!rest.empty() && rest.back() == '/') {
        rest.remove_suffix(1);
    }
    std::string_view host;
    std::string_view port;
    bool bracketed = false;
    if (!rest.empty() && rest.front() == '[') {
        const std::size_t close = rest.find(']');
        if (close == std::string_view::npos || close + 1 >= rest.size() || rest[close + 1] != ':') {
            Fail(error, reason, usage, text);
            return std::nullopt;
        }
        host = rest.substr(1, close - 1);
        port = rest.substr(close + 2);
        bracketed = true;
    } else {
        const std::size_t colon = rest.rfind(':');
        if (colon == std::string_view::npos) {
            Fail(error, reason,
                 QT_TRANSLATE_NOOP("link::NetworkAddress", "В адресе «%1» не указан порт: tcp://УЗЕЛ:ПОРТ."),
                 text);
            return std::nullopt;
        }
        host = rest.substr(0, colon);
        port = rest.substr(colon + 1);
        if (host.find(':') != std::string_view::npos) {
            Fail(error, reason,
                 QT_TRANSLATE_NOOP("link::NetworkAddress",
                                   "Адрес IPv6 в «%1» пишется в квадратных скобках: tcp://[::1]:4001."),
                 text);
            return std::nullopt;
        }
    }
    if (!HostAllowed(host, bracketed)) {
        Fail(error, reason, usage, text);
        return std::nullopt;
    }
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (port.empty() || ec != std::errc() || end != port.data() + port.size() || value < 1 || value > 65535) {
        Fail(
            error, reason,
            QT_TRANSLATE_NOOP("link::NetworkAddress", "Порт в адресе «%1» должен быть числом от 1 до 65535."),
            text);
        return std::nullopt;
    }
    address.host = std::string(host);
    address.port = static_cast<std::uint16_t>(value);
    return address;
}

std::string HostAndPort(const NetworkAddress& address) {
    const bool v6 = address.host.find(':') != std::string::npos;
    return (v6 ? "[" + address.host + "]" : address.host) + ":" + std::to_string(address.port);
}

std::string ToString(const NetworkAddress& address) {
    return std::string(address.scheme == NetworkScheme::Tcp ? kTcp : kRfc2217) + HostAndPort(address);
}

}  // namespace lumvaris::link
