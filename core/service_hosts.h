#pragma once
// Where the HTTP services of the signed-in server are: set once at start-up
// (and again when the sign-in window picks another server), read by the room
// when it makes its service requests. The host is a bare name or address;
// each service has its own port.

#include <cstdint>
#include <string>

struct ServiceHosts {
    std::string host = "127.0.0.1";
    std::uint16_t catalogue = 8000;  // gift, car, VIP and pack catalogues
    std::uint16_t checkin = 5000;    // clock-in, sign-in and room backgrounds
};

void SetServiceHosts(const ServiceHosts& hosts);
ServiceHosts GetServiceHosts();
