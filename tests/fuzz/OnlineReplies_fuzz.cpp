// The online service's replies: the same text read as every kind of reply,
// the tracks it carries inflated, and the text as the log shows it.
#include "core/LoggedText.h"
#include "tests/fuzz/FuzzInput.h"
#include "userdata/OnlineMessages.h"
#include "userdata/PackedTrack.h"

#include <variant>

namespace Messages = Monitoring::Messages;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput::quietLog();
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (const auto entries = Messages::tracksReply(text))
        for (const auto& entry : *entries)
            if (const auto* track = std::get_if<Messages::TrackEntry>(&entry); track && track->value && track->size)
                if (const auto bytes = Monitoring::PackedTrack::inflate(*track->value,
                                                                       static_cast<std::uint32_t>(*track->size)))
                    Monitoring::PackedTrack::unpack(*bytes);
    Messages::friendsReply(text);
    Messages::connectReply(text);
    Messages::pointReply(text);
    Log::excerpt(text, 256);
    return 0;
}
