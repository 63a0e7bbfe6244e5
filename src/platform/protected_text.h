// Passwords of the option file written protected: "dpapi:" followed by the base64 of a blob
// that only the workstation that made it can read.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/services.h"

namespace risview {

inline constexpr std::string_view kProtectedPrefix = "dpapi:";

std::string base64Encode(std::string_view bytes);
// nullopt for a text that is not base64 (blanks and line breaks are stepped over).
std::optional<std::string> base64Decode(std::string_view text);

bool isProtected(std::string_view value);

// The password a value stands for: the value itself, or for a protected one what secrets
// reads from it; nullopt when a protected value cannot be read here.
std::optional<std::string> revealPassword(std::string_view value, const Secrets* secrets);

// Overwrites the text's bytes before it is released, so a password read from its protected
// form does not stay behind in freed memory.
void wipe(std::string& text) noexcept;

}  // namespace risview
