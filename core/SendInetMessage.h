#pragma once
// Sends one message by HTTP and reads the reply, on the caller's thread
// (the online service's daemon thread). Up to three sends of the body are
// made: status 200 reads the reply; 400 and 500 try again; 408 and any other
// status fail; a send error 2 (offline) tries again after going online when
// autoConnect is set; errors 12002, 12007, 12017, 12019 and 12029 fail at
// once; any other send error tries again. Every failure is logged.

#include "core/WinInet.h"

#include <cstdint>
#include <memory>
#include <string>

namespace Platform {
class Event;
}

namespace Network {

struct SendControl {
    // The daemon's stop event: once set, a send under way gives up within a
    // few tens of milliseconds and no further attempt is made.
    const Platform::Event* stop = nullptr;
    // How long the reply may keep the line silent.
    std::uint32_t receiveTimeoutMs = 30000;
};

bool SendInetMessage(const std::u16string& extraHeader, const std::shared_ptr<WinInet::Impl>& binding,
                     const std::u16string& userAgent, const std::u16string& verb, const std::u16string& url,
                     const std::string& body, std::string& response, bool autoConnect,
                     const SendControl& control = {});

} // namespace Network
