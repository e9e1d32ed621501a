#include "profile/udp_send.h"

#include "profile/system_calls.h"
#include "runtime/convert.h"
#include "runtime/error.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <unistd.h>

namespace quillonde {

namespace {

/// The cause of a failed socket call, as a surveyor reads it.
std::string send_cause(int errno_value)
{
    switch (errno_value) {
    case ECONNREFUSED: return "nothing listens on that port (connection refused)";
    case ENETUNREACH: return "no route to that network";
    case EHOSTUNREACH:
    case EHOSTDOWN: return "no route to that host";
    case EMSGSIZE: return "the datagram is too large for the network";
    case EACCES:
    case EPERM: return "the system forbids sending there (a broadcast address, or a firewall)";
    case EADDRNOTAVAIL: return "that address cannot be used from this computer";
    case EAFNOSUPPORT: return "this computer does not speak that address's protocol (IPv4 or IPv6)";
    default: return std::strerror(errno_value);
    }
}

/// The cause of a failed look-up of `host`.
std::string lookup_cause(int code, const std::string& host)
{
    switch (code) {
    case EAI_NONAME:
#ifdef EAI_NODATA
    case EAI_NODATA:
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY:
#endif
        return "host unknown: no address is known for " + quoted(host);
    case EAI_AGAIN:
        return "the name server could not be reached to look up " + quoted(host) +
               "; try again, or give the address in numbers";
    case EAI_FAIL: return "the name server failed to look up " + quoted(host);
    case EAI_SYSTEM: return std::strerror(errno);
    default: return gai_strerror(code) + std::string(" (") + quoted(host) + ")";
    }
}

struct AddrinfoFree {
    void operator()(addrinfo* list) const noexcept { freeaddrinfo(list); }
};

/// The addresses getaddrinfo gives for `host`; the error code of the look-up when it fails.
int look_up(const std::string& host, std::uint16_t port, int flags, std::vector<NetAddress>& found)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_protocol = IPPROTO_UDP;
    hints.ai_flags = flags | AI_NUMERICSERV;
    addrinfo* list = nullptr;
    const std::string service = std::to_string(port);
    if (const int code = getaddrinfo(host.c_str(), service.c_str(), &hints, &list); code != 0) {
        return code;
    }
    const std::unique_ptr<addrinfo, AddrinfoFree> owned(list);
    for (const addrinfo* at = list; at != nullptr; at = at->ai_next) {
        if ((at->ai_family == AF_INET || at->ai_family == AF_INET6) &&
            at->ai_addrlen <= sizeof(sockaddr_storage)) {
            NetAddress address;
            std::memcpy(&address.storage, at->ai_addr, at->ai_addrlen);
            address.length = at->ai_addrlen;
            found.push_back(address);
        }
    }
    return found.empty() ? EAI_NONAME : 0;
}

[[noreturn]] void unknown_host(int code, const std::string& host)
{
    throw Error(ErrorKind::io_error, "cannot send to " + quoted(host) + ": " + lookup_cause(code, host));
}

/// Sends `bytes` to `to` and waits `wait` for a refusal; the errno of the failure, or 0.
int send_to(const NetAddress& to, std::string_view bytes, std::chrono::milliseconds wait)
{
    const Descriptor socket(::socket(to.storage.ss_family, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!socket) {
        return errno;
    }
    const auto always = [] { return true; };
    const sockaddr* address = reinterpret_cast<const sockaddr*>(&to.storage);
    if (retry_interrupted([&] { return ::connect(socket.get(), address, to.length); }, always) < 0) {
        return errno;
    }
    const ssize_t sent = retry_interrupted(
        [&] { return ::send(socket.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL); }, always);
    if (sent < 0) {
        return errno; // a datagram goes whole or not at all
    }
    pollfd watched{socket.get(), POLLIN, 0};
    const auto timeout = static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(wait.count(), 0, 60000));
    if (retry_interrupted([&] { return ::poll(&watched, 1, timeout); }, always) < 0) {
        return errno;
    }
    if ((watched.revents & POLLERR) != 0) {
        int pending = 0;
        socklen_t size = sizeof(pending);
        if (::getsockopt(socket.get(), SOL_SOCKET, SO_ERROR, &pending, &size) < 0) {
            return errno;
        }
        return pending;
    }
    return 0;
}

std::string port_text(std::string_view destination, std::string_view port)
{
    return "the port " + quoted(port) + " of " + quoted(destination);
}

} // namespace

std::string NetAddress::text() const
{
    char host[INET6_ADDRSTRLEN] = {};
    std::uint16_t port = 0;
    if (storage.ss_family == AF_INET6) {
        const auto* v6 = reinterpret_cast<const sockaddr_in6*>(&storage);
        inet_ntop(AF_INET6, &v6->sin6_addr, host, sizeof(host));
        port = ntohs(v6->sin6_port);
        return "[" + std::string(host) + "]:" + std::to_string(port);
    }
    const auto* v4 = reinterpret_cast<const sockaddr_in*>(&storage);
    inet_ntop(AF_INET, &v4->sin_addr, host, sizeof(host));
    port = ntohs(v4->sin_port);
    return std::string(host) + ":" + std::to_string(port);
}

std::vector<NetAddress> NumericResolver::resolve(const std::string& host, std::uint16_t port) const
{
    std::vector<NetAddress> found;
    if (look_up(host, port, AI_NUMERICHOST, found) != 0) {
        unknown_host(EAI_NONAME, host);
    }
    return found;
}

std::vector<NetAddress> SystemResolver::resolve(const std::string& host, std::uint16_t port) const
{
    std::vector<NetAddress> found;
    if (look_up(host, port, AI_NUMERICHOST, found) == 0) {
        return found;
    }
    found.clear();
    if (const int code = look_up(host, port, AI_ADDRCONFIG, found); code != 0) {
        unknown_host(code, host);
    }
    return found;
}

Destination parse_destination(std::string_view text, std::uint16_t default_port)
{
    std::string_view host = text;
    std::string_view port;
    bool port_given = false;
    if (text.starts_with('[')) {
        const std::size_t close = text.find(']');
        if (close == std::string_view::npos) {
            throw Error(ErrorKind::type_mismatch,
                        "the destination " + quoted(text) + " opens a \"[\" it never closes");
        }
        host = text.substr(1, close - 1);
        const std::string_view rest = text.substr(close + 1);
        if (!rest.empty()) {
            if (!rest.starts_with(':')) {
                throw Error(ErrorKind::type_mismatch, "the destination " + quoted(text) + " holds " +
                                                          quoted(rest) + " after its address");
            }
            port = rest.substr(1);
            port_given = true;
        }
    } else if (const std::size_t colon = text.find(':');
               colon != std::string_view::npos && text.find(':', colon + 1) == std::string_view::npos) {
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
        port_given = true;
    }
    if (host.empty()) {
        throw Error(ErrorKind::type_mismatch, "the destination " + quoted(text) + " names no host");
    }
    Destination destination{std::string(host), default_port};
    if (port_given) {
        if (port.empty() || !std::ranges::all_of(port, [](char c) { return c >= '0' && c <= '9'; })) {
            throw Error(ErrorKind::type_mismatch, port_text(text, port) + " is not a number");
        }
        double number = 0.0;
        if (parse_number(port, number) != NumberStatus::ok || number < 1.0 || number > 65535.0) {
            throw Error(ErrorKind::overflow, port_text(text, port) + " lies outside 1 to 65535");
        }
        destination.port = static_cast<std::uint16_t>(number);
    }
    return destination;
}

NetAddress send_datagram(const Destination& to, std::string_view bytes, const Resolver& resolver,
                         std::chrono::milliseconds wait)
{
    if (to.port == 0) {
        throw Error(ErrorKind::type_mismatch, "no port is given to send to " + quoted(to.host));
    }
    const std::vector<NetAddress> addresses = resolver.resolve(to.host, to.port);
    std::string causes;
    for (const NetAddress& address : addresses) {
        const int failure = send_to(address, bytes, wait);
        if (failure == 0) {
            return address;
        }
        const std::string place = address.text();
        // An address in numbers names itself; a name is followed by the address it stood for.
        const bool named = !place.starts_with(to.host) && !place.starts_with("[" + to.host + "]");
        causes += (causes.empty() ? "" : "; ") + (named ? quoted(to.host) + " at " : std::string()) + place +
                  ": " + send_cause(failure);
    }
    throw Error(ErrorKind::io_error, "cannot send to " + causes);
}

} // namespace quillonde
