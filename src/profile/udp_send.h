#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <sys/socket.h>

namespace quillonde {

/// An IPv4 or IPv6 address and port a datagram can go to.
struct NetAddress {
    sockaddr_storage storage{};
    socklen_t length = 0;

    /// "127.0.0.1:4001", or "[::1]:4001" for IPv6.
    std::string text() const;
};

/// Turns a host into the addresses to send to. The program hands its senders the system's
/// resolver; a test hands them one that never asks the network.
class Resolver {
public:
    Resolver() = default;
    Resolver(const Resolver&) = delete;
    Resolver& operator=(const Resolver&) = delete;
    virtual ~Resolver() = default;

    /// The addresses of `host` at `port`, in the order to try them, at least one. Fails naming the
    /// cause: a host unknown, a name server out of reach.
    virtual std::vector<NetAddress> resolve(const std::string& host, std::uint16_t port) const = 0;
};

/// A host written as an IPv4 or IPv6 address (a scope after "%" allowed); nothing is looked up,
/// and a name fails as unknown.
class NumericResolver : public Resolver {
public:
    std::vector<NetAddress> resolve(const std::string& host, std::uint16_t port) const override;
};

/// Addresses as NumericResolver reads them, and names looked up as the system does (getaddrinfo:
/// the hosts file, then the name servers).
class SystemResolver : public Resolver {
public:
    std::vector<NetAddress> resolve(const std::string& host, std::uint16_t port) const override;
};

/// Where a datagram goes: a host (a name or an address) and a port.
struct Destination {
    std::string host;
    std::uint16_t port = 0;
};

/// Reads "HOST", "HOST:PORT", "[IPv6]", "[IPv6]:PORT" or an IPv6 address alone ("::1"); a
/// destination without a port takes `default_port` (0 for none). Fails on an empty host and on a
/// port that is not a number from 1 to 65535.
Destination parse_destination(std::string_view text, std::uint16_t default_port);

/// How long a send waits for the other side to refuse the datagram.
inline constexpr std::chrono::milliseconds refusal_wait{200};

/// Sends `bytes` as one UDP datagram to the first address of `to` (by `resolver`) that takes it,
/// and returns that address. A connected socket hears of a refusal from the other host (ICMP
/// "port unreachable", as from a port where nothing listens) on its next call, so the send waits
/// up to `wait` for one. Fails with the cause the system reports for each address tried: no route
/// to the network or host, connection refused, the datagram too large, sending forbidden; and
/// before anything is sent, on port 0 and on what the resolver refuses.
NetAddress send_datagram(const Destination& to, std::string_view bytes, const Resolver& resolver,
                         std::chrono::milliseconds wait = refusal_wait);

} // namespace quillonde
