#pragma once

// DirectPlay's failures as the program sees them: one exception type carrying the HRESULT
// that DirectPlay would have returned, and a sentence for logs and tests.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace directplay {

namespace hresult {
inline constexpr std::int32_t Make(std::uint32_t code) {
    return static_cast<std::int32_t>(0x88770000u | code);
}
inline constexpr std::int32_t kGeneric = static_cast<std::int32_t>(0x80004005u);
inline constexpr std::int32_t kInvalidParams = static_cast<std::int32_t>(0x80070057u);
inline constexpr std::int32_t kUnsupported = static_cast<std::int32_t>(0x80004001u);
inline constexpr std::int32_t kAlreadyInitialized = Make(5);
inline constexpr std::int32_t kCantCreatePlayer = Make(60);
inline constexpr std::int32_t kInvalidPlayer = Make(150);
inline constexpr std::int32_t kNoConnection = Make(170);
inline constexpr std::int32_t kNoMessages = Make(190);
inline constexpr std::int32_t kNoSessions = Make(220);
inline constexpr std::int32_t kSendTooBig = Make(230);
inline constexpr std::int32_t kTimeout = Make(240);
inline constexpr std::int32_t kUnavailable = Make(250);
inline constexpr std::int32_t kBusy = Make(270);
inline constexpr std::int32_t kUserCancel = Make(280);
inline constexpr std::int32_t kSessionLost = Make(310);
inline constexpr std::int32_t kUninitialized = Make(320);
inline constexpr std::int32_t kNoNewPlayers = Make(330);
inline constexpr std::int32_t kInvalidPassword = Make(340);
inline constexpr std::int32_t kConnecting = Make(350);
inline constexpr std::int32_t kConnectionLost = Make(360);
inline constexpr std::int32_t kAuthenticationFailed = Make(2000);
}  // namespace hresult

class DirectPlayError : public std::runtime_error {
public:
    DirectPlayError(std::int32_t code, const std::string& text)
        : std::runtime_error(text), m_code(code) {}
    std::int32_t Code() const { return m_code; }

private:
    std::int32_t m_code;
};

}  // namespace directplay
