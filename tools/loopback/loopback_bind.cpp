// Preloaded into Quorin when it serves its screen over VNC: the VNC platform listens on every
// address, and the handheld's screen must be reachable from this machine only. Any bind to the
// wildcard address becomes a bind to the loopback address (127.0.0.1, or its IPv4-mapped form
// on a dual-stack socket, so IPv4 viewers still connect).
#include <dlfcn.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>

extern "C" int bind(int fd, const struct sockaddr* addr, socklen_t len) {
    using BindFn = int (*)(int, const struct sockaddr*, socklen_t);
    static BindFn real = reinterpret_cast<BindFn>(dlsym(RTLD_NEXT, "bind"));
    if (addr && addr->sa_family == AF_INET && len >= sizeof(sockaddr_in)) {
        sockaddr_in in;
        std::memcpy(&in, addr, sizeof in);
        if (in.sin_addr.s_addr == htonl(INADDR_ANY)) {
            in.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            return real(fd, reinterpret_cast<sockaddr*>(&in), sizeof in);
        }
    } else if (addr && addr->sa_family == AF_INET6 && len >= sizeof(sockaddr_in6)) {
        sockaddr_in6 in6;
        std::memcpy(&in6, addr, sizeof in6);
        if (IN6_IS_ADDR_UNSPECIFIED(&in6.sin6_addr)) {
            int v6only = 0;
            socklen_t n = sizeof v6only;
            getsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &v6only, &n);
            if (v6only) {
                in6.sin6_addr = in6addr_loopback;
            } else {
                static const uint8_t mapped[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff, 127, 0, 0, 1};
                std::memcpy(&in6.sin6_addr, mapped, 16);
            }
            return real(fd, reinterpret_cast<sockaddr*>(&in6), sizeof in6);
        }
    }
    return real(fd, addr, len);
}
