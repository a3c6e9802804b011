#pragma once
// The seven services a customer keeps a key for, and how the answer to a
// key's live check is judged. Pure, so that any bytes a provider (or
// whatever answers in its place) sends can be driven through it.

#include <array>
#include <optional>
#include <string_view>

namespace sorvenia {

enum class ServicioClave { gemini, fal, openai, higgsfield, elevenlabs, pexels, unsplash };

inline constexpr std::array<ServicioClave, 7> todosLosServicios = {
    ServicioClave::gemini,     ServicioClave::fal,    ServicioClave::openai,  ServicioClave::higgsfield,
    ServicioClave::elevenlabs, ServicioClave::pexels, ServicioClave::unsplash};

namespace Servicios {

// The outcome of a check answer that arrived: true accepted, false
// rejected, nothing undecided. Only the first 600 bytes of the body count.
std::optional<bool> juzgar(ServicioClave s, long status, std::string_view cuerpo);

}  // namespace Servicios

}  // namespace sorvenia
