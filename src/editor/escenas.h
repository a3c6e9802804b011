#pragma once
// The scene videos of a design's pages: which ones a page uses, where this
// computer keeps them, and the page rewritten to show a scene's poster
// where its video is not available.

#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace sorvenia::Escenas {

// The scene ids the HTML uses: "escenas/<id>.mp4" or ".jpg" references and
// the data-escena of video elements.
std::set<std::string> usadas(std::string_view html);

// ~/.local/share/SorveniaTarvel/escenas: one folder per design.
std::filesystem::path raiz();

// The design's scene folder: the id reduced to ASCII letters, digits, "_"
// and "-", at most 64 of them; "sin-guardar" when nothing is left.
std::filesystem::path carpeta(const std::optional<std::string>& doc);

// Every video element of a scene in `solo` becomes the scene's poster
// image, keeping the element's class and style, so that a page whose video
// could not be published still shows the scene.
std::string conPoster(const std::string& html, const std::set<std::string>& solo);

}  // namespace sorvenia::Escenas
