#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace lumvaris::link {

// How a concentrator is reached over the network.
enum class NetworkScheme {
    Tcp,      // raw bytes: a device server in raw mode, a modem that listens
    Rfc2217,  // Telnet with the Com Port Control option: the far end's line follows our settings
};

// "tcp://HOST:PORT" or "rfc2217://HOST:PORT"; HOST a name, an IPv4 address, or an IPv6 address in
// brackets ("[::1]").
struct NetworkAddress {
    NetworkScheme scheme = NetworkScheme::Tcp;
    std::string host;  // without the brackets
    std::uint16_t port = 0;

    bool operator==(const NetworkAddress&) const = default;
};

// The name is a network address (by its scheme), well formed or not.
bool IsNetworkName(const std::string& name);

// Parses a network address; on failure the Russian reason is put in `error`, and in `reason` its
// untranslated form with "%1" for the address (context "link::NetworkAddress").
std::optional<NetworkAddress> ParseNetworkAddress(const std::string& text, std::string* error = nullptr,
                                                  const char** reason = nullptr);

// The address written the way it parses again: lower-case scheme, brackets around IPv6.
std::string ToString(const NetworkAddress& address);
// "127.0.0.1:4001", "[::1]:4001": the part after the scheme.
std::string HostAndPort(const NetworkAddress& address);

}  // namespace lumvaris::link
